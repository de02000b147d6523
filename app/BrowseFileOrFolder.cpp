#include "BrowseFileOrFolder.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {
std::function<QString(QWidget *)> &testAnswer()
{
    static std::function<QString(QWidget *)> answer;
    return answer;
}
} // namespace

void setBrowseFileOrFolderForTesting(std::function<QString(QWidget *)> answer)
{
    testAnswer() = std::move(answer);
}

QString BrowseFileOrFolder(QWidget *owner)
{
    if (testAnswer())
        return testAnswer()(owner);

    // Qt's own dialog lists files in folder mode; switching the mode with the current item
    // lets the same "choose" button take either a file or a folder.
    QFileDialog dialog(owner, QStringLiteral("ファイルもしくはフォルダを選択"));
    dialog.setObjectName(QStringLiteral("CommonDialog_FileOpen"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, false);
    dialog.setFileMode(QFileDialog::Directory);
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&dialog](const QString &path) {
        dialog.setFileMode(QFileInfo(path).isFile() ? QFileDialog::ExistingFile
                                                    : QFileDialog::Directory);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

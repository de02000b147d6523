#include "BrowseFileOrFolder.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

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
    const auto takeFileOrFolder = [&dialog](const QString &path) {
        dialog.setFileMode(QFileInfo(path).isFile() ? QFileDialog::ExistingFile
                                                    : QFileDialog::Directory);
    };
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, takeFileOrFolder);
    // A name typed into the name box counts as well: in folder mode the dialog would
    // otherwise refuse a typed file name without a word.
    if (auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
        QObject::connect(name, &QLineEdit::textEdited, &dialog,
                         [&dialog, takeFileOrFolder](const QString &text) {
                             takeFileOrFolder(dialog.directory().absoluteFilePath(text));
                         });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

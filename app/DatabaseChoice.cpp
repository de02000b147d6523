#include "DatabaseChoice.h"

#include "DatabaseSetting.h"
#include "DbcReader.h"
#include "MessageBox.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace {

std::function<QString()> &dialogAnswer()
{
    static std::function<QString()> answer;
    return answer;
}

constexpr int kShownProblems = 10;

} // namespace

void DatabaseChoice::setFileDialogForTesting(std::function<QString()> answer)
{
    dialogAnswer() = std::move(answer);
}

DatabaseChoice::DatabaseChoice(QMenu *tools, QWidget *window, QString title)
    : QObject(window), m_window(window), m_title(std::move(title))
{
    tools->addSeparator()->setObjectName(QStringLiteral("menu_tool_line_dbc"));
    m_open = tools->addAction(QStringLiteral("CANデータベース(&D)..."));
    m_open->setObjectName(QStringLiteral("menu_dbc_open"));
    m_release = tools->addAction(QStringLiteral("CANデータベースを閉じる(&K)"));
    m_release->setObjectName(QStringLiteral("menu_dbc_close"));
    connect(m_open, &QAction::triggered, this, &DatabaseChoice::chooseFile);
    connect(m_release, &QAction::triggered, this, [this] {
        release();
        databasesetting::save(QString());
    });
    updateActions();
}

void DatabaseChoice::restore()
{
    const QString remembered = databasesetting::load();
    if (remembered.isEmpty())
        return;
    if (!open(remembered, false))
        databasesetting::save(QString());
}

void DatabaseChoice::chooseFile()
{
    QString path;
    if (dialogAnswer()) {
        path = dialogAnswer()();
    } else {
        QFileDialog dialog(m_window, QStringLiteral("CANデータベースを選択"),
                           m_path.isEmpty() ? QString() : QFileInfo(m_path).path(),
                           QStringLiteral("CANデータベース (*.dbc *.DBC);;すべてのファイル (*)"));
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    if (!path.isEmpty() && open(path))
        databasesetting::save(m_path);
}

bool DatabaseChoice::open(const QString &path, bool tellProblems)
{
    Result<CanDatabase> read = DbcReader::readFile(path);
    if (!read) {
        showMessage(QStringLiteral("CANデータベースを読み込めません。\r\n") + read.error(),
                    MsgIcon::Exclamation, m_title);
        return false;
    }
    m_database = std::make_unique<CanDatabase>(std::move(read.value()));
    m_path = QFileInfo(path).absoluteFilePath();
    const CanDatabase &db = *m_database;
    if (tellProblems && db.problemCount() > 0) {
        QString text = QStringLiteral("%1 の %2 行は読み込めませんでした。残りは使用します。\r\n")
                           .arg(QFileInfo(path).fileName())
                           .arg(db.problemCount());
        for (int i = 0; i < kShownProblems && i < int(db.problems().size()); ++i)
            text += QStringLiteral("\r\n%1 行目: %2")
                        .arg(db.problems()[size_t(i)].line)
                        .arg(QString::fromStdString(db.problems()[size_t(i)].text));
        if (db.problemCount() > kShownProblems)
            text += QStringLiteral("\r\n…");
        showMessage(text, MsgIcon::Information, m_title);
    }
    updateActions();
    emit changed();
    return true;
}

void DatabaseChoice::release()
{
    if (!m_database)
        return;
    m_database.reset();
    m_path.clear();
    updateActions();
    emit changed();
}

void DatabaseChoice::setEnabled(bool on)
{
    m_enabled = on;
    updateActions();
}

void DatabaseChoice::updateActions()
{
    m_open->setEnabled(m_enabled);
    m_release->setEnabled(m_enabled && m_database != nullptr);
}

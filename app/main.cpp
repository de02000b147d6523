#include "Form1.h"
#include "MessageBox.h"
#include "QtTranslations.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>

namespace {
MsgResult showBox(const MessageRequest &r)
{
    QMessageBox box;
    box.setWindowTitle(r.title);
    box.setText(QString(r.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (r.icon) {
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: break;
    }
    switch (r.buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
    }
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("cankestrova"));
    // The bus plugins log every client of the virtual bus; that is for debugging them.
    // Qt applies QT_LOGGING_RULES after these rules, so the variable still turns it on.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    if (const QString missing = loadQtTranslations(app); !missing.isEmpty())
        qWarning("Qt's Japanese texts are missing (%s): its dialogs stay in English",
                 qPrintable(missing));
    setMessageHandler(showBox);

    Form1 window;
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}

// The start-up probe and the menu entry that opens the conversion dialog.
#include "Form1.h"
#include "OfficeModule.h"
#include "Paths.h"
#include "TestHelpers.h"
#include "Vexa100.h"
#include "free_port.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct Program
{
    QTemporaryDir settings, runtime;
    ScopedEnv programFiles{"ProgramFiles", settings.path().toUtf8()};
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().toUtf8()};
    ScopedEnv adapters{"CANUSB_ADAPTERS",
                       "VCANTEST1=virtualcan:tcp://127.0.0.1:"
                           + QByteArray::number(freeTestPort()) + "/can0"};
    MessageRecorder messages;
    ~Program()
    {
        office::setModuleFolderForTesting(QString());
        vexa::unbindForTesting();
    }
};

} // namespace

TEST(ConvertMenu, WithoutTheOfficeModuleConversionIsOff)
{
    Program p;
    QTemporaryDir elsewhere;
    office::setModuleFolderForTesting(elsewhere.path());
    Form1 w;
    ASSERT_TRUE(w.Form_Load()) << p.messages.texts().join("|").toStdString();
    EXPECT_EQ(w.device.ExcelInstallCheck, 0);
    EXPECT_EQ(w.device.t_LogSaveFormat, 2);
    w.findChild<QAction *>("menu_file_changer")->trigger();
    auto *dialog = w.findChild<QWidget *>("FormFileChanger");
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->findChild<QPushButton *>("Bt_Change")->isEnabled());
    EXPECT_EQ(dialog->findChild<QLineEdit *>("TB_Excel_Status")->text(), QStringLiteral(" NG"));
    dialog->close();
}

TEST(ConvertMenu, ProbeAndWindowModalDialog)
{
    Program p;
    Form1 w;
    ASSERT_TRUE(w.Form_Load()) << p.messages.texts().join("|").toStdString();
    EXPECT_EQ(w.device.ExcelInstallCheck, office::isUsable() ? 1 : 0);

    w.show();
    w.findChild<QAction *>("menu_file_changer")->trigger();
    auto *dialog = w.findChild<QWidget *>("FormFileChanger");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(w.menuBar()->isEnabled());
    EXPECT_FALSE(w.centralWidget()->isEnabled());
    EXPECT_EQ(dialog->findChild<QLineEdit *>("TB_Excel_Status")->text(),
              w.device.ExcelInstallCheck == 1 ? QStringLiteral(" OK") : QStringLiteral(" NG"));
    dialog->findChild<QPushButton *>("Bt_OK")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(w.menuBar()->isEnabled());
    EXPECT_TRUE(w.centralWidget()->isEnabled());
}

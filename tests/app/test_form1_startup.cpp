#include "Form1.h"
#include "Paths.h"
#include "SettingsFile.h"
#include "TestHelpers.h"
#include "Vexa100.h"
#include "free_port.h"
#include "HookGuard.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

QString bus(int port)
{
    return QStringLiteral("virtualcan:tcp://127.0.0.1:%1/can0").arg(port);
}

// Each test gets its own settings folder, runtime folder (single-instance lock) and
// driver configuration on a private virtual bus.
class Form1Startup : public ::testing::Test
{
protected:
    ResetGuard hooks{[] {
        paths::setProgramFolderForTesting(QString());
        vexa::unbindForTesting();
    }};
    QTemporaryDir settings;
    QTemporaryDir runtime;
    ScopedEnv programFiles{"ProgramFiles", settings.path().toUtf8()};
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().toUtf8()};
    MessageRecorder messages;
};

QStringList items(Form1 &w)
{
    auto *list = w.findChild<QComboBox *>("Cmb_Serect_Device");
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

} // namespace

TEST_F(Form1Startup, FirstStartShowsDefaultsAndBothKindsOfDevice)
{
    const int port = freeTestPort();
    ScopedEnv adapters("CANUSB_ADAPTERS", ("VCANTEST1=" + bus(port)).toUtf8());
    ScopedEnv ports("IFCAN_PORTS", ("3=" + bus(port) + ":PCI-485220").toUtf8());
    Form1 w;
    ASSERT_TRUE(w.Form_Load()) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(items(w), QStringList({"CANUSB VCANTEST1", "Interface PCI-485220 port:3"}));
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("CANケストローバ Ver1.01"));
    EXPECT_EQ(w.findChild<QLineEdit *>("TB_Comment")->text(), QString::fromUtf8("ＣＡＮ受信ログ"));
    EXPECT_NE(w.findChild<QLineEdit *>("TB_ODB_Hard_Version")->text(), "???");
    EXPECT_EQ(w.SettingFileOpenFlag, 0);
    EXPECT_EQ(w.ApplicationOpenFlag, 1);
    EXPECT_EQ(w.device.t_select_Vender, 1);
    EXPECT_EQ(w.device.t_CmbBOX_device_SelectNo, 1);
    EXPECT_EQ(w.device.t_bitRate, 2);
    const std::array<int, 8> idle{1, 1, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(w.ButtonState(), idle);
    EXPECT_FALSE(w.findChild<QTimer *>("TimerBattRead")->isActive());
    EXPECT_EQ(w.findChild<QTimer *>("TimerBattRead")->interval(), 33);
    EXPECT_EQ(w.findChild<QTimer *>("Timer_File_REC_Play")->interval(), 100);
    EXPECT_TRUE(w.findChild<QTimer *>("Timer_File_REC_Play")->isSingleShot());

    // Choosing the board runs the device check again: its label, vendor 2.
    auto *list = w.findChild<QComboBox *>("Cmb_Serect_Device");
    list->setCurrentIndex(1);
    w.Cmb_Serect_Device_Click();
    EXPECT_EQ(w.device.t_select_Vender, 2);
    EXPECT_TRUE(w.findChild<QLineEdit *>("TB_ODB_Hard_Version")->text().startsWith(
        "Interface PCI-485220 RevID:"));
}

TEST_F(Form1Startup, OnlyTheInterfaceDriverGivesOnlyBoards)
{
    const int port = freeTestPort();
    QTemporaryDir drivers;
    QFile::link(paths::join(paths::programFolder(), "libIFCan.so"), drivers.path() + "/libIFCan.so");
    ScopedEnv driverDir("CANKESTROVA_DRIVER_DIR", drivers.path().toUtf8());
    ScopedEnv adapters("CANUSB_ADAPTERS", ("VCANTEST2=" + bus(port)).toUtf8());
    ScopedEnv ports("IFCAN_PORTS", ("1=" + bus(port) + ";2=" + bus(port)).toUtf8());
    Form1 w;
    ASSERT_TRUE(w.Form_Load()) << messages.texts().join("|").toStdString();
    const QStringList list = items(w);
    ASSERT_EQ(list.size(), 2);
    for (const QString &item : list)
        EXPECT_TRUE(item.startsWith("Interface ")) << item.toStdString();
    EXPECT_TRUE(list[1].endsWith(" port:2"));
    EXPECT_EQ(w.device.t_select_Vender, 2);
}

TEST_F(Form1Startup, NoDeviceEndsTheProgramWithTheMessage)
{
    ScopedEnv adapters("CANUSB_ADAPTERS", "");
    ScopedEnv ports("IFCAN_PORTS", "");
    Form1 w;
    EXPECT_FALSE(w.Form_Load());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QString::fromUtf8("デバイスが見つかりません。\r\nアプリケーションを終了します。"));
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(messages.messages[0].title, QString::fromUtf8("CANケストローバ Ver1.01"));
    EXPECT_FALSE(QFile::exists(settingsFilePath())) << "nothing is written";
}

TEST_F(Form1Startup, MissingSupportLibraryRefusesToStart)
{
    QTemporaryDir empty;
    paths::setProgramFolderForTesting(empty.path());
    vexa::unbindForTesting();
    Form1 w;
    EXPECT_FALSE(w.Form_Load());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QString::fromUtf8("vexa100.dll が見つかりません。\r\n"
                                "vexa100.dll は同梱のものを使用してください。\r\n"
                                "アプリケーションを終了します。"));
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
}

TEST_F(Form1Startup, MissingDriversRefuseToStart)
{
    QTemporaryDir drivers;
    ScopedEnv driverDir("CANKESTROVA_DRIVER_DIR", drivers.path().toUtf8());
    Form1 w;
    EXPECT_FALSE(w.Form_Load());
    ASSERT_EQ(messages.messages.size(), 1u);
    const QString text = messages.messages[0].text;
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("canusbdrv.dll もしくは  が見つかりません。\r\n")));
    EXPECT_TRUE(text.contains(drivers.path()));
    EXPECT_TRUE(text.endsWith(QString::fromUtf8(
        "\r\nドライバがインストールされていません。\r\nアプリケーションを終了します。")));
}

TEST_F(Form1Startup, ClosingIsRefusedDuringARunAndSavesAfterwards)
{
    const int port = freeTestPort();
    ScopedEnv adapters("CANUSB_ADAPTERS", ("VCANTEST3=" + bus(port)).toUtf8());
    ScopedEnv ports("IFCAN_PORTS", "");
    {
        Form1 w;
        ASSERT_TRUE(w.Form_Load()) << messages.texts().join("|").toStdString();
        w.show();
        w.device.t_bitRate = 4;
        w.RxFlag = 1;
        EXPECT_FALSE(w.close());
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(QFile::exists(settingsFilePath()));
        w.RxFlag = 0;
        EXPECT_TRUE(w.close());
        EXPECT_TRUE(QFile::exists(settingsFilePath()));
        EXPECT_TRUE(QFile::exists(paths::join(paths::programFolder(), "lglist.dat")));
    }
    // The next start loads what was saved.
    Form1 again;
    ASSERT_TRUE(again.Form_Load()) << messages.texts().join("|").toStdString();
    EXPECT_EQ(again.SettingFileOpenFlag, 1);
    EXPECT_EQ(again.device.t_bitRate, 4);
    QFile::remove(paths::join(paths::programFolder(), "lglist.dat"));
}

TEST_F(Form1Startup, SecondInstanceEndsAtOnceWithoutAWindow)
{
    const int port = freeTestPort();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CANUSB_ADAPTERS", "VCANTEST4=" + bus(port));
    env.insert("IFCAN_PORTS", "");
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(CANKESTROVA_BIN, {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(runtime.path() + "/cankestrova.lock"); }, 10000));
    QThread::msleep(500);

    QProcess second;
    second.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    second.start(CANKESTROVA_BIN, {});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    first.waitForFinished(5000);
}

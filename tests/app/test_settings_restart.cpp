#include "KeyPresses.h"
#include "RecordWindow.h"
#include "SettingsFile.h"
#include "SettingsRecord.h"
#include "WidgetHelpers.h"
#include "free_port.h"

#include <QDialog>
#include <QTextEdit>
#include <QProcess>

namespace {

using namespace rectest;

// The main window started the way a user starts it: whatever the settings file holds.
class SettingsRestart : public RecordWindow
{
protected:
    ::testing::AssertionResult start()
    {
        adapters = std::make_unique<ScopedEnv>(
            "CANUSB_ADAPTERS", "VCANSET=virtualcan:" + busUrl(port).toUtf8());
        ports = std::make_unique<ScopedEnv>("IFCAN_PORTS", QByteArray());
        w = std::make_unique<Form1>();
        if (!w->Form_Load())
            return ::testing::AssertionFailure() << messages.texts().join('|').toStdString();
        return ::testing::AssertionSuccess();
    }

    QDialog *open(const char *menu, const char *dialog)
    {
        named<QAction>(w.get(), menu)->trigger();
        return named<QDialog>(w.get(), dialog);
    }
};

// Field 6 of config.dat, the bit rate, sits 12 bytes after the two leading strings.
int32_t storedBitRate(const QByteArray &file)
{
    auto u16 = [&](qsizetype at) { return uchar(file[at]) | (uchar(file[at + 1]) << 8); };
    const qsizetype second = 2 + u16(0);
    const qsizetype at = second + 2 + u16(second) + 12;
    int32_t v = 0;
    std::memcpy(&v, file.constData() + at, 4);
    return v;
}

// 250 kbit/s and a record folder chosen in the dialogs reach config.dat at exit; the next
// start records at that rate into that folder. The folder's name is one code page 932
// cannot hold, so it must come back whole. The first run is a process of its own, as a
// real restart is: this test program runs itself with the settings folder it was given.
TEST_F(SettingsRestart, BitRateAndRecordFolderChosenInTheDialogsHoldAfterARestart)
{
    const QByteArray given = qgetenv("SETTINGS_RESTART_FIRST_RUN");
    if (!given.isEmpty()) {
        const QStringList args = QString::fromUtf8(given).split('\n');
        ScopedEnv settingsBase("ProgramFiles", args[0].toUtf8());
        port = args[1].toInt();
        ASSERT_TRUE(start());
        QDialog *common = open("menu_common_setting", "FormCommonSetting");
        ASSERT_NE(common, nullptr);
        click(common, "RB_BitRate_3");
        click(common, "Bt_OK");
        QDialog *save = open("menu_opt_log1", "FormOptionLog1");
        ASSERT_NE(save, nullptr);
        click(save, "RB_LogSaveFilePath_2");
        setText(save, "TB_LogSaveFilePath", args[2]);
        click(save, "Bt_OK");
        EXPECT_EQ(w->device.t_bitRate, 3);
        EXPECT_FALSE(QFile::exists(settingsFilePath())) << "nothing is written before the exit";
        EXPECT_TRUE(w->close());
        return;
    }

    port = freeTestPort();
    ASSERT_GT(port, 0);
    const QString folder = records.filePath(QString::fromUtf8("café"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SETTINGS_RESTART_FIRST_RUN",
               settings.path() + '\n' + QString::number(port) + '\n' + folder);
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const ::testing::TestInfo *self = ::testing::UnitTest::GetInstance()->current_test_info();
    first.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QLatin1String(self->test_suite_name()), QLatin1String(self->name()))});
    ASSERT_TRUE(first.waitForFinished(60000));
    const QByteArray firstOutput = first.readAllStandardOutput();
    ASSERT_EQ(first.exitCode(), 0) << firstOutput.toStdString();
    QFile::remove(paths::join(paths::programFolder(), "lglist.dat"));

    const QByteArray file = readAll(settingsFilePath());
    EXPECT_EQ(storedBitRate(file), 3);
    ELM327_Info stored;
    PlayTarget target;
    ASSERT_TRUE(settingsrecord::parse(file, stored, target));
    EXPECT_EQ(stored.t_LogSaveFilePath_mode, 2);
    EXPECT_EQ(stored.t_LogSaveFilePath, folder);

    ASSERT_TRUE(start());
    EXPECT_EQ(w->SettingFileOpenFlag, 1);
    EXPECT_EQ(w->device.t_bitRate, 3);
    EXPECT_EQ(w->device.t_LogSaveFilePath, folder);
    QString protocol;
    ASSERT_TRUE(recordSequence(sequence(50, 7),
                               [&] { protocol = textOf(w.get(), "TB_Protocol"); }));
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('|').toStdString();
    EXPECT_EQ(protocol, "250k bps");
    const auto files = readRecordedFolder(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].frames.size(), 50u);
}

// Each settings window changed with keys alone (arrows, Tab, space, Enter) from the menu;
// the values reach config.dat when the main window closes. Esc on a changed window keeps
// the old value.
TEST_F(SettingsRestart, KeysAloneReachTheSettingsFile)
{
    port = freeTestPort();
    ASSERT_TRUE(start());
    QDialog *common = open("menu_common_setting", "FormCommonSetting");
    ASSERT_NE(common, nullptr);
    press(common, {Qt::Key_Down, Qt::Key_Return});   // 500k → 250k
    QDialog *extended = open("menu_opt_function1", "FormOption1");
    ASSERT_NE(extended, nullptr);
    press(extended, {Qt::Key_Space, Qt::Key_Return});   // playback exclusion row 0 on
    QDialog *save = open("menu_opt_log1", "FormOptionLog1");
    ASSERT_NE(save, nullptr);
    press(save, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Right, Qt::Key_Return});   // the desktop
    QDialog *again = open("menu_common_setting", "FormCommonSetting");
    ASSERT_NE(again, nullptr);
    press(again, {Qt::Key_Down, Qt::Key_Escape});
    EXPECT_TRUE(w->close());

    ELM327_Info stored;
    PlayTarget target;
    ASSERT_TRUE(settingsrecord::parse(readAll(settingsFilePath()), stored, target));
    EXPECT_EQ(stored.t_bitRate, 3);
    EXPECT_EQ(stored.t_DisableID_Play_ON(0), 1);
    EXPECT_EQ(stored.t_LogSaveFilePath_mode, 1);
}

// The main window's controls are all reachable with Tab, the text view does not swallow
// it, and space presses the focused button.
TEST_F(SettingsRestart, MainWindowWorksFromTheKeyboard)
{
    port = freeTestPort();
    ASSERT_TRUE(start());
    w->show();
    w->mainView()->setPlainText(QStringLiteral("notes"));
    press(w.get(), {});
    named<QWidget>(w.get(), "Cmb_Serect_Device")->setFocus(Qt::TabFocusReason);
    QStringList walked;
    for (int i = 0; i < 30 && !walked.contains("Bt_ViewClear"); ++i) {
        press(w.get(), {Qt::Key_Tab});
        walked << w->focusWidget()->objectName();
    }
    for (const char *name : {"Bt_Connect", "Bt_Repeat", "Bt_OpenPlayFile", "TB_Comment",
                             "RTB_MainView", "Bt_SaveFile", "Bt_ViewClear"})
        EXPECT_TRUE(walked.contains(name)) << name << " not in " << walked.join(' ').toStdString();
    EXPECT_EQ(w->mainView()->toPlainText(), QStringLiteral("notes")) << "Tab typed into the view";
    press(w.get(), {Qt::Key_Space});
    EXPECT_TRUE(w->mainView()->toPlainText().isEmpty()) << "space on 画面クリア clears the view";
}

} // namespace

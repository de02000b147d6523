// The record loop on a scripted device: what reaches the table and the files, file
// roll-over, the exclusion step, the end of a run, and write failures.
#include "CAN_ReadDB.h"
#include "CAN_RecDB_Multi.h"
#include "ELM327_Info.h"
#include "RecordFiles.h"
#include "RecordLoop.h"
#include "RecordingHelpers.h"
#include "HookGuard.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kHour(QDate(2026, 3, 14), QTime(15, 9, 26));

std::array<uint8_t, 8> bytes(uint32_t n)
{
    return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), 0xA5, 0x5A, 0x11, 0x22, 0x33};
}

class RecordLoopTest : public ::testing::Test
{
protected:
    HookGuard<void (*)(std::function<QDateTime()>), std::function<QDateTime()>> recordClock{
        &setRecordClockForTesting, [] { return kHour; }};
    QTemporaryDir folder;
    MessageRecorder messages;
    TestHost host;
    ELM327_Info params;
    CAN_ReadDB rx;
    RecordLoop loop{host};
    ScriptedDevice device{host};

    void SetUp() override
    {
        params.t_LogSaveFilePath_mode = 2;
        params.t_LogSaveFilePath = folder.path();
        params.t_LogSave_Enable = 1;
        loop.setClockForTesting(&scriptedClock);
        scriptedNow() = 1000;
    }

    void run(const RecordLoop::Exclusion *excluded = nullptr)
    {
        host.RxFlag = 1;
        loop.run(device, params, rx, excluded);
    }
    // n frames of identifier 0x123, one a millisecond, numbered in their bytes.
    void stream(uint32_t n, uint32_t first = 0)
    {
        for (uint32_t i = first; i < first + n; ++i)
            device.frame(0x123, 8, double(i % 60000), 1000 + i, bytes(i));
    }
    std::vector<RecordedFile> files() const { return readRecordedFolder(folder.path()); }
};

TEST_F(RecordLoopTest, FramesReachTheTableAndTheFileAsReceived)
{
    device.frame(0x7FF, 8, 59000, 5000, {1, 2, 3, 4, 5, 6, 7, 8});
    device.idle(5002);
    device.frame(0x001, 3, 59003, 5003, {9, 8, 7, 6, 5, 4, 3, 2});
    device.idle(5010);
    device.frame(0x7FF, 0, 20, 6021, {0xFF, 0xEE, 0, 0, 0, 0, 0, 0x99});
    run();

    ASSERT_EQ(device.opens, 1);
    EXPECT_EQ(device.closes, 1);
    EXPECT_EQ(host.RxFlag, 0);
    // The table holds the device's own stamps and the PC clock of each frame.
    EXPECT_EQ(rx.CAN11_Received(0x7FF), 1);
    EXPECT_EQ(rx.CAN11_DLC(0x7FF), 0);
    EXPECT_DOUBLE_EQ(rx.CAN11_ReceivedTime(0x7FF).toDouble(), 20);
    EXPECT_DOUBLE_EQ(rx.CAN11_ReceivedTime_old(0x7FF).toDouble(), 59000);
    EXPECT_DOUBLE_EQ(rx.CAN11_ReadTime_old(0x7FF), 6021);
    EXPECT_EQ(rx.CAN11_Data1(0x7FF), 0xFF);
    EXPECT_EQ(rx.CAN11_Data8(0x7FF), 0x99) << "all eight bytes, whatever the DLC";
    EXPECT_EQ(rx.CAN11_Data1_old(0x7FF), 1);
    EXPECT_EQ(rx.CAN11_DLC(0x001), 3);
    EXPECT_DOUBLE_EQ(rx.CAN11_ReceivedTime(0x001).toDouble(), 59003);
    EXPECT_DOUBLE_EQ(rx.CAN11_ReceivedTime_old(0x001).toDouble(), 59003);
    EXPECT_DOUBLE_EQ(loop.vx_millisecond, 1020);

    // The file holds the elapsed times and only the DLC's bytes.
    const auto written = files();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].name, "CR26031415-001.dat");
    const std::vector<FileFrame> expected = {
        {0x7FF, 0, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x001, 3, 3, {9, 8, 7, 0, 0, 0, 0, 0}},
        {0x7FF, 1020, 0, {}},
    };
    EXPECT_EQ(written[0].frames, expected);
    EXPECT_TRUE(written[0].restZero);
    EXPECT_EQ(written[0].trailer, QStringList({"CANケストローバ", "ペルモラ技研",
                                               "CAN_Kestrova_REC_FILE_DAT", "ＣＡＮ受信ログ"}));
    EXPECT_EQ(loop.recordFilesWritten(), 1);
    EXPECT_EQ(loop.unsavedFrameCount(), 0);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(RecordLoopTest, IdentifiersFrom0x800AreSkippedAndLongDlcsNeverOverrun)
{
    device.frame(0x100, 2, 100, 1100, {1, 2, 3, 4, 5, 6, 7, 8});
    for (uint32_t id : {0x800u, 0x801u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        device.frame(id, 8, 40000, 1200, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    device.frame(0x101, 9, 110, 1110, {1, 2, 3, 4, 5, 6, 7, 8});
    device.frame(0x102, 15, 120, 1120, {8, 7, 6, 5, 4, 3, 2, 1});
    device.frame(0x103, 255, 130, 1130, {0xF0, 1, 2, 3, 4, 5, 6, 0x0F});
    run();

    // 0x800 is the table's last entry: a skipped frame must not land there.
    EXPECT_EQ(rx.CAN11_Received(0x800), 0);
    EXPECT_EQ(rx.CAN11_Data1(0x800), 0);
    EXPECT_EQ(rx.CAN11_DLC(0x101), 9);
    EXPECT_EQ(rx.CAN11_DLC(0x103), 255);
    EXPECT_EQ(rx.CAN11_Data8(0x103), 0x0F);
    // The skipped frames' stamp (40000) does not move the elapsed time.
    const auto written = files();
    ASSERT_EQ(written.size(), 1u);
    const std::vector<FileFrame> expected = {
        {0x100, 0, 2, {1, 2, 0, 0, 0, 0, 0, 0}},
        {0x101, 10, 9, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x102, 20, 15, {8, 7, 6, 5, 4, 3, 2, 1}},
        {0x103, 30, 255, {0xF0, 1, 2, 3, 4, 5, 6, 0x0F}},
    };
    EXPECT_EQ(written[0].frames, expected);
    EXPECT_TRUE(written[0].restZero) << "no byte beyond the eight of a slot";
}

struct RollRow
{
    uint32_t frames;
    std::vector<size_t> fileSizes;
};

class RollOver : public RecordLoopTest, public ::testing::WithParamInterface<RollRow>
{
};

TEST_P(RollOver, OneFilePer20001FramesAndOneForTheRest)
{
    stream(GetParam().frames);
    run();
    const auto written = files();
    ASSERT_EQ(written.size(), GetParam().fileSizes.size());
    uint32_t n = 0;
    for (size_t f = 0; f < written.size(); ++f) {
        EXPECT_EQ(written[f].name, recordFileName("26031415", int(f + 1)));
        ASSERT_EQ(written[f].frames.size(), GetParam().fileSizes[f]) << written[f].name.toStdString();
        EXPECT_TRUE(written[f].restZero);
        for (const FileFrame &fr : written[f].frames) {
            // Times go on across files: frame n came n ms after the first.
            ASSERT_EQ(fr.time, double(n)) << "frame " << n;
            ASSERT_EQ(fr.data[0] | fr.data[1] << 8 | fr.data[2] << 16, int(n));
            ++n;
        }
    }
    EXPECT_EQ(n, GetParam().frames);
    EXPECT_EQ(loop.recordFilesWritten(), int(written.size()));
}

INSTANTIATE_TEST_SUITE_P(Rows, RollOver,
                         ::testing::Values(RollRow{0, {}}, RollRow{1, {1}},
                                           RollRow{20000, {20000}},
                                           // Stopped right after a full buffer went out:
                                           // no further file.
                                           RollRow{20001, {20001}},
                                           RollRow{20002, {20001, 1}},
                                           RollRow{40002, {20001, 20001}},
                                           RollRow{65000, {20001, 20001, 20001, 4997}}));

TEST_F(RecordLoopTest, BufferNumberAlternates)
{
    std::vector<int32_t> seen;
    stream(20001);
    device.action([&] { seen.push_back(loop.RecDAT_Select_ch); });
    stream(20001, 20001);
    device.action([&] { seen.push_back(loop.RecDAT_Select_ch); });
    run();
    EXPECT_EQ(seen, std::vector<int32_t>({2, 1}));
}

TEST_F(RecordLoopTest, SavingOffKeepsTheTableAndWritesNothing)
{
    params.t_LogSave_Enable = 0;
    stream(20005);
    run();
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(rx.CAN11_Received(0x123), 1);
    EXPECT_DOUBLE_EQ(loop.vx_millisecond, 20004);
}

TEST_F(RecordLoopTest, ExcludedFramesAreDroppedBeforeTheTableAndTheClock)
{
    params.t_DisableID_Rec_ON(0, 1);
    params.t_DisableID_Rec_Start(0, 0x100);
    params.t_DisableID_Rec_End(0, 0x1FF);
    params.t_DisableID_Rec_ON(3, 0);   // off: its range counts for nothing
    params.t_DisableID_Rec_Start(3, 0x000);
    params.t_DisableID_Rec_End(3, 0x7FF);
    const RecordLoop::Exclusion excluded = CAN_RecDB_Multi::exclusionOf(params);

    device.frame(0x0FF, 1, 1000, 2000, {1});
    device.frame(0x100, 1, 1500, 2500, {2});
    device.frame(0x1FF, 1, 1600, 2600, {3});
    device.idle(2700);
    device.frame(0x200, 1, 2000, 3000, {4});
    run(&excluded);

    EXPECT_EQ(rx.CAN11_Received(0x100), 0);
    EXPECT_EQ(rx.CAN11_Received(0x1FF), 0);
    EXPECT_EQ(rx.CAN11_Received(0x200), 1);
    const auto written = files();
    ASSERT_EQ(written.size(), 1u);
    const std::vector<FileFrame> expected = {{0x0FF, 0, 1, {1}}, {0x200, 1000, 1, {4}}};
    EXPECT_EQ(written[0].frames, expected);
}

// A kept frame after a long run of excluded ones still gets the whole silence.
TEST_F(RecordLoopTest, ExcludedStreamDoesNotHideALongSilence)
{
    params.t_DisableID_Rec_ON(0, 1);
    params.t_DisableID_Rec_Start(0, 0x500);
    params.t_DisableID_Rec_End(0, 0x500);
    const RecordLoop::Exclusion excluded = CAN_RecDB_Multi::exclusionOf(params);
    device.frame(0x010, 0, 100, 1000);
    for (int s = 1; s <= 90; ++s) {
        device.frame(0x500, 0, double((100 + s * 1000) % 60000), 1000 + s * 1000);
        device.idle(1000 + s * 1000 + 1);
    }
    device.frame(0x010, 0, 100 + 90500 - 60000, 91500);
    run(&excluded);
    EXPECT_DOUBLE_EQ(loop.vx_millisecond, 90500);
}

TEST_F(RecordLoopTest, FailedOpenEndsTheRunWithoutAFile)
{
    device.openResult = false;
    stream(10);
    host.status = {"通信初期処理中", "x"};
    run();
    EXPECT_EQ(device.polls, 0);
    EXPECT_EQ(device.closes, 1);
    EXPECT_TRUE(files().empty());
    EXPECT_FALSE(host.monitorTimer);
    EXPECT_EQ(host.RxFlag, 0);
    EXPECT_EQ(host.events, std::vector<QString>({"status0=終了処理中", "protocol=", "status0=",
                                                 "status1="}));
}

TEST_F(RecordLoopTest, CanusbOrderClosesBeforeTheLastFile)
{
    device.closeFirst = true;
    stream(5);
    size_t filesAtClose = 99;
    bool timerAtClose = false;
    device.onClose = [&] {
        filesAtClose = files().size();
        timerAtClose = host.monitorTimer;
    };
    run();
    EXPECT_EQ(filesAtClose, 0u);
    EXPECT_TRUE(timerAtClose);
    EXPECT_EQ(files().size(), 1u);
    EXPECT_FALSE(host.monitorTimer);
}

TEST_F(RecordLoopTest, BoardOrderWritesTheLastFileAndStopsTheTimerFirst)
{
    device.closeFirst = false;
    stream(5);
    size_t filesAtClose = 99;
    bool timerAtClose = true;
    device.onClose = [&] {
        filesAtClose = files().size();
        timerAtClose = host.monitorTimer;
    };
    run();
    EXPECT_EQ(filesAtClose, 1u);
    EXPECT_FALSE(timerAtClose);
}

struct CloseRow
{
    std::optional<QString> result;
    QString status0;
    QString status1;
    QString protocol;
};

class CloseOutcome : public RecordLoopTest, public ::testing::WithParamInterface<CloseRow>
{
};

TEST_P(CloseOutcome, StatusLinesAfterTheRun)
{
    device.closeResult = GetParam().result;
    stream(3);
    device.action([&] { host.setStatusText(1, "line 1"); });
    run();
    EXPECT_EQ(host.status[0], GetParam().status0);
    EXPECT_EQ(host.status[1], GetParam().status1);
    EXPECT_EQ(host.protocol, GetParam().protocol);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CloseOutcome,
    ::testing::Values(CloseRow{QString(), "", "", ""},
                      CloseRow{"The device handle is invalid.", "The device handle is invalid.",
                               "line 1", "500k bps"},
                      CloseRow{std::nullopt, "終了処理中", "line 1", "500k bps"}));

class ProtocolText : public RecordLoopTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(ProtocolText, ByBitRate)
{
    static const char *const kTexts[] = {"1M bps",   "800k bps", "500k bps", "250k bps",
                                         "100k bps", "50k bps",  "20k bps",  "10k bps"};
    params.t_bitRate = GetParam();
    QString shown;
    device.action([&] { shown = host.protocol; });
    run();
    EXPECT_EQ(shown, QString::fromLatin1(kTexts[GetParam()]));
    EXPECT_TRUE(host.protocol.isEmpty()) << "cleared at the end";
}

INSTANTIATE_TEST_SUITE_P(Rows, ProtocolText, ::testing::Range(0, 8));

// Files go to the desktop; HOME is swapped for a plain file to take the folder away (the
// tests run as root, so permissions cannot stop a write) and swapped back to return it.
class WriteFailure : public RecordLoopTest
{
protected:
    QTemporaryDir root;
    QString home = root.filePath("home");
    ScopedEnv homeEnv{"HOME", home.toUtf8()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", root.filePath("config").toUtf8()};

    void SetUp() override
    {
        RecordLoopTest::SetUp();
        QDir().mkpath(home + "/Desktop");
        params.t_LogSaveFilePath_mode = 1;
    }
    void breakFolder()
    {
        ASSERT_TRUE(QDir().rename(home, home + ".away"));
        ASSERT_TRUE(writeAll(home, "not a folder"));
    }
    void restoreFolder()
    {
        ASSERT_TRUE(QFile::remove(home));
        ASSERT_TRUE(QDir().rename(home + ".away", home));
    }
    std::vector<RecordedFile> desktopFiles() const { return readRecordedFolder(home + "/Desktop"); }
};

TEST_F(WriteFailure, LostBufferIsCountedShownAndRecordingGoesOn)
{
    QString statusWhileBroken;
    stream(20000);
    device.action([&] { breakFolder(); });
    stream(1, 20000);   // the 20001st frame: the first file fails
    device.action([&] { statusWhileBroken = host.status[1]; });
    device.action([&] { restoreFolder(); });
    stream(20001 + 500, 20001);
    run();

    EXPECT_EQ(statusWhileBroken, RecordLoop::unsavedStatusText(20001));
    EXPECT_EQ(statusWhileBroken, "録画ファイル保存エラー：未保存 20001 フレーム");
    const auto written = desktopFiles();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].frames.size(), 20001u);
    EXPECT_EQ(written[0].frames.front().time, 20001) << "the saved frames keep their times";
    EXPECT_EQ(written[1].frames.size(), 500u);
    EXPECT_EQ(loop.unsavedFrameCount(), 20001);
    EXPECT_EQ(loop.recordFilesWritten(), 2);

    // The end of the run does not clear the failure, and a message names the loss.
    EXPECT_EQ(host.status[1], statusWhileBroken);
    ASSERT_EQ(messages.messages.size(), 1u);
    const MessageRequest &m = messages.messages[0];
    EXPECT_EQ(m.icon, MsgIcon::Critical);
    EXPECT_EQ(m.title, params.Application_title);
    EXPECT_TRUE(m.text.startsWith("録画ファイルを保存できませんでした。\r\n"
                                  "保存されなかったフレーム：20001\r\n"))
        << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(home)) << "the folder that failed";
}

TEST_F(WriteFailure, LastPartialFileFailingIsReported)
{
    device.action([&] { breakFolder(); });
    stream(321);
    run();
    EXPECT_EQ(loop.unsavedFrameCount(), 321);
    EXPECT_EQ(loop.recordFilesWritten(), 0);
    EXPECT_EQ(host.status[1], "録画ファイル保存エラー：未保存 321 フレーム");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.contains("保存されなかったフレーム：321"));
}

TEST_F(WriteFailure, FolderBackBeforeTheEndLosesNothing)
{
    device.action([&] { breakFolder(); });
    stream(3);
    device.action([&] { restoreFolder(); });
    run();
    EXPECT_EQ(loop.unsavedFrameCount(), 0);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(host.status[1].isEmpty());
    EXPECT_EQ(desktopFiles().size(), 1u);
}

TEST_F(WriteFailure, NextRunStartsWithACleanSlate)
{
    device.action([&] { breakFolder(); });
    stream(3);
    run();
    ASSERT_EQ(loop.unsavedFrameCount(), 3);
    restoreFolder();

    ScriptedDevice again(host);
    again.frame(0x321, 1, 0, 9000, {7});
    host.RxFlag = 1;
    loop.run(again, params, rx, nullptr);
    EXPECT_EQ(loop.unsavedFrameCount(), 0);
    EXPECT_EQ(loop.recordFilesWritten(), 1);
    EXPECT_TRUE(host.status[1].isEmpty());
    EXPECT_EQ(messages.messages.size(), 1u) << "only the first run's";
}

TEST_F(RecordLoopTest, ExistingFilesAreNeverOverwritten)
{
    const QString taken = folder.filePath("CR26031415-001.dat");
    ASSERT_TRUE(writeAll(taken, "someone else's"));
    stream(20002);
    run();
    EXPECT_EQ(readAll(taken), "someone else's");
    const auto written = files();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[1].name, "CR26031415-002.dat");
    EXPECT_EQ(written[1].frames.size(), 20001u);
    EXPECT_EQ(written[2].name, "CR26031415-003.dat");
}

} // namespace

// The playback engine on a private virtual bus, driven as the Connect button drives it,
// with cansim listening to what goes out.
#include "EngineRun.h"
#include "PlayClock.h"
#include "Vexa100.h"
#include "free_port.h"
#include "HookGuard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace playtest;

namespace {

const QString kDeviceFailureUsb = QStringLiteral("機器が正常に動作していません。\r\nアプリケーションを終了します。");
const QString kDeviceFailureIf = QStringLiteral("機器が正常に動作していません。\r\n接続を終了します。");
const QString kUnsupportedRate = QStringLiteral("非対応の通信速度が選択されています。\r\n接続をを終了します。");

std::vector<Seen> only(const std::vector<Seen> &seen, uint8_t tag)
{
    std::vector<Seen> out;
    for (const Seen &s : seen)
        if (!s.data.isEmpty() && uint8_t(s.data[0]) == tag)
            out.push_back(s);
    return out;
}

} // namespace

// ---- Identifiers and DLCs a file may hold -------------------------------------------------

struct IdRow
{
    const char *name;
    int vendor;
    int32_t msgIdType;
    std::vector<uint32_t> onWire;   // in file order
    bool extended;
};

void PrintTo(const IdRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlayIdentifiers : public ::testing::TestWithParam<IdRow>
{
};

TEST_P(PlayIdentifiers, OnlyWhatTheFormatCarriesGoesOutAndNothingAbove7FFReachesTheTable)
{
    const IdRow &row = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    const std::vector<RecordFrame> file = {
        frame(0x100, 0, 12, {1, 2, 3, 4, 5, 6, 7, 8}),   // DLC 12 goes out as 8
        frame(0x7FF, 10, 8, {9, 9, 9, 9, 9, 9, 9, 9}),
        frame(0x800, 20, 2, {0x80, 0x01}),
        frame(0x1FFFFFFF, 30, 1, {0xFF}),
        frame(0x20000000, 40, 1, {0xEE}),                // no CAN identifier at all
        frame(0x123, 50, 0, {}),
    };
    ASSERT_TRUE(writeRecord(dir.filePath("ids.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_select_Vender = row.vendor;
    run.params.t_msgID_type = row.msgIdType;
    run.targetFile(dir.path(), "ids.dat");
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.messages.messages.empty()) << run.messages.texts().join('|').toStdString();

    const std::vector<Seen> seen = listener.stop();
    std::vector<uint32_t> ids;
    for (const Seen &s : seen) {
        ids.push_back(s.id);
        EXPECT_EQ(s.extended, row.extended) << std::hex << s.id;
        EXPECT_LE(s.dlc, 8);
    }
    EXPECT_EQ(ids, row.onWire);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].dlc, 8);
    EXPECT_EQ(seen[0].data, QByteArray::fromHex("0102030405060708"));

    EXPECT_EQ(run.rx.CAN11_Received(0x100), 1);
    EXPECT_EQ(run.rx.CAN11_DLC(0x100), 8);
    EXPECT_EQ(run.rx.CAN11_Received(0x7FF), 1);
    EXPECT_EQ(run.rx.CAN11_Received(0x123), 1);
    EXPECT_EQ(run.rx.CAN11_DLC(0x123), 0);
    // 0x800 would land in the tables' last slot (2048) if it were taken as an index.
    EXPECT_EQ(run.rx.CAN11_Received(2048), 0);
    EXPECT_EQ(run.rx.CAN11_DLC(2048), 0);
    EXPECT_EQ(run.rx.CAN11_Data1(2048), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayIdentifiers,
    ::testing::Values(
        IdRow{"CanusbStandard", 1, 0, {0x100, 0x7FF, 0x123}, false},
        IdRow{"CanusbExtended", 1, 0x80, {0x100, 0x7FF, 0x800, 0x1FFFFFFF, 0x123}, true},
        // Only the extended bit of the setting reaches the flags: no remote frames.
        IdRow{"CanusbStrayFlagBits", 1, 0x40, {0x100, 0x7FF, 0x123}, false},
        IdRow{"InterfaceAlwaysStandard", 2, 0x80, {0x100, 0x7FF, 0x123}, false}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Where the data of a buffer ends ------------------------------------------------------

struct EndRow
{
    const char *name;
    int32_t endId;
    int endAt;   // index of the ending record
};

void PrintTo(const EndRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlayEndOfData : public ::testing::TestWithParam<EndRow>
{
};

TEST_P(PlayEndOfData, AnIdentifierBelowOneEndsTheFile)
{
    const EndRow &row = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    std::vector<RecordFrame> file = series(6, 0, 5, {0x101, 0x102});
    file[size_t(row.endAt)].identifier = row.endId;
    ASSERT_TRUE(writeRecord(dir.filePath("end.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.targetFile(dir.path(), "end.dat");
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(sameFrames(listener.stop(), expectedOnBus(file)));
    // A file without data plays nothing, not even the bus check.
    EXPECT_EQ(run.host.statusLog.contains(QStringLiteral("CANバスのチェック中")), row.endAt > 0);
    EXPECT_EQ(run.host.RxFlag, 0);
    EXPECT_FALSE(run.host.timerBattReadEnabled());
}

INSTANTIATE_TEST_SUITE_P(Rows, PlayEndOfData,
                         ::testing::Values(EndRow{"FirstRecordZero", 0, 0},
                                           EndRow{"ZeroInTheMiddle", 0, 3},
                                           EndRow{"NegativeInTheMiddle", -5, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PlayEngine, AFullBufferOf20001FramesPlaysEveryFrameAndEnds)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    // All at time 0: due at once, sent back to back.
    const std::vector<RecordFrame> file = series(FrameBuffer::kSlots, 0, 0, {0x321});
    ASSERT_TRUE(writeRecord(dir.filePath("full.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port, FrameBuffer::kSlots));
    EngineRun run(port);
    run.targetFile(dir.path(), "full.dat");
    ASSERT_TRUE(run.run(60000));
    const std::vector<Seen> seen = listener.waitForAll(30000);
    EXPECT_TRUE(sameFrames(seen, file));
    EXPECT_EQ(run.play.PlayDAT_count, 0);
}

// ---- The clock ---------------------------------------------------------------------------

// The 32-bit millisecond clock wraps every 49.7 days; here it wraps 1 s into the bus check.
TEST(PlayEngine, AClockWrapDuringTheRunDoesNotFreezePlayback)
{
    const int port = freeTestPort();
    const double shift = PlayClock::kWrap - 4000.0 - PlayClock::monotonicMs();
    const HookGuard wrappingClock(&PlayClock::setSourceForTesting, PlayClock::Source([shift] {
        return std::fmod(PlayClock::monotonicMs() + shift + PlayClock::kWrap, PlayClock::kWrap);
    }));
    QTemporaryDir dir;
    const std::vector<RecordFrame> file = series(20, 0, 100, {0x111, 0x222});
    ASSERT_TRUE(writeRecord(dir.filePath("wrap.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.targetFile(dir.path(), "wrap.dat");
    const bool ended = run.run(20000);
    EXPECT_TRUE(ended) << "playback froze at the wrap";
    EXPECT_TRUE(sameFrames(listener.stop(), file));
    // The monitor subtracts this to stand on the engine's time line.
    EXPECT_EQ(run.play.interfaceCAN_offset_time, -PlayClock::kWrap);
    EXPECT_GT(run.play.vx_millisecond, PlayClock::kWrap);
    // The time line went on: the last frame came about 1.9 s after the first.
    EXPECT_GT(run.play.vx_millisecond - run.play.vx_millisecond_Repeat, 1800);
    EXPECT_LT(run.play.vx_millisecond - run.play.vx_millisecond_Repeat, 5000);
}

TEST(PlayClockTest, ReadingsGoOnAcrossEveryWrap)
{
    std::vector<double> readings = {4294967000.0, 4294967295.5, 3.25, 100.0, 4294967290.0, 7.0};
    size_t i = 0;
    PlayClock clock([&] { return readings[i++]; });
    EXPECT_EQ(clock.now(), 4294967000.0);
    EXPECT_EQ(clock.wrapOffset(), 0);
    EXPECT_EQ(clock.now(), 4294967295.5);
    EXPECT_EQ(clock.now(), PlayClock::kWrap + 3.25);
    EXPECT_EQ(clock.wrapOffset(), -PlayClock::kWrap);
    EXPECT_EQ(clock.now(), PlayClock::kWrap + 100.0);
    EXPECT_EQ(clock.now(), PlayClock::kWrap + 4294967290.0);
    EXPECT_EQ(clock.now(), 2 * PlayClock::kWrap + 7.0);
    EXPECT_EQ(clock.wrapOffset(), -2 * PlayClock::kWrap);
    // A new run starts from the reading as it is.
    clock.restart();
    readings = {5.0};
    i = 0;
    EXPECT_EQ(clock.now(), 5.0);
    EXPECT_EQ(clock.wrapOffset(), 0);
}

TEST(PlayClockTest, TheDefaultSourceIsTheMillisecondClockWithItsFraction)
{
    // vx_timeGetTime is the whole-millisecond count of the same clock.
    for (int i = 0; i < 100; ++i) {
        const double before = std::floor(PlayClock::monotonicMs());
        const double vx = vexa::vx_timeGetTime();
        const double after = std::floor(PlayClock::monotonicMs());
        EXPECT_GE(vx, before);
        EXPECT_LE(vx, after);
    }
}

TEST(PlayEngine, ARecordWithoutARealTimeIsDueAtOnce)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    std::vector<RecordFrame> file = series(4, 0, 50, {0x10});
    file[1].time = std::numeric_limits<double>::quiet_NaN();
    file[2].time = std::numeric_limits<double>::infinity();
    ASSERT_TRUE(writeRecord(dir.filePath("nan.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.targetFile(dir.path(), "nan.dat");
    EXPECT_TRUE(run.run(15000)) << "a time that is not a number held the run";
    EXPECT_TRUE(sameFrames(listener.stop(), file));
}

// ---- Pause ---------------------------------------------------------------------------------

// Two presses of Pause handled in one turn of the window system: the engine sees the
// resume without ever having seen the pause.
TEST(PlayEngine, APauseResumedBeforeTheEngineSawItCostsOnlyItsOwnLength)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    const std::vector<RecordFrame> file = series(10, 0, 100, {0x42});
    ASSERT_TRUE(writeRecord(dir.filePath("p.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.targetFile(dir.path(), "p.dat");
    bool pressed = false;
    run.host.onTick = [&] {
        if (!pressed && run.play.PlayDAT_count >= 3) {
            pressed = true;
            run.play.Pause_ON_Flag = 1;
            run.play.Pause_ON_Flag = 2;
        }
    };
    EXPECT_TRUE(run.run(15000)) << "the pause shifted the rest of the file by days";
    EXPECT_TRUE(pressed);
    EXPECT_GE(run.play.Pause_ON_offset_time, 0);
    EXPECT_LT(run.play.Pause_ON_offset_time, 100);
    EXPECT_TRUE(sameFrames(listener.stop(), file));
}

// ---- Devices that fail ---------------------------------------------------------------------

struct FailRow
{
    const char *name;
    int vendor;
    int32_t bitRate;
    bool configured;   // whether the device exists
    QString message;
};

void PrintTo(const FailRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlayDeviceFailure : public ::testing::TestWithParam<FailRow>
{
};

TEST_P(PlayDeviceFailure, ShowsTheVendorsMessageAndEndsTheRun)
{
    const FailRow &row = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("f.dat"), series(3, 0, 10, {0x55})));
    EngineRun run(port);
    ScopedEnv noAdapters("CANUSB_ADAPTERS", row.configured ? "PLAYUSB=" + driverBus(port) : "");
    ScopedEnv noPorts("IFCAN_PORTS", row.configured ? "1=" + driverBus(port) : "");
    run.params.t_select_Vender = row.vendor;
    run.params.t_bitRate = row.bitRate;
    run.targetFile(dir.path(), "f.dat");
    ASSERT_TRUE(run.run(10000));
    ASSERT_EQ(run.messages.messages.size(), 1u);
    EXPECT_EQ(run.messages.messages[0].text, row.message);
    EXPECT_EQ(run.messages.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(run.messages.messages[0].title, run.params.Application_title);
    EXPECT_EQ(run.host.RxFlag, 0);
    EXPECT_TRUE(run.host.protocol.isEmpty());
    EXPECT_FALSE(run.host.statusLog.contains(QStringLiteral("CANバスのチェック中")));
    if (row.vendor == 1)
        EXPECT_LT(run.CAN_d.CAN_USB_Handle, 1);
    else if (row.message == kUnsupportedRate)
        EXPECT_EQ(run.IfCan_d.Interface_CAN_Handle, "0") << "the board must not be opened";
    else
        EXPECT_EQ(run.IfCan_d.Interface_CAN_Handle, "-1");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayDeviceFailure,
    ::testing::Values(FailRow{"CanusbAbsent", 1, 2, false, kDeviceFailureUsb},
                      FailRow{"InterfaceAbsent", 2, 2, false, kDeviceFailureIf},
                      FailRow{"Interface800k", 2, 1, true, kUnsupportedRate},
                      FailRow{"Interface20k", 2, 6, true, kUnsupportedRate},
                      FailRow{"Interface10k", 2, 7, true, kUnsupportedRate},
                      FailRow{"CanusbRateFromADamagedSettingsFile", 1, 8, true,
                              kUnsupportedRate}),
    [](const auto &info) { return std::string(info.param.name); });

class PlayDeviceLost : public ::testing::TestWithParam<int>
{
};

// The bus goes away under a running playback (the host node ends): the run says so and
// ends instead of playing on into nothing.
TEST_P(PlayDeviceLost, EndsTheRunWithTheDeviceMessage)
{
    const int vendor = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("long.dat"), series(200, 0, 50, {0x77})));
    BusHost busHost;
    ASSERT_TRUE(busHost.start(port));
    EngineRun run(port);
    run.params.t_select_Vender = vendor;
    run.targetFile(dir.path(), "long.dat");
    bool killed = false;
    run.host.onTick = [&] {
        if (!killed && run.play.PlayDAT_count >= 5) {
            killed = true;
            busHost.kill();
        }
    };
    ASSERT_TRUE(run.run(20000)) << "the run played on without a bus";
    EXPECT_TRUE(killed);
    ASSERT_EQ(run.messages.messages.size(), 1u);
    EXPECT_EQ(run.messages.messages[0].text, vendor == 1 ? kDeviceFailureUsb : kDeviceFailureIf);
    EXPECT_LT(run.play.PlayDAT_count, 150);
}

INSTANTIATE_TEST_SUITE_P(Vendors, PlayDeviceLost, ::testing::Values(1, 2),
                         [](const auto &info) { return info.param == 1 ? "Canusb" : "Interface"; });

// ---- Folders -------------------------------------------------------------------------------

// Four files of one recording; the third is spoilt after the list was made, before its
// preload. The run passes over it and plays the fourth.
struct SpoilRow
{
    const char *name;
    std::function<void(const QString &path)> spoil;
};

void PrintTo(const SpoilRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlayPreloadSkips : public ::testing::TestWithParam<SpoilRow>
{
};

TEST_P(PlayPreloadSkips, AFileSpoiltBeforeItsPreloadIsPassedOver)
{
    const SpoilRow &row = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    std::vector<std::vector<RecordFrame>> files;
    for (int k = 0; k < 4; ++k) {
        files.push_back(series(4, 200.0 * k, 40, {0x300 + k}, uint8_t(k + 1)));
        const QString name = QStringLiteral("CR-%1.dat").arg(k + 1);
        ASSERT_TRUE(writeRecord(dir.filePath(name), files.back()));
    }
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.targetFolder(dir.path());
    QString spoilt;
    run.host.onTick = [&] {
        // By the first tick the list is made and the second file is loaded.
        if (spoilt.isEmpty()) {
            for (int i = 0; i < run.play.FolderPlayMode_FN_Count; ++i)
                if (run.play.FolderPlayMode_FN_List(i) == "CR-3.dat")
                    spoilt = dir.filePath("CR-3.dat");
            row.spoil(spoilt);
        }
    };
    ASSERT_TRUE(run.run(30000)) << "the run stalled on the spoilt file";
    EXPECT_EQ(run.play.FolderPlayMode_FN_Count, 4);
    const std::vector<Seen> seen = listener.stop();
    // Files are played in the order the folder lists them; the third file's frames never
    // go out and every other file's do, each one whole.
    EXPECT_TRUE(only(seen, 3).empty());
    for (uint8_t tag : {1, 2, 4})
        EXPECT_TRUE(sameFrames(only(seen, tag), files[tag - 1])) << int(tag);
    EXPECT_EQ(seen.size(), 12u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayPreloadSkips,
    ::testing::Values(
        SpoilRow{"Vanished", [](const QString &p) { QFile::remove(p); }},
        SpoilRow{"Truncated", [](const QString &p) {
                     QFile f(p);
                     f.open(QIODevice::ReadWrite);
                     f.resize(1000);
                 }},
        SpoilRow{"ReplacedByAFolder", [](const QString &p) {
                     QFile::remove(p);
                     QDir().mkdir(p);
                 }},
        SpoilRow{"WithoutFrames", [](const QString &p) { writeRecord(p, {}); }}),
    [](const auto &info) { return std::string(info.param.name); });

// Files shorter than the preload takes: each must still hand over to the next one.
TEST(PlayEngine, FilesShorterThanTheirPreloadStillPlayInTurn)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    std::vector<RecordFrame> all;
    for (int k = 0; k < 3; ++k) {
        const auto f = series(2, 2.0 * k, 1, {0x400 + k}, uint8_t(k + 1));
        ASSERT_TRUE(writeRecord(dir.filePath(QStringLiteral("S%1.dat").arg(k)), f));
    }
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.targetFolder(dir.path());
    ASSERT_TRUE(run.run(20000));
    const std::vector<Seen> seen = listener.stop();
    ASSERT_EQ(seen.size(), 6u);
    // Whatever the listing order, each file is played once, whole, and files do not mix.
    std::vector<int> tags;
    for (const Seen &s : seen)
        tags.push_back(uint8_t(s.data[0]));
    for (size_t i = 0; i < 6; i += 2)
        EXPECT_EQ(tags[i], tags[i + 1]);
    std::vector<int> files = {tags[0], tags[2], tags[4]};
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(run.host.preloads, 3);
}

TEST(PlayEngine, AFolderWithRepeatGoesBackToItsFirstFile)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("A.dat"), series(3, 0, 30, {0x501}, 1), "first"));
    ASSERT_TRUE(writeRecord(dir.filePath("B.dat"), series(3, 120, 30, {0x502}, 2), "second"));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.targetFolder(dir.path());
    run.play.t_RecPlay_PlayMode_Repeat = 1;
    int cycles = 0;
    run.host.onTick = [&] {
        // Second cycle under way: switch repeat off, so the run ends after it.
        if (run.play.vx_millisecond_Repeat_MAX > 0 && run.play.t_RecPlay_PlayMode_Repeat == 1) {
            ++cycles;
            run.play.t_RecPlay_PlayMode_Repeat = 0;
        }
    };
    ASSERT_TRUE(run.run(20000));
    EXPECT_EQ(cycles, 1);
    const std::vector<Seen> seen = listener.stop();
    ASSERT_EQ(seen.size(), 12u);
    std::vector<int> tags;
    for (size_t i = 0; i < seen.size(); i += 3)
        tags.push_back(uint8_t(seen[i].data[0]));
    // Listing order decides which file is first; the cycle repeats it.
    EXPECT_EQ(tags[0], tags[2]);
    EXPECT_EQ(tags[1], tags[3]);
    EXPECT_NE(tags[0], tags[1]);
    // The first cycle's length is kept: at least the 60 ms the first file spans.
    EXPECT_GE(run.play.vx_millisecond_Repeat_MAX, 59);
    EXPECT_LT(run.play.vx_millisecond_Repeat_MAX, 1000);
}

// ---- The per-ID entry of sent frames --------------------------------------------------------

TEST(PlayEngine, SentFramesAreEnteredAsReceivedOnesAndCheckedIdsAreNotSent)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    const std::vector<RecordFrame> file = {
        frame(0x120, 0, 2, {0xA1, 0xA2}),
        frame(0x250, 5, 1, {0x01}),            // another node sends this one
        frame(0x120, 300, 3, {0xB1, 0xB2, 0xB3}),
    };
    ASSERT_TRUE(writeRecord(dir.filePath("b.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    OtherNode node;
    ASSERT_TRUE(node.start(port, {"0 250 1 99", "200 251 1 98"}, 1500));
    EngineRun run(port);
    run.targetFile(dir.path(), "b.dat");
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(node.finished());

    EXPECT_EQ(run.rx.CAN11_Disabled_ID(0x250), 1);
    EXPECT_EQ(run.rx.CAN11_Disabled_ID(0x251), 1);
    EXPECT_EQ(run.rx.CAN11_Received(0x250), 0) << "a frame not sent is not entered";
    EXPECT_EQ(run.rx.CAN11_Received(0x120), 1);
    EXPECT_EQ(run.rx.CAN11_DLC(0x120), 3);
    EXPECT_EQ(run.rx.CAN11_Data1_old(0x120), 0xA1);
    EXPECT_EQ(run.rx.CAN11_Data2_old(0x120), 0xA2);
    EXPECT_EQ(run.rx.CAN11_Data1(0x120), 0xB1);
    EXPECT_EQ(run.rx.CAN11_Data3(0x120), 0xB3);
    EXPECT_EQ(run.rx.CAN11_ReceivedTime_writting(0x120), 0);
    const double delta =
        (run.rx.CAN11_ReceivedTime(0x120) - run.rx.CAN11_ReceivedTime_old(0x120)).toDouble();
    EXPECT_GE(delta, 299);
    EXPECT_LT(delta, 400);
    // The playing time of the last send, on the clock the monitor reads.
    EXPECT_NEAR(run.rx.CAN11_ReadTime_old(0x120), run.rx.CAN11_ReceivedTime(0x120).toDouble(),
                0.001);
    // Whole milliseconds, as in a recording: the monitor shows "300ms", not "300.0123ms".
    EXPECT_EQ(run.rx.CAN11_ReceivedTime(0x120).scaled() % 10000, 0);
    EXPECT_EQ(run.rx.CAN11_ReceivedTime_old(0x120).scaled() % 10000, 0);

    std::vector<Seen> seen = listener.stop();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].id, 0x250u);   // the other node's own frames come first
    EXPECT_EQ(seen[1].id, 0x251u);
    seen.erase(seen.begin(), seen.begin() + 2);
    EXPECT_TRUE(sameFrames(seen, expectedOnBus(file, {0x250})));
}

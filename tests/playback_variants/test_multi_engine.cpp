// The exclusion and skip-time engine on a private virtual bus, with cansim listening.
#include "CAN_PlayDB_Multi.h"
#include "CanusbPlayDevice.h"
#include "VariantRun.h"
#include "free_port.h"

#include <QEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace playtest;

namespace {

std::vector<uint32_t> ids(const std::vector<Seen> &seen)
{
    std::vector<uint32_t> out;
    for (const Seen &s : seen)
        out.push_back(s.id);
    return out;
}

} // namespace

// ---- Exclusion ranges ------------------------------------------------------------------------

struct RangeRow
{
    const char *name;
    int vendor;
    int32_t start;
    int32_t end;
    std::vector<uint32_t> onWire;
};

class MultiExclusion : public ::testing::TestWithParam<RangeRow>
{
};

TEST_P(MultiExclusion, SendsOnlyWhatNoEnabledRangeHolds)
{
    const RangeRow &row = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("r.dat"),
                            {frame(0x0FF, 0, 1, {1}), frame(0x100, 10, 1, {2}),
                             frame(0x1FF, 20, 1, {3}), frame(0x200, 30, 1, {4})}));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_select_Vender = row.vendor;
    excludeRange(run.params, 3, row.start, row.end);
    run.targetFile(dir.path(), "r.dat");
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.messages.messages.empty()) << run.messages.texts().join('|').toStdString();
    EXPECT_EQ(ids(listener.stop()), row.onWire);
    // Excluded frames are not entered as sent either.
    for (int16_t id : {0x100, 0x1FF}) {
        if (std::find(row.onWire.begin(), row.onWire.end(), uint32_t(id)) != row.onWire.end())
            continue;
        EXPECT_EQ(run.rx.CAN11_Received(id), 0) << std::hex << id;
    }
    EXPECT_NE(run.play.CanPlay_Multi, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MultiExclusion,
    ::testing::Values(RangeRow{"BoundsInclusiveUsb", 1, 0x100, 0x1FF, {0x0FF, 0x200}},
                      RangeRow{"BoundsInclusiveInterface", 2, 0x100, 0x1FF, {0x0FF, 0x200}},
                      RangeRow{"SingleId", 1, 0x1FF, 0x1FF, {0x0FF, 0x100, 0x200}},
                      RangeRow{"ReversedRangeExcludesNothing", 1, 0x1FF, 0x100,
                               {0x0FF, 0x100, 0x1FF, 0x200}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MultiEngine, AFileThatBeginsWithExcludedFramesStartsAtItsFirstKeptFrameOwnTime)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    std::vector<RecordFrame> file;
    // 3000 excluded frames (past the scan's yields) over the first 900 ms.
    for (int i = 0; i < 3000; ++i)
        file.push_back(frame(0x150, 5000 + 0.3 * i, 1, {uint8_t(i)}));
    file.push_back(frame(0x300, 6000, 1, {0xA1}));
    file.push_back(frame(0x150, 6010, 1, {0xEE}));
    file.push_back(frame(0x301, 6100, 1, {0xA2}));
    ASSERT_TRUE(writeRecord(dir.filePath("late.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    excludeRange(run.params, 0, 0x150, 0x150);
    run.targetFile(dir.path(), "late.dat");
    ASSERT_TRUE(run.run());
    EXPECT_EQ(ids(listener.stop()), (std::vector<uint32_t>{0x300, 0x301}));
    auto *engine = static_cast<CAN_PlayDB_Multi *>(run.play.CanPlay_Multi.get());
    EXPECT_EQ(engine->PlayDAT_StartIndex, 3000);
    // Due 1000 ms after record 0, not at once.
    EXPECT_GE(sentAt(run, 0x300), 1000);
    EXPECT_LT(sentAt(run, 0x300), 1150);
    EXPECT_NEAR(sentAt(run, 0x301) - sentAt(run, 0x300), 100, 40);
}

TEST(MultiEngine, AFileOfExcludedFramesOnlyPlaysNothingAndSkipsTheBusCheck)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("all.dat"), series(50, 0, 1, {0x120, 0x130})));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    excludeRange(run.params, 7, 0x100, 0x1FF);
    run.targetFile(dir.path(), "all.dat");
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(listener.stop().empty());
    EXPECT_FALSE(run.host.statusLog.contains(QStringLiteral("CANバスのチェック中")));
    EXPECT_EQ(run.host.RxFlag, 0);
}

// ---- Skip-time at file switches ------------------------------------------------------------

struct GapRow
{
    const char *name;
    double gapMs;
    int32_t threshold;
    bool skipped;
};

class MultiSkipTime : public ::testing::TestWithParam<GapRow>
{
};

// Three files, each two frames 100 ms apart, with the gap of the row between them.
TEST_P(MultiSkipTime, LongGapsArePlayedBackToBackShortOnesAsRecorded)
{
    const GapRow &row = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    const auto listed = writeListedFolder(dir.path(), 3, [&](int i) {
        const double start = 1000 + i * (100 + row.gapMs);
        return std::vector<RecordFrame>{frame(0x101 + i, start, 1, {uint8_t(i)}),
                                        frame(0x111 + i, start + 100, 1, {uint8_t(i)})};
    });
    ASSERT_EQ(listed.size(), 3u);
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    preloadAsTheWindowDoes(run);
    run.params.t_SkipTimeON = 1;
    run.params.t_SkipTime_Value = row.threshold;
    run.targetFolder(dir.path());
    ASSERT_TRUE(run.run(30000)) << "the gaps were waited for";
    EXPECT_EQ(ids(listener.stop()),
              (std::vector<uint32_t>{0x101, 0x111, 0x102, 0x112, 0x103, 0x113}));
    for (int16_t i = 0; i < 3; ++i) {
        // Every file keeps its own spacing.
        EXPECT_NEAR(sentAt(run, 0x111 + i) - sentAt(run, 0x101 + i), 100, 40) << i;
        if (i == 0)
            continue;
        const double gap = sentAt(run, 0x101 + i) - sentAt(run, 0x110 + i);
        if (row.skipped) {
            EXPECT_LT(gap, 40) << i;
        } else {
            // Measured from when the previous frame actually left, which may be late.
            EXPECT_GE(gap, row.gapMs - 30) << i;
            EXPECT_LT(gap, row.gapMs + 60) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MultiSkipTime,
    ::testing::Values(GapRow{"TenMinutes", 600000, 300, true},
                      GapRow{"AboveThreshold", 500, 300, true},
                      GapRow{"BelowThreshold", 200, 300, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MultiEngine, SkipTimeDoesNotTouchASingleFile)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("one.dat"),
                            {frame(0x101, 0, 1, {1}), frame(0x102, 700, 1, {2})}));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_SkipTimeON = 1;
    run.params.t_SkipTime_Value = 300;
    run.targetFile(dir.path(), "one.dat");
    ASSERT_TRUE(run.run());
    EXPECT_EQ(listener.stop().size(), 2u);
    EXPECT_NEAR(sentAt(run, 0x102) - sentAt(run, 0x101), 700, 40);
}

TEST(MultiEngine, FolderFilesOfExcludedFramesOnlyArePassedOverAtStartAndPreload)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    // Listed order: excluded-only, kept, excluded-only, kept.
    const auto listed = writeListedFolder(dir.path(), 4, [](int i) {
        if (i % 2 == 0)
            return series(1500, 0, 0.1, {0x180}, uint8_t(i));
        return std::vector<RecordFrame>{frame(0x180, 0, 1, {9}), frame(0x200 + i, 5, 1, {uint8_t(i)})};
    });
    ASSERT_EQ(listed.size(), 4u);
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    preloadAsTheWindowDoes(run);
    excludeRange(run.params, 0, 0x180, 0x180);
    run.targetFolder(dir.path());
    ASSERT_TRUE(run.run());
    EXPECT_EQ(ids(listener.stop()), (std::vector<uint32_t>{0x201, 0x203}));
}

// ---- Long runs of excluded frames -----------------------------------------------------------

namespace {

// Counts the turns the window system gets: an event that posts itself again is delivered
// once per turn.
class TurnCounter final : public QObject
{
public:
    TurnCounter() { repost(); }
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++turns;
        repost();
        return true;
    }
    int turns = 0;

private:
    void repost() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
};

} // namespace

// Every turn costs time the next kept frame waits for; one per 1000 frames passed over is
// enough for Disconnect and Pause. (bench_excluded_run measures the delay on the bus.)
TEST(MultiEngine, ALongRunOfExcludedFramesGivesTheWindowSystemOneTurnPerThousand)
{
    FrameBuffer file;
    file[0] = frame(0x100, 0, 1, {1});
    for (int i = 1; i < FrameBuffer::kLastIndex; ++i)
        file[i] = frame(0x150, 0, 1, {2});
    file[FrameBuffer::kLastIndex] = frame(0x200, 0, 1, {3});
    ELM327_Info params;
    excludeRange(params, 0, 0x150, 0x150);
    CANUSB usb;
    CAN_DB adapters;
    CanusbPlayDevice device(params, usb, adapters);
    TurnCounter counter;
    int32_t count = 0;
    CAN_PlayDB_Multi::advanceKept(count, file.frames(), params, device);
    EXPECT_EQ(count, FrameBuffer::kLastIndex);
    EXPECT_EQ(device.message().id, 0x200u);
    // 19,999 frames passed over: 19 turns.
    EXPECT_GE(counter.turns, 19);
    EXPECT_LE(counter.turns, 20);
}

// ---- Repeat across a folder whose first listed file cannot be played ------------------------

enum class FirstFile { ExcludedOnly, WithoutFrames, Vanishes };

struct WrapRow
{
    const char *name;
    bool exclusionEngine;
    FirstFile first;
};

class RepeatedFolder : public ::testing::TestWithParam<WrapRow>
{
};

// Listed order: the row's first file, then A and B, three frames 60 ms apart each and B
// 200 ms after A. Each pass after the first must begin a new cycle and keep the recorded
// spacing; a pass that did not would send its frames back to back, for ever.
TEST_P(RepeatedFolder, EveryPassKeepsTheRecordedSpacing)
{
    const WrapRow &row = GetParam();
    QTemporaryDir dir;
    const auto listed = writeListedFolder(dir.path(), 3, [&](int i) {
        if (i == 0 && row.first == FirstFile::WithoutFrames)
            return std::vector<RecordFrame>{};
        const int32_t id = i == 0 && row.first == FirstFile::ExcludedOnly ? 0x7F0 : 0x300 + i;
        return series(3, 200.0 * i, 60, {id}, uint8_t(i));
    });
    ASSERT_EQ(listed.size(), 3u);
    const int port = freeTestPort();
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    preloadAsTheWindowDoes(run);
    if (row.exclusionEngine)
        excludeRange(run.params, 0, 0x7F0, 0x7F0);
    run.targetFolder(dir.path());
    run.play.t_RecPlay_PlayMode_Repeat = 1;
    const QString first = dir.filePath(listed[0]);
    run.host.onTick = [&] {
        // Gone after it has been loaded for the first pass.
        if (row.first == FirstFile::Vanishes)
            QFile::remove(first);
        if (run.play.vx_millisecond - run.play.vx_start_time > 1500)
            run.host.RxFlag = 0;
    };
    ASSERT_TRUE(run.run());
    std::vector<Seen> passes;
    for (const Seen &s : listener.stop())
        if (s.id == 0x301 || s.id == 0x302)
            passes.push_back(s);
    ASSERT_GE(passes.size(), 12u) << "two passes of A and B";
    EXPECT_LT(passes.size(), 40u) << "frames sent back to back";
    for (size_t pass = 0; pass < 2; ++pass) {
        const Seen &a = passes[pass * 6];
        const Seen &b = passes[pass * 6 + 5];
        EXPECT_EQ(a.id, 0x301u) << pass;
        EXPECT_EQ(b.id, 0x302u) << pass;
        EXPECT_NEAR(b.ms - a.ms, 320, 60) << "pass " << pass + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RepeatedFolder,
    ::testing::Values(WrapRow{"FirstOfExcludedFramesOnly", true, FirstFile::ExcludedOnly},
                      WrapRow{"FirstWithoutFrames", true, FirstFile::WithoutFrames},
                      WrapRow{"FirstVanishesExclusionEngine", true, FirstFile::Vanishes},
                      WrapRow{"FirstVanishesPlainEngine", false, FirstFile::Vanishes}),
    [](const auto &info) { return std::string(info.param.name); });

// The run's timing on a fake clock, and the stage that hands frames to the driver.
#include "FakePlayDevice.h"
#include "PlaybackFixture.h"
#include "PlayPacer.h"
#include "PlayRunState.h"
#include "PlaySender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace playtest;

namespace {

// A pacer on a clock that moves only when the run rests (or the test says so).
struct PacerRig
{
    explicit PacerRig(double t0 = 0) { pacer.start(t0); }
    double ms = 1000;
    PlayRunState state;
    PlayPacer pacer{state, PlayClock([this] { return ms; }), [this](double rest) { ms += rest; }};
};

struct DueRow
{
    const char *name;
    double recordMs;     // the record's time; t0 is 100
    double elapsedMs;    // playing time at the last reading
    double lookAheadMs;
    int pauseFlag;
    bool due;
};

class PacerDue : public ::testing::TestWithParam<DueRow>
{
};

TEST_P(PacerDue, FollowsTheTimingRule)
{
    const DueRow &row = GetParam();
    PacerRig time(100);
    PlayRunState &state = time.state;
    PlayPacer &pacer = time.pacer;
    time.ms += row.elapsedMs;
    pacer.readClock();
    state.Pause_ON_Flag = row.pauseFlag;
    EXPECT_EQ(pacer.isDue(frame(0x10, row.recordMs, 1, {1}), row.lookAheadMs), row.due);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PacerDue,
    ::testing::Values(DueRow{"Reached", 150, 50, 0, 0, true},
                      DueRow{"NotYet", 150.5, 50, 0, 0, false},
                      DueRow{"WithinTheLookAhead", 158, 50, 8, 0, true},
                      DueRow{"BeyondTheLookAhead", 158.5, 50, 8, 0, false},
                      DueRow{"EarlierThanT0", 20, 0, 0, 0, true},
                      DueRow{"NoRealTime", std::numeric_limits<double>::quiet_NaN(), 0, 0, 0, true},
                      DueRow{"NeverWhilePaused", 100, 50, 0, 1, false},
                      DueRow{"NorWithAResumeAskedFor", 100, 50, 0, 2, false}),
    [](const auto &info) { return std::string(info.param.name); });

// While a timed driver holds frames, a pass rests until the next frame is half the
// look-ahead away, a few milliseconds at most, and not at all once it is nearer.
struct HandOverRow
{
    const char *name;
    double aheadMs;   // the next frame's time from now
    int pauseFlag;
    double restMs;
};

class PacerHandOver : public ::testing::TestWithParam<HandOverRow>
{
};

TEST_P(PacerHandOver, RestsUntilHalfTheLookAheadIsLeft)
{
    const HandOverRow &row = GetParam();
    PacerRig time;
    time.pacer.waitingPass();
    time.state.Pause_ON_Flag = row.pauseFlag;
    RecordFrame next;
    next.time = row.aheadMs;
    const double before = time.ms;
    time.pacer.restBeforeHandOver(next, PlayPacer::kLookAheadMs);
    EXPECT_NEAR(time.ms - before, row.restMs, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PacerHandOver,
    ::testing::Values(HandOverRow{"FarOffRestsTheTimedMaximum", 500, 0, PlayPacer::kMaxTimedRestMs},
                      HandOverRow{"RestsUntilHalfTheLookAhead", PlayPacer::kLookAheadMs / 2 + 1.5,
                                  0, 1.5},
                      HandOverRow{"NearerRestsNot", PlayPacer::kLookAheadMs / 2 - 1, 0, 0},
                      HandOverRow{"PausedRestsAMillisecond", 500, 1, PlayPacer::kMaxRestMs}),
    [](const auto &info) { return std::string(info.param.name); });

// A run's passes: read the clock, let the window system run (where the clicks land), rest
// up to a millisecond. The sleeps must not be counted into the pauses.
TEST(PacerPause, FiftyPausesShiftTheScheduleByTheirOwnLength)
{
    PacerRig time;
    PlayRunState &state = time.state;
    PlayPacer &pacer = time.pacer;
    double clicked = 0;
    for (int i = 0; i < 50; ++i) {
        pacer.waitingPass();
        time.ms += 0.3;   // the click is handled a little after the reading
        state.Pause_ON_Flag = 1;
        pacer.pauseClicked();
        const double pauseStart = time.ms;
        pacer.restBefore(nullptr);
        for (int pass = 0; pass < 20; ++pass) {
            pacer.waitingPass();
            pacer.restBefore(nullptr);
        }
        time.ms += 0.4;
        state.Pause_ON_Flag = 2;
        pacer.resumeClicked();
        clicked += time.ms - pauseStart;
        pacer.restBefore(nullptr);   // the resume is taken a rest later
        pacer.waitingPass();
        EXPECT_EQ(state.Pause_ON_Flag, 0);
        EXPECT_NEAR(state.Pause_ON_offset_time, clicked, 0.1 * (i + 1)) << "pause " << i;
    }
    EXPECT_NEAR(state.Pause_ON_offset_time, clicked, 1e-6);
    EXPECT_NEAR(state.Pause_ON_offset_time2, clicked, 1e-6);
}

TEST(PacerPause, APauseSetWithoutItsClickBeginsAtTheLastReading)
{
    PacerRig time;
    PlayRunState &state = time.state;
    PlayPacer &pacer = time.pacer;
    time.ms += 10;
    pacer.waitingPass();
    state.Pause_ON_Flag = 1;
    time.ms += 5;
    pacer.waitingPass();
    EXPECT_EQ(state.Pause_ON_starttime, 1010);
    EXPECT_EQ(state.vx_millisecond, 1010) << "the clock stands while paused";
    time.ms += 100;
    state.Pause_ON_Flag = 2;
    pacer.waitingPass();
    EXPECT_EQ(state.Pause_ON_offset_time, 105);
}

TEST(PacerCycle, ANewCycleStartsWhenTheLastFrameOfTheOneBeforeLeft)
{
    PacerRig time;
    PlayRunState &state = time.state;
    PlayPacer &pacer = time.pacer;
    // The last frame of a 198 ms cycle left at its time; the run noticed 0.8 ms later.
    time.ms += 198.8;
    pacer.startCycle(1198);
    EXPECT_EQ(state.vx_millisecond_Repeat, 1198);
    EXPECT_EQ(state.vx_millisecond_Repeat_MAX, 198);
    EXPECT_TRUE(pacer.isDue(frame(1, 0, 1, {})));
    EXPECT_FALSE(pacer.isDue(frame(1, 2, 1, {})));
    // The frame 2 ms into the new cycle is due 2 ms after the last one left.
    EXPECT_DOUBLE_EQ(pacer.dueMs(frame(1, 2, 1, {})), 1200);
    // Never later than now, and the first cycle's length is kept.
    time.ms = 1300;
    pacer.startCycle(5000);
    EXPECT_EQ(state.vx_millisecond_Repeat, 1300);
    EXPECT_EQ(state.vx_millisecond_Repeat_MAX, 198);
}

struct SkipRow
{
    const char *name;
    double nextMs;
    double thresholdMs;
    double skipped;
};

class PacerSkip : public ::testing::TestWithParam<SkipRow>
{
};

TEST_P(PacerSkip, SkipsOnlyAGapOfAtLeastTheThreshold)
{
    const SkipRow &row = GetParam();
    PacerRig time;
    PlayPacer &pacer = time.pacer;
    time.ms += 1000;
    pacer.readClock();
    pacer.skipGap(frame(1, row.nextMs, 1, {}), row.thresholdMs);
    EXPECT_DOUBLE_EQ(pacer.skipOffset(), row.skipped);
    if (row.skipped > 0) {
        EXPECT_TRUE(pacer.isDue(frame(1, row.nextMs, 1, {})));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PacerSkip,
    ::testing::Values(SkipRow{"TenMinutes", 601000, 300, 600000},
                      SkipRow{"ExactlyTheThreshold", 1300, 300, 300},
                      SkipRow{"ShorterIsPlayed", 1200, 300, 0},
                      SkipRow{"AlreadyDue", 900, 0, 0},
                      SkipRow{"NoRealTime", std::numeric_limits<double>::quiet_NaN(), 300, 0}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- The stage between the run and the driver ------------------------------------------

struct SenderFixture
{
    PacerRig time;
    FakePlayDevice device;
    PlaySender sender{device, time.pacer};
    std::vector<uint32_t> left;

    void begin()
    {
        sender.onLeft = [this](const PlayMessage &m, double) { left.push_back(m.id); };
        sender.begin();
    }
    PlaySender::Result put(int32_t index)
    {
        device.fill(frame(index + 1, index, 1, {}));
        return sender.put(index, 1000 + index);
    }
};

TEST(PlaySenderTest, FramesLeaveInOrderAcrossTheWrapOfTheDriversCounter)
{
    SenderFixture f;
    f.device.sent = 0xFFFFFFF0u;
    f.begin();
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(f.put(i), PlaySender::Result::Done);
    EXPECT_EQ(f.sender.firstWaiting(), 0);
    for (int step = 0; step < 4; ++step) {
        f.device.leave(10);
        EXPECT_TRUE(f.sender.collect());
        ASSERT_EQ(f.left.size(), size_t(10 * (step + 1)));
    }
    EXPECT_LT(f.device.sent, 0x100u) << "the counter wrapped";
    EXPECT_TRUE(f.sender.settled());
    for (uint32_t i = 0; i < 40; ++i)
        EXPECT_EQ(f.left[i], i + 1);
}

TEST(PlaySenderTest, FramesDroppedWithTheDeviceAreALossAndNeverEntered)
{
    SenderFixture f;
    f.device.sent = 0xFFFFFFFEu;
    f.begin();
    for (int i = 0; i < int(PlayHandOff::kMaxFrames); ++i)
        ASSERT_EQ(f.put(i), PlaySender::Result::Done);
    EXPECT_FALSE(f.sender.hasRoom());
    f.device.leave(5);
    f.device.waiting = 0;   // the device went, and what it held with it
    EXPECT_FALSE(f.sender.collect());
    EXPECT_EQ(f.left.size(), 5u);
}

TEST(PlaySenderTest, APauseTakesBackWhatHasNotLeft)
{
    SenderFixture f;
    f.begin();
    for (int i = 0; i < 10; ++i)
        f.put(i);
    f.device.leave(3);
    EXPECT_EQ(f.sender.takeBack(), 3);
    EXPECT_EQ(f.left.size(), 3u);
    EXPECT_TRUE(f.sender.settled());
    EXPECT_TRUE(f.sender.collect()) << "what the pause dropped is no loss";
    // Handed again, the frames count on from where the driver stands.
    f.put(3);
    f.device.leave(1);
    EXPECT_TRUE(f.sender.collect());
    EXPECT_EQ(f.left.back(), 4u);
}

struct RefuseRow
{
    const char *name;
    bool timed;
};

class PlaySenderRefusal : public ::testing::TestWithParam<RefuseRow>
{
};

TEST_P(PlaySenderRefusal, ARefusedFrameIsCountedAndNotReportedSent)
{
    SenderFixture f;
    f.device.timed = GetParam().timed;
    f.begin();
    f.device.answer = PlayDevice::SendResult::Refused;
    EXPECT_EQ(f.put(0), PlaySender::Result::Done);
    f.device.answer = PlayDevice::SendResult::Sent;
    EXPECT_EQ(f.put(1), PlaySender::Result::Done);
    f.device.leave(f.device.waiting);
    EXPECT_TRUE(f.sender.collect());
    EXPECT_EQ(f.left, std::vector<uint32_t>{2});
    EXPECT_EQ(f.sender.refused(), 1);
    f.device.answer = PlayDevice::SendResult::Lost;
    EXPECT_EQ(f.put(2), PlaySender::Result::Lost);
}

INSTANTIATE_TEST_SUITE_P(Rows, PlaySenderRefusal,
                         ::testing::Values(RefuseRow{"Timed", true}, RefuseRow{"Direct", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

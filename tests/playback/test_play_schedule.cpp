// The schedule on the bus while frames are handed to the driver ahead of time. The Pause
// button: from the click on nothing leaves, even while the rest of that turn of the event
// loop takes its time, and the status line counts only frames that left, never stepping
// back. Repeat: a new cycle starts when the last frame of the one before has left.
#include "EngineRun.h"
#include "PlayClock.h"
#include "free_port.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace playtest;

namespace {

class PauseClick : public ::testing::TestWithParam<int>
{
};

TEST_P(PauseClick, NothingLeavesAfterTheClickAndMsgCountsFramesThatLeft)
{
    // A frame every millisecond for 1.2 s.
    const std::vector<RecordFrame> file = series(1200, 0, 1, {0x210, 0x211});
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("p.dat"), file));
    const int port = freeTestPort();
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_select_Vender = GetParam();
    run.targetFile(dir.path(), "p.dat");
    double pausedAt = -1;
    double resumedAt = -1;
    int msgAhead = 0;
    int msgBack = 0;
    int32_t lastMsg = 0;
    run.host.onTick = [&] {
        // One file, every frame sent, no repeat: the next frame to leave is the count sent.
        if (run.play.PlayDAT_count != run.play.sentFrameCount)
            ++msgAhead;
        if (run.play.PlayDAT_count < lastMsg)
            ++msgBack;
        lastMsg = run.play.PlayDAT_count;
        if (pausedAt < 0 && run.play.sentFrameCount >= 300) {
            run.play.pauseClicked();
            pausedAt = PlayClock::monotonicMs();
            // The rest of this turn of the event loop (a redraw, say) takes a while.
            while (PlayClock::monotonicMs() < pausedAt + 20) {
            }
        } else if (pausedAt >= 0 && resumedAt < 0 && PlayClock::monotonicMs() > pausedAt + 300) {
            resumedAt = PlayClock::monotonicMs();
            run.play.resumeClicked();
        }
    };
    ASSERT_TRUE(run.run());
    ASSERT_GT(resumedAt, pausedAt);
    const std::vector<Seen> seen = listener.stop();
    ASSERT_TRUE(sameFrames(seen, file)) << "nothing lost, nothing twice";
    // Before the resume only frames due by the click may have left (the last of them may
    // still be on its way to the listener).
    const double origin = run.play.vx_start_time;
    int afterClick = 0;
    for (size_t i = 0; i < seen.size(); ++i)
        afterClick += seen[i].ms < resumedAt && origin + file[i].time > pausedAt + 1.0 ? 1 : 0;
    EXPECT_EQ(afterClick, 0) << "frames left after the Pause click was handled";
    EXPECT_EQ(msgAhead, 0) << "Msg: showed frames that had not left";
    EXPECT_EQ(msgBack, 0) << "Msg: stepped back";
    EXPECT_EQ(run.play.sentFrameCount, int64_t(file.size()));
}

INSTANTIATE_TEST_SUITE_P(Vendors, PauseClick, ::testing::Values(1, 2),
                         [](const auto &info) { return info.param == 1 ? "Canusb" : "Interface"; });

class RepeatCycle : public ::testing::TestWithParam<int>
{
};

TEST_P(RepeatCycle, StartsWhenTheLastFrameOfTheCycleBeforeHasLeft)
{
    // 198 ms from the first frame to the last, 2 ms apart.
    const std::vector<RecordFrame> file = series(100, 0, 2, {0x220, 0x221});
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("r.dat"), file));
    const int port = freeTestPort();
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_select_Vender = GetParam();
    run.targetFile(dir.path(), "r.dat");
    run.play.t_RecPlay_PlayMode_Repeat = 1;
    std::vector<double> cycleStarts;
    run.host.onTick = [&] {
        if (cycleStarts.empty() || cycleStarts.back() != run.play.vx_millisecond_Repeat)
            cycleStarts.push_back(run.play.vx_millisecond_Repeat);
        if (cycleStarts.size() > 5)
            run.host.RxFlag = 0;
    };
    ASSERT_TRUE(run.run());
    ASSERT_GT(cycleStarts.size(), 5u);
    EXPECT_GE(run.play.vx_millisecond_Repeat_MAX, 198.0);
    EXPECT_LT(run.play.vx_millisecond_Repeat_MAX, 198.1);
    for (size_t i = 1; i < cycleStarts.size(); ++i) {
        EXPECT_GE(cycleStarts[i] - cycleStarts[i - 1], 198.0) << "cycle " << i;
        EXPECT_LT(cycleStarts[i] - cycleStarts[i - 1], 198.1) << "cycle " << i;
    }
    // On the bus: each cycle's first frame after the last frame of the cycle before.
    const std::vector<Seen> seen = listener.stop();
    for (size_t i = file.size(); i < seen.size(); i += file.size())
        EXPECT_GE(seen[i].ms, seen[i - 1].ms) << "frame " << i;
}

INSTANTIATE_TEST_SUITE_P(Vendors, RepeatCycle, ::testing::Values(1, 2),
                         [](const auto &info) { return info.param == 1 ? "Canusb" : "Interface"; });

} // namespace

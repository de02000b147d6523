#include "TimerResolution.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <thread>

namespace {

long slackNs() { return prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0); }

} // namespace

// Begin and end nest like the multimedia calls; the thread's own slack comes back after the
// last end, and an end without a begin changes nothing.
TEST(TimerResolution, TightensTheThreadsSlackWhileHeldAndNests)
{
    std::thread([] {
        const long before = slackNs();
        ASSERT_GT(before, 1000);
        timeEndPeriod(1);
        EXPECT_EQ(slackNs(), before);
        timeBeginPeriod(1);
        EXPECT_EQ(slackNs(), 1000);
        timeBeginPeriod(1);
        timeEndPeriod(1);
        EXPECT_EQ(slackNs(), 1000);
        timeEndPeriod(1);
        EXPECT_EQ(slackNs(), before);
    }).join();
}

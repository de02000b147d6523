#include "CanusbRecordDevice.h"
#include "InterfaceRecordDevice.h"
#include "RecordTimeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr double kCanusb = CanusbRecordDevice::kWrapMs;
constexpr double kBoard = InterfaceRecordDevice::kWrapMs;

// One thing the loop tells the timeline: a frame (device time, PC clock when taken in) or
// an empty poll (PC clock). Frames carry the elapsed time expected for them.
struct Event
{
    bool frame;
    double device;
    double pc;
    double expected;
};
Event F(double device, double pc, double expected) { return {true, device, pc, expected}; }
Event I(double pc) { return {false, 0, pc, 0}; }

struct TimelineRow
{
    std::string name;
    double wrap;
    std::vector<Event> events;
};

void PrintTo(const TimelineRow &row, std::ostream *os)
{
    *os << row.name;
}

class Timeline : public ::testing::TestWithParam<TimelineRow>
{
};

TEST_P(Timeline, ElapsedTimes)
{
    const TimelineRow &row = GetParam();
    RecordTimeline t(row.wrap);
    int n = 0;
    for (const Event &e : row.events) {
        if (!e.frame) {
            t.noteIdle(e.pc);
            continue;
        }
        ++n;
        EXPECT_DOUBLE_EQ(t.advance(e.device, e.pc), e.expected) << "frame " << n;
    }
}

// PC readings follow the device's own clock plus some delay in taking frames in, as they
// do when the loop keeps up; rows that end in "stall" take frames in late.
INSTANTIATE_TEST_SUITE_P(
    Rows, Timeline,
    ::testing::Values(
        TimelineRow{"FirstFrameIsZeroWhateverItsStamp", kCanusb,
                    {F(41234, 5000, 0), I(5005), F(41240, 5006, 6)}},
        TimelineRow{"CanusbWrapAddsTheRest", kCanusb,
                    {F(59990, 100, 0), I(115), F(10, 120, 20)}},
        TimelineRow{"EqualStampsAddNothing", kCanusb,
                    {F(300, 100, 0), F(300, 100, 0), I(101), F(301, 101, 1)}},
        TimelineRow{"AlmostOnePeriodStaysAsTheStampsSay", kCanusb,
                    {F(100, 1000, 0), I(60090), F(99, 60098, 59999)}},
        // Taken in 40 s late after a stall of the window system, the PC clock claims
        // 90.1 s, but only 51 s passed on the device; the stamps decide below a period.
        TimelineRow{"JustUnderOnePeriodReadLate", kCanusb,
                    {F(0, 1000, 0), I(51000), F(51000, 91100, 51000)}},
        TimelineRow{"SilenceJustOverOnePeriod", kCanusb,
                    {F(5000, 2000, 0), I(62000), F(5001, 62001, 60001)}},
        TimelineRow{"SilenceOfThreePeriods", kCanusb,
                    {F(100, 10, 0), I(3000), I(180300), F(350, 180351, 180250)}},
        TimelineRow{"LongSilenceThenBusyAgain", kCanusb,
                    {F(0, 0, 0), I(125000), F(5000, 125001, 125000), F(5001, 125001, 125001),
                     F(5002, 125002, 125002)}},
        TimelineRow{"BoardWrapAt429491", kBoard,
                    {F(429490, 7, 0), I(12), F(5, 13, 6)}},
        TimelineRow{"BoardSilenceOfTwoPeriods", kBoard,
                    {F(1000, 50, 0), I(860050), F(2072, 860032 + 1050, 860054)}},
        // Frames that waited in the driver during a stall are taken in back to back: the
        // PC clock says 45 s passed, the stamps 5 ms. No period is added.
        TimelineRow{"QueuedDuringStallNoExtraPeriod", kCanusb,
                    {F(1000, 500, 0), F(1005, 45500, 5), F(1009, 45500, 9)}},
        // An empty poll right before a stall, frames waiting after it: still the stamps.
        TimelineRow{"StallAfterEmptyPoll", kCanusb,
                    {F(1000, 500, 0), I(501), F(1007, 40510, 7)}},
        // The frame before the silence was taken in 20 s late; the silence still counts
        // one whole period: 70 s in all.
        TimelineRow{"LateFrameBeforeSilence", kCanusb,
                    {F(0, 20000, 0), I(20001), I(70000), F(10000, 70001, 70000)}},
        // The PC clock wraps after 2^32 ms; a difference across it is still right.
        TimelineRow{"PcClockWrap", kCanusb,
                    {F(100, 4294967000.0, 0), I(4294967295.0), I(59904),
                     F(300, 59905, 60200)}}),
    [](const ::testing::TestParamInfo<TimelineRow> &info) { return info.param.name; });

TEST(Timeline, ResetStartsANewRun)
{
    RecordTimeline t(kCanusb);
    t.advance(100, 10);
    t.noteIdle(200);
    EXPECT_DOUBLE_EQ(t.advance(150, 200), 50);
    t.reset(kBoard);
    EXPECT_DOUBLE_EQ(t.wrapMs(), kBoard);
    EXPECT_DOUBLE_EQ(t.advance(7, 400000), 0);
    t.noteIdle(400003);
    EXPECT_DOUBLE_EQ(t.advance(10, 400003), 3);
}

struct StampRow
{
    uint32_t us;
    double ms;
};

class BoardStamp : public ::testing::TestWithParam<StampRow>
{
};

TEST_P(BoardStamp, MicrosecondsToWholeMilliseconds)
{
    EXPECT_DOUBLE_EQ(InterfaceRecordDevice::deviceTimeMs(GetParam().us), GetParam().ms);
}

INSTANTIATE_TEST_SUITE_P(Rows, BoardStamp,
                         ::testing::Values(StampRow{0, 0}, StampRow{999, 0}, StampRow{1000, 1},
                                           StampRow{429490999, 429490},
                                           // Taken as signed: the fraction goes toward 0.
                                           StampRow{0xFFFFFFFFu, 0},
                                           StampRow{uint32_t(-1500), -1},
                                           StampRow{0x80000000u, -2147483}));

} // namespace

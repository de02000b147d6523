// Playback through drivers that send at due times: on a private virtual bus with cansim
// listening (arrivals on CLOCK_MONOTONIC, the engine's clock), and through the fake
// driver where the driver's side must be seen or timed sending must be missing.
#include "DriverFolder.h"
#include "EngineRun.h"
#include "PlayClock.h"
#include "free_port.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace playtest;

namespace {

// Arrival less schedule: the run's start on the engine's clock plus the record's time.
double deviationMs(const Seen &seen, double origin, const RecordFrame &record)
{
    return std::fmod(seen.ms - origin - record.time, PlayClock::kWrap);
}

// Counts the runs's passes that hand frames to a driver sending at due times.
struct TimedWitness
{
    int timed = 0;
    int untimed = 0;
    void look(const CAN_PlayDB &play) { (play.sendsTimed() ? timed : untimed) += 1; }
};

class TimedVendor : public ::testing::TestWithParam<int>
{
};

} // namespace

TEST_P(TimedVendor, FramesLeaveInOrderAtTheirDueTimesAndAreEnteredAtThem)
{
    // Bursts of three frames at one time stamp, 2 ms apart, over three identifiers.
    std::vector<RecordFrame> file = series(300, 0, 0, {0x101, 0x102, 0x103});
    for (size_t i = 0; i < file.size(); ++i)
        file[i].time = double(i / 3) * 2.0;
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("t.dat"), file));
    const int port = freeTestPort();
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_select_Vender = GetParam();
    run.params.t_bitRate = 0;
    run.targetFile(dir.path(), "t.dat");
    TimedWitness witness;
    run.host.onTick = [&] { witness.look(run.play); };
    ASSERT_TRUE(run.run());
    EXPECT_GT(witness.timed, 0);
    EXPECT_EQ(witness.untimed, 0);

    const std::vector<Seen> seen = listener.stop();
    ASSERT_TRUE(sameFrames(seen, file));
    const double origin = run.play.vx_start_time;
    for (size_t i = 0; i < seen.size(); ++i) {
        const double d = deviationMs(seen[i], origin, file[i]);
        // cansim logs whole microseconds.
        EXPECT_GE(d, -0.002) << "frame " << i << " left before its time";
        EXPECT_LT(d, 200) << "frame " << i;
    }
    // Each identifier's entry holds its last frame, at that frame's own time.
    for (size_t i = file.size() - 3; i < file.size(); ++i) {
        const int16_t id = int16_t(file[i].identifier);
        EXPECT_EQ(run.rx.CAN11_Data2(id), file[i].data[1]);
        // In whole milliseconds, as the program's millisecond clock reads.
        EXPECT_EQ(run.rx.CAN11_ReceivedTime(id).toDouble(),
                  std::floor(origin - run.play.Pause_ON_offset_time + file[i].time));
    }
}

TEST_P(TimedVendor, PauseSendsNothingMoreAndResumeGoesOnWithTheNextFrameShiftedByThePause)
{
    // A frame every millisecond for 1.5 s.
    const std::vector<RecordFrame> file = series(1500, 0, 1, {0x200, 0x201});
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("d.dat"), file));
    const int port = freeTestPort();
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_select_Vender = GetParam();
    run.params.t_bitRate = 0;
    run.targetFile(dir.path(), "d.dat");
    double pausedAt = -1;
    double resumedAt = -1;
    run.host.onTick = [&] {
        if (pausedAt < 0 && run.play.PlayDAT_count >= 500) {
            run.play.Pause_ON_Flag = 1;
            pausedAt = PlayClock::monotonicMs();
            QTimer::singleShot(400, [&] {
                resumedAt = PlayClock::monotonicMs();
                run.play.Pause_ON_Flag = 2;
            });
        }
    };
    ASSERT_TRUE(run.run());
    ASSERT_GT(resumedAt, pausedAt);

    const std::vector<Seen> seen = listener.stop();
    // Nothing lost, nothing twice: the run went on with the first frame that had not left.
    ASSERT_TRUE(sameFrames(seen, file));
    const double origin = run.play.vx_start_time;
    size_t firstAfter = seen.size();
    for (size_t i = 0; i < seen.size(); ++i) {
        if (seen[i].ms >= resumedAt) {
            firstAfter = std::min(firstAfter, i);
            continue;
        }
        // Before the resume only frames due by the moment the pause was clicked (and seen
        // within the same turn of the event loop) may have left.
        EXPECT_LE(origin + file[i].time, pausedAt + 1.0) << "frame " << i << " left after the pause";
    }
    ASSERT_LT(firstAfter, seen.size());
    ASSERT_GT(firstAfter, 0u);
    const double pause = run.play.Pause_ON_offset_time;
    EXPECT_NEAR(pause, resumedAt - pausedAt, 40);
    const double before = deviationMs(seen[firstAfter - 1], origin, file[firstAfter - 1]);
    const double after = deviationMs(seen[firstAfter], origin + pause, file[firstAfter]);
    EXPECT_LT(before, 20);
    EXPECT_GE(after, -0.002);
    EXPECT_LT(after, 20) << "the next frame did not keep its place shifted by the pause";
    EXPECT_GE(deviationMs(seen.back(), origin + pause, file.back()), -0.002);
}

INSTANTIATE_TEST_SUITE_P(Vendors, TimedVendor, ::testing::Values(1, 2),
                         [](const auto &info) {
                             return std::string(info.param == 1 ? "Canusb" : "Interface");
                         });

// ---- Through the fake driver -------------------------------------------------------------

namespace {

struct FakeRow
{
    const char *name;
    const char *library;   // built file linked as libcanusbdrv.so
    bool disconnect;       // Disconnect half-way instead of playing to the end
    bool expectTimed;
};

void PrintTo(const FakeRow &row, std::ostream *os)
{
    *os << row.name;
}

class TimedFake : public ::testing::TestWithParam<FakeRow>
{
};

} // namespace

TEST_P(TimedFake, PlaysThroughWhateverTheDriverOffers)
{
    const FakeRow &row = GetParam();
    DriverFolder folder;
    ASSERT_TRUE(folder.provide(QString::fromLatin1(row.library), QStringLiteral("libcanusbdrv.so")));
    const std::vector<RecordFrame> file = series(400, 0, 1, {0x300});
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("f.dat"), file));
    EngineRun run(freeTestPort());
    run.targetFile(dir.path(), "f.dat");
    TimedWitness witness;
    run.host.onTick = [&] {
        witness.look(run.play);
        if (row.disconnect && run.play.PlayDAT_count >= 100)
            run.host.RxFlag = 0;
    };
    ASSERT_TRUE(run.run());
    EXPECT_EQ(witness.timed > 0, row.expectTimed);
    EXPECT_EQ(witness.untimed > 0, !row.expectTimed);

    const QString lib = QStringLiteral("libcanusbdrv.so");
    const auto writes = folder.fakeFunction<int (*)()>(lib, "fake_write_count");
    const auto sent = folder.fakeFunction<int (*)()>(lib, "fake_timed_sent");
    const auto waitingAtClose = folder.fakeFunction<int (*)()>(lib, "fake_waiting_at_close");
    const auto flushes = folder.fakeFunction<int (*)()>(lib, "fake_timed_flushes");
    ASSERT_TRUE(writes && sent && waitingAtClose && flushes);
    EXPECT_EQ(waitingAtClose(), 0) << "frames were left queued in the driver";
    const int onBus = writes() + sent();
    if (row.disconnect) {
        EXPECT_GT(onBus, 0);
        EXPECT_LT(onBus, int(file.size()));
        EXPECT_EQ(flushes(), 1);
    } else {
        EXPECT_EQ(onBus, int(file.size()));
        EXPECT_EQ(flushes(), 0);
    }
    EXPECT_EQ(writes() == 0, row.expectTimed);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TimedFake,
    ::testing::Values(FakeRow{"OlderLibraryPlaysFrameByFrame", "libfake_canusbdrv.so", false, false},
                      FakeRow{"TimedLibraryPlaysAhead", "libfake_canusbdrv_timed.so", false, true},
                      FakeRow{"DisconnectLeavesNothingQueued", "libfake_canusbdrv_timed.so", true,
                              true}),
    [](const auto &info) { return std::string(info.param.name); });

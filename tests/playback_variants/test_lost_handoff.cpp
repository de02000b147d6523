// A device lost while the driver holds a full hand-off of dense traffic: whichever engine
// plays and whichever vendor, the run ends by itself with the device's message.
#include "VariantRun.h"
#include "free_port.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace playtest;

namespace {

enum class Engine { Plain, Kept, Memory };

struct HandOffRow
{
    const char *name;
    int vendor;
    Engine engine;
};

class LostWithAFullHandOff : public ::testing::TestWithParam<HandOffRow>
{
};

TEST_P(LostWithAFullHandOff, EndsTheRunWithTheDeviceMessage)
{
    const HandOffRow &row = GetParam();
    const int port = freeTestPort();
    QTemporaryDir dir;
    // A full 1 Mbit/s bus as the recorder stamps it: 9 frames a millisecond.
    ASSERT_TRUE(writeRecord(dir.filePath("CR26120915-001.dat"),
                            series(18000, 0, 1.0 / 9, {0x123, 0x456, 0x789})));
    BusHost busHost;
    ASSERT_TRUE(busHost.start(port));
    EngineRun run(port);
    preloadAsTheWindowDoes(run);
    run.params.t_select_Vender = row.vendor;
    run.params.t_MM_Mode = row.engine == Engine::Memory ? 1 : 0;
    if (row.engine == Engine::Kept)
        excludeRange(run.params, 0, 0x700, 0x7FF);
    run.targetFolder(dir.path());
    run.play.t_RecPlay_PlayMode_Repeat = 1;

    bool killed = false;
    bool timed = false;
    QElapsedTimer sinceKill;
    run.host.onTick = [&] {
        if (!killed && run.play.sentFrameCount >= 900) {
            timed = run.play.sendsTimed();
            killed = true;
            busHost.killNow();
            sinceKill.start();
        }
    };
    const bool endedByItself = run.run(20000);
    const qint64 endedAfterMs = killed ? sinceKill.elapsed() : -1;
    ASSERT_TRUE(killed) << "the run ended before it played";
    EXPECT_TRUE(timed) << "the drivers hand frames over ahead of time";
    EXPECT_TRUE(endedByItself) << "the run played on without a bus";
    // Well within a second on a loaded machine: the driver sees the connection go a moment
    // after the host, and the run notices at its next pass.
    EXPECT_LT(endedAfterMs, 2000);
    RecordProperty("ended_after_ms", int(endedAfterMs));
    ASSERT_EQ(run.messages.messages.size(), 1u) << run.messages.texts().join('|').toStdString();
    EXPECT_TRUE(run.messages.messages[0].text.startsWith(
        QStringLiteral("機器が正常に動作していません。")));
    EXPECT_EQ(run.host.RxFlag, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LostWithAFullHandOff,
    ::testing::Values(HandOffRow{"PlainCanusb", 1, Engine::Plain},
                      HandOffRow{"PlainInterface", 2, Engine::Plain},
                      HandOffRow{"KeptCanusb", 1, Engine::Kept},
                      HandOffRow{"KeptInterface", 2, Engine::Kept},
                      HandOffRow{"MemoryCanusb", 1, Engine::Memory},
                      HandOffRow{"MemoryInterface", 2, Engine::Memory}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

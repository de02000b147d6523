// The process hosting the bus is killed while the main window plays: whichever engine plays,
// the run ends by itself with the device's message and the window is ready again.
#include "BrowseFileOrFolder.h"
#include "VariantRun.h"
#include "WindowRun.h"
#include "free_port.h"

#include <gtest/gtest.h>

using namespace playtest;

namespace {

enum class Engine { Plain, Exclusion, Memory };

struct LostRow
{
    const char *name;
    int vendor;
    Engine engine;
    int killAtFrame;   // 0: while the bus is still being checked, before the first frame
};

class BusHostKilledMidPlayback : public PlaybackWindow, public ::testing::WithParamInterface<LostRow>
{
};

TEST_P(BusHostKilledMidPlayback, EndsTheRunWithTheDeviceMessage)
{
    const LostRow &row = GetParam();
    const int port = freeTestPort();
    // Three files of 20 s each, played in a loop: nothing ends the run but the bus.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writeRecord(files.filePath(QStringLiteral("R%1.dat").arg(i)),
                                series(1000, 0, 20, {0x123, 0x456}, uint8_t(i))));
    BusHost busHost;
    ASSERT_TRUE(busHost.start(port));
    ASSERT_TRUE(bringUp(port, row.vendor));
    setBrowseFileOrFolderForTesting([&](QWidget *) { return files.path(); });
    click("Bt_OpenPlayFile");
    ASSERT_EQ(w->CanPlay.t_RecPlay_FileType, 2);
    w->CanPlay.t_RecPlay_PlayMode_Repeat = 1;
    w->device.t_MM_Mode = row.engine == Engine::Memory ? 1 : 0;
    if (row.engine == Engine::Exclusion)
        excludeRange(w->device, 0, 0x700, 0x7FF);
    messages.messages.clear();

    bool killed = false;
    const bool endedByItself = play(
        [&] {
            if (!killed && w->CanPlay.PlayDAT_count >= row.killAtFrame) {
                killed = true;
                busHost.kill();
            }
        },
        20000);
    ASSERT_TRUE(killed) << "the run ended before it played";
    EXPECT_TRUE(endedByItself) << "the run played on without a bus";
    EXPECT_NE(w->RxFlag, 1);
    EXPECT_EQ(w->CanPlay.PlayMode, 0);
    const auto buttons = states();   // Connect and Rec usable again, the run's buttons not
    EXPECT_EQ(std::vector<int>(buttons.begin(), buttons.begin() + 7),
              std::vector<int>({1, 1, 0, 0, 0, 0, 0}));
    ASSERT_EQ(messages.messages.size(), 1u) << messages.texts().join('|').toStdString();
    EXPECT_TRUE(messages.messages[0].text.startsWith(
        QStringLiteral("機器が正常に動作していません。")))
        << messages.messages[0].text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BusHostKilledMidPlayback,
    ::testing::Values(LostRow{"PlainCanusb", 1, Engine::Plain, 10},
                      LostRow{"PlainInterface", 2, Engine::Plain, 10},
                      LostRow{"ExclusionCanusb", 1, Engine::Exclusion, 10},
                      LostRow{"ExclusionInterface", 2, Engine::Exclusion, 10},
                      LostRow{"MemoryCanusb", 1, Engine::Memory, 10},
                      LostRow{"MemoryInterface", 2, Engine::Memory, 10},
                      LostRow{"DuringTheBusCheckCanusb", 1, Engine::Plain, 0},
                      LostRow{"DuringTheBusCheckInterface", 2, Engine::Plain, 0}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

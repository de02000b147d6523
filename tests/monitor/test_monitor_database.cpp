// The live table with a CAN database: message names on known lines, a mean cycle that
// strays from GenMsgCycleTime marked as a jump, and the signal pane's model.
#include "DbcReader.h"
#include "MonitorFixture.h"
#include "SignalWatch.h"

#include <gtest/gtest.h>

namespace {

const CanDatabase &database()
{
    static const CanDatabase db = DbcReader::parse(
        "BO_ 512 ENGINE: 8 E\n"
        " SG_ RPM : 7|16@0+ (0.25,0) [0|16383.75] \"rpm\" X\n"
        " SG_ GEAR : 16|4@1+ (1,0) [0|15] \"\" X\n"
        "BO_ 1520 MUX: 8 E\n"
        " SG_ PAGE M : 0|8@1+ (1,0) [0|255] \"\" X\n"
        " SG_ VOLT m1 : 8|16@1+ (0.001,0) [0|65.535] \"V\" X\n"
        " SG_ ODO m2 : 8|32@1+ (0.1,0) [0|0] \"km\" X\n"
        "BO_ 1024 " + std::string(80, 'N') + ": 8 E\n"
        "BA_ \"GenMsgCycleTime\" BO_ 512 100;\n"
        "VAL_ 512 GEAR 0 \"P\" 1 \"R\" ;\n");
    return db;
}

const std::array<uint8_t, 8> kBytes{0x12, 0x34, 0x01, 0, 0, 0, 0, 0};

TEST(MonitorDatabase, KnownLinesEndInTheMessageName)
{
    MonitorRig rig;
    rig.frame(0x200, 8, 1000, kBytes);
    rig.frame(0x300, 8, 1000, kBytes);
    rig.frame(0x400, 2, 1000, kBytes);
    rig.tick();
    const QString plain = rig.lineOf(0x200);
    const QString unknown = rig.lineOf(0x300);
    rig.monitor.setDatabase(&database());
    rig.tick();
    EXPECT_EQ(rig.lineOf(0x200), plain + QStringLiteral("  ENGINE"));
    EXPECT_EQ(rig.lineOf(0x300), unknown);
    EXPECT_TRUE(rig.lineOf(0x400).endsWith(QStringLiteral("  ")
                                           + QString(LiveMonitor::kNameMax, QLatin1Char('N'))));
    rig.monitor.setDatabase(nullptr);   // and back to the plain table
    rig.tick();
    EXPECT_EQ(rig.lineOf(0x200), plain);
}

struct StrayRow
{
    double cycleMs;   // the database says 100 ms
    bool marked;
};

class CycleStray : public ::testing::TestWithParam<StrayRow>
{
};

TEST_P(CycleStray, SteadyCycleAgainstGenMsgCycleTime)
{
    MonitorRig rig;
    rig.monitor.setDatabase(&database());
    rig.device.t_MsgLateColor_Ratio = 30;
    rig.device.t_MsgLateColor_Time = LiveMonitor::kInterval;   // an ordinary jump: one tick
    double t = 1000;
    for (int i = 0; i < 10; ++i) {
        rig.frame(0x200, 8, t += GetParam().cycleMs, kBytes);
        rig.tick(GetParam().cycleMs);
    }
    EXPECT_EQ(rig.timeRange(0x200) != nullptr, GetParam().marked)
        << rig.lineOf(0x200).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Band, CycleStray,
                         ::testing::Values(StrayRow{100, false}, StrayRow{77, false},   // 129.9
                                           StrayRow{76, true},                          // 131.6
                                           StrayRow{142, false},                        // 70.4
                                           StrayRow{143, true},                         // 69.9
                                           StrayRow{1000, true}));

TEST(MonitorDatabase, NoCycleTimeNoMark)
{
    MonitorRig rig;
    rig.monitor.setDatabase(&database());
    rig.device.t_MsgLateColor_Time = LiveMonitor::kInterval;
    double t = 1000;
    for (int i = 0; i < 10; ++i) {
        rig.frame(0x5F0, 8, t += 1000, kBytes);   // MUX has no GenMsgCycleTime
        rig.tick(1000);
    }
    EXPECT_EQ(rig.timeRange(0x5F0), nullptr);
}

std::vector<std::string> names(const SignalWatch &w)
{
    std::vector<std::string> out;
    for (const SignalWatch::Row &r : w.rows())
        out.push_back(r.signal->name);
    return out;
}

const SignalWatch::Row *row(const SignalWatch &w, const std::string &name)
{
    for (const SignalWatch::Row &r : w.rows())
        if (r.signal->name == name)
            return &r;
    return nullptr;
}

TEST(SignalWatch, PagesSwitchAndChangesFade)
{
    CAN_ReadDB rx;
    SignalWatch watch;
    watch.setDatabase(&database());
    watch.select(0x5F0);
    auto frame = [&](std::array<uint8_t, 8> b) {
        rx.updateFrame(0x5F0, 8, 0, Currency::fromDouble(0), b.data());
        watch.update(rx, 99, 33);
    };
    frame({1, 0x10, 0x27});
    EXPECT_EQ(names(watch), (std::vector<std::string>{"PAGE", "VOLT"}));
    EXPECT_EQ(watch.page(), 1);
    EXPECT_EQ(row(watch, "VOLT")->value, 10.0);
    frame({2, 0x10, 0x27});
    EXPECT_EQ(names(watch), (std::vector<std::string>{"PAGE", "ODO"}));
    EXPECT_EQ(row(watch, "PAGE")->counter, 99);   // changed from page 1
    EXPECT_EQ(row(watch, "ODO")->counter, 0);     // first seen: nothing to compare with
    frame({1, 0x11, 0x27});                       // VOLT differs from its page's last frame
    EXPECT_EQ(row(watch, "VOLT")->counter, 99);
    frame({1, 0x11, 0x27});
    EXPECT_EQ(row(watch, "VOLT")->counter, 66);   // same again: fading by one interval
    frame({1, 0x11, 0x27});
    frame({1, 0x11, 0x27});
    frame({1, 0x11, 0x27});
    EXPECT_EQ(row(watch, "VOLT")->counter, 0);
    EXPECT_EQ(row(watch, "PAGE")->counter, 0);

    // A DLC that leaves out a signal's bytes leaves out the signal; one above 8 is held.
    rx.updateFrame(0x5F0, 2, 0, Currency::fromDouble(0), std::array<uint8_t, 8>{1}.data());
    watch.update(rx, 99, 33);
    EXPECT_EQ(names(watch), (std::vector<std::string>{"PAGE"}));
    rx.updateFrame(0x5F0, 15, 0, Currency::fromDouble(0), std::array<uint8_t, 8>{1}.data());
    watch.update(rx, 99, 33);
    EXPECT_EQ(names(watch), (std::vector<std::string>{"PAGE", "VOLT"}));

    watch.select(0x300);   // not in the database
    watch.update(rx, 99, 33);
    EXPECT_EQ(watch.message(), nullptr);
    EXPECT_TRUE(watch.rows().empty());
}

} // namespace

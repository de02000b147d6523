#include "MonitorFixture.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const std::array<uint8_t, 8> kBytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

int red() { return 0x0000FF; }

} // namespace

// ---- the line texts ----

struct LineCase
{
    int id;
    int dlc;
    const char *expected;
};

class TableLine : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(TableLine, FirstReceptionShowsItsColumns)
{
    const LineCase c = GetParam();
    MonitorRig rig;
    rig.frame(c.id, c.dlc, 1000, {0xA1, 0x0B, 0xFF, 0x00, 0x10, 0x7E, 0x80, 0x09});
    rig.tick();
    EXPECT_EQ(rig.lineOf(c.id), QLatin1String(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Columns, TableLine,
    ::testing::Values(
        LineCase{0x123, 8, "123  8   A1 0B FF 00 10 7E 80 09   0ms"},
        LineCase{0x001, 0, "001  0                             0ms"},
        LineCase{0x00A, 3, "00A  3   A1 0B FF                  0ms"},
        LineCase{0x0AB, 1, "0AB  1   A1                        0ms"},
        LineCase{0x7FF, 8, "7FF  8   A1 0B FF 00 10 7E 80 09   0ms"},
        // A device may say more than 8: eight columns are shown, the DLC as it came.
        LineCase{0x200, 12, "200  12   A1 0B FF 00 10 7E 80 09   0ms"},
        LineCase{0x201, -3, "201  -3                             0ms"}));

TEST(LiveMonitor, DlcZeroHasTwentyFourSpacesBeforeTheTimeColumn)
{
    MonitorRig rig;
    rig.frame(0x010, 0, 1000);
    rig.tick();
    EXPECT_EQ(rig.lineOf(0x010), QStringLiteral("010  0  ") + QString(24, QLatin1Char(' '))
                                     + QStringLiteral("   0ms"));
}

TEST(LiveMonitor, TableHasHeaderLinesEveryIdInOrderAndTheSummary)
{
    MonitorRig rig;
    rig.view.DisableID_Status_Buffer = QStringLiteral("\r\nメッセージ除外範囲 1： 100 ～ 1FF\r\n");
    rig.frame(0x300, 2, 1000);
    rig.frame(0x005, 2, 1000);
    rig.frame(0x0C0, 2, 1000);
    rig.tick();
    const QStringList lines = rig.lines();
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("録画モード"));
    EXPECT_EQ(lines[1], QStringLiteral("ID  DLC  D1 D2 D3 D4 D5 D6 D7 D8"));
    EXPECT_TRUE(lines[2].startsWith(QLatin1String("005  ")));
    EXPECT_TRUE(lines[3].startsWith(QLatin1String("0C0  ")));
    EXPECT_TRUE(lines[4].startsWith(QLatin1String("300  ")));
    EXPECT_TRUE(rig.sink.text.endsWith(
        QStringLiteral("\r\n\r\nメッセージ除外範囲 1： 100 ～ 1FF\r\n\r\n\r\n")));
}

TEST(LiveMonitor, IdentifierZeroIsNeverListed)
{
    MonitorRig rig;
    rig.frame(0x000, 8, 1000, kBytes);
    rig.frame(0x001, 8, 1000, kBytes);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x000).isEmpty());
    EXPECT_FALSE(rig.lineOf(0x001).isEmpty());
    EXPECT_EQ(rig.lines().size(), 2 + 1 + 3);   // header, one line, summary and two breaks
}

TEST(LiveMonitor, AnIdentifierBeingWrittenIsSkipped)
{
    MonitorRig rig;
    rig.frame(0x100, 8, 1000, kBytes);
    rig.rx.CAN11_Received(0x100, 2);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x100).isEmpty());
}

TEST(LiveMonitor, StampsBeingWrittenShowPlaceholders)
{
    MonitorRig rig;
    rig.frame(0x100, 1, 1000);
    rig.frame(0x101, 1, 1000);
    rig.rx.CAN11_ReceivedTime(0x101, Currency());
    rig.rx.CAN11_ReceivedTime_old(0x101, Currency());
    rig.rx.CAN11_ReceivedTime_writting(0x100, 1);
    rig.rx.CAN11_ReceivedTime_writting(0x101, 1);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x100).endsWith(QLatin1String("   ????ms")));
    EXPECT_TRUE(rig.lineOf(0x101).endsWith(QLatin1String("   ----ms")));
}

TEST(LiveMonitor, IdleModeHasNoHeaderAndLeavesTheStatusLines)
{
    MonitorRig rig;
    rig.play.PlayMode = 0;
    rig.host.status = {QStringLiteral("a"), QStringLiteral("b")};
    rig.frame(0x100, 1, 1000);
    rig.tick();
    EXPECT_TRUE(rig.sink.text.startsWith(QLatin1String("100  1  ")));
    EXPECT_EQ(rig.host.status[0], QStringLiteral("a"));
    EXPECT_EQ(rig.host.status[1], QStringLiteral("b"));
}

// ---- the cycle-time column ----

TEST(LiveMonitor, FirstReceptionHasNoTimeColourTheSecondColoursIt)
{
    MonitorRig rig;
    rig.frame(0x123, 8, 1000, kBytes);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x123).endsWith(QLatin1String("   0ms")));
    EXPECT_EQ(rig.timeRange(0x123), nullptr);

    rig.frame(0x123, 8, 1100, kBytes);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x123).endsWith(QLatin1String("   100ms")));
    const ColourRange *time = rig.timeRange(0x123);
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->length, 5);   // "100ms"
    EXPECT_EQ(time->colour, red());
    // The view state holds the same place in CR LF offsets.
    const int start = rig.view.ViewColorlength_dt_start(0x123);
    EXPECT_EQ(rig.sink.text.mid(start, rig.view.ViewColorlength_dt_end(0x123)),
              QStringLiteral("100ms"));
    EXPECT_EQ(rig.view.ViewColorlength_dt_timerCounter(0x123), 60000);
    EXPECT_EQ(rig.rx.CAN11_ReceivedTime_Delta(0x123).toDouble(), 100.0);
}

TEST(LiveMonitor, FractionalCycleTimesShowTheirShortestForm)
{
    MonitorRig rig;
    rig.frame(0x10, 0, 1000);
    rig.frame(0x10, 0, 1012.5);
    rig.frame(0x11, 0, 1000);
    rig.frame(0x11, 0, 1000.0625);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x10).endsWith(QLatin1String("   12.5ms")));
    EXPECT_TRUE(rig.lineOf(0x11).endsWith(QLatin1String("   0.0625ms")));
}

TEST(LiveMonitor, WrappedCanusbStampStillGivesAPositiveCycle)
{
    MonitorRig rig;
    rig.device.t_select_Vender = 1;
    rig.frame(0x100, 1, 59990);
    rig.frame(0x100, 1, 10);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x100).endsWith(QLatin1String("   20ms")));
    EXPECT_EQ(rig.rx.CAN11_ReceivedTime_Delta(0x100).toDouble(), 20.0);
}

TEST(LiveMonitor, InterfaceBoardKeepsThePreviousCycleWhenTheStampGoesBack)
{
    MonitorRig rig;
    rig.device.t_select_Vender = 2;
    rig.frame(0x100, 1, 1000);
    rig.frame(0x100, 1, 1050);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x100).endsWith(QLatin1String("   50ms")));
    rig.frame(0x100, 1, 900);   // no wrap correction on this board
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x100).endsWith(QLatin1String("   50ms")));
}

TEST(LiveMonitor, OtherDeviceShowsUnknownForABackwardStamp)
{
    MonitorRig rig;
    rig.device.t_select_Vender = 0;
    rig.frame(0x100, 1, 1000);
    rig.frame(0x100, 1, 900);
    rig.tick();
    EXPECT_TRUE(rig.lineOf(0x100).endsWith(QLatin1String("   ????ms")));
}

struct JumpCase
{
    double newCycle;
    bool coloured;
};

class CycleJump : public ::testing::TestWithParam<JumpCase>
{
};

TEST_P(CycleJump, RatioThirtyAroundAHundredMilliseconds)
{
    MonitorRig rig;
    rig.device.t_MsgLateColor_Ratio = 30;
    rig.device.t_MsgLateColor_Time = LiveMonitor::kInterval;   // a jump colours one tick
    double t = 1000;
    rig.frame(0x200, 8, t, kBytes);
    rig.tick();
    for (int i = 0; i < 3; ++i) {   // 100 ms cycles until the colour of the first is gone
        rig.frame(0x200, 8, t += 100, kBytes);
        rig.tick();
    }
    ASSERT_EQ(rig.timeRange(0x200), nullptr);
    rig.frame(0x200, 8, t += GetParam().newCycle, kBytes);
    rig.tick();
    EXPECT_EQ(rig.timeRange(0x200) != nullptr, GetParam().coloured);
}

INSTANTIATE_TEST_SUITE_P(Band, CycleJump,
                         ::testing::Values(JumpCase{70, true},     // 142.9
                                           JumpCase{80, false},    // 125
                                           JumpCase{100, false},   // 100
                                           JumpCase{130, false},   // 76.9
                                           JumpCase{142, false},   // 70.4
                                           JumpCase{143, true},    // 69.9
                                           JumpCase{77, false},    // 129.9
                                           JumpCase{76.9, true})); // 130.04

TEST(LiveMonitor, JumpColourFadesOverItsTime)
{
    MonitorRig rig;
    rig.device.t_MsgLateColor_Time = 99;
    rig.frame(0x10, 1, 1000);
    rig.tick();
    rig.frame(0x10, 1, 1100);
    rig.tick();
    ASSERT_NE(rig.timeRange(0x10), nullptr);
    EXPECT_EQ(rig.timeRange(0x10)->colour, red());
    rig.tick();   // no new frame: d stays 100, in the band, the fade goes on
    ASSERT_NE(rig.timeRange(0x10), nullptr);
    EXPECT_EQ(rig.timeRange(0x10)->colour, vexa::ColorAttenuation(red(), 66, 99));
    rig.tick();
    ASSERT_NE(rig.timeRange(0x10), nullptr);
    EXPECT_EQ(rig.timeRange(0x10)->colour, vexa::ColorAttenuation(red(), 33, 99));
    rig.tick();
    EXPECT_EQ(rig.timeRange(0x10), nullptr);
}

// ---- changed bytes ----

TEST(LiveMonitor, ByteChangingOnEveryFrameStaysAtFullColour)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorTime = 99;
    for (int i = 0; i < 6; ++i) {
        rig.frame(0x300, 2, 1000 + 10 * i, {0x00, uint8_t(i + 1)});
        rig.tick();
        const auto ranges = rig.rangesOn(0x300);
        ASSERT_FALSE(ranges.empty()) << i;
        EXPECT_EQ(ranges.front().start, 12);   // "300  2   00 " then byte 2
        EXPECT_EQ(ranges.front().length, 2);
        EXPECT_EQ(ranges.front().colour, red()) << i;
    }
}

TEST(LiveMonitor, ByteChangedOnceFadesToTheDefault)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorTime = 99;
    rig.device.t_MsgLateColorEnable = 0;
    rig.device.t_MsgBlackout_Enable = 0;
    rig.frame(0x300, 1, 1000, {0x00});
    rig.tick();
    EXPECT_TRUE(rig.rangesOn(0x300).empty());   // 00 after 00: nothing changed
    rig.frame(0x300, 1, 1010, {0x5A});
    rig.tick();
    ASSERT_EQ(rig.rangesOn(0x300).size(), 1u);
    EXPECT_EQ(rig.rangesOn(0x300)[0].colour, red());
    rig.tick();   // no frame: old and new still differ, full colour
    EXPECT_EQ(rig.rangesOn(0x300)[0].colour, red());
    rig.frame(0x300, 1, 1020, {0x5A});   // the same value again: the fade starts
    const int expected[] = {vexa::ColorAttenuation(red(), 66, 99),
                            vexa::ColorAttenuation(red(), 33, 99)};
    for (int step : expected) {
        rig.tick();
        ASSERT_EQ(rig.rangesOn(0x300).size(), 1u);
        EXPECT_EQ(rig.rangesOn(0x300)[0].colour, step);
        EXPECT_EQ(rig.sink.text.mid(rig.view.ViewColorlength_d1_start(0x300), 2),
                  QStringLiteral("5A"));
    }
    rig.tick();
    EXPECT_TRUE(rig.rangesOn(0x300).empty());
    EXPECT_LE(rig.view.ViewColorlength_d1_timerCounter(0x300), 0);
}

TEST(LiveMonitor, ByteRangesPointAtTheirDigitsInCrLfOffsets)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorEnable = 1;
    for (int id = 1; id <= 40; ++id)
        rig.frame(id, 8, 1000, {uint8_t(id), 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, uint8_t(id + 1)});
    rig.tick();
    for (int id = 1; id <= 40; ++id) {
        EXPECT_EQ(rig.sink.text.mid(rig.view.ViewColorlength_d1_start(int16_t(id)), 2),
                  QStringLiteral("%1").arg(id, 2, 16, QLatin1Char('0')).toUpper());
        EXPECT_EQ(rig.sink.text.mid(rig.view.ViewColorlength_d8_start(int16_t(id)), 2),
                  QStringLiteral("%1").arg(id + 1, 2, 16, QLatin1Char('0')).toUpper());
        EXPECT_EQ(rig.view.ViewColorlength_d8_end(int16_t(id)), 2);
    }
    for (const ColourRange &r : rig.sink.ranges)
        EXPECT_FALSE(rig.sink.text.mid(r.start, r.length).contains(QLatin1Char('\r')));
}

TEST(LiveMonitor, ChangeColourSwitchedOffColoursNoBytes)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorEnable = 0;
    rig.device.t_MsgLateColorEnable = 0;
    rig.frame(0x300, 8, 1000, kBytes);
    rig.tick();
    EXPECT_TRUE(rig.rangesOn(0x300).empty());
    EXPECT_EQ(rig.view.ViewColorlength_d1_timerCounter(0x300), 60000);   // still counted
}

// ---- silence ----

TEST(LiveMonitor, SilentIdentifierTurnsGreyAndGreyWinsOverTheJumpColour)
{
    MonitorRig rig;
    rig.frame(0x400, 8, 1000, kBytes);
    rig.tick(100);
    rig.frame(0x400, 8, 1100, kBytes);
    rig.tick();
    ASSERT_NE(rig.timeRange(0x400), nullptr);
    EXPECT_EQ(rig.timeRange(0x400)->colour, red());   // the jump from 0 to 100 ms
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x400), 0);

    rig.tick(300);   // 333 ms of silence: 3.33 cycles, not yet beyond 3.5
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x400), 0);
    rig.tick(40);   // 373 ms
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x400), 1);
    ASSERT_NE(rig.timeRange(0x400), nullptr);
    EXPECT_EQ(rig.timeRange(0x400)->colour, 0x969696);
    EXPECT_GT(rig.view.ViewColorlength_dt_timerCounter(0x400), 0);   // the jump fade runs on

    rig.frame(0x400, 8, 1500, kBytes);   // it talks again
    rig.tick();
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x400), 0);
    EXPECT_NE(rig.timeRange(0x400)->colour, 0x969696);
}

TEST(LiveMonitor, SilenceColourSwitchedOffLeavesTheJumpColourAway)
{
    MonitorRig rig;
    rig.device.t_MsgBlackout_Enable = 0;
    rig.frame(0x400, 8, 1000, kBytes);
    rig.frame(0x400, 8, 1100, kBytes);
    rig.tick();
    rig.tick(1000);
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x400), 1);
    EXPECT_EQ(rig.timeRange(0x400), nullptr);
}

TEST(LiveMonitor, SilenceOffsetByPauseAndInterfaceTime)
{
    MonitorRig rig;
    rig.frame(0x400, 8, 1000, kBytes);
    rig.frame(0x400, 8, 1100, kBytes);
    rig.tick();
    rig.clock += 1000;
    rig.play.Pause_ON_offset_time = 1000;   // the second was a pause
    rig.tick(0);
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x400), 0);
    rig.play.interfaceCAN_offset_time = -500;   // copied in playback mode, shifts "now"
    rig.play.PlayMode = 1;
    rig.tick(0);
    EXPECT_EQ(rig.interfaceOffset, -500);
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x400), 1);
}

TEST(LiveMonitor, SilenceColourFollowsItsLineWhenLinesAboveMove)
{
    // The cycle-time range kept in the view state is only refreshed while a fade runs:
    // a line appearing above a silent identifier must not move its grey elsewhere.
    MonitorRig rig;
    rig.device.t_MsgLateColor_Time = LiveMonitor::kInterval;
    rig.frame(0x500, 8, 1000, kBytes);
    rig.frame(0x500, 8, 1100, kBytes);
    rig.tick();
    rig.tick();
    rig.tick(400);
    ASSERT_EQ(rig.rx.CAN11_BlackoutON(0x500), 1);
    rig.frame(0x100, 8, 5000, kBytes);   // a new identifier above
    rig.tick();
    const ColourRange *grey = rig.timeRange(0x500);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(grey->colour, 0x969696);
    const int start = rig.lineStartOf(0x500) + grey->start;
    EXPECT_EQ(rig.sink.text.mid(start, grey->length), QStringLiteral("100ms"));
}

// ---- markers ----

TEST(LiveMonitor, MarkerPaintsTheBackgroundOfItsBytes)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorEnable = 0;
    rig.device.t_MsgLateColorEnable = 0;
    rig.device.t_MsgMarker_ON(3, 1);
    rig.device.t_MsgMarkerID(3, 0x123);
    rig.device.t_MsgMarkerStartByte(3, 2);
    rig.device.t_MsgMarkerEndByte(3, 4);
    rig.device.t_MsgMarkerColor(3, 0x00A0B0C0);
    rig.frame(0x122, 8, 1000, kBytes);
    rig.frame(0x123, 8, 1000, kBytes);
    rig.tick();
    const auto ranges = rig.rangesOn(0x123);
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_TRUE(ranges[0].background);
    EXPECT_EQ(ranges[0].colour, 0xA0B0C0);
    EXPECT_EQ(rig.lineOf(0x123).mid(ranges[0].start, ranges[0].length), QStringLiteral("02 03 04"));
    EXPECT_TRUE(rig.rangesOn(0x122).empty());
    EXPECT_EQ(rig.sink.text.mid(rig.view.ViewColorMsgMarker_start(3),
                                rig.view.ViewColorMsgMarker_end(3)),
              QStringLiteral("02 03 04"));
}

TEST(LiveMonitor, MarkerOverAWholeFrameAndMarkerSwitchedOff)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorEnable = 0;
    rig.device.t_MsgLateColorEnable = 0;
    for (int m : {0, 1}) {
        rig.device.t_MsgMarkerID(int16_t(m), 0x123);
        rig.device.t_MsgMarkerStartByte(int16_t(m), 1);
        rig.device.t_MsgMarkerEndByte(int16_t(m), 8);
    }
    rig.device.t_MsgMarker_ON(0, 1);
    rig.device.t_MsgMarker_ON(1, 0);
    rig.frame(0x123, 8, 1000, kBytes);
    rig.tick();
    const auto ranges = rig.rangesOn(0x123);
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(rig.lineOf(0x123).mid(ranges[0].start, ranges[0].length),
              QStringLiteral("01 02 03 04 05 06 07 08"));
}

struct MarkerCase
{
    int dlc;
    int startByte;
    int endByte;
    const char *painted;   // nullptr: nothing painted
};

class MarkerBytes : public ::testing::TestWithParam<MarkerCase>
{
};

TEST_P(MarkerBytes, OnlyWhatIsOnTheLineIsPainted)
{
    const MarkerCase c = GetParam();
    MonitorRig rig;
    rig.device.t_DataChangeColorEnable = 0;
    rig.device.t_MsgLateColorEnable = 0;
    rig.device.t_MsgMarker_ON(0, 1);
    rig.device.t_MsgMarkerID(0, 0x123);
    rig.device.t_MsgMarkerStartByte(0, c.startByte);
    rig.device.t_MsgMarkerEndByte(0, c.endByte);
    rig.frame(0x123, c.dlc, 1000, kBytes);
    rig.tick();
    const auto ranges = rig.rangesOn(0x123);
    if (!c.painted) {
        EXPECT_TRUE(ranges.empty());
        return;
    }
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(rig.lineOf(0x123).mid(ranges[0].start, ranges[0].length), QLatin1String(c.painted));
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, MarkerBytes,
    ::testing::Values(MarkerCase{8, 3, 3, "03"},
                      MarkerCase{4, 3, 6, "03 04      "},   // the empty columns of 5 and 6
                      MarkerCase{4, 6, 8, nullptr},         // starts beyond the DLC
                      MarkerCase{8, 0, 4, nullptr},         // no byte 0
                      MarkerCase{8, 9, 12, nullptr},        // no byte 9
                      MarkerCase{8, 5, 2, nullptr},         // ends before it starts
                      MarkerCase{8, 7, 40, "07 08"},        // stops at the byte columns
                      MarkerCase{8, 1, 2147483647, "01 02 03 04 05 06 07 08"}));

TEST(LiveMonitor, MarkerSettingsOutOfRangeAreHarmless)
{
    MonitorRig rig;
    rig.device.t_MsgMarker_MAX = 500;
    for (int m = 0; m < 8; ++m) {
        rig.device.t_MsgMarker_ON(int16_t(m), 1);
        rig.device.t_MsgMarkerStartByte(int16_t(m), 1);
        rig.device.t_MsgMarkerEndByte(int16_t(m), 8);
    }
    rig.device.t_MsgMarkerID(0, 0);
    rig.device.t_MsgMarkerID(1, -1);
    rig.device.t_MsgMarkerID(2, 0x800);
    rig.device.t_MsgMarkerID(3, 2048);
    rig.device.t_MsgMarkerID(4, 100000);
    rig.frame(0x001, 8, 1000, kBytes);
    rig.tick();
    for (const ColourRange &r : rig.sink.ranges)
        EXPECT_FALSE(r.background);
}

// ---- settings that would divide by zero ----

TEST(LiveMonitor, ZeroFadeTimesColourNothing)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorTime = 0;
    rig.device.t_MsgLateColor_Time = 0;
    rig.frame(0x100, 8, 1000, kBytes);
    rig.frame(0x100, 8, 1100, {9, 9, 9, 9, 9, 9, 9, 9});
    rig.tick();
    rig.tick();
    EXPECT_TRUE(rig.rangesOn(0x100).empty());
}

TEST(LiveMonitor, RatiosOfZeroAreNotDivisions)
{
    MonitorRig rig;
    rig.device.t_MsgLateColor_Ratio = 0;
    rig.device.t_MsgBlackout_Ratio = 0;
    rig.device.t_MsgLateColor_Time = LiveMonitor::kInterval;
    rig.frame(0x100, 8, 1000, kBytes);
    double t = 1000;
    for (int i = 0; i < 4; ++i) {
        rig.frame(0x100, 8, t += 100, kBytes);
        rig.tick(0);
        // An empty band: every cycle counts as a jump.
        EXPECT_NE(rig.timeRange(0x100), nullptr) << i;
    }
    rig.tick(150);   // silent after one and a half cycles
    EXPECT_EQ(rig.rx.CAN11_BlackoutON(0x100), 1);
}

TEST(LiveMonitor, NegativeFadeTimeStartsNoCounter)
{
    MonitorRig rig;
    rig.device.t_DataChangeColorTime = -5;
    rig.frame(0x100, 8, 1000, kBytes);
    rig.tick();
    EXPECT_EQ(rig.view.ViewColorlength_d1_timerCounter(0x100), -5);
    for (const ColourRange &r : rig.rangesOn(0x100))
        EXPECT_NE(r.length, 2);
}

// ---- status lines ----

TEST(LiveMonitor, PlaybackStatusLineRoundsHalvesToEven)
{
    MonitorRig rig;
    rig.play.PlayMode = 1;
    rig.play.t_RecPlay_FileType = 1;
    rig.device.t_LogComment = QStringLiteral("試験走行");
    rig.play.vx_start_time = 1000;
    rig.play.vx_millisecond = 1000 + 75000 + 2000;
    rig.play.Pause_ON_offset_time = 2000;
    rig.play.vx_millisecond_Repeat = 1000 + 60000;
    rig.play.Pause_ON_offset_time2 = 500;   // 16.5 s of this cycle: rounds to 16
    rig.play.vx_millisecond_Repeat_MAX = 60000;
    rig.host.status[1] = QStringLiteral("unchanged");
    rig.tick();
    EXPECT_EQ(rig.host.status[0], QStringLiteral("＞再生中 75[s] ： 16/60[s]"));
    EXPECT_EQ(rig.host.status[1], QStringLiteral("unchanged"));
    EXPECT_EQ(rig.host.comment, QStringLiteral("試験走行"));
    EXPECT_TRUE(rig.sink.text.startsWith(
        QStringLiteral("再生モード\r\nID  DLC  D1 D2 D3 D4 D5 D6 D7 D8\r\n")));
    rig.play.Pause_ON_offset_time2 = -1500;   // 18.5 s: rounds to 18
    rig.tick();
    EXPECT_EQ(rig.host.status[0], QStringLiteral("＞再生中 75[s] ： 18/60[s]"));
}

struct FolderCase
{
    int memory;
    int skip;
    int now;
    const char *expected;
};

class FolderStatus : public ::testing::TestWithParam<FolderCase>
{
};

TEST_P(FolderStatus, SecondStatusLine)
{
    const FolderCase c = GetParam();
    MonitorRig rig;
    rig.play.PlayMode = 1;
    rig.play.t_RecPlay_FileType = 2;
    rig.device.t_MM_Mode = c.memory;
    rig.device.t_SkipTimeON = c.skip;
    rig.play.PlayDAT_count = 1234;
    rig.play.FolderPlayMode_FN_Count = 7;
    rig.play.FolderPlayMode_FN_Count_Now = c.now;
    rig.tick();
    EXPECT_EQ(rig.host.status[1], QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FolderStatus,
    ::testing::Values(FolderCase{0, 0, 3, "　 Msg:1234 　File:3/7"},
                      FolderCase{0, 1, 3, "ST Msg:1234 　File:3/7"},
                      FolderCase{1, 1, 3, "メモリ再生　ST　Msg:1234 　File:4/7"},
                      FolderCase{1, 0, 3, "メモリ再生 　Msg:1234 　File:4/7"},
                      FolderCase{0, 0, 0, "　 Msg:1234 　File:7/7"},   // the list has wrapped
                      FolderCase{0, 1, 0, "ST Msg:1234 　File:7/7"},
                      FolderCase{1, 0, 0, "メモリ再生 　Msg:1234 　File:1/7"}));

TEST(LiveMonitor, RecordingStatusLineShowsWholeSeconds)
{
    MonitorRig rig;
    rig.play.PlayMode = 2;
    rig.recordElapsed = 12999.4;
    rig.play.interfaceCAN_offset_time = 7;
    rig.tick();
    EXPECT_EQ(rig.host.status[0], QStringLiteral("●録画中　12[s]"));
    EXPECT_EQ(rig.interfaceOffset, 7);
    rig.recordElapsed = 13000;
    rig.tick();
    EXPECT_EQ(rig.host.status[0], QStringLiteral("●録画中　13[s]"));
}

TEST(LiveMonitor, StatusLinesSurviveClocksThatMakeNoSense)
{
    MonitorRig rig;
    rig.play.PlayMode = 1;
    rig.play.vx_millisecond = std::numeric_limits<double>::quiet_NaN();
    rig.play.vx_millisecond_Repeat_MAX = 1e300;
    rig.tick();
    EXPECT_EQ(rig.host.status[0], QStringLiteral("＞再生中 0[s] ： 0/0[s]"));
    rig.play.PlayMode = 2;
    rig.recordElapsed = std::numeric_limits<double>::infinity();
    rig.tick();
    EXPECT_EQ(rig.host.status[0], QStringLiteral("●録画中　0[s]"));
}

// ---- the timer ----

TEST(LiveMonitor, TickSwitchesItsTimerOffAndBackOnWhileRunning)
{
    MonitorRig rig;
    rig.host.battRead = true;
    rig.tick();
    ASSERT_EQ(rig.host.battReadChanges.size(), 2u);
    EXPECT_FALSE(rig.host.battReadChanges[0]);
    EXPECT_TRUE(rig.host.battReadChanges[1]);
    rig.host.RxFlag = 0;
    rig.tick();
    EXPECT_FALSE(rig.host.battRead);
}

TEST(LiveMonitor, PreloadRequestIsHandedToTheFileTimer)
{
    MonitorRig rig;
    rig.play.Resuest_Timer_File_REC_Play_Enabled = 1;
    rig.tick();
    EXPECT_EQ(rig.play.Resuest_Timer_File_REC_Play_Enabled, 0);
    EXPECT_TRUE(rig.host.fileRecPlay);
    rig.host.fileRecPlay = false;
    rig.tick();
    EXPECT_FALSE(rig.host.fileRecPlay);
}

TEST(LiveMonitor, PendingEventsRunDuringTheTickAndANestedTickIsIgnored)
{
    MonitorRig rig;
    for (int id = 1; id <= 0x7FF; ++id)
        rig.frame(id, 1, 1000);
    bool ranInside = false;
    int shownWhenItRan = -1;
    QTimer::singleShot(0, [&] {
        ranInside = true;
        shownWhenItRan = rig.sink.shown;
        rig.monitor.tick();   // as a timer that a handler switched back on would
    });
    rig.tick();
    EXPECT_TRUE(ranInside);
    EXPECT_EQ(shownWhenItRan, 0);
    EXPECT_EQ(rig.sink.shown, 1);
    EXPECT_EQ(rig.lines().size(), 2 + 0x7FF + 3);
}

TEST(LiveMonitor, TimeTextShortestForm)
{
    EXPECT_EQ(LiveMonitor::timeText(Currency()), QStringLiteral("0"));
    EXPECT_EQ(LiveMonitor::timeText(Currency::fromDouble(100)), QStringLiteral("100"));
    EXPECT_EQ(LiveMonitor::timeText(Currency::fromDouble(99.5)), QStringLiteral("99.5"));
    EXPECT_EQ(LiveMonitor::timeText(Currency::fromDouble(0.0001)), QStringLiteral("0.0001"));
    EXPECT_EQ(LiveMonitor::timeText(Currency::fromDouble(10.05)), QStringLiteral("10.05"));
    EXPECT_EQ(LiveMonitor::timeText(Currency::fromDouble(-2.25)), QStringLiteral("-2.25"));
    EXPECT_EQ(LiveMonitor::timeText(Currency::fromScaled(std::numeric_limits<int64_t>::min())),
              QStringLiteral("-922337203685477.5808"));
}

// A Pause clicked while a tick lets the window system run stops the monitor timer; the end of
// that tick must not start it again, or the table goes on ticking through the pause.
TEST(LiveMonitor, APauseDuringTheTickKeepsTheTimerStopped)
{
    MonitorRig rig;
    rig.play.PlayMode = 1;
    rig.frame(0x123, 2, 10);
    rig.host.setTimerBattReadEnabled(true);
    QTimer::singleShot(0, [&] {
        rig.play.Pause_ON_Flag = 1;
        rig.host.setTimerBattReadEnabled(false);
    });
    rig.tick();
    EXPECT_EQ(rig.play.Pause_ON_Flag, 1);
    EXPECT_FALSE(rig.host.timerBattReadEnabled());

    // Resumed, the next tick keeps its timer going as usual.
    rig.play.Pause_ON_Flag = 2;
    rig.host.setTimerBattReadEnabled(true);
    rig.tick();
    EXPECT_TRUE(rig.host.timerBattReadEnabled());
}

#include "CAN_ViewDB.h"

#include <gtest/gtest.h>

TEST(CAN_ViewDB, NamedAndNumberedByteColumnsAreTheSameState)
{
    CAN_ViewDB v;
    v.ViewColorlength_d3_start(0x10, 42);
    EXPECT_EQ(v.byteStart(0x10, 3), 42);
    v.setByteCounter(0x10, 8, 999);
    EXPECT_EQ(v.ViewColorlength_d8_timerCounter(0x10), 999);
    v.setByteStart(0x10, 9, 1);   // ignored
    v.setByteStart(-1, 1, 1);     // ignored
    EXPECT_EQ(v.byteStart(0x10, 9), 0);
    v.Param_ALL_Clear();
    EXPECT_EQ(v.byteStart(0x10, 3), 0);
    EXPECT_EQ(v.ViewColorlength_d8_timerCounter(0x10), 0);
}

TEST(CAN_ViewDB, ClearKeepsTheSummaryLine)
{
    CAN_ViewDB v;
    v.DisableID_Status_Buffer = "x";
    v.ViewColorMsgMarker_end(7, 5);
    v.Param_ALL_Clear();
    EXPECT_EQ(v.ViewColorMsgMarker_end(7), 0);
    EXPECT_EQ(v.DisableID_Status_Buffer, "x");
}

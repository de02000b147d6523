#include "ELM327_Info.h"
#include "Paths.h"

#include <gtest/gtest.h>

TEST(ELM327_Info, DefaultsAndProductConstants)
{
    ELM327_Info p;
    EXPECT_EQ(p.install_version, 101);
    EXPECT_EQ(p.Application_title, QString::fromUtf8("CANケストローバ Ver1.01"));
    EXPECT_EQ(p.Application_title2, QString::fromUtf8("CANケストローバ"));
    EXPECT_EQ(p.Copy_light2, QString::fromUtf8("ペルモラ技研"));
    EXPECT_EQ(p.t_SaveRecFile_Keycode, "CAN_Kestrova_REC_FILE_DAT");
    EXPECT_FALSE(p.Copy_light.isEmpty());
    EXPECT_TRUE(p.Homepage_URL.startsWith("https://"));
    EXPECT_EQ(p.t_bitRate, 2);
    EXPECT_EQ(p.t_SkipTime_Value, 300);
    EXPECT_EQ(p.t_DataChangeColor, 0xFF);
    EXPECT_EQ(p.t_DataChangeColorTime, 60000);
    EXPECT_EQ(p.t_MsgLateColor_Ratio, 30);
    EXPECT_EQ(p.t_MsgBlackout_Color, 0x969696);
    EXPECT_EQ(p.t_MsgBlackout_Ratio, 250);
    EXPECT_EQ(p.t_LogSave_Enable, 1);
    EXPECT_EQ(p.t_LogComment, QString::fromUtf8("ＣＡＮ受信ログ"));
    EXPECT_EQ(p.t_SaveFormat, 1);
    EXPECT_EQ(p.t_CF_mode, 1);
    EXPECT_EQ(p.t_CF_Vistbus_Txt, QString::fromUtf8("ヴィストバス"));
    EXPECT_EQ(p.t_LogSaveFilePath, paths::programFolder());
    EXPECT_EQ(p.t_SaveFilePath, paths::programFolder());
    EXPECT_EQ(p.t_DisableID_Play_MAX, 7);
    EXPECT_EQ(p.t_DisableID_Rec_MAX, 7);
    EXPECT_EQ(p.t_MsgMarker_MAX, 7);
    for (int16_t i = 0; i < 8; ++i) {
        EXPECT_EQ(p.t_MsgMarkerStartByte(i), 1);
        EXPECT_EQ(p.t_MsgMarkerEndByte(i), 1);
        EXPECT_EQ(p.t_MsgMarkerColor(i), 0xFFB3F3);
        EXPECT_EQ(p.t_DisableID_Rec_ON(i), 0);
    }
}

TEST(ELM327_Info, IndexOutsideTheArraysTouchesNothing)
{
    ELM327_Info p;
    for (int16_t i : {int16_t(-1), int16_t(8), int16_t(-32768), int16_t(32767)}) {
        p.t_MsgMarkerColor(i, 0x123456);
        EXPECT_EQ(p.t_MsgMarkerColor(i), 0);
    }
    for (int16_t i = 0; i < 8; ++i)
        EXPECT_EQ(p.t_MsgMarkerColor(i), 0xFFB3F3);
    EXPECT_EQ(p.t_DisableID_Play_End(0), 0);
}

TEST(ELM327_Info, ClearLongArray)
{
    ELM327_Info::LongArray a{};
    ELM327_Info::Arayy_ALL_Clear_zero_long(3, 9, a);
    EXPECT_EQ(a[3], 9);
    EXPECT_EQ(a[4], 0);
    ELM327_Info::Arayy_ALL_Clear_zero_long(-1, 5, a);
    EXPECT_EQ(a[0], 9);
    ELM327_Info::Arayy_ALL_Clear_zero_long(100, 1, a);   // bounded by the array
    EXPECT_EQ(a[7], 1);
}

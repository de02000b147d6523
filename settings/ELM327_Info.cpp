#include "ELM327_Info.h"

#include "Paths.h"

void ELM327_Info::Arayy_ALL_Clear_zero_long(int lastIndex, int32_t value, LongArray &array)
{
    for (int i = 0; i <= lastIndex && i < int(array.size()); ++i)
        array[size_t(i)] = value;
}

void ELM327_Info::Param_ALL_Clear()
{
    // "The program's folder" as a place for files; the data folder of an installed program.
    const QString filesFolder = paths::fileFolder();

    install_version = 101;
    Application_title = QStringLiteral("CANケストローバ Ver1.01");
    Copy_light = QStringLiteral("Copyright (C) 2015-2026 ペルモラ技研 All rights reserved.");
    Application_title2 = QStringLiteral("CANケストローバ");
    Copy_light2 = QStringLiteral("ペルモラ技研");
    Homepage_URL = QStringLiteral("https://www.pelmora-giken.example/cankestrova/");
    t_SaveRecFile_Keycode = QStringLiteral("CAN_Kestrova_REC_FILE_DAT");

    ExcelInstallCheck = 0;
    t_CmbBOX_device_SelectNo = 0;
    t_select_Vender = 0;

    t_bitRate = 2;
    t_msgID_type = 0;
    t_silent_mode = 0;
    t_MM_Mode = 0;
    t_SkipTimeON = 0;
    t_SkipTime_Value = 300;

    t_DataChangeColorEnable = 1;
    t_DataChangeColor = 0x000000FF;
    t_DataChangeColorTime = 60000;
    t_MsgLateColorEnable = 1;
    t_MsgLateColor = 0x000000FF;
    t_MsgLateColor_Ratio = 30;
    t_MsgLateColor_Time = 60000;
    t_MsgBlackout_Enable = 1;
    t_MsgBlackout_Color = 0x00969696;
    t_MsgBlackout_Ratio = 250;

    t_DisableID_Play_MAX = 7;
    t_DisableID_Rec_MAX = 7;
    t_MsgMarker_MAX = 7;
    Arayy_ALL_Clear_zero_long(7, 0, m_t_DisableID_Play_ON);
    Arayy_ALL_Clear_zero_long(7, 0, m_t_DisableID_Play_Start);
    Arayy_ALL_Clear_zero_long(7, 0, m_t_DisableID_Play_End);
    Arayy_ALL_Clear_zero_long(7, 0, m_t_DisableID_Rec_ON);
    Arayy_ALL_Clear_zero_long(7, 0, m_t_DisableID_Rec_Start);
    Arayy_ALL_Clear_zero_long(7, 0, m_t_DisableID_Rec_End);
    Arayy_ALL_Clear_zero_long(7, 0, m_t_MsgMarker_ON);
    Arayy_ALL_Clear_zero_long(7, 0, m_t_MsgMarkerID);
    Arayy_ALL_Clear_zero_long(7, 1, m_t_MsgMarkerStartByte);
    Arayy_ALL_Clear_zero_long(7, 1, m_t_MsgMarkerEndByte);
    Arayy_ALL_Clear_zero_long(7, 0x00FFB3F3, m_t_MsgMarkerColor);

    t_LogSave_Enable = 1;
    t_LogSaveFormat = 0;
    t_LogSaveFilePath_mode = 0;
    t_LogSaveFilePath = filesFolder;
    t_LogSave_subFolder = 0;
    t_LogComment = QStringLiteral("ＣＡＮ受信ログ");
    t_SaveFormat = 1;
    t_SaveFilePath_mode = 0;
    t_SaveFilePath = filesFolder;

    t_CF_mode = 1;
    t_CF_Load_FileType = 0;
    t_CF_Load_Name.clear();
    t_CF_Load_Path.clear();
    t_CF_Vistbus_On = 0;
    t_CF_Vistbus_Txt = QStringLiteral("ヴィストバス");
    t_CF_Save_Path_mode = 0;
    t_CF_Save_Path.clear();
}

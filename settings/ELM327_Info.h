#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The application parameters: every setting, mode and product constant shared between
// the windows, the loops and the files.
//
// Values loaded from config.dat are taken as they stand. Members that later index or
// divide something and so must be checked where they are used: t_bitRate (0..7),
// t_SaveFormat, t_LogSaveFilePath_mode, t_SaveFilePath_mode, t_CF_Save_Path_mode (0..2),
// t_MsgMarkerID (0..0x7FF), t_MsgMarkerStartByte / t_MsgMarkerEndByte (1..8),
// t_DisableID_*_Start / _End (any value), t_DataChangeColorTime and t_MsgLateColor_Time
// (denominators of the fade, may be 0), t_MsgLateColor_Ratio, t_MsgBlackout_Ratio, and
// every colour (only the low 24 bits mean anything).
class ELM327_Info final
{
public:
    using LongArray = std::array<int32_t, 8>;

    ELM327_Info() { Param_ALL_Clear(); }

    void Param_ALL_Clear();
    static void Arayy_ALL_Clear_zero_long(int lastIndex, int32_t value, LongArray &array);

    // Product constants.
    int32_t install_version = 0;
    QString Application_title;
    QString Copy_light;
    QString Application_title2;
    QString Copy_light2;
    QString Homepage_URL;
    QString t_SaveRecFile_Keycode;

    // Run-time state, never stored.
    int32_t ExcelInstallCheck = 0;
    int32_t t_CmbBOX_device_SelectNo = 0;
    int32_t t_select_Vender = 0;

    // Bus and playback.
    int32_t t_bitRate = 0;
    int32_t t_msgID_type = 0;
    int32_t t_silent_mode = 0;
    int32_t t_MM_Mode = 0;
    int32_t t_SkipTimeON = 0;
    int32_t t_SkipTime_Value = 0;

    // Live-view colouring.
    int32_t t_DataChangeColorEnable = 0;
    int32_t t_DataChangeColor = 0;
    int32_t t_DataChangeColorTime = 0;
    int32_t t_MsgLateColorEnable = 0;
    int32_t t_MsgLateColor = 0;
    int32_t t_MsgLateColor_Ratio = 0;
    int32_t t_MsgLateColor_Time = 0;
    int32_t t_MsgBlackout_Enable = 0;
    int32_t t_MsgBlackout_Color = 0;
    int32_t t_MsgBlackout_Ratio = 0;

    // Last indices of the three groups of indexed properties.
    int32_t t_DisableID_Play_MAX = 0;
    int32_t t_DisableID_Rec_MAX = 0;
    int32_t t_MsgMarker_MAX = 0;

    // Record saving and snapshots.
    int32_t t_LogSave_Enable = 0;
    int32_t t_LogSaveFormat = 0;
    int32_t t_LogSaveFilePath_mode = 0;
    QString t_LogSaveFilePath;
    int32_t t_LogSave_subFolder = 0;
    QString t_LogComment;
    int32_t t_SaveFormat = 0;
    int32_t t_SaveFilePath_mode = 0;
    QString t_SaveFilePath;

    // File conversion.
    int32_t t_CF_mode = 0;
    int32_t t_CF_Load_FileType = 0;
    QString t_CF_Load_Name;
    QString t_CF_Load_Path;
    int32_t t_CF_Vistbus_On = 0;
    QString t_CF_Vistbus_Txt;
    int32_t t_CF_Save_Path_mode = 0;
    QString t_CF_Save_Path;

    // Indexed properties, index 0..7; reads outside give 0, writes outside are ignored.
#define ELM327_INDEXED(name)                                                         \
    int32_t name(int16_t i) const { return inRange(i) ? m_##name[size_t(i)] : 0; }   \
    void name(int16_t i, int32_t v)                                                  \
    {                                                                                \
        if (inRange(i))                                                              \
            m_##name[size_t(i)] = v;                                                 \
    }
    ELM327_INDEXED(t_DisableID_Play_ON)
    ELM327_INDEXED(t_DisableID_Play_Start)
    ELM327_INDEXED(t_DisableID_Play_End)
    ELM327_INDEXED(t_DisableID_Rec_ON)
    ELM327_INDEXED(t_DisableID_Rec_Start)
    ELM327_INDEXED(t_DisableID_Rec_End)
    ELM327_INDEXED(t_MsgMarkerID)
    ELM327_INDEXED(t_MsgMarkerStartByte)
    ELM327_INDEXED(t_MsgMarkerEndByte)
    ELM327_INDEXED(t_MsgMarkerColor)
    ELM327_INDEXED(t_MsgMarker_ON)
#undef ELM327_INDEXED

    static constexpr bool inRange(int16_t i) { return i >= 0 && i < 8; }

private:
    LongArray m_t_DisableID_Play_ON{};
    LongArray m_t_DisableID_Play_Start{};
    LongArray m_t_DisableID_Play_End{};
    LongArray m_t_DisableID_Rec_ON{};
    LongArray m_t_DisableID_Rec_Start{};
    LongArray m_t_DisableID_Rec_End{};
    LongArray m_t_MsgMarkerID{};
    LongArray m_t_MsgMarkerStartByte{};
    LongArray m_t_MsgMarkerEndByte{};
    LongArray m_t_MsgMarkerColor{};
    LongArray m_t_MsgMarker_ON{};
};

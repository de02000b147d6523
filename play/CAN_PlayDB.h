#pragma once

#include "PlayTarget.h"

#include <cstdint>

// The playback engine: plays a record file or a folder of record files onto the bus with
// their recorded timing, and holds the play target. Its PlayMode is the program-wide mode
// word (0 idle, 1 playing, 2 recording).
class CAN_PlayDB : public PlayTarget
{
public:
    CAN_PlayDB() = default;
    virtual ~CAN_PlayDB() = default;

    void Param_ALL_Clear();

    int32_t PlayMode = 0;
    int32_t t_RecPlay_PlayMode_Repeat = 0;

    int32_t PlayDAT_count = 0;
    int32_t PlayDAT_Select_ch = 1;
    int32_t Resuest_Timer_File_REC_Play_Enabled = 0;
    int32_t Pause_ON_Flag = 0;
    double Pause_ON_starttime = 0;
    double Pause_ON_offset_time = 0;
    double Pause_ON_offset_time2 = 0;
    int32_t FolderPlayMode_FN_Count = 0;
    int32_t FolderPlayMode_FN_Count_Now = 0;
    double vx_millisecond = 0;
    double vx_start_time = 0;
    double interfaceCAN_offset_time = 0;
    double vx_millisecond_Repeat = 0;
    double vx_millisecond_Repeat_MAX = 0;
};

#pragma once

#include "PlayTarget.h"

#include <QString>

#include <cstdint>

class ELM327_Info;
class QMimeData;

// The playback engine: plays a record file or a folder of record files onto the bus with
// their recorded timing, and holds the play target. Its PlayMode is the program-wide mode
// word (0 idle, 1 playing, 2 recording).
class CAN_PlayDB : public PlayTarget
{
public:
    CAN_PlayDB() = default;
    virtual ~CAN_PlayDB() = default;

    void Param_ALL_Clear();

    // The play target: restored from the settings at start-up, dropped on the window, or
    // chosen in the browse dialog. Each sets t_RecPlay_FileType (0 when rejected),
    // t_RecPlay_FilePath and t_RecPlay_FileName.
    void get_PlayFilePath_StartUp_Main(const ELM327_Info &params);
    void get_PlayFilePath_DD_Main(const QMimeData *drop, const ELM327_Info &params);
    void get_PlayFilePath_DB_Main(const QString &path, const ELM327_Info &params);

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

private:
    void clearTarget();
    void takePath(const QString &path, const ELM327_Info &params);
};

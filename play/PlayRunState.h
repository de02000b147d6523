#pragma once

#include <cstdint>

// The variables of a playback run that the rest of the program reads and the buttons
// write: the main window's status lines and timers, the live monitor, the command line.
// One plain value; CAN_PlayDB carries it, and the run's parts (pacer, sources, loop)
// work on it.
struct PlayRunState
{
    // Mode word of the program: 0 idle, 1 playing, 2 receiving and recording.
    int32_t PlayMode = 0;
    // 1: play again from the start at the end of the data, read at each end.
    int32_t t_RecPlay_PlayMode_Repeat = 0;

    // The next frame to leave for the bus in the active buffer (or memory slot). When
    // frames are handed to the driver ahead of their time this is still the first that
    // has not left, so the status line counts frames on the bus.
    int32_t PlayDAT_count = 0;
    // Active buffer: 1 or 2.
    int32_t PlayDAT_Select_ch = 1;
    // Set when the run switched buffers; the monitor tick starts the preload timer.
    int32_t Resuest_Timer_File_REC_Play_Enabled = 0;
    // 0 running, 1 paused, 2 resume asked for (the run turns it back to 0).
    int32_t Pause_ON_Flag = 0;
    double Pause_ON_starttime = 0;       // clock reading at which the pause began
    double Pause_ON_offset_time = 0;     // every pause of the run
    double Pause_ON_offset_time2 = 0;    // the pauses of the current cycle
    int32_t FolderPlayMode_FN_Count = 0;      // names in the folder list (memory: files loaded)
    int32_t FolderPlayMode_FN_Count_Now = 0;  // the next file to load (memory: slot playing)
    double vx_millisecond = 0;        // the run's latest clock reading; stands while paused
    double vx_start_time = 0;         // clock at the start of the run
    // What the live monitor subtracts from its own clock reading to stand on the run's
    // time line: 0, or a whole number of wraps once the 32-bit clock has wrapped.
    double interfaceCAN_offset_time = 0;
    double vx_millisecond_Repeat = 0;      // clock at the start of the current cycle
    double vx_millisecond_Repeat_MAX = 0;  // length of the first whole cycle, 0 before
    // Frames that left for the bus in this run, and frames the driver would not take.
    int64_t sentFrameCount = 0;
    int64_t refusedFrameCount = 0;

    // A run begins: pause, cycle, clock and folder bookkeeping back to 0.
    void resetRunState()
    {
        const PlayRunState kept = *this;
        *this = PlayRunState();
        PlayMode = kept.PlayMode;
        t_RecPlay_PlayMode_Repeat = kept.t_RecPlay_PlayMode_Repeat;
        PlayDAT_count = kept.PlayDAT_count;
        PlayDAT_Select_ch = kept.PlayDAT_Select_ch;
        vx_millisecond = kept.vx_millisecond;
        vx_start_time = kept.vx_start_time;
    }
};

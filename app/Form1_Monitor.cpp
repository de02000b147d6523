// The live monitor tick.
#include "Form1.h"

#include <QTimer>

void Form1::TimerBattRead_Timer()
{
    TimerBattRead->stop();
    if (CanPlay.Resuest_Timer_File_REC_Play_Enabled == 1) {
        CanPlay.Resuest_Timer_File_REC_Play_Enabled = 0;
        Timer_File_REC_Play->start();
    }
    if (RxFlag == 1)
        TimerBattRead->start();
}

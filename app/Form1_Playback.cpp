// The playback run and the one-shot preload hand-off.
#include "Form1.h"

#include <QTimer>

void Form1::Bt_Connect_Click()
{
    if (m_ButtonState[Connect] == 2 && m_ButtonState[Pause] == 2) {
        TogglePause();
        return;
    }
    if (m_ButtonState[Connect] != 1)
        return;
}

void Form1::Timer_File_REC_Play_Timer()
{
    Timer_File_REC_Play->stop();
}

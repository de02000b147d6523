// The record run.
#include "Form1.h"

void Form1::Bt_Rec_Click()
{
    if (m_ButtonState[Rec] != 1)
        return;
}

double Form1::recordElapsedMs() const
{
    return 0;
}

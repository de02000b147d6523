// Stopping a run and re-choosing the device.
#include "Form1.h"

void Form1::Bt_Disconnect_Click()
{
    if (m_ButtonState[Disconnect] != 1)
        return;
    SetButtonStates(0, 0, 0, 0, 0, 0, 0, 0);
    RxFlag = 0;
}

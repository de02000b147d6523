// The live monitor tick.
#include "Form1.h"

void Form1::TimerBattRead_Timer()
{
    if (!m_monitor) {
        const LiveMonitor::Links links{device, CanPlay, Rx_CANDATA, m_view, *this,
                                       f1_interfaceCAN_offset_time,
                                       [this] { return recordElapsedMs(); }};
        m_monitor = std::make_unique<LiveMonitor>(links, *RTB_MainView);
    }
    m_monitor->tick();
}

#pragma once

#include "RecordLoop.h"

class CANUSB;
class CAN_DB;
class CAN_DB_Interface;
class CAN_ReadDB;
class ELM327_Info;
class InterfaceCAN;

// The record loop that keeps every frame: connects to the selected device, records until
// the user disconnects, and returns when the run is over. The main window keeps one for
// the whole program and is the host whose RxFlag, status lines and monitor timer the runs
// use.
class CAN_RecDB final : public RecordLoop
{
public:
    using RecordLoop::RecordLoop;

    void Open_CANUSB(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA, CANUSB &CAN_u, CAN_DB &CAN_d);
    void Open_InterfaceCAN(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA, InterfaceCAN &IfCan_u,
                           CAN_DB_Interface &IfCan_d);
};

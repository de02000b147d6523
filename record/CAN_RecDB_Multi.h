#pragma once

#include "RecordLoop.h"

class CANUSB;
class CAN_DB;
class CAN_DB_Interface;
class CAN_ReadDB;
class ELM327_Info;
class InterfaceCAN;

// The record loop with the recording exclusion ranges: a frame whose identifier lies in a
// switched-on range is dropped as it comes in. It reaches neither the receive table nor a
// file and does not move the elapsed time; everything else is as in CAN_RecDB.
class CAN_RecDB_Multi final : public RecordLoop
{
public:
    using RecordLoop::RecordLoop;

    void Open_CANUSB_Multi(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA, CANUSB &CAN_u,
                           CAN_DB &CAN_d);
    void Open_InterfaceCAN_Multi(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA,
                                 InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d);

    // IsRecExcludedID for every identifier 0 … 0x7FF, as the run will apply it.
    static Exclusion exclusionOf(const ELM327_Info &device);
};

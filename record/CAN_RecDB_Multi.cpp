#include "CAN_RecDB_Multi.h"

#include "CanusbRecordDevice.h"
#include "InterfaceRecordDevice.h"
#include "RecordFiles.h"

// The ranges cannot change during a run (the settings dialogs are locked), so they are
// looked up once per identifier before it starts instead of once per frame.
RecordLoop::Exclusion CAN_RecDB_Multi::exclusionOf(const ELM327_Info &device)
{
    Exclusion excluded{};
    for (int32_t id = 0; id < int32_t(excluded.size()); ++id)
        excluded[size_t(id)] = IsRecExcludedID(id, device) == 1;
    return excluded;
}

void CAN_RecDB_Multi::Open_CANUSB_Multi(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA,
                                        CANUSB &CAN_u, CAN_DB &CAN_d)
{
    const Exclusion excluded = exclusionOf(device);
    CanusbRecordDevice adapter(CAN_u, CAN_d);
    run(adapter, device, Rx_CANDATA, &excluded);
}

void CAN_RecDB_Multi::Open_InterfaceCAN_Multi(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA,
                                              InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d)
{
    const Exclusion excluded = exclusionOf(device);
    InterfaceRecordDevice board(IfCan_u, IfCan_d);
    run(board, device, Rx_CANDATA, &excluded);
}

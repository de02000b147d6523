#include "CAN_RecDB.h"

#include "CanusbRecordDevice.h"
#include "InterfaceRecordDevice.h"

void CAN_RecDB::Open_CANUSB(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA, CANUSB &CAN_u,
                            CAN_DB &CAN_d)
{
    CanusbRecordDevice adapter(CAN_u, CAN_d);
    run(adapter, device, Rx_CANDATA, nullptr);
}

void CAN_RecDB::Open_InterfaceCAN(ELM327_Info &device, CAN_ReadDB &Rx_CANDATA,
                                  InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d)
{
    InterfaceRecordDevice board(IfCan_u, IfCan_d);
    run(board, device, Rx_CANDATA, nullptr);
}

// The memory engine: the shared run over a memory source.
#include "CAN_PlayDB_Multi_MM.h"

#include "CAN_PlayDB.h"
#include "PlayRun.h"

#include <algorithm>

void CAN_PlayDB_Multi_MM::Arayy_ALL_Clear_zero_long(int32_t upperIndex, int32_t value,
                                                    std::span<int32_t> array)
{
    const int64_t last = std::min<int64_t>(upperIndex, int64_t(array.size()) - 1);
    for (int64_t i = 0; i <= last; ++i)
        array[size_t(i)] = value;
}

void CAN_PlayDB_Multi_MM::FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                          CANUSB &CAN_u, CAN_DB &CAN_d, CAN_PlayDB &caller)
{
    SkipTime_Offset = playThroughCanusb(host, params, rx, CAN_u, CAN_d, caller, m_source);
}

void CAN_PlayDB_Multi_MM::FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                                InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                                                CAN_PlayDB &caller)
{
    SkipTime_Offset = playThroughInterface(host, params, rx, IfCan_u, IfCan_d, caller, m_source);
}

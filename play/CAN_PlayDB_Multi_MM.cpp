// The memory engine: the shared run over a memory source.
#include "CAN_PlayDB_Multi_MM.h"

#include "CAN_PlayDB.h"
#include "CanusbPlayDevice.h"
#include "InterfaceCanPlayDevice.h"
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
    CanusbPlayDevice device(params, CAN_u, CAN_d);
    play(host, params, rx, device, caller);
}

void CAN_PlayDB_Multi_MM::FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params,
                                                CAN_ReadDB &rx, InterfaceCAN &IfCan_u,
                                                CAN_DB_Interface &IfCan_d, CAN_PlayDB &caller)
{
    InterfaceCanPlayDevice device(params, IfCan_u, IfCan_d);
    play(host, params, rx, device, caller);
}

void CAN_PlayDB_Multi_MM::play(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                               PlayDevice &device, CAN_PlayDB &caller)
{
    PlayRun run(host, params, rx, device, caller, m_source);
    run.run();
    SkipTime_Offset = run.skipOffset();
}

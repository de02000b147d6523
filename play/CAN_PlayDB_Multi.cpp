// The exclusion and skip-time engine: the shared run over a kept-files source.
#include "CAN_PlayDB_Multi.h"

#include "CAN_PlayDB.h"
#include "PlayRun.h"

void CAN_PlayDB_Multi::FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                       CANUSB &CAN_u, CAN_DB &CAN_d, CAN_PlayDB &caller)
{
    SkipTime_Offset = playThroughCanusb(host, params, rx, CAN_u, CAN_d, caller, m_source);
    PlayDAT_StartIndex = m_source.lastStartIndex();
}

void CAN_PlayDB_Multi::FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                             InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                                             CAN_PlayDB &caller)
{
    SkipTime_Offset = playThroughInterface(host, params, rx, IfCan_u, IfCan_d, caller, m_source);
    PlayDAT_StartIndex = m_source.lastStartIndex();
}

void CAN_PlayDB_Multi::FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params,
                                                  CAN_PlayDB &caller)
{
    m_source.preload(host, params, caller, caller);
    PlayDAT_StartIndex = m_source.lastStartIndex();
}

void CAN_PlayDB_Multi::advanceKept(int32_t &count, Frames frames, const ELM327_Info &params,
                                   PlayDevice &device)
{
    KeptFileSource::stepKept(count, frames, params);
    if (count >= 0 && count <= FrameBuffer::kLastIndex)
        device.fill(frames[size_t(count)]);
}

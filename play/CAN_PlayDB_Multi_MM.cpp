// The memory run: every file read before the bus check, then slot after slot from memory.
#include "CAN_PlayDB_Multi_MM.h"

#include "CAN_PlayDB.h"
#include "CAN_PlayDB_Multi.h"
#include "CAN_ReadDB.h"
#include "CanusbPlayDevice.h"
#include "ELM327_Info.h"
#include "FolderFileList.h"
#include "InterfaceCanPlayDevice.h"
#include "MessagePump.h"
#include "Paths.h"
#include "PlayDevice.h"
#include "RecordFiles.h"
#include "RunHost.h"

#include <algorithm>

CAN_PlayDB_Multi_MM::CAN_PlayDB_Multi_MM() = default;

CAN_PlayDB_Multi_MM::~CAN_PlayDB_Multi_MM() = default;

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
    playRun(host, params, rx, device, caller);
}

void CAN_PlayDB_Multi_MM::FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params,
                                                CAN_ReadDB &rx, InterfaceCAN &IfCan_u,
                                                CAN_DB_Interface &IfCan_d, CAN_PlayDB &caller)
{
    InterfaceCanPlayDevice device(params, IfCan_u, IfCan_d);
    playRun(host, params, rx, device, caller);
}

int32_t CAN_PlayDB_Multi_MM::PlayDAT_StartIndex(int32_t slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_startIndex[size_t(slot)] : 0;
}

QString CAN_PlayDB_Multi_MM::slotComment(int32_t slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_comments[size_t(slot)] : QString();
}

QString CAN_PlayDB_Multi_MM::slotFileName(int32_t slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_names[size_t(slot)] : QString();
}

void CAN_PlayDB_Multi_MM::clearSlots()
{
    if (!m_memory)
        m_memory = std::make_unique<MemoryBuffer>();
    ClearMemoryBuffer(FrameBuffer::kLastIndex, MemoryBuffer::kLastRow, *m_memory);
    Arayy_ALL_Clear_zero_long(kSlotCount - 1, 0, m_startIndex);
    for (QString &comment : m_comments)
        comment.clear();
    for (QString &name : m_names)
        name.clear();
}

void CAN_PlayDB_Multi_MM::playRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                  PlayDevice &device, CAN_PlayDB &caller)
{
    caller.resetRunState();
    SkipTime_Offset = 0;
    rx.Param_ALL_Clear();
    clearSlots();
    caller.PlayDAT_count = 0;
    caller.PlayDAT_Select_ch = 1;
    if (caller.openDevice(host, device) && caller.t_RecPlay_FileType == 2) {
        const std::vector<QString> names =
            folderRecordFiles(caller.t_RecPlay_FilePath, params, &host, kSlotCount);
        if (!names.empty())
            LoadAllFilesToMemory(host, params, caller, names);
        const auto slot0 = m_memory->row(0);
        caller.PlayDAT_count = m_startIndex[0];
        if (host.RxFlag == 1 && caller.FolderPlayMode_FN_Count >= 1 && slot0[0].identifier >= 1) {
            device.fill(slot0[size_t(caller.PlayDAT_count)]);
            if (caller.beginSending(host, rx, device, slot0[0].time))
                playLoop(host, params, rx, device, caller);
        }
    }
    caller.endRun(host, device);
}

void CAN_PlayDB_Multi_MM::LoadAllFilesToMemory(RunHost &host, ELM327_Info &params,
                                               CAN_PlayDB &caller,
                                               const std::vector<QString> &names)
{
    const int32_t listed = int32_t(std::min<size_t>(names.size(), size_t(kSlotCount)));
    caller.FolderPlayMode_FN_Count = listed;
    caller.FolderPlayMode_FN_Count_Now = 0;
    int32_t slot = 0;
    while (caller.FolderPlayMode_FN_Count_Now < listed && host.RxFlag == 1 && slot < kSlotCount) {
        const QString &name = names[size_t(caller.FolderPlayMode_FN_Count_Now)];
        const int32_t result = LoadRecordFileToMemory(paths::join(caller.t_RecPlay_FilePath, name),
                                                      params, m_comments, *m_memory, slot);
        auto frames = m_memory->row(slot);
        ++caller.FolderPlayMode_FN_Count_Now;
        int32_t start = -1;
        if (result == 0 && frames[0].identifier >= 1)
            start = CAN_PlayDB_Multi::firstKeptFrame(frames, params, &host);
        if (start < 0) {
            // Left out: the slot takes the next file.
            frames[0].identifier = 0;
            m_comments[size_t(slot)].clear();
            pumpMessages();
            continue;
        }
        m_startIndex[size_t(slot)] = start;
        m_names[size_t(slot)] = name;
        ++slot;
    }
    caller.FolderPlayMode_FN_Count = slot;
    caller.FolderPlayMode_FN_Count_Now = 0;
}

void CAN_PlayDB_Multi_MM::playLoop(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                   PlayDevice &device, CAN_PlayDB &caller)
{
    int32_t &count = caller.PlayDAT_count;
    while (host.RxFlag == 1 && caller.FolderPlayMode_FN_Count_Now >= 0
           && caller.FolderPlayMode_FN_Count_Now < caller.FolderPlayMode_FN_Count) {
        const auto frames = m_memory->row(caller.FolderPlayMode_FN_Count_Now);
        if (count < 0 || count > FrameBuffer::kLastIndex) {
            if (caller.handOffsSettled(host, params))
                endOfSlot(host, params, device, caller);
            continue;
        }
        if (!caller.isDue(frames[size_t(count)], SkipTime_Offset)) {
            caller.waitingPass(&frames[size_t(count)], SkipTime_Offset);
            continue;
        }
        if (!caller.sendDueMessage(host, params, rx, device, frames[size_t(count)],
                                   SkipTime_Offset))
            break;
        CAN_PlayDB_Multi::advanceKept(count, frames, params, device);
        if (count > FrameBuffer::kLastIndex && caller.handOffsSettled(host, params))
            endOfSlot(host, params, device, caller);
    }
}

void CAN_PlayDB_Multi_MM::endOfSlot(RunHost &host, ELM327_Info &params, PlayDevice &device,
                                    CAN_PlayDB &caller)
{
    int32_t &now = caller.FolderPlayMode_FN_Count_Now;
    ++now;
    if (now == caller.FolderPlayMode_FN_Count && caller.t_RecPlay_PlayMode_Repeat == 1) {
        caller.startNewCycle();
        now = 0;
        SkipTime_Offset = 0;
    }
    if (now < 0 || now >= caller.FolderPlayMode_FN_Count) {
        host.RxFlag = 0;
        return;
    }
    const auto frames = m_memory->row(now);
    caller.PlayDAT_count = m_startIndex[size_t(now)];
    params.t_LogComment = m_comments[size_t(now)];
    if (frames[0].identifier < 1) {
        host.RxFlag = 0;
        return;
    }
    const RecordFrame &first = frames[size_t(caller.PlayDAT_count)];
    device.fill(first);
    CAN_PlayDB_Multi::applySkipTime(caller, params, first, SkipTime_Offset);
}

// The run of the exclusion and skip-time engine, built from the caller's shared pieces.
#include "CAN_PlayDB_Multi.h"

#include "CAN_PlayDB.h"
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

#include <cmath>

CAN_PlayDB_Multi::CAN_PlayDB_Multi() : m_fileList(size_t(FrameBuffer::kSlots)) {}

void CAN_PlayDB_Multi::FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                       CANUSB &CAN_u, CAN_DB &CAN_d, CAN_PlayDB &caller)
{
    CanusbPlayDevice device(params, CAN_u, CAN_d);
    playRun(host, params, rx, device, caller);
}

void CAN_PlayDB_Multi::FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                             InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                                             CAN_PlayDB &caller)
{
    InterfaceCanPlayDevice device(params, IfCan_u, IfCan_d);
    playRun(host, params, rx, device, caller);
}

// ---- Exclusion and skip-time, shared with the memory engine --------------------------------

int32_t CAN_PlayDB_Multi::firstKeptFrame(Frames frames, const ELM327_Info &params, RunHost *host)
{
    for (int32_t i = 0; i <= FrameBuffer::kLastIndex; ++i) {
        const int32_t id = frames[size_t(i)].identifier;
        if (id < 1)
            return -1;
        if (IsPlayExcludedID(id, params) == 0)
            return i;
        if (host && (i + 1) % 1000 == 0)
            pumpMessages();
    }
    return -1;
}

void CAN_PlayDB_Multi::advanceKept(int32_t &count, Frames frames, const ELM327_Info &params,
                                   PlayDevice &device)
{
    ++count;
    while (count <= FrameBuffer::kLastIndex && frames[size_t(count)].identifier >= 1
           && IsPlayExcludedID(frames[size_t(count)].identifier, params) == 1) {
        ++count;
        // A long run of excluded frames is passed over at once; the window system gets a
        // turn after every 1000th, enough for Disconnect and Pause.
        if (count % 1000 == 0)
            pumpMessages();
    }
    if (count > FrameBuffer::kLastIndex)
        return;
    if (frames[size_t(count)].identifier < 1)
        count = FrameBuffer::kSlots;
    else
        device.fill(frames[size_t(count)]);
}

void CAN_PlayDB_Multi::applySkipTime(const CAN_PlayDB &caller, const ELM327_Info &params,
                                     const RecordFrame &next, double &offset)
{
    if (params.t_SkipTimeON != 1)
        return;
    const double gap = (next.time - caller.t0()) - caller.elapsedMs(offset);
    // A frame that is already due needs no skip; with a threshold of 0 or less a negative
    // gap would otherwise hold the time line back.
    if (!std::isfinite(gap) || gap <= 0)
        return;
    if (gap >= double(params.t_SkipTime_Value))
        offset += gap;
}

// ---- One run -------------------------------------------------------------------------------

void CAN_PlayDB_Multi::playRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                               PlayDevice &device, CAN_PlayDB &caller)
{
    caller.resetRunState();
    SkipTime_Offset = 0;
    rx.Param_ALL_Clear();
    ClearFrameBuffer(FrameBuffer::kLastIndex, m_ch1);
    ClearFrameBuffer(FrameBuffer::kLastIndex, m_ch2);
    m_startIndex[0] = m_startIndex[1] = 0;
    PlayDAT_StartIndex = 0;
    caller.PlayDAT_count = 0;
    caller.PlayDAT_Select_ch = 1;
    if (caller.openDevice(host, device) && loadFirstData(host, params, caller)
        && host.RxFlag == 1) {
        device.fill(m_ch1[caller.PlayDAT_count]);
        // t0 stays the first record of the file, so a file that begins with excluded
        // frames starts at its first kept frame's own time.
        if (caller.beginSending(host, rx, device, m_ch1[0].time))
            playLoop(host, params, rx, device, caller);
    }
    caller.endRun(host, device);
}

bool CAN_PlayDB_Multi::loadFirstData(RunHost &host, ELM327_Info &params, CAN_PlayDB &caller)
{
    if (caller.t_RecPlay_FileType == 1) {
        const QString path = paths::join(caller.t_RecPlay_FilePath, caller.t_RecPlay_FileName);
        if (!loadKept(host, params, path, 1))
            return false;
        caller.PlayDAT_count = PlayDAT_StartIndex;
        return true;
    }
    if (caller.t_RecPlay_FileType != 2)
        return false;
    return loadFirstFolderFile(host, params, caller);
}

bool CAN_PlayDB_Multi::loadFirstFolderFile(RunHost &host, ELM327_Info &params, CAN_PlayDB &caller)
{
    for (QString &name : m_fileList)
        name.clear();
    const std::vector<QString> names = folderRecordFiles(caller.t_RecPlay_FilePath, params, &host);
    caller.FolderPlayMode_FN_Count = int32_t(names.size());
    for (size_t i = 0; i < names.size() && i < m_fileList.size(); ++i)
        m_fileList[i] = names[i];

    bool accepted = false;
    while (host.RxFlag == 1 && caller.FolderPlayMode_FN_Count_Now < caller.FolderPlayMode_FN_Count
           && !accepted) {
        accepted = loadKept(host, params, folderFilePath(caller, caller.FolderPlayMode_FN_Count_Now), 1);
        if (!accepted) {
            ++caller.FolderPlayMode_FN_Count_Now;
            pumpMessages();
        }
    }
    if (!accepted)
        return false;
    caller.noteFileTaken(1);
    caller.PlayDAT_count = PlayDAT_StartIndex;

    if (caller.FolderPlayMode_FN_Count > 1) {
        // The file after the accepted one comes into buffer 2 through the preload timer.
        ++caller.FolderPlayMode_FN_Count_Now;
        caller.wrapFolderIndex();
        host.setTimerFileRecPlayEnabled(true);
        while (host.RxFlag == 1 && host.timerFileRecPlayEnabled())
            pumpMessages();
    }
    return true;
}

bool CAN_PlayDB_Multi::loadKept(RunHost &host, ELM327_Info &params, const QString &path,
                                int channel)
{
    FrameBuffer &target = buffer(channel);
    const int32_t result = LoadRecordFile(path, params, target);
    int32_t start = -1;
    if (result == 0 && target[0].identifier >= 1)
        start = firstKeptFrame(target.frames(), params, &host);
    if (start < 0) {
        // A file of excluded frames only counts as one without frames.
        target[0].identifier = 0;
        return false;
    }
    PlayDAT_StartIndex = start;
    m_startIndex[channel == 2 ? 1 : 0] = start;
    return true;
}

void CAN_PlayDB_Multi::playLoop(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx,
                                PlayDevice &device, CAN_PlayDB &caller)
{
    while (host.RxFlag == 1) {
        const int32_t channel = caller.PlayDAT_Select_ch;
        if (channel != 1 && channel != 2) {
            host.RxFlag = 0;
            break;
        }
        const FrameBuffer &active = buffer(channel);
        while (host.RxFlag == 1 && caller.PlayDAT_Select_ch == channel) {
            int32_t &count = caller.PlayDAT_count;
            if (count < 0 || count > FrameBuffer::kLastIndex) {
                if (caller.handOffsSettled(host, params))
                    endOfBuffer(host, params, device, caller);
                continue;
            }
            if (!caller.isDue(active[count], SkipTime_Offset)) {
                caller.waitingPass(&active[count], SkipTime_Offset);
                continue;
            }
            if (!caller.sendDueMessage(host, params, rx, device, active[count], SkipTime_Offset))
                break;
            advanceKept(count, active.frames(), params, device);
            if (count > FrameBuffer::kLastIndex && caller.handOffsSettled(host, params))
                endOfBuffer(host, params, device, caller);
        }
    }
}

void CAN_PlayDB_Multi::endOfBuffer(RunHost &host, const ELM327_Info &params, PlayDevice &device,
                                   CAN_PlayDB &caller)
{
    const int active = caller.PlayDAT_Select_ch == 2 ? 2 : 1;
    const bool folder = caller.t_RecPlay_FileType == 2 && caller.FolderPlayMode_FN_Count > 1;
    if (!folder) {
        caller.PlayDAT_count = m_startIndex[active - 1];
        if (caller.t_RecPlay_PlayMode_Repeat != 1) {
            host.RxFlag = 0;
            return;
        }
        caller.startNewCycle();
        SkipTime_Offset = 0;
        device.fill(buffer(active)[caller.PlayDAT_count]);
        return;
    }
    // The other buffer holds what the preload the last switch asked for has loaded.
    while (host.RxFlag == 1 && !caller.preloadSettled(host))
        caller.waitingPass();
    if (host.RxFlag != 1)
        return;
    const int nextChannel = active == 1 ? 2 : 1;
    if (caller.beginsCycle(nextChannel)) {
        caller.startNewCycle();
        SkipTime_Offset = 0;
    }
    const FrameBuffer &next = buffer(nextChannel);
    caller.PlayDAT_count = m_startIndex[nextChannel - 1];
    if (next[0].identifier < 1
        || caller.FolderPlayMode_FN_Count <= caller.FolderPlayMode_FN_Count_Now) {
        host.RxFlag = 0;
    } else {
        device.fill(next[caller.PlayDAT_count]);
        applySkipTime(caller, params, next[caller.PlayDAT_count], SkipTime_Offset);
    }
    caller.PlayDAT_Select_ch = nextChannel;
    ++caller.FolderPlayMode_FN_Count_Now;
    caller.wrapFolderIndex();
    caller.Resuest_Timer_File_REC_Play_Enabled = 1;
}

// ---- The folder ----------------------------------------------------------------------------

void CAN_PlayDB_Multi::FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params,
                                                  CAN_PlayDB &caller)
{
    const int idle = caller.PlayDAT_Select_ch != 1 ? 1 : 2;
    caller.wrapFolderIndex();
    // Each listed file is tried at most once, so a folder whose files have all gone bad
    // under a repeating run cannot hold the preload; the idle buffer then reads as empty
    // and the switch ends the run.
    for (int32_t tried = 0; tried < caller.FolderPlayMode_FN_Count && host.RxFlag == 1
                            && caller.FolderPlayMode_FN_Count_Now >= 0
                            && caller.FolderPlayMode_FN_Count_Now < caller.FolderPlayMode_FN_Count;
         ++tried) {
        if (loadKept(host, params, folderFilePath(caller, caller.FolderPlayMode_FN_Count_Now), idle)) {
            caller.noteFileTaken(idle);
            return;
        }
        ++caller.FolderPlayMode_FN_Count_Now;
        caller.wrapFolderIndex();
        pumpMessages();
    }
}

QString CAN_PlayDB_Multi::FolderPlayMode_FN_List(int32_t index) const
{
    if (index < 0 || index >= int32_t(m_fileList.size()))
        return {};
    return m_fileList[size_t(index)];
}

QString CAN_PlayDB_Multi::folderFilePath(const CAN_PlayDB &caller, int32_t index) const
{
    if (index < 0 || index >= caller.FolderPlayMode_FN_Count || index >= int32_t(m_fileList.size()))
        return {};
    return paths::join(caller.t_RecPlay_FilePath, m_fileList[size_t(index)]);
}

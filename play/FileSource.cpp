#include "FileSource.h"

#include "ELM327_Info.h"
#include "FolderFileList.h"
#include "MessagePump.h"
#include "Paths.h"
#include "PlayPacer.h"
#include "PlayRunState.h"
#include "PlayTarget.h"
#include "RecordFiles.h"
#include "RunHost.h"

FileSource::FileSource() : m_fileList(size_t(FrameBuffer::kSlots)) {}

int FileSource::activeChannel() const
{
    return m_state && m_state->PlayDAT_Select_ch == 2 ? 2 : 1;
}

std::optional<PlayFrame> FileSource::current() const
{
    if (m_cursor < 0 || m_cursor > FrameBuffer::kLastIndex)
        return std::nullopt;
    return PlayFrame{buffer(activeChannel())[m_cursor], m_cursor};
}

void FileSource::advance(PlayContext &ctx)
{
    step(m_cursor, buffer(activeChannel()).frames(), ctx.params);
}

int32_t FileSource::firstFrame(Frames frames, const ELM327_Info &, RunHost *) const
{
    return frames[0].identifier >= 1 ? 0 : -1;
}

void FileSource::step(int32_t &cursor, Frames frames, const ELM327_Info &) const
{
    ++cursor;
    if (cursor <= FrameBuffer::kLastIndex && frames[size_t(cursor)].identifier < 1)
        cursor = FrameBuffer::kSlots;
}

void FileSource::switchedTo(const RecordFrame &, PlayContext &) {}

bool FileSource::loadInto(int channel, const QString &path, ELM327_Info &params, RunHost *host)
{
    FrameBuffer &target = bufferOf(channel);
    const int32_t result = LoadRecordFile(path, params, target);
    const int32_t start = result == 0 ? firstFrame(target.frames(), params, host) : -1;
    if (start < 0) {
        target[0].identifier = 0;
        return false;
    }
    m_startIndex[channel == 2 ? 1 : 0] = start;
    m_lastStart = start;
    return true;
}

bool FileSource::load(PlayContext &ctx)
{
    m_state = &ctx.state;
    for (FrameBuffer &b : m_buffers)
        ClearFrameBuffer(FrameBuffer::kLastIndex, b);
    m_startIndex[0] = m_startIndex[1] = 0;
    m_beginsCycle[0] = m_beginsCycle[1] = false;
    m_wrapPending = false;
    m_cursor = 0;
    m_lastStart = 0;
    m_folder = ctx.target.t_RecPlay_FilePath;
    bool loaded = false;
    if (ctx.target.t_RecPlay_FileType == 1) {
        loaded = loadInto(1, paths::join(m_folder, ctx.target.t_RecPlay_FileName), ctx.params,
                          &ctx.host);
    } else if (ctx.target.t_RecPlay_FileType == 2) {
        loaded = loadFirstFolderFile(ctx);
    }
    m_cursor = m_startIndex[0];
    return loaded && ctx.host.RxFlag == 1;
}

bool FileSource::loadFirstFolderFile(PlayContext &ctx)
{
    for (QString &name : m_fileList)
        name.clear();
    const std::vector<QString> names = folderRecordFiles(m_folder, ctx.params, &ctx.host);
    PlayRunState &state = ctx.state;
    state.FolderPlayMode_FN_Count = int32_t(std::min(names.size(), m_fileList.size()));
    for (int32_t i = 0; i < state.FolderPlayMode_FN_Count; ++i)
        m_fileList[size_t(i)] = names[size_t(i)];

    bool accepted = false;
    while (!accepted && ctx.host.RxFlag == 1
           && state.FolderPlayMode_FN_Count_Now < state.FolderPlayMode_FN_Count) {
        accepted = loadInto(1, folderFilePath(state.FolderPlayMode_FN_Count_Now), ctx.params,
                            &ctx.host);
        if (accepted || !passesOverUnplayableFirstFiles())
            break;
        ++state.FolderPlayMode_FN_Count_Now;
        pumpMessages();
    }
    if (!accepted)
        return false;
    noteFileTaken(1);
    if (state.FolderPlayMode_FN_Count > 1) {
        // The next file comes into buffer 2 through the main window's preload timer, as
        // every later one does.
        ++state.FolderPlayMode_FN_Count_Now;
        wrapFolderIndex(state);
        ctx.host.setTimerFileRecPlayEnabled(true);
        while (ctx.host.RxFlag == 1 && ctx.host.timerFileRecPlayEnabled())
            pumpMessages();
    }
    return true;
}

void FileSource::endOfData(PlayContext &ctx, double lastLeftMs)
{
    PlayRunState &state = ctx.state;
    const int active = activeChannel();
    const bool folder = ctx.target.t_RecPlay_FileType == 2 && state.FolderPlayMode_FN_Count > 1;
    if (!folder) {
        m_cursor = m_startIndex[active - 1];
        if (state.t_RecPlay_PlayMode_Repeat != 1) {
            ctx.host.RxFlag = 0;
            return;
        }
        ctx.pacer.startCycle(lastLeftMs);
        return;
    }
    // The other buffer holds what the preload the last switch asked for has loaded. A file
    // that played in less time than that takes must not hand over to the file before.
    while (ctx.host.RxFlag == 1 && !preloadSettled(ctx))
        ctx.waitingPass();
    if (ctx.host.RxFlag != 1)
        return;
    const int next = active == 1 ? 2 : 1;
    if (m_beginsCycle[next - 1])
        ctx.pacer.startCycle(lastLeftMs);
    m_cursor = m_startIndex[next - 1];
    const FrameBuffer &nextBuffer = buffer(next);
    if (nextBuffer[0].identifier < 1
        || state.FolderPlayMode_FN_Count <= state.FolderPlayMode_FN_Count_Now
        || m_cursor < 0 || m_cursor > FrameBuffer::kLastIndex)
        ctx.host.RxFlag = 0;
    else
        switchedTo(nextBuffer[m_cursor], ctx);
    state.PlayDAT_Select_ch = next;
    ++state.FolderPlayMode_FN_Count_Now;
    wrapFolderIndex(state);
    state.Resuest_Timer_File_REC_Play_Enabled = 1;
}

bool FileSource::preloadSettled(PlayContext &ctx)
{
    // The monitor tick forwards the request; while paused it stands still, and the
    // request waits for it. A host without a running monitor gets it forwarded here.
    PlayRunState &state = ctx.state;
    if (state.Resuest_Timer_File_REC_Play_Enabled == 1 && state.Pause_ON_Flag != 1
        && !ctx.host.timerBattReadEnabled()) {
        state.Resuest_Timer_File_REC_Play_Enabled = 0;
        ctx.host.setTimerFileRecPlayEnabled(true);
    }
    return state.Resuest_Timer_File_REC_Play_Enabled == 0 && !ctx.host.timerFileRecPlayEnabled();
}

void FileSource::preload(RunHost &host, ELM327_Info &params, PlayRunState &state,
                         const PlayTarget &target)
{
    m_state = &state;
    m_folder = target.t_RecPlay_FilePath;
    const int idle = state.PlayDAT_Select_ch != 1 ? 1 : 2;
    wrapFolderIndex(state);
    // Trying each listed file at most once keeps a folder gone bad under a repeating run
    // from holding the preload; the idle buffer then reads as empty and the switch ends
    // the run.
    for (int32_t tried = 0; tried < state.FolderPlayMode_FN_Count && host.RxFlag == 1
                            && state.FolderPlayMode_FN_Count_Now >= 0
                            && state.FolderPlayMode_FN_Count_Now < state.FolderPlayMode_FN_Count;
         ++tried) {
        if (loadInto(idle, folderFilePath(state.FolderPlayMode_FN_Count_Now), params, &host)) {
            noteFileTaken(idle);
            return;
        }
        ++state.FolderPlayMode_FN_Count_Now;
        wrapFolderIndex(state);
        pumpMessages();
    }
}

void FileSource::wrapFolderIndex(PlayRunState &state)
{
    if (state.FolderPlayMode_FN_Count_Now != state.FolderPlayMode_FN_Count
        || state.t_RecPlay_PlayMode_Repeat != 1)
        return;
    state.FolderPlayMode_FN_Count_Now = 0;
    m_wrapPending = true;
}

void FileSource::noteFileTaken(int channel)
{
    m_beginsCycle[channel == 2 ? 1 : 0] = m_wrapPending;
    m_wrapPending = false;
}

QString FileSource::listedName(int32_t index) const
{
    if (index < 0 || index >= int32_t(m_fileList.size()))
        return {};
    return m_fileList[size_t(index)];
}

QString FileSource::folderFilePath(int32_t index) const
{
    if (!m_state || index < 0 || index >= m_state->FolderPlayMode_FN_Count
        || index >= int32_t(m_fileList.size()))
        return {};
    return paths::join(m_folder, m_fileList[size_t(index)]);
}

// ---- Exclusion and skip-time ---------------------------------------------------------------

int32_t KeptFileSource::firstKeptFrame(Frames frames, const ELM327_Info &params, RunHost *host)
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

void KeptFileSource::stepKept(int32_t &cursor, Frames frames, const ELM327_Info &params)
{
    ++cursor;
    while (cursor <= FrameBuffer::kLastIndex && frames[size_t(cursor)].identifier >= 1
           && IsPlayExcludedID(frames[size_t(cursor)].identifier, params) == 1) {
        ++cursor;
        // A long run of excluded frames is passed over at once; the window system gets a
        // turn after every 1000th, enough for Disconnect and Pause.
        if (cursor % 1000 == 0)
            pumpMessages();
    }
    if (cursor <= FrameBuffer::kLastIndex && frames[size_t(cursor)].identifier < 1)
        cursor = FrameBuffer::kSlots;
}

void KeptFileSource::skipTime(const RecordFrame &first, PlayContext &ctx)
{
    if (ctx.params.t_SkipTimeON == 1)
        ctx.pacer.skipGap(first, double(ctx.params.t_SkipTime_Value));
}

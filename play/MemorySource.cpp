#include "MemorySource.h"

#include "ELM327_Info.h"
#include "FileSource.h"
#include "FolderFileList.h"
#include "MessagePump.h"
#include "Paths.h"
#include "PlayPacer.h"
#include "PlayRunState.h"
#include "PlayTarget.h"
#include "RecordFiles.h"
#include "RunHost.h"

#include <algorithm>

void MemorySource::clearSlots()
{
    if (!m_memory)
        m_memory = std::make_unique<MemoryBuffer>();
    ClearMemoryBuffer(FrameBuffer::kLastIndex, MemoryBuffer::kLastRow, *m_memory);
    m_startIndex.fill(0);
    for (QString &comment : m_comments)
        comment.clear();
    for (QString &name : m_names)
        name.clear();
}

bool MemorySource::load(PlayContext &ctx)
{
    m_state = &ctx.state;
    clearSlots();
    m_cursor = 0;
    if (ctx.target.t_RecPlay_FileType != 2)
        return false;
    const std::vector<QString> names =
        folderRecordFiles(ctx.target.t_RecPlay_FilePath, ctx.params, &ctx.host, kSlotCount);
    if (!names.empty())
        loadAll(ctx, names);
    m_cursor = m_startIndex[0];
    return ctx.host.RxFlag == 1 && ctx.state.FolderPlayMode_FN_Count >= 1
           && m_memory->row(0)[0].identifier >= 1;
}

void MemorySource::loadAll(PlayContext &ctx, const std::vector<QString> &names)
{
    PlayRunState &state = ctx.state;
    const int32_t listed = int32_t(std::min<size_t>(names.size(), size_t(kSlotCount)));
    state.FolderPlayMode_FN_Count = listed;
    state.FolderPlayMode_FN_Count_Now = 0;
    int32_t slot = 0;
    while (state.FolderPlayMode_FN_Count_Now < listed && ctx.host.RxFlag == 1 && slot < kSlotCount) {
        const QString &name = names[size_t(state.FolderPlayMode_FN_Count_Now)];
        const int32_t result =
            LoadRecordFileToMemory(paths::join(ctx.target.t_RecPlay_FilePath, name), ctx.params,
                                   m_comments, *m_memory, slot);
        auto frames = m_memory->row(slot);
        ++state.FolderPlayMode_FN_Count_Now;
        int32_t start = -1;
        if (result == 0 && frames[0].identifier >= 1)
            start = KeptFileSource::firstKeptFrame(frames, ctx.params, &ctx.host);
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
    state.FolderPlayMode_FN_Count = slot;
    state.FolderPlayMode_FN_Count_Now = 0;
}

int32_t MemorySource::slotPlaying() const
{
    if (!m_state || !m_memory)
        return -1;
    const int32_t slot = m_state->FolderPlayMode_FN_Count_Now;
    return slot >= 0 && slot < m_state->FolderPlayMode_FN_Count && MemoryBuffer::isRow(slot)
               ? slot
               : -1;
}

double MemorySource::t0() const
{
    return m_memory ? m_memory->row(0)[0].time : 0;
}

std::optional<PlayFrame> MemorySource::current() const
{
    const int32_t slot = slotPlaying();
    if (slot < 0 || m_cursor < 0 || m_cursor > FrameBuffer::kLastIndex)
        return std::nullopt;
    return PlayFrame{m_memory->row(slot)[size_t(m_cursor)], m_cursor};
}

void MemorySource::advance(PlayContext &ctx)
{
    const int32_t slot = slotPlaying();
    if (slot < 0) {
        m_cursor = FrameBuffer::kSlots;
        return;
    }
    KeptFileSource::stepKept(m_cursor, m_memory->row(slot), ctx.params);
}

void MemorySource::endOfData(PlayContext &ctx, double lastLeftMs)
{
    PlayRunState &state = ctx.state;
    int32_t &now = state.FolderPlayMode_FN_Count_Now;
    ++now;
    if (now == state.FolderPlayMode_FN_Count && state.t_RecPlay_PlayMode_Repeat == 1) {
        ctx.pacer.startCycle(lastLeftMs);
        now = 0;
    }
    const int32_t slot = slotPlaying();
    if (slot < 0) {
        ctx.host.RxFlag = 0;
        return;
    }
    const auto frames = m_memory->row(slot);
    m_cursor = m_startIndex[size_t(slot)];
    ctx.params.t_LogComment = m_comments[size_t(slot)];
    if (frames[0].identifier < 1) {
        ctx.host.RxFlag = 0;
        return;
    }
    KeptFileSource::skipTime(frames[size_t(m_cursor)], ctx);
}

int32_t MemorySource::startIndex(int32_t slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_startIndex[size_t(slot)] : 0;
}

QString MemorySource::comment(int32_t slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_comments[size_t(slot)] : QString();
}

QString MemorySource::fileName(int32_t slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_names[size_t(slot)] : QString();
}

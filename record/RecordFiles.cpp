#include "RecordFiles.h"

#include "MessagePump.h"

#include <algorithm>
#include <cstring>
#include <exception>

void ClearFrameBuffer(int32_t lastIndex, FrameBuffer &buffer)
{
    buffer.clear(lastIndex);
}

void ClearMemoryBuffer(int32_t lastIndex, int32_t lastRow, MemoryBuffer &memory)
{
    memory.clear(lastIndex, lastRow);
}

bool StoreFrame(int32_t &fillCount, int32_t activeBuffer, FrameBuffer &buffer1,
                FrameBuffer &buffer2, double time, int32_t identifier, uint8_t dlc,
                std::span<const uint8_t> data)
{
    if (fillCount < 0 || fillCount > FrameBuffer::kLastIndex)
        return false;
    RecordFrame &slot = (activeBuffer == 1 ? buffer1 : buffer2)[fillCount];
    slot.identifier = identifier;
    slot.time = time;
    slot.dlc = dlc;
    const size_t n = std::min({size_t(dlc), slot.data.size(), data.size()});
    slot.data.fill(0);
    std::copy_n(data.begin(), n, slot.data.begin());
    ++fillCount;
    return true;
}

int32_t CheckRecordFile(const QString &path, const ELM327_Info &params)
{
    RecordTrailer trailer;
    return readRecordFile(path, params, nullptr, trailer);
}

int32_t LoadRecordFile(const QString &path, ELM327_Info &params, FrameBuffer &buffer)
{
    RecordTrailer trailer;
    const int32_t result = readRecordFile(path, params, &buffer, trailer);
    if (result == 0) {
        buffer.mendFramesWithoutTime();
        params.t_LogComment = trailer.comment;
    }
    return result;
}

int32_t LoadRecordFileToMemory(const QString &path, const ELM327_Info &params,
                               MemoryComments &comments, MemoryBuffer &memory, int32_t row)
{
    if (!MemoryBuffer::isRow(row))
        return -3;
    const auto target = memory.row(row);
    int32_t result = -1;
    try {
        FrameBuffer loaded;
        RecordTrailer trailer;
        result = readRecordFile(path, params, &loaded, trailer);
        if (result != 0) {
            target[0].identifier = 0;
            return result;
        }
        loaded.mendFramesWithoutTime();
        // 20001 slots in five steps, so the window stays alive while 200 files load.
        constexpr int kStep = 5000;
        for (int first = 0; first < FrameBuffer::kSlots; first += kStep) {
            pumpMessages();
            const int n = std::min(kStep, FrameBuffer::kSlots - first);
            std::memcpy(static_cast<void *>(target.data() + first), &loaded[first],
                        sizeof(RecordFrame) * size_t(n));
        }
        comments[size_t(row)] = trailer.comment;
        return 0;
    } catch (const std::exception &) {
        target[0].identifier = 0;
        return result == 0 ? -3 : -1;
    }
}

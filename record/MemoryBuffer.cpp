#include "MemoryBuffer.h"

#include <algorithm>
#include <cstring>

MemoryBuffer::MemoryBuffer() : m_frames(new RecordFrame[size_t(kRows) * kSlots]) {}

void MemoryBuffer::clear(int lastIndex, int lastRow)
{
    const int last = std::min(lastIndex, FrameBuffer::kLastIndex);
    const int rows = std::min(lastRow, kLastRow) + 1;
    if (last < 0 || rows < 1)
        return;
    void *start = static_cast<void *>(m_frames.get());
    if (last == FrameBuffer::kLastIndex) {
        std::memset(start, 0, sizeof(RecordFrame) * size_t(rows) * kSlots);
        return;
    }
    for (int r = 0; r < rows; ++r)
        std::memset(static_cast<void *>(row(r).data()), 0, sizeof(RecordFrame) * size_t(last + 1));
}

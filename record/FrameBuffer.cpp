#include "FrameBuffer.h"

#include <algorithm>
#include <cstring>

FrameBuffer::FrameBuffer() : m_frames(new RecordFrame[kSlots]) {}

FrameBuffer::FrameBuffer(const FrameBuffer &other) : FrameBuffer()
{
    *this = other;
}

FrameBuffer &FrameBuffer::operator=(const FrameBuffer &other)
{
    if (this != &other)
        std::memcpy(m_frames.get(), other.m_frames.get(), sizeof(RecordFrame) * kSlots);
    return *this;
}

void FrameBuffer::clear(int lastIndex)
{
    const int last = std::min(lastIndex, kLastIndex);
    if (last < 0)
        return;
    std::memset(static_cast<void *>(m_frames.get()), 0, sizeof(RecordFrame) * size_t(last + 1));
}

int FrameBuffer::frameCount() const
{
    const auto all = frames();
    const auto end = std::find_if(all.begin(), all.end(),
                                  [](const RecordFrame &f) { return f.identifier < 1; });
    return int(end - all.begin());
}

int FrameBuffer::dropFramesWithoutTime()
{
    const int count = frameCount();
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const double t = m_frames[size_t(i)].time;
        if (!(t >= 0 && t <= kMaxTimeMs))   // false for NaN as well
            continue;
        if (kept != i)
            m_frames[size_t(kept)] = m_frames[size_t(i)];
        ++kept;
    }
    for (int i = kept; i < count; ++i)
        m_frames[size_t(i)] = RecordFrame{};
    return count - kept;
}

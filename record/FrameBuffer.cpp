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

int FrameBuffer::mendFramesWithoutTime()
{
    const auto usable = [](double t) { return t >= 0 && t <= kMaxTimeMs; };   // false for NaN
    const int count = frameCount();
    double previous = 0;
    for (int i = 0; i < count; ++i) {
        if (usable(m_frames[size_t(i)].time)) {
            previous = m_frames[size_t(i)].time;
            break;
        }
    }
    int mended = 0;
    for (int i = 0; i < count; ++i) {
        double &t = m_frames[size_t(i)].time;
        if (usable(t)) {
            previous = t;
            continue;
        }
        t = previous;
        ++mended;
    }
    return mended;
}

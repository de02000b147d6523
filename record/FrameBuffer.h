#pragma once

#include "RecordFrame.h"

#include <QtGlobal>

#include <memory>
#include <span>

// The frames of one record file: 20001 slots, 0 … 20000, on the heap. Always the full
// size, so a file is moved in and out as one block.
class FrameBuffer final
{
public:
    static constexpr int kSlots = 20001;
    static constexpr int kLastIndex = kSlots - 1;

    FrameBuffer();
    FrameBuffer(const FrameBuffer &other);
    FrameBuffer &operator=(const FrameBuffer &other);

    // index must be 0 … kLastIndex; callers index with their own counters, never with
    // a value taken from a file or a device.
    RecordFrame &operator[](int index)
    {
        Q_ASSERT(index >= 0 && index < kSlots);
        return m_frames[size_t(index)];
    }
    const RecordFrame &operator[](int index) const
    {
        Q_ASSERT(index >= 0 && index < kSlots);
        return m_frames[size_t(index)];
    }

    std::span<RecordFrame, kSlots> frames()
    {
        return std::span<RecordFrame, kSlots>(m_frames.get(), kSlots);
    }
    std::span<const RecordFrame, kSlots> frames() const
    {
        return std::span<const RecordFrame, kSlots>(m_frames.get(), kSlots);
    }

    // Zeroes slots 0 … lastIndex (clamped to the buffer).
    void clear(int lastIndex = kLastIndex);
    // Slots before the first one whose identifier is below 1: what playback would send.
    int frameCount() const;

    // The latest time a frame may carry, in ms since the recording began: ten years.
    static constexpr double kMaxTimeMs = 10.0 * 366 * 24 * 3600 * 1000;
    // Gives every frame whose time is not a number, infinite, negative or later than
    // kMaxTimeMs the time of the frame before it (frames at the start: the first usable
    // time, or 0): playback would otherwise send a whole file at once from such a first
    // frame, or wait for such a frame for ever. Nothing is dropped and the order stays.
    // Returns how many frames were given a time.
    int mendFramesWithoutTime();

private:
    std::unique_ptr<RecordFrame[]> m_frames;
};

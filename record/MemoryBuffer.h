#pragma once

#include "FrameBuffer.h"

#include <QString>

#include <array>
#include <memory>
#include <span>

// The memory-playback store: 200 file rows of 20001 frame slots each, one heap block
// (about 96 MB) so that clearing it is a single memset.
class MemoryBuffer final
{
public:
    static constexpr int kRows = 200;
    static constexpr int kLastRow = kRows - 1;
    static constexpr int kSlots = FrameBuffer::kSlots;

    MemoryBuffer();
    MemoryBuffer(const MemoryBuffer &) = delete;
    MemoryBuffer &operator=(const MemoryBuffer &) = delete;

    static constexpr bool isRow(int row) { return row >= 0 && row < kRows; }

    // row must be 0 … kLastRow.
    std::span<RecordFrame, kSlots> row(int row)
    {
        Q_ASSERT(isRow(row));
        return std::span<RecordFrame, kSlots>(m_frames.get() + size_t(row) * kSlots, kSlots);
    }
    std::span<const RecordFrame, kSlots> row(int row) const
    {
        Q_ASSERT(isRow(row));
        return std::span<const RecordFrame, kSlots>(m_frames.get() + size_t(row) * kSlots, kSlots);
    }

    // Zeroes slots 0 … lastIndex of rows 0 … lastRow (both clamped).
    void clear(int lastIndex = FrameBuffer::kLastIndex, int lastRow = kLastRow);

private:
    std::unique_ptr<RecordFrame[]> m_frames;
};

// The trailer comment of each row's file.
using MemoryComments = std::array<QString, MemoryBuffer::kRows>;

#pragma once

#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "RecordFormat.h"
#include "TestHelpers.h"

#include <QString>

#include <cstring>

// Frames every conversion test uses: identifier 0x7FF and 0x005, a 29-bit identifier,
// DLC 3 and DLC 0, a fractional time and a long one.
inline FrameBuffer knownFrames()
{
    FrameBuffer b;
    auto put = [&](int i, int32_t id, double t, uint8_t dlc, std::array<uint8_t, 8> d) {
        b[i].identifier = id;
        b[i].time = t;
        b[i].dlc = dlc;
        for (int k = 0; k < 8; ++k)
            b[i].data[size_t(k)] = k < dlc ? d[size_t(k)] : 0;
    };
    put(0, 0x7FF, 0, 8, {0x00, 0x0A, 0x1E, 0x99, 0xFF, 0x10, 0x05, 0x80});
    put(1, 0x005, 12.5, 3, {0x12, 0x34, 0x56});
    put(2, 0x100, 1234.5, 0, {});
    put(3, 0x12345678, 3600000.25, 2, {0xAB, 0xCD});
    put(4, 0x0E5, 3600001, 1, {0x00});
    return b;
}

// Every slot filled.
inline FrameBuffer fullFrames()
{
    FrameBuffer b;
    for (int i = 0; i < FrameBuffer::kSlots; ++i) {
        b[i].identifier = 1 + i % 0x7FF;
        b[i].time = i * 0.5;
        b[i].dlc = 8;
        for (int k = 0; k < 8; ++k)
            b[i].data[size_t(k)] = uint8_t(i + k);
    }
    return b;
}

inline bool writeRecord(const QString &path, const FrameBuffer &frames, const QString &comment,
                        const ELM327_Info &params = ELM327_Info())
{
    RecordTrailer trailer = RecordTrailer::fromParams(params);
    trailer.comment = comment;
    return writeAll(path, encodeRecordFile(frames, trailer));
}

// The frames before the first identifier below 1, slot by slot.
inline bool sameFrames(const FrameBuffer &a, const FrameBuffer &b)
{
    for (int i = 0; i < FrameBuffer::kSlots; ++i) {
        if (!(a[i] == b[i]))
            return false;
        if (a[i].identifier < 1)
            return true;
    }
    return true;
}

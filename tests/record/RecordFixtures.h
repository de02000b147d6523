#pragma once

#include "ELM327_Info.h"
#include "FrameBuffer.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>
#include <initializer_list>

// Record-file bytes put together by hand, so the tests do not lean on the code that
// writes them.
namespace fixture {

// Code page 932 of the three identification strings and the default comment.
inline QByteArray productBytes() { return QByteArray::fromHex("43414e835083588367838d815b836f"); }
inline QByteArray makerBytes() { return QByteArray::fromHex("8379838b838283898b5a8ca4"); }
inline QByteArray keyBytes() { return QByteArray("CAN_Kestrova_REC_FILE_DAT"); }
inline QByteArray defaultCommentBytes()
{
    return QByteArray::fromHex("82628260826d8ef3904d838d834f");
}

inline QByteArray counted(const QByteArray &text)
{
    QByteArray out;
    out.append(char(text.size() & 0xFF));
    out.append(char(text.size() >> 8));
    return out + text;
}

inline QByteArray trailer(const QByteArray &product = productBytes(),
                          const QByteArray &maker = makerBytes(),
                          const QByteArray &key = keyBytes(),
                          const QByteArray &comment = defaultCommentBytes())
{
    return counted(product) + counted(maker) + counted(key) + counted(comment);
}

// 21 bytes: identifier, time, DLC, eight data bytes, all little-endian.
inline QByteArray frame(int32_t id, double time, uint8_t dlc, const QByteArray &data)
{
    QByteArray out(21, '\0');
    const auto u = uint32_t(id);
    for (int i = 0; i < 4; ++i)
        out[i] = char(u >> (8 * i));
    uint64_t bits;
    std::memcpy(&bits, &time, 8);
    for (int i = 0; i < 8; ++i)
        out[4 + i] = char(bits >> (8 * i));
    out[12] = char(dlc);
    for (int i = 0; i < 8 && i < data.size(); ++i)
        out[13 + i] = data[i];
    return out;
}

// A frame area whose first slots are the given frames and the rest zero.
inline QByteArray frameArea(const QByteArray &firstFrames = {})
{
    QByteArray area(21 * 20001, '\0');
    area.replace(0, firstFrames.size(), firstFrames);
    return area;
}

inline RecordFrame recordFrame(int32_t id, double time, uint8_t dlc,
                               std::initializer_list<uint8_t> data)
{
    RecordFrame f;
    f.identifier = id;
    f.time = time;
    f.dlc = dlc;
    std::copy(data.begin(), data.end(), f.data.begin());
    return f;
}

} // namespace fixture

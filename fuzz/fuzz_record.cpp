// Record files: the decoder, the playback loaders' time check, and what playback does with
// each frame (the message to send, the per-ID tables, the fixed-point times).
#include "CAN_ReadDB.h"
#include "Currency.h"
#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "PlayDevice.h"
#include "RecordFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// A record file is 420 KB of slots; the input is a compact form of one, so the fuzzer
// works on slot fields and the trailer instead of copying zeros:
//   byte 0   bits 0-6: how many slots follow (21 bytes each, as in the file);
//            bit 7: the file is cut short
//   byte 1   how far apart the given slots lie in the frame area, or where the cut falls
//   then the slots, then the rest of the file after the frame area (the trailer).
QByteArray expand(const uint8_t *data, size_t size)
{
    if (size < 2)
        return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    const int given = data[0] & 0x7F;
    const bool cut = data[0] & 0x80;
    const int spacing = std::max<int>(1, data[1]);
    size_t pos = 2;
    QByteArray file(kRecordFrameAreaBytes, '\0');
    for (int i = 0; i < given && pos + kRecordFrameBytes <= size; ++i, pos += kRecordFrameBytes) {
        const int slot = std::min(i * spacing, FrameBuffer::kLastIndex);
        std::memcpy(file.data() + slot * kRecordFrameBytes, data + pos, kRecordFrameBytes);
    }
    file.append(reinterpret_cast<const char *>(data + pos), qsizetype(size - pos));
    if (cut)
        file.truncate(file.size() * data[1] / 256);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const ELM327_Info params;
    static FrameBuffer frames;
    static CAN_ReadDB rx;
    RecordTrailer trailer;
    frames.clear();
    if (!decodeRecordFile(expand(data, size), &frames, trailer))
        return 0;
    trailer.check(params);
    frames.mendFramesWithoutTime();
    const int count = frames.frameCount();
    for (int i = 0; i < count; ++i) {
        const RecordFrame &f = frames[i];
        if (!(f.time >= 0 && f.time <= FrameBuffer::kMaxTimeMs))
            std::abort();   // a time playback cannot keep got through
        const PlayMessage m = PlayDevice::toMessage(f, i % 2 == 0);
        const Currency stamp = Currency::fromDouble(f.time);
        if (m.isTableId())
            rx.updateFrame(int16_t(m.id), m.dlc, f.time, stamp, m.data);
        (void)(stamp - Currency::fromDouble(frames[0].time));
    }
    return 0;
}

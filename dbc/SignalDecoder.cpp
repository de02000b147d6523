#include "SignalDecoder.h"

namespace signaldecoder {

double physical(const DbcSignal &s, int64_t raw)
{
    switch (s.valueType) {
    case DbcSignal::ValueType::Float: {
        const uint32_t bits = uint32_t(uint64_t(raw));
        float f;
        std::memcpy(&f, &bits, 4);
        return double(f) * s.factor + s.offset;
    }
    case DbcSignal::ValueType::Double: {
        const uint64_t bits = uint64_t(raw);
        double d;
        std::memcpy(&d, &bits, 8);
        return d * s.factor + s.offset;
    }
    case DbcSignal::ValueType::Integer:
        break;
    }
    const bool unsigned64 = !s.isSigned && raw < 0;
    if (s.decimals >= 0) {
        const __int128 r = unsigned64 ? __int128(uint64_t(raw)) : __int128(raw);
        const __int128 sum = r * s.scaledFactor + s.scaledOffset;
        return s.decimals == 0 ? double(sum) : double(sum) / s.divisor;
    }
    if (unsigned64)
        return double(uint64_t(raw)) * s.factor + s.offset;
    return double(raw) * s.factor + s.offset;
}

int decode(const DbcMessage &message, std::span<const uint8_t> data, DecodedSignal *out)
{
    const Words w = words(data);
    const int length = int(data.size());
    bool haveMux = false;
    int64_t page = 0;
    if (message.multiplexor >= 0) {
        const DbcSignal &mux = message.signalList[size_t(message.multiplexor)];
        if (mux.usable && mux.bytesNeeded <= length) {
            haveMux = true;
            page = rawValue(mux, w);
        }
    }
    int n = 0;
    for (const DbcSignal &s : message.signalList) {
        if (!s.usable || s.bytesNeeded > length)
            continue;
        if (s.mux == DbcSignal::Mux::Multiplexed && (!haveMux || s.muxValue != page))
            continue;
        DecodedSignal &d = out[n++];
        d.signal = &s;
        d.raw = rawValue(s, w);
        d.value = physical(s, d.raw);
    }
    return n;
}

} // namespace signaldecoder

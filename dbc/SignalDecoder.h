#pragma once

#include "CanDatabase.h"

#include <cstdint>
#include <cstring>
#include <span>

// A signal's value in one frame.
struct DecodedSignal
{
    const DbcSignal *signal = nullptr;
    int64_t raw = 0;      // sign-extended for a signed signal; the bits for float and double
    double value = 0;     // physical: raw × factor + offset

    std::string_view valueName() const { return signal->valueName(raw); }
};

// Turns payloads into signal values. Only the signalList the payload carries are decoded:
// those that fit in the bytes received, and of a multiplexed message the multiplexor and
// the signalList of the page it names.
namespace signaldecoder {

// The payload's first eight bytes (zeros beyond length) as little- and big-endian words.
struct Words
{
    uint64_t little = 0;
    uint64_t big = 0;
};

inline Words words(std::span<const uint8_t> data)
{
    uint8_t bytes[8] = {};
    if (!data.empty())   // an empty span may carry no pointer at all
        std::memcpy(bytes, data.data(), data.size() < 8 ? data.size() : 8);
    Words w;
    std::memcpy(&w.little, bytes, 8);
    w.big = __builtin_bswap64(w.little);
    return w;
}

// Raw value of a usable signal.
inline int64_t rawValue(const DbcSignal &s, const Words &w)
{
    const uint64_t bits = ((s.motorola ? w.big : w.little) >> s.shift) & s.mask;
    if (s.isSigned && s.length < 64 && s.valueType == DbcSignal::ValueType::Integer) {
        const uint64_t sign = uint64_t(1) << (s.length - 1);
        return int64_t((bits ^ sign) - sign);
    }
    return int64_t(bits);
}

double physical(const DbcSignal &s, int64_t raw);

// Decodes the signalList message carries in data into out (at most message.signalList.size()
// entries); gives how many it wrote.
int decode(const DbcMessage &message, std::span<const uint8_t> data, DecodedSignal *out);

} // namespace signaldecoder

#pragma once

#include <cstdint>
#include <string_view>

// Small scanners over one line of text. Each takes the position it starts at and moves it
// past what it read; none reads beyond the line's end, none allocates.
namespace textscan {

inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

inline bool isSpace(char c) { return c == ' ' || c == '\t'; }

inline void skipSpaces(std::string_view s, size_t &pos)
{
    while (pos < s.size() && isSpace(s[pos]))
        ++pos;
}

// The run of characters up to the next space or the end.
inline std::string_view token(std::string_view s, size_t &pos)
{
    const size_t start = pos;
    while (pos < s.size() && !isSpace(s[pos]))
        ++pos;
    return s.substr(start, pos - start);
}

// A whole token of hexadecimal digits, at most maxDigits of them.
inline bool parseHex(std::string_view t, uint32_t &value, size_t maxDigits = 8)
{
    if (t.empty() || t.size() > maxDigits)
        return false;
    uint32_t v = 0;
    for (char c : t) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = v << 4 | uint32_t(d);
    }
    value = v;
    return true;
}

inline bool parseDecimal(std::string_view t, uint32_t &value, size_t maxDigits = 9)
{
    if (t.empty() || t.size() > maxDigits)
        return false;
    uint32_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + uint32_t(c - '0');
    }
    value = v;
    return true;
}

// "whole[.fraction]" with an optional leading minus, scaled by 10^scale: seconds into
// microseconds with scale 6, milliseconds with scale 3. Digits beyond the scale round to
// the nearest unit. At most 12 whole digits, so the result never overflows.
inline bool parseFixed(std::string_view t, int scale, int64_t &value)
{
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && t[i] == '-') {
        negative = true;
        ++i;
    }
    int64_t whole = 0;
    size_t digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        if (++digits > 12)
            return false;
        whole = whole * 10 + (t[i++] - '0');
    }
    if (digits == 0)
        return false;
    int64_t fraction = 0;
    int fractionDigits = 0;
    bool roundUp = false;
    if (i < t.size() && t[i] == '.') {
        ++i;
        int all = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            if (fractionDigits < scale) {
                fraction = fraction * 10 + (t[i] - '0');
                ++fractionDigits;
            } else if (all == scale) {
                roundUp = t[i] >= '5';
            }
            ++all;
            ++i;
        }
        if (all == 0)
            return false;
    }
    if (i != t.size())
        return false;
    int64_t unit = 1;
    for (int k = 0; k < scale; ++k)
        unit *= 10;
    for (int k = fractionDigits; k < scale; ++k)
        fraction *= 10;
    const int64_t v = whole * unit + fraction + (roundUp ? 1 : 0);
    value = negative ? -v : v;
    return true;
}

inline bool parseSecondsUs(std::string_view t, int64_t &us) { return parseFixed(t, 6, us); }

// Writes v as decimal digits ending at end (exclusive); returns the first digit's position.
inline char *writeDecimalBackwards(char *end, uint64_t v, int minDigits = 1)
{
    char *p = end;
    do {
        *--p = char('0' + v % 10);
        v /= 10;
        --minDigits;
    } while (v != 0 || minDigits > 0);
    return p;
}

inline constexpr char kUpperHex[] = "0123456789ABCDEF";

inline char *appendHexByte(char *p, uint8_t b)
{
    p[0] = kUpperHex[b >> 4];
    p[1] = kUpperHex[b & 15];
    return p + 2;
}

// value as exactly `digits` upper-case hexadecimal digits.
inline char *appendHex(char *p, uint32_t value, int digits)
{
    for (int k = digits - 1; k >= 0; --k)
        *p++ = kUpperHex[(value >> (4 * k)) & 15];
    return p;
}

// value in upper-case hexadecimal without leading zeros.
inline char *appendHexMinimal(char *p, uint32_t value)
{
    int digits = 1;
    while (digits < 8 && (value >> (4 * digits)) != 0)
        ++digits;
    return appendHex(p, value, digits);
}

inline char *appendDecimal(char *p, uint64_t v, int minDigits = 1)
{
    char tmp[24];
    char *end = tmp + sizeof tmp;
    char *start = writeDecimalBackwards(end, v, minDigits);
    while (start < end)
        *p++ = *start++;
    return p;
}

} // namespace textscan

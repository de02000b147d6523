#pragma once

#include <cmath>
#include <cstdint>

// A 64-bit fixed-point number with four decimals, the time stamp type of the per-ID
// tables. Conversions from double round to the nearest 1/10000, halves to even. A value
// that is not a number is 0; values and sums beyond the range stop at its ends.
class Currency final
{
public:
    constexpr Currency() = default;
    static Currency fromDouble(double v)
    {
        Currency c;
        if (std::isnan(v))
            return c;
        // 2^63 is exact as a double; anything from there on does not fit.
        constexpr double kLimit = 9223372036854775808.0;
        const double scaled = std::nearbyint(v * 10000.0);
        if (scaled >= kLimit)
            c.m_scaled = INT64_MAX;
        else if (scaled < -kLimit)
            c.m_scaled = INT64_MIN;
        else
            c.m_scaled = int64_t(scaled);
        return c;
    }
    static constexpr Currency fromScaled(int64_t scaled)
    {
        Currency c;
        c.m_scaled = scaled;
        return c;
    }

    double toDouble() const { return double(m_scaled) / 10000.0; }
    constexpr int64_t scaled() const { return m_scaled; }

    friend constexpr bool operator==(Currency a, Currency b) { return a.m_scaled == b.m_scaled; }
    friend constexpr auto operator<=>(Currency a, Currency b) { return a.m_scaled <=> b.m_scaled; }
    friend constexpr Currency operator-(Currency a, Currency b)
    {
        int64_t r;
        if (__builtin_sub_overflow(a.m_scaled, b.m_scaled, &r))
            r = b.m_scaled < 0 ? INT64_MAX : INT64_MIN;
        return fromScaled(r);
    }
    friend constexpr Currency operator+(Currency a, Currency b)
    {
        int64_t r;
        if (__builtin_add_overflow(a.m_scaled, b.m_scaled, &r))
            r = b.m_scaled < 0 ? INT64_MIN : INT64_MAX;
        return fromScaled(r);
    }

private:
    int64_t m_scaled = 0;
};

#pragma once

#include <cmath>
#include <cstdint>

// A 64-bit fixed-point number with four decimals, the time stamp type of the per-ID
// tables. Conversions from double round to the nearest 1/10000, halves to even.
class Currency final
{
public:
    constexpr Currency() = default;
    static Currency fromDouble(double v)
    {
        Currency c;
        if (std::isfinite(v))
            c.m_scaled = int64_t(std::nearbyint(v * 10000.0));
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
    friend constexpr Currency operator-(Currency a, Currency b) { return fromScaled(a.m_scaled - b.m_scaled); }
    friend constexpr Currency operator+(Currency a, Currency b) { return fromScaled(a.m_scaled + b.m_scaled); }

private:
    int64_t m_scaled = 0;
};

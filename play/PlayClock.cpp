#include "PlayClock.h"

#include <chrono>
#include <cstdint>

namespace {
PlayClock::Source &testSource()
{
    static PlayClock::Source source;
    return source;
}
} // namespace

PlayClock::PlayClock() : PlayClock(testSource() ? testSource() : Source(&PlayClock::monotonicMs))
{
}

PlayClock::PlayClock(Source source) : m_source(std::move(source)) {}

void PlayClock::restart()
{
    m_last = -1;
    m_wraps = 0;
}

double PlayClock::now()
{
    const double reading = m_source();
    // A step back by more than half the range is the wrap, not jitter.
    if (m_last >= 0 && reading < m_last - kWrap / 2)
        m_wraps += kWrap;
    m_last = reading;
    return reading + m_wraps;
}

double PlayClock::monotonicMs()
{
    // steady_clock is CLOCK_MONOTONIC on Linux, the clock of vx_timeGetTime. The modulo is
    // taken in whole nanoseconds so the fraction keeps its precision at any uptime.
    constexpr int64_t kWrapNs = int64_t(4294967296LL) * 1000000LL;
    const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    return double(ns % kWrapNs) / 1.0e6;
}

void PlayClock::setSourceForTesting(Source source)
{
    testSource() = std::move(source);
}

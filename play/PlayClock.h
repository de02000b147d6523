#pragma once

#include <functional>

// The playback engine's millisecond clock: the monotonic clock vx_timeGetTime reads, but
// with its fraction, so a frame leaves when it is due rather than up to 1 ms later, and
// carried past the unsigned 32-bit wrap, so a run that spans the wrap (every 49.7 days)
// never sees time go back and freeze.
//
// Readings are in vx_timeGetTime's number space until the first wrap; after it they go on
// above 2^32 and wrapOffset() says by how much the wrapped clock now lags.
class PlayClock final
{
public:
    // Milliseconds in 0 … 2^32, wrapping as vx_timeGetTime does.
    using Source = std::function<double()>;

    static constexpr double kWrap = 4294967296.0;

    PlayClock();
    explicit PlayClock(Source source);

    // Forgets earlier readings (a new run starts).
    void restart();
    double now();
    // The wrapped reading minus now(): 0 before the first wrap, then -2^32, -2^33, ….
    double wrapOffset() const { return -m_wraps; }

    // The default source: CLOCK_MONOTONIC in ms, modulo 2^32.
    static double monotonicMs();

    // Clocks made from now on read this source instead (tests that cross the wrap); an
    // empty function restores the monotonic clock.
    static void setSourceForTesting(Source source);

private:
    Source m_source;
    double m_last = -1;
    double m_wraps = 0;
};

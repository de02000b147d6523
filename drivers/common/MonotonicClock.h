#pragma once

#include <cstdint>
#include <ctime>

// Arrival stamps come from CLOCK_MONOTONIC: wall-clock steps (NTP, the user setting the
// clock) must never make a frame look older or newer than its neighbours.
inline uint64_t monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

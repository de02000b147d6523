#pragma once

#include <ctime>

// CLOCK_MONOTONIC in milliseconds with the sub-millisecond part kept. The program's
// millisecond clock reads the same clock (in whole milliseconds), so times written by the
// simulator compare directly with times taken inside the program or a test.
inline double monotonicMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1.0e6;
}

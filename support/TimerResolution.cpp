#include "TimerResolution.h"

#include <sys/prctl.h>

namespace {

constexpr unsigned long tightSlackNs = 1000;

// Per thread, as the slack itself is.
thread_local int t_depth = 0;
thread_local unsigned long t_savedSlackNs = 0;

} // namespace

unsigned timeBeginPeriod(unsigned)
{
    if (t_depth++ == 0) {
        const int current = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        t_savedSlackNs = current > 0 ? static_cast<unsigned long>(current) : 0;
        prctl(PR_SET_TIMERSLACK, tightSlackNs, 0, 0, 0);
    }
    return 0;
}

unsigned timeEndPeriod(unsigned)
{
    if (t_depth == 0)
        return 0; // an end without its begin: nothing to undo
    if (--t_depth == 0)
        prctl(PR_SET_TIMERSLACK, t_savedSlackNs, 0, 0, 0); // 0 restores the default
    return 0;
}

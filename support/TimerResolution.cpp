#include "TimerResolution.h"

unsigned timeBeginPeriod(unsigned)
{
    return 0;
}

unsigned timeEndPeriod(unsigned)
{
    return 0;
}

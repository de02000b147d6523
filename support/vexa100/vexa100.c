#include "vexa100.h"

#include <math.h>
#include <time.h>

/* Nearest integer, halves away from zero. */
static double roundHalfAway(double x)
{
    return x > 0 ? floor(x + 0.5) : ceil(x - 0.5);
}

VEXA100_API int32_t ColorAttenuation(int32_t colour, int32_t numerator, int32_t denominator)
{
    const double f = (double)numerator / (double)denominator;
    const double blue = roundHalfAway(((colour >> 16) & 0xFF) * f);
    const double green = roundHalfAway(((colour >> 8) & 0xFF) * f);
    const double red = roundHalfAway((colour & 0xFF) * f);
    const double sum = blue * 65536.0 + green * 256.0 + red;
    /* A zero denominator or a wild ratio gives the x86 "integer indefinite" value the
       callers have always seen, without undefined behaviour in the conversion. */
    if (!isfinite(sum) || sum >= 2147483648.0 || sum <= -2147483649.0)
        return INT32_MIN;
    return (int32_t)sum;
}

VEXA100_API double vx_timeGetTime(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)(ts.tv_nsec / 1000000);
    return (double)(uint32_t)ms;
}

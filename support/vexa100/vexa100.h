/* The colour fade and the millisecond clock shared by the program's loops and views. */
#ifndef VEXA100_H
#define VEXA100_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VEXA100_API __declspec(dllexport) __stdcall
#else
#define VEXA100_API __attribute__((visibility("default")))
#endif

/* colour is 0x00BBGGRR; every channel is scaled by numerator / denominator. */
VEXA100_API int32_t ColorAttenuation(int32_t colour, int32_t numerator, int32_t denominator);

/* Whole milliseconds of a monotonic clock as an unsigned 32-bit count (it wraps). */
VEXA100_API double vx_timeGetTime(void);

#ifdef __cplusplus
}
#endif

#endif

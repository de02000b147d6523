#pragma once

#include <QString>

#include <cstdint>

// The program's side of libvexa100.so: both functions are bound by name from the
// program's folder at their first call.
namespace vexa {

QString libraryFileName();   // "libvexa100.so"

// Binds both symbols now. On failure, `error` says which file or symbol is missing.
bool bind(QString *error = nullptr);

// When the library could not be bound, the clock falls back to the same monotonic
// reading and the fade to the same arithmetic, so no caller ever crashes; the failure
// is reported once on stderr (start-up refuses to run without the library anyway).
double vx_timeGetTime();
int32_t ColorAttenuation(int32_t colour, int32_t numerator, int32_t denominator);

// Forgets the binding (tests that move the program folder around).
void unbindForTesting();

} // namespace vexa

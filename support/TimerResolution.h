#pragma once

// The multimedia timer resolution calls of the loops. Linux timers already have
// sub-millisecond resolution, so these only keep the loops' structure.
unsigned timeBeginPeriod(unsigned periodMs);
unsigned timeEndPeriod(unsigned periodMs);

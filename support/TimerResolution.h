#pragma once

// The multimedia timer resolution calls of the loops. On Linux the closest thing is the
// calling thread's timer slack: how late the kernel may wake a sleeping thread so that
// wake-ups can be grouped (50 µs by default). Between a begin and its end the thread's
// sleeps end within a microsecond or so of their time. Calls nest: only the outermost
// begin tightens the slack and only its matching end restores it.
unsigned timeBeginPeriod(unsigned periodMs);
unsigned timeEndPeriod(unsigned periodMs);

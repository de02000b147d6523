#pragma once

#include <functional>

// Ctrl-C (SIGINT) and SIGTERM end a run cleanly instead of killing the process: the
// handler only writes a byte into a pipe, and the event loop, which every run pumps,
// calls onStop. A second signal while stopping ends the process at once.
namespace stopsignals {

void install(std::function<void()> onStop);
// The signal that asked for the stop, 0 when none came.
int received();

} // namespace stopsignals

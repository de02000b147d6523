#pragma once

// One message pump step: lets pending window messages (timers, clicks) run. Every
// long-running loop of the program yields through this and nothing else.
void pumpMessages();

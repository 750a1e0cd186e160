// Starting and stopping the platform layer. The simulator (and each test)
// starts it once on the thread that becomes the platform's main thread.
#pragma once

#include <string>

#include "platform/kernel/clock.h"
#include "platform/kernel/internal/scheduler.h"

namespace os::sim {

// The calling thread becomes thread 1, "main"; windows, classes and timers
// start empty; the clock starts at device time 0.
void StartPlatform(const ClockConfig& clock);
// Forgets every window, class and timer; threads still running are logged.
void StopPlatform();
// Replaces what happens when the virtual clock stalls (default: print the
// diagnostic, close the trace file, exit with code 3). The handler runs under
// the scheduler's lock and must not call the platform.
void SetStallHandler(detail::StallHandler handler);

}  // namespace os::sim

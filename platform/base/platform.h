// Starting and stopping the platform layer. The simulator (and each test)
// starts it once on the thread that becomes the platform's main thread.
#pragma once

#include <string>

#include "platform/kernel/clock.h"
#include "platform/kernel/internal/scheduler.h"

namespace os::sim {

// The calling thread becomes thread 1, "main"; the clock starts at device
// time 0. Every stand-in starts as on a fresh boot: no windows, classes,
// timers, handles, named objects, dialogs or message boxes; no file system,
// registry, comm lines, power requests, device or GPS configuration; the
// display at its default and the stall handler the default one. Nothing of
// an earlier run (or test) is left.
void StartPlatform(const ClockConfig& clock);
// Forgets every window, class and timer; threads still running are logged.
void StopPlatform();
// Replaces what happens when the virtual clock stalls (default: print the
// diagnostic, close the trace file, exit with code 3) until the next start.
// The handler runs under the scheduler's lock and must not call the platform.
void SetStallHandler(detail::StallHandler handler);

}  // namespace os::sim

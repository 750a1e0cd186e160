// The host console the simulator reports to while a run goes on: whether a
// person is watching standard output on a terminal, and how much wall time
// has passed. Wall time is the host's, never the device clock: a virtual run
// races through device time, and what a person reads is paced by the wall.
#pragma once

namespace os::sim {

// True when standard output is a terminal (not a pipe or a file).
bool StdoutIsTerminal();
// Seconds on the host's monotonic clock from an arbitrary origin; never goes
// back, whatever the device clock does. Safe from any thread.
double WallSeconds();

}  // namespace os::sim

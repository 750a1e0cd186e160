// The live status line of a run watched on a terminal: one line, rewritten
// in place about once a second of wall time, with the device time, what the
// recorder does, the recordings written, the free space on the recording
// card and the GPS fix.
//
// A platform thread makes it. It wakes every device second, shows the line
// only when a wall second has passed since the last one, and waits for the
// program's main window before showing anything. It only reads: the main
// window's state without waiting for any of the program's locks (the GPS
// lock is only tried; the recorder lock is held only for a copy), and it
// writes nothing the program or the trace could see. In virtual time it ends
// with the scenario's last event, so that a program stuck after it is still
// reported as a stalled clock rather than kept going by the line's wake-ups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/status_source.h"

namespace sim {

enum class GpsReading { Off, NoFix, Fix2D, Fix3D };

struct StatusSample {
    std::int64_t deviceTimeUs = 0;
    RecorderActivity activity = RecorderActivity::Stopped;
    std::size_t filesWritten = 0;  // closed recordings and the open one
    bool freeSpaceKnown = false;
    std::uint64_t freeBytes = 0;
    GpsReading gps = GpsReading::Off;
    std::uint32_t satellitesUsed = 0;
};

// The line's text, without the carriage return and the erase around it.
std::string StatusLineText(const StatusSample& sample);

struct StatusLine;
// Starts the line's thread; call after the scenario runner has started.
// Null (said on standard error) when the thread cannot be made.
StatusLine* StartStatusLine();
// Ends the thread (waiting for it a bounded time) and, when a line was
// shown, ends it with a newline so that what follows starts on its own line.
// Null does nothing.
void StopStatusLine(StatusLine* line);

}  // namespace sim

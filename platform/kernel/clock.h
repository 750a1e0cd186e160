// The one clock of the program. Every tick count, local time, sleep, wait
// time-out and timer in the project comes from here; nothing else reads the
// host clock or sleeps.
//
// Real mode: the host's monotonic clock drives time. Virtual mode: time only
// moves when every platform thread is blocked in a platform wait; it then
// jumps to the earliest deadline (see scheduler.h), so hours of device time
// run in seconds and the same inputs give the same run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/base/types.h"

namespace os {

enum class ClockMode { Real, Virtual };

struct ClockConfig {
    ClockMode mode = ClockMode::Real;
    // Local time at device time 0; without it the host's local time is taken.
    std::optional<SYSTEMTIME> start;
};

// Milliseconds since the clock started; 32 bits, wraps after 49.7 days.
DWORD GetTickCount();
void GetLocalTime(SYSTEMTIME* out);
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);
// Sleep(0) gives the processor to the next runnable thread.
void Sleep(DWORD ms);

// Device time since the clock started, in microseconds (64-bit, no wrap).
std::int64_t DeviceTimeUs();
ClockMode CurrentClockMode();
// "hh:mm:ss.mmm" of a device time, as trace lines show it.
std::string FormatDeviceTime(std::int64_t us);

}  // namespace os

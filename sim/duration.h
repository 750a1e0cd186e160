// Device-time durations as the simulator's files and options write them:
//   "90" (seconds), "1500ms", "90s", "10m", "1h", and "1:30:00" (h:mm:ss,
//   minutes and seconds as two digits below 60).
// Whole numbers only; no signs, spaces, fractions or combined units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

// Device time is kept in microseconds in a signed 64-bit count.
constexpr std::int64_t kMaxDurationMs = INT64_MAX / 1000;

// Milliseconds of `text`; false with *error naming the text when it is not a
// duration or exceeds kMaxDurationMs.
bool ParseDuration(std::string_view text, std::int64_t* ms, std::string* error);

}  // namespace sim

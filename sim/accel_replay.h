// A recorded accelerometer as a CSV text: one row "time_ms,x,y,z" a line,
// times in device milliseconds not going back, the axes in counts, m/s² or
// g. A first line that is not numbers is a header; blank lines are skipped.
// The axes become the sensor's counts (countsPerG to 1 g; m/s² over 9.80665
// first), rounded and clamped to the signed 16-bit range.
#pragma once

#include <string>
#include <vector>

#include "platform/devices/accelerometer_sim.h"
#include "sim/profile.h"

namespace sim {

// Standard gravity, m/s² in 1 g.
constexpr double kStandardGravity = 9.80665;

// False with *error ("line N: what") when a row is not four numbers, a time
// is not whole milliseconds from 0, goes back, or there is no row; *out is
// untouched then.
bool ParseAccelReplay(const std::string& text, AccelerometerUnits units, int countsPerG,
                      std::vector<os::sim::AccelerometerRow>* out, std::string* error);

}  // namespace sim

// The handset's accelerometer as the profile describes it: the resting
// counts and noise, or the replay file's rows, the scale, a failing sensor
// and the read log, handed to the driver behind "ACC1:"
// (platform/devices/accelerometer_sim.h). Scenario shocks go to the driver
// directly.
#pragma once

#include <string>

#include "sim/profile.h"

namespace sim {

// False with *error naming the profile field, the file and the reason when
// the replay file cannot be read or parsed or the read log cannot be
// created; the sensor is unchanged then.
bool ConnectAccelerometer(const DeviceProfile& profile, std::string* error);

}  // namespace sim

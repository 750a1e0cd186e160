// The handset's GPS receiver as the profile describes it: the GPS driver
// names its port, and on that port sits the simulated receiver (driving the
// route or replaying a log) or a host serial device. Scenario events reach
// the simulated receiver through here.
#pragma once

#include <cstddef>
#include <string>

#include "sim/profile.h"

namespace sim {

// Unplugs the receiver of an earlier run, then plugs in the profile's.
// False with *error naming the profile field when its log or device cannot
// be used.
bool ConnectGps(const DeviceProfile& profile, std::string* error);
// Unplugs the receiver; its thread ends if the program still had the port open.
void DisconnectGps();

// False when the handset has no simulated receiver.
bool SetGpsSkyVisible(bool visible);
bool SendGpsGarbage(std::size_t count);

}  // namespace sim

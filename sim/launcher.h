// The runtime entry of the simulated phone: reads the command line, the
// device profile and the scenario, sets up the platform (clock, file system
// and volumes, registry, device, other-process windows), plays the scenario
// beside the program, runs the program's main function and reports what the
// run did. `kestrava --post` instead posts one message to the instance that
// runs on the same device root.
#pragma once

#include <string>

#include "sim/profile.h"

namespace sim {

// Sets up the started platform for a run on the device root `root` as the
// profile describes: the file system and its volumes with the files laid
// onto them (the program folder is this executable's), the registry, the
// handset. With an instance already running on the root, its settings and
// the files on its cards are left alone. False with `error` set.
bool PreparePhone(const DeviceProfile& profile, const std::string& root, std::string* error);

int RunLauncher(int argc, const char* const argv[]);

}  // namespace sim

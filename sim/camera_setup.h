// The handset's camera and microphone as the profile describes them: what
// the lens sees and the microphone hears (the road scene and engine sound,
// or a host video file), the host JPEG its stills are instead of its own
// pictures, and the faults the run starts with (a camera that will not
// open, a codec that refuses to open or times out on a frame).
// Scenario events stall the streams or time out an encode through
// platform/media/media_sim.h directly.
#pragma once

#include <cstddef>
#include <string>

#include "sim/profile.h"

namespace sim {

// Sets the picture and sound sources, the still and the media faults.
// False with *error naming the profile field when the video or still file
// cannot be used; nothing changes then.
bool ConnectCamera(const DeviceProfile& profile, std::string* error);

}  // namespace sim

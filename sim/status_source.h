// The recorder's side of the status line: the one place the launcher asks
// the recorder how it stands. Kept apart so that the status line depends on
// the recorder's published status and nothing else of it.
#pragma once

#include "platform/base/types.h"

namespace sim {

// What the recorder is doing, as the status line names it.
enum class RecorderActivity { Stopped, Recording, Paused, EventClip, Armed };

// The activity of the recorder attached to `hwnd`; false when none is
// attached. Takes the recorder lock only for the copy.
bool ReadRecorderActivity(os::HWND hwnd, RecorderActivity* activity);

}  // namespace sim

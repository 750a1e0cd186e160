// The sounds that mark the start and the end of a GPS log. The sound module
// is still to be built: the call traces that it has nothing to play yet.
#pragma once

#include "platform/base/types.h"

// start: 1 for the start sound, 0 for the stop sound. 1 when a sound played.
int PlayRecordSound(os::HWND hwnd, int start);

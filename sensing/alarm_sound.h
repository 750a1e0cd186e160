// The alarm that marks a tagged event. The sound module is still to be
// built: the call traces that it has nothing to play yet.
#pragma once

#include "platform/base/types.h"

// 1 when the alarm played.
int PlayAlarmSound(os::HWND hwnd);

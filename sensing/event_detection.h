// Event detection: the shock levels, the periodic event poll and the manual
// event of the emergency area and the Enter key. Still to be built: these are
// its entry points as the main window calls them; each traces that it has
// nothing to do yet.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

// Hands the three detection levels (0 to 9) to the shock sensor.
int ApplyShockLevels(uint32_t levelX, uint32_t levelY, uint32_t levelZ);
// The poll of timer 10.
int EventPoll(os::HWND hwnd);
// Asks for an event to be tagged as if a shock had been felt.
int RequestManualEvent(os::HWND hwnd);

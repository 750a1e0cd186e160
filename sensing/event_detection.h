// Event detection: the shock levels, the periodic event poll and the manual
// event of the emergency area and the Enter key.
//
// Contract:
// - Everything runs on the main window's thread (timer 10, the input
//   handlers); no locks.
// - The poll decides that an event happened and hands it to the recorder
//   through the registered EventRecorderLink; the recorder debounces it
//   against a clip being written and keeps the deferred event. Without a
//   link the poll and the manual request do nothing.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

// Posted to the main window when a tagged event asks for the accident SMS
// (wParam and lParam 0).
constexpr os::UINT kAccidentAlertMessage = 10535;

// Set by the shock detector when the last evaluated window held a change
// beyond an SMS scale; read by the poll of the same timer tick.
inline int SmsShockFlag = 0;

// The threshold of detection level 0 to 9 (1500 down to 600 raw counts);
// 0 for a level outside the table.
float ShockThreshold(uint32_t level);
// Hands the thresholds of the three levels (0 to 9) to the "GSensor" sensor.
// 0, changing nothing, for a level outside 0 to 9; 0 when no G-sensor takes
// the thresholds. 1 when it took them.
int ApplyShockLevels(uint32_t levelX, uint32_t levelY, uint32_t levelZ);
// The poll of timer 10.
void EventPoll(os::HWND hwnd);
// Asks for an event to be tagged as if a shock had been felt, unless an
// event clip is being written. 1 when a manual event now waits.
int RequestManualEvent(os::HWND hwnd);

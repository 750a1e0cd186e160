// The main window's timers and what their expiry does.
#pragma once

#include "platform/base/types.h"

constexpr os::UINT_PTR kInitTimer = 1;        // 2 ms after creation: the deferred initialisation
constexpr os::UINT_PTR kSplitTimer = 2;       // SplitTimeSec: the next recording file
constexpr os::UINT_PTR kLcdOffTimer = 7;      // LcdOffTime after the backlight went off
constexpr os::UINT_PTR kMessageTimer = 9;     // ends the on-screen message
constexpr os::UINT_PTR kEventPollTimer = 10;  // 200 ms while events are watched
constexpr os::UINT_PTR kIdleResetTimer = 13;  // 1 s: keeps the device awake
constexpr os::UINT_PTR kAccidentSmsTimer = 14;  // 1 s: the accident SMS countdown

constexpr os::UINT kSettingsRestartDelayMs = 200;

void OnTimerProc(os::HWND hwnd, os::UINT_PTR id);

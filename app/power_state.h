// The power manager's messages as the power thread handles them, and the
// system power state the program asks for.
//
// The power thread only posts to the main window and writes single atomic
// words (the unattended flag, the battery level): the backlight's timer is
// armed and killed on the main window's thread, which owns the settings it
// reads. A message that is not a whole power record is ignored.
#pragma once

#include "platform/base/types.h"
#include "platform/devices/power.h"

// Posted by the power thread: wParam 1 the backlight came on, 0 it went off.
constexpr os::UINT WM_RECORDER_BACKLIGHT = 10541;

// The idle state: display off, program running. 1 when the system took it.
int EnterIdlePowerState(os::HWND hwnd);
// One message read from the power queue (`size` bytes of `message`).
void HandlePowerMessage(os::HWND hwnd, const os::POWER_BROADCAST& message, os::DWORD size);
// The battery level from the current power status: 0 on external power,
// else 1 to 4 by charge; `previous` when the charge is unknown.
int ReadBatteryLevel(int previous);
// WM_RECORDER_BACKLIGHT on the main window's thread.
void OnBacklightChange(os::HWND hwnd, bool on);

// The system power state the program asks for: the idle state (display off,
// program running) some seconds after the backlight went off.
#pragma once

#include "platform/base/types.h"

int EnterIdlePowerState(os::HWND hwnd);

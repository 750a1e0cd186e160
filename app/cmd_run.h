// Screen modes: CMD_Run switches the main window to a mode (entry of the
// screen table) and carries out what the mode's button stands for; the
// navigation-bar title follows the mode. The timed on-screen message.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

int CMD_Run(os::HWND hwnd, int mode);
// Leaving a screen mode through the back button (IDM_BUTTON with lParam 0).
void LeaveScreenMode(os::HWND hwnd);
// Sets the navigation-bar title of the current mode.
void SetScreenTitle(os::HWND hwnd);

// Shows `text` for timeoutMs (0xFFFFFFFF: until replaced or hidden) as a
// message of `kind` (-1 none, 0 plain, 1 OK and Cancel, 4 two buttons); a
// null text hides the message.
constexpr uint32_t kNoTimeout = 0xFFFFFFFF;
void ShowScreenMessage(os::HWND hwnd, const char* text, uint32_t timeoutMs, int style, int kind);
// Shows resource string `id` as a message that stays until replaced.
void ShowResourceMessage(os::HWND hwnd, os::UINT id);

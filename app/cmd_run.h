// Screen modes and the timed on-screen message. Only the exit (mode 7) is
// built so far; the other modes and the message come with the main window's
// commands.
#pragma once

#include <cstdint>

#include "platform/types.h"

int CMD_Run(os::HWND hwnd, int mode);
void ShowScreenMessage(os::HWND hwnd, const char* text, uint32_t timeoutMs, int style, int kind);
// The screen titles of the screen table, from the resource library.
void LoadScreenTitles(os::HWND hwnd);

// The main window's commands (WM_COMMAND): back, About, recording start, stop
// and pause, the screen buttons and the settings. Commands that arrive before
// the application state exists are ignored.
#pragma once

#include "platform/base/types.h"

// False for an id that is none of these: the default procedure handles it.
bool OnCommandProc(os::HWND hwnd, os::UINT id, os::LPARAM lParam);
// The About dialog, modal over the main window.
void ShowAboutDialog(os::HWND hwnd);

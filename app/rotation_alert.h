// "TarvoAlert": the window that covers the screen while the handset is
// turned to portrait. The rotation watch shows it (stopping capture) when
// the display turns to portrait and hides it (running capture again) when it
// turns back to 270 degrees; a touch on it hides it and turns the display
// back. It shows one of the two idle backgrounds of the skin, the
// landscape one while the "Rotation" setting says 90 or 270 degrees, each
// made to the window's size when the window is created. The watch's side runs on its own thread and only shows, hides and
// invalidates windows, which never waits for the main window's thread.
#pragma once

#include "platform/base/types.h"

os::LRESULT RotationAlertProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
// On the rotation watch's thread; `mainWindow` may be null.
void ShowRotationAlert(os::HWND mainWindow);
void HideRotationAlert(os::HWND mainWindow);
// The idle background the alert shows for the current "Rotation" value:
// the landscape one at 90 or 270 degrees.
const char* RotationAlertImage();

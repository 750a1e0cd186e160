// The main window's screens as the commands and timers ask for them: the
// paint of the whole client area (the start screen, and the recording screen
// with the camera's picture, its overlays, the toolbar, the popup and the
// information panel), the sensitivity screen (the recording screen with the
// level large in the picture and the plus and minus buttons in front, left
// by its back button or the back key), and the black preview area of the
// full-screen preview mode.
#pragma once

#include "platform/base/types.h"
#include "ui/info_panel.h"

// Paints the whole client area; with `hdc` null it begins and ends the paint itself.
void PaintMainWindow(os::HWND hwnd, os::HDC hdc);
// The information panel's four lines as a paint would draw them now.
InfoPanelLines CurrentInfoPanelLines(os::HWND hwnd);
// Asks for a paint of the whole client area, without erasing the background.
void RequestRepaint(os::HWND hwnd);
// Makes the sensitivity screen's buttons (back, plus, minus) the active
// ones, the plus button the one the Enter key presses.
void PrepareSensitivityScreen(os::HWND hwnd);
// Fills width x height from the client area's top-left corner with black.
void ClearPreviewArea(os::HWND hwnd, int width, int height);

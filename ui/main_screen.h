// The main window's screens as the commands and timers ask for them: the
// paint of the whole client area, the sensitivity screen, and the black
// preview area of the full-screen preview mode. The drawing itself (skin,
// toolbar looks, overlays, popups) is still to be built: painting already
// keeps the toolbar's buttons in step with the settings and opens the screen
// to touches, and traces that it draws nothing yet.
#pragma once

#include "platform/base/types.h"

// Paints the whole client area; with `hdc` null it begins and ends the paint itself.
void PaintMainWindow(os::HWND hwnd, os::HDC hdc);
// Asks for a paint of the whole client area, without erasing the background.
void RequestRepaint(os::HWND hwnd);
void PrepareSensitivityScreen(os::HWND hwnd);
// Fills width x height from the client area's top-left corner with black.
void ClearPreviewArea(os::HWND hwnd, int width, int height);

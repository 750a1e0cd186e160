// The settings sheet: four pages over the settings record, run modally over
// the main window. Still to be built: this is its entry point as the main
// window's settings command calls it; it traces that it has nothing to show.
#pragma once

#include "platform/base/types.h"

// Runs the sheet until it closes; on closing it may set the application's
// restart-recording flag.
int RunSettingsSheet(os::HINSTANCE resources, os::HWND mainWindow);

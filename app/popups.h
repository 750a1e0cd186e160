// The two pop-up windows of the main window: "TarvoAlert", shown while the
// handset is turned to portrait, and "TarvoAccSmsCancel", the accident-SMS
// cancel pop-up. Created hidden at start-up; what they show comes with the
// display-state and accident-alert modules.
#pragma once

#include "platform/types.h"

void CreatePopupWindows(os::HWND mainWindow, os::HINSTANCE resources);

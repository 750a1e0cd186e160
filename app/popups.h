// The two pop-up windows of the main window: "TarvoAlert", shown while the
// handset is turned to portrait, and "TarvoAccSmsCancel", the accident-SMS
// cancel pop-up, whose cancel button and Escape end a pending alert. Created
// hidden at start-up; what they show comes with the drawn screens.
#pragma once

#include "platform/base/types.h"

void CreatePopupWindows(os::HWND mainWindow, os::HINSTANCE resources);

// Shows (wParam 1) or hides the accident SMS cancel pop-up, as another
// process asks; shown, it comes to the foreground unless the portrait alert
// is up, which stays on top.
void OnSmsPopup(os::WPARAM wParam);

#include "settings/settings_sheet.h"

#include "platform/base/trace.h"

int RunSettingsSheet(os::HINSTANCE, os::HWND)
{
    // Will show the storage, recording, event and system pages.
    os::Trace("RunSettingsSheet: settings sheet not built yet");
    return 0;
}

// Screen size and display rotation.
#include "platform/devices/display.h"

#include <mutex>

#include "platform/base/internal/fresh_start.h"
#include "platform/base/trace.h"
#include "platform/registry/registry.h"

namespace os {
namespace {

struct Display {
    int naturalWidth = 480;
    int naturalHeight = 800;
    DWORD orientation = DMDO_270;
    int programChanges = 0;
};

std::mutex g_displayMutex;
Display g_display;

bool ValidOrientation(DWORD orientation)
{
    return orientation == DMDO_0 || orientation == DMDO_90 || orientation == DMDO_180 || orientation == DMDO_270;
}

bool Turned(DWORD orientation) { return orientation == DMDO_90 || orientation == DMDO_270; }

int CurrentWidth(const Display& d) { return Turned(d.orientation) ? d.naturalHeight : d.naturalWidth; }
int CurrentHeight(const Display& d) { return Turned(d.orientation) ? d.naturalWidth : d.naturalHeight; }

// The motion settings keep the display's turn in degrees, as the handset's
// own settings and programs read it. Without an open registry there is
// nowhere to keep it.
void WriteRotationSetting(DWORD orientation)
{
    const DWORD degrees = orientation == DMDO_90 ? 90 : orientation == DMDO_180 ? 180 : orientation == DMDO_270 ? 270 : 0;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, "\\Software\\SAMSUNG\\MotionSettings", 0, nullptr, 0, 0, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetDword(key, "Rotation", degrees);
    RegCloseKey(key);
}

}  // namespace

int GetSystemMetrics(int index)
{
    std::lock_guard<std::mutex> lock(g_displayMutex);
    switch (index) {
    case SM_CXSCREEN:
        return CurrentWidth(g_display);
    case SM_CYSCREEN:
        return CurrentHeight(g_display);
    default:
        return 0;
    }
}

LONG ChangeDisplaySettingsEx(const char* /*deviceName*/, DEVMODEW* mode, HWND /*hwnd*/, DWORD flags, void* /*param*/)
{
    if (mode == nullptr || mode->dmSize != sizeof(DEVMODEW))
        return DISP_CHANGE_BADPARAM;
    if ((flags & ~(CDS_TEST | CDS_RESET)) != 0)
        return DISP_CHANGE_BADFLAGS;
    std::unique_lock<std::mutex> lock(g_displayMutex);
    if ((flags & CDS_TEST) != 0) {
        if ((mode->dmFields & DM_DISPLAYORIENTATION) != 0)
            mode->dmDisplayOrientation = g_display.orientation;
        if ((mode->dmFields & DM_PELSWIDTH) != 0)
            mode->dmPelsWidth = static_cast<DWORD>(CurrentWidth(g_display));
        if ((mode->dmFields & DM_PELSHEIGHT) != 0)
            mode->dmPelsHeight = static_cast<DWORD>(CurrentHeight(g_display));
        return DISP_CHANGE_SUCCESSFUL;
    }
    if ((mode->dmFields & ~DM_DISPLAYORIENTATION) != 0 || (mode->dmFields & DM_DISPLAYORIENTATION) == 0)
        return DISP_CHANGE_BADMODE;
    if (!ValidOrientation(mode->dmDisplayOrientation))
        return DISP_CHANGE_BADMODE;
    const DWORD previous = g_display.orientation;
    g_display.orientation = mode->dmDisplayOrientation;
    ++g_display.programChanges;
    lock.unlock();
    PlatformLog("ChangeDisplaySettingsEx orientation %u -> %u", previous, mode->dmDisplayOrientation);
    WriteRotationSetting(mode->dmDisplayOrientation);
    return DISP_CHANGE_SUCCESSFUL;
}

bool sim::ConfigureDisplay(int naturalWidth, int naturalHeight, DWORD orientation)
{
    if (naturalWidth < 1 || naturalHeight < 1 || !ValidOrientation(orientation))
        return false;
    std::lock_guard<std::mutex> lock(g_displayMutex);
    g_display.naturalWidth = naturalWidth;
    g_display.naturalHeight = naturalHeight;
    g_display.orientation = orientation;
    g_display.programChanges = 0;
    return true;
}

bool sim::RotateDisplay(DWORD orientation)
{
    if (!ValidOrientation(orientation))
        return false;
    {
        std::lock_guard<std::mutex> lock(g_displayMutex);
        g_display.orientation = orientation;
    }
    WriteRotationSetting(orientation);
    return true;
}

DWORD sim::CurrentOrientation()
{
    std::lock_guard<std::mutex> lock(g_displayMutex);
    return g_display.orientation;
}

int sim::OrientationChangeCount()
{
    std::lock_guard<std::mutex> lock(g_displayMutex);
    return g_display.programChanges;
}

void detail::ResetDisplay()
{
    std::lock_guard<std::mutex> lock(g_displayMutex);
    g_display = Display{};
}

}  // namespace os

#include "app/display_state.h"

#include <vector>

#include "app/app_state.h"
#include "platform/devices/display.h"
#include "platform/registry/registry.h"

int GetDisplayRotation(os::DWORD* rotation)
{
    os::DEVMODEW mode;
    mode.dmFields = os::DM_DISPLAYORIENTATION;
    const bool ok = os::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, os::CDS_TEST, nullptr) == 0;
    *rotation = ok ? mode.dmDisplayOrientation : 0;
    return ok ? 1 : 0;
}

int SetDisplayRotation(os::DWORD rotation)
{
    os::DEVMODEW mode;
    mode.dmFields = os::DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = rotation;
    return os::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr) == 0 ? 1 : 0;
}

int SetAutoOrientation(os::DWORD disable, os::DWORD* saved)
{
    os::HKEY key = nullptr;
    if (os::RegCreateKeyExW(os::HKEY_CURRENT_USER, "\\ControlPanel\\MotionSensor", 0, nullptr, 0, 0, nullptr, &key,
                            nullptr) != os::ERROR_SUCCESS) {
        return 0;
    }
    if (saved != nullptr) {
        os::DWORD value = 1;
        os::RegQueryDword(key, "AutoOrientation", &value);
        *saved = value == 0 ? 1 : 0;
    }
    const bool ok = os::RegSetDword(key, "AutoOrientation", disable ? 0 : 1) == os::ERROR_SUCCESS;
    os::RegCloseKey(key);
    return ok ? 1 : 0;
}

bool ScreenIsPortrait()
{
    return os::GetSystemMetrics(os::SM_CYSCREEN) > os::GetSystemMetrics(os::SM_CXSCREEN);
}

void ApplyLandscapeRule()
{
    if (!ScreenIsPortrait()) return;
    // Only the first use saves: later ones find the program's own landscape
    // and would have the user's settings forgotten at exit.
    const bool first = !g_orientationSaved.exchange(true);
    os::DWORD rotation = 0;
    GetDisplayRotation(&rotation);
    if (first) g_savedRotation = rotation;
    if (rotation != os::DMDO_270) SetDisplayRotation(os::DMDO_270);
    SetAutoOrientation(1, first ? &g_savedAutoOrientation : nullptr);
}

int IsOnCall(os::HWND, os::FILETIME* startTime)
{
    os::HKEY key = nullptr;
    if (os::RegCreateKeyExW(os::HKEY_LOCAL_MACHINE, "System\\State\\Phone", 0, nullptr, 0, 0, nullptr, &key,
                            nullptr) != os::ERROR_SUCCESS) {
        return 0;
    }
    std::vector<os::BYTE> data;
    const bool read = os::RegQueryBinary(key, "Call Start Time", &data) == os::ERROR_SUCCESS && data.size() == 8;
    os::RegCloseKey(key);
    if (!read) return 0;
    os::FILETIME ft;
    for (int i = 0; i < 4; ++i) {
        ft.dwLowDateTime |= static_cast<os::DWORD>(data[static_cast<std::size_t>(i)]) << (8 * i);
        ft.dwHighDateTime |= static_cast<os::DWORD>(data[static_cast<std::size_t>(4 + i)]) << (8 * i);
    }
    if (startTime != nullptr) *startTime = ft;
    return ft.dwLowDateTime != 0 || ft.dwHighDateTime != 0 ? 1 : 0;
}

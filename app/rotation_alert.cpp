#include "app/rotation_alert.h"

#include "app/app_state.h"
#include "app/display_state.h"
#include "app/recording_control.h"
#include "platform/devices/display.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/windows/window.h"
#include "recorder/mov.h"

namespace {

constexpr os::UINT kSettingsMode = 6;
constexpr int kFullScreenHideMenu = 8;

// Back to landscape without the motion sensor turning it again.
void TurnToLandscape()
{
    os::DWORD rotation = 0;
    GetDisplayRotation(&rotation);
    if (rotation != os::DMDO_270) SetDisplayRotation(os::DMDO_270);
    SetAutoOrientation(1, nullptr);
}

void OnActivate(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(g_hMainWindow);
    if (app != nullptr && app->cmdMode == kSettingsMode) return;
    os::SHSipPreference(hwnd, os::SIP_FORCEDOWN);
    os::SHFullScreen(hwnd, kFullScreenHideMenu);
    if (os::HWND menuBar = os::SHFindMenuBar(hwnd)) os::ShowWindow(menuBar, os::SW_HIDE);
    ApplyLandscapeRule();
    os::InvalidateRect(hwnd, nullptr, os::FALSE);
}

void OnTouchUp(os::HWND hwnd)
{
    os::ShowWindow(hwnd, os::SW_HIDE);
    EventRecorderApp* app = AppFromWindow(g_hMainWindow);
    if (app == nullptr || app->resolutionClass == 0 || g_deviceModel == "sgh-i900" || !g_rotationAlert.load()) {
        return;
    }
    g_rotationAlert.store(false);
    TurnToLandscape();
    if (!app->previewOff) RunCapture(g_hMainWindow);
    os::UpdateWindow(g_hMainWindow);
}

}  // namespace

const char* RotationAlertImage()
{
    os::DWORD rotation = 0;
    os::HKEY key = nullptr;
    if (os::RegOpenKeyExW(os::HKEY_CURRENT_USER, "\\Software\\SAMSUNG\\MotionSettings", 0, 0, &key) ==
        os::ERROR_SUCCESS) {
        os::RegQueryDword(key, "Rotation", &rotation);
        os::RegCloseKey(key);
    }
    return rotation == 90 || rotation == 270 ? "IdleBg_Lands.png" : "IdleBg.png";
}

os::LRESULT RotationAlertProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    switch (msg) {
    case os::WM_ERASEBKGND:
        return 1;
    case os::WM_ACTIVATE:
        if (os::LOWORD(wParam) != os::WA_INACTIVE) OnActivate(hwnd);
        return 0;
    case os::WM_LBUTTONUP:
        OnTouchUp(hwnd);
        return 0;
    default:
        return os::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void ShowRotationAlert(os::HWND mainWindow)
{
    if (mainWindow == nullptr || !os::IsWindow(mainWindow)) return;
    if (EventRecorderApp* app = AppFromWindow(mainWindow)) app->captureRunning.store(0);
    MOV_StopPreview(mainWindow);
    g_rotationAlert.store(true);
    os::InvalidateRect(mainWindow, nullptr, os::FALSE);
    os::ShowWindow(g_hAlertWindow, os::SW_SHOW);
}

void HideRotationAlert(os::HWND mainWindow)
{
    if (!g_rotationAlert.exchange(false)) return;
    if (mainWindow == nullptr || !os::IsWindow(mainWindow)) return;
    if (EventRecorderApp* app = AppFromWindow(mainWindow)) app->captureRunning.store(1);
    MOV_RunPreview(mainWindow);
    os::ShowWindow(g_hAlertWindow, os::SW_HIDE);
    os::InvalidateRect(mainWindow, nullptr, os::FALSE);
}

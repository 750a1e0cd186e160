#include "app/popups.h"

#include "app/accident_alert.h"
#include "app/app_state.h"
#include "app/rotation_alert.h"
#include "platform/shell/shell.h"
#include "platform/windows/window.h"
#include "ui/sms_popup.h"

namespace {

constexpr os::WPARAM kVkEscape = 0x1B;

// A touch lifted on the cancel button, or Escape.
bool IsSmsCancel(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_KEYDOWN) return wParam == kVkEscape;
    if (msg != os::WM_LBUTTONUP) return false;
    const os::POINT point{os::GET_X_LPARAM(lParam), os::GET_Y_LPARAM(lParam)};
    return os::PtInRect(&kSmsCancelButton, point);
}

os::LRESULT SmsCancelProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_ERASEBKGND) return 1;  // the background is never erased
    if (msg == os::WM_PAINT) {
        PaintSmsCancelPopup(hwnd);
        return 0;
    }
    if (IsSmsCancel(msg, wParam, lParam)) {
        CancelAccidentAlert(g_hMainWindow);
        return 0;
    }
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterPopupClass(const char* name, os::WNDPROC proc, os::HINSTANCE resources)
{
    os::WNDCLASSW wc;
    wc.style = os::CS_HREDRAW | os::CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = resources;
    wc.lpszClassName = name;
    os::RegisterClassW(&wc);
}

}  // namespace

void CreatePopupWindows(os::HWND mainWindow, os::HINSTANCE resources)
{
    // Both cover x 0 to 480, y 52 to 800, created visible and hidden at once.
    RegisterPopupClass("TarvoAlert", RotationAlertProc, resources);
    g_hAlertWindow = os::CreateWindowExW(0, "TarvoAlert", "TarvoAlert", os::WS_POPUP | os::WS_VISIBLE, 0, 52, 480,
                                         748, mainWindow, nullptr, resources, nullptr);
    os::MoveWindow(g_hAlertWindow, 0, 52, 480, 748, os::FALSE);
    os::ShowWindow(g_hAlertWindow, os::SW_HIDE);

    RegisterPopupClass("TarvoAccSmsCancel", SmsCancelProc, resources);
    g_hAccSmsCancelWindow =
        os::CreateWindowExW(0, "TarvoAccSmsCancel", "TarvoAccSmsCancel", os::WS_POPUP | os::WS_SIZEBOX | os::WS_VISIBLE,
                            0, 52, 480, 748, mainWindow, nullptr, resources, nullptr);
    os::MoveWindow(g_hAccSmsCancelWindow, 86, 82, 628, 318, os::FALSE);
    os::ShowWindow(g_hAccSmsCancelWindow, os::SW_HIDE);
}

void OnSmsPopup(os::WPARAM wParam)
{
    os::HWND popup = g_hAccSmsCancelWindow;
    if (popup == nullptr || !os::IsWindow(popup)) return;
    if (wParam != 1) {
        os::SHFullScreen(popup, os::SHFS_HIDETASKBAR);
        os::ShowWindow(popup, os::SW_HIDE);
        return;
    }
    os::SHFullScreen(popup, os::SHFS_SHOWTASKBAR);
    os::ShowWindow(popup, os::SW_SHOW);
    EventRecorderApp* app = AppFromWindow(g_hMainWindow);
    if (app != nullptr && app->settingsSheetOpen) os::SetForegroundWindow(popup);
    os::SetForegroundWindow(os::IsWindowVisible(g_hAlertWindow) ? g_hAlertWindow : popup);
}

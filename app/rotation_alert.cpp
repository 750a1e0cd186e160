#include "app/rotation_alert.h"

#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/display_state.h"
#include "app/recording_control.h"
#include "platform/devices/display.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/windows/window.h"
#include "recorder/mov.h"
#include "ui/draw_prims.h"
#include "ui/skin_images.h"

namespace {

constexpr os::UINT kSettingsMode = 6;
constexpr int kFullScreenHideMenu = 8;
constexpr int kAlertWidth = 480;
constexpr int kAlertHeight = 748;

// The two idle backgrounds, each made to the window's size when it is created.
struct AlertImages {
    os::HBITMAP portrait = nullptr;
    os::HBITMAP landscape = nullptr;
};

os::HBITMAP LoadAlertImage(const char* name)
{
    const std::string path = SkinFile(IdleSkinFolder(), "01_common", name);
    os::HBITMAP picture = LoadOpaqueImage(path.c_str());
    int width = 0;
    int height = 0;
    if (!BitmapSize(picture, &width, &height)) return nullptr;
    os::HDC screen = os::GetDC(nullptr);
    os::HDC target = os::CreateCompatibleDC(screen);
    os::HBITMAP image = os::CreateCompatibleBitmap(screen, kAlertWidth, kAlertHeight);
    os::HGDIOBJ oldTarget = os::SelectObject(target, image);
    os::HDC source = os::CreateCompatibleDC(screen);
    os::HGDIOBJ oldSource = os::SelectObject(source, picture);
    os::StretchBlt(target, 0, 0, kAlertWidth, kAlertHeight, source, 0, 0, width, height, os::SRCCOPY);
    os::SelectObject(source, oldSource);
    os::SelectObject(target, oldTarget);
    os::DeleteDC(source);
    os::DeleteDC(target);
    os::ReleaseDC(nullptr, screen);
    os::DeleteObject(picture);
    return image;
}

AlertImages* ImagesOf(os::HWND hwnd)
{
    return reinterpret_cast<AlertImages*>(os::GetWindowLongW(hwnd, os::GWL_USERDATA));
}

void OnCreate(os::HWND hwnd)
{
    auto* images = new AlertImages{LoadAlertImage("IdleBg.png"), LoadAlertImage("IdleBg_Lands.png")};
    os::SetWindowLongW(hwnd, os::GWL_USERDATA, reinterpret_cast<os::LONG_PTR>(images));
}

void OnPaint(os::HWND hwnd)
{
    os::PAINTSTRUCT ps;
    os::HDC dc = os::BeginPaint(hwnd, &ps);
    if (const AlertImages* images = ImagesOf(hwnd)) {
        const bool landscape = std::string_view(RotationAlertImage()) == "IdleBg_Lands.png";
        BlitBitmap(dc, landscape ? images->landscape : images->portrait, 0, 0, kAlertWidth, kAlertHeight);
    }
    os::EndPaint(hwnd, &ps);
}

void OnDestroy(os::HWND hwnd)
{
    AlertImages* images = ImagesOf(hwnd);
    if (images == nullptr) return;
    if (images->portrait != nullptr) os::DeleteObject(images->portrait);
    if (images->landscape != nullptr) os::DeleteObject(images->landscape);
    delete images;
    os::SetWindowLongW(hwnd, os::GWL_USERDATA, 0);
}

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
    case os::WM_CREATE:
        OnCreate(hwnd);
        return 0;
    case os::WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case os::WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
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

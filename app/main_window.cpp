#include "app/main_window.h"

#include <string>

#include "app/app_state.h"
#include "app/cmd_run.h"
#include "app/display_state.h"
#include "app/messages.h"
#include "platform/display.h"
#include "platform/resource.h"
#include "platform/shell.h"
#include "platform/trace.h"
#include "settings/settings_store.h"
#include "storage/folder_layout.h"
#include "storage/volume_select.h"
#include "ui/cmd.h"

namespace {

constexpr os::UINT kResourceClassName = 2;
constexpr os::UINT kMainIcon = 101;
constexpr os::UINT_PTR kInitTimer = 1;
constexpr os::UINT_PTR kIdleResetTimer = 13;

int ResolutionClass(int width, int height)
{
    if (width == 320 && height == 320) return 0;
    if (width == 400 && height == 240) return 1;
    if (width == 640 && height == 480) return 2;
    if (width == 800 && height == 480) return 3;
    return 0;
}

}  // namespace

int LoadResourceLibrary()
{
    if (g_hResourceLibrary != nullptr) os::FreeLibrary(g_hResourceLibrary);
    std::string language;
    ReadLanguageSetting(&language);
    std::string folder;
    GetModuleFolder(&folder);
    const std::string path = folder + "\\res\\kestrava-res-" + language + ".dll";
    g_hResourceLibrary = os::LoadLibraryW(path.c_str());
    return g_hResourceLibrary != nullptr ? 1 : 0;
}

int CreateMainWindow(os::HINSTANCE resources, int showCommand)
{
    auto* app = new EventRecorderApp();
    RecordLaunchTime(&app->storage);
    LoadScreenTitles(nullptr);
    std::string className;
    os::LoadStringW(resources, kResourceClassName, &className, 100);

    if (os::HWND existing = os::FindWindowW(className.c_str(), kAppTitle)) {
        os::SetForegroundWindow(existing);
        os::SendMessageW(existing, WM_RECORDER_ACTIVATE, 1, 0);
        delete app;
        return 0;
    }
    ApplyLandscapeRule();

    os::WNDCLASSW wc;
    wc.style = os::CS_HREDRAW | os::CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = resources;
    wc.hIcon = os::LoadIconW(resources, kMainIcon);
    wc.lpszClassName = className.c_str();
    if (os::RegisterClassW(&wc) == 0) {
        delete app;
        return 0;
    }
    os::HWND hwnd = os::CreateWindowExW(0, className.c_str(), kAppTitle, os::WS_VISIBLE, os::CW_USEDEFAULT,
                                        os::CW_USEDEFAULT, os::CW_USEDEFAULT, os::CW_USEDEFAULT, nullptr, nullptr,
                                        resources, app);
    if (hwnd == nullptr) {
        delete app;
        return 0;
    }
    g_hMainWindow = hwnd;
    os::ShowWindow(hwnd, showCommand);
    os::UpdateWindow(hwnd);
    return 1;
}

int OnCreateProc(os::HWND hwnd, const os::CREATESTRUCTW* cs)
{
    auto* app = static_cast<EventRecorderApp*>(cs->lpCreateParams);
    const int width = os::GetSystemMetrics(os::SM_CXSCREEN);
    const int height = os::GetSystemMetrics(os::SM_CYSCREEN);
    app->landscape = width > height ? 1 : 0;
    app->resolutionClass = ResolutionClass(width, height);
    os::InitializeCriticalSection(&app->recorderLock);
    os::SetWindowLongW(hwnd, os::GWL_USERDATA, reinterpret_cast<os::LONG_PTR>(app));
    os::InitializeCriticalSection(&app->storageLock);
    app->recordingFileStatus = 2;
    app->filedEvents = 0;
    os::SHSipPreference(hwnd, os::SIP_FORCEDOWN);
    os::SHSetNavBarText(hwnd, kAppTitle);
    app->imagingFactory = CreateImagingFactory();
    os::SetTimer(hwnd, kInitTimer, 2, nullptr);
    return 0;
}

os::LRESULT MainWindowProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_CREATE) return OnCreateProc(hwnd, reinterpret_cast<const os::CREATESTRUCTW*>(lParam));
    EventRecorderApp* app = AppFromWindow(hwnd);
    switch (msg) {
    case os::WM_TIMER:
        if (app == nullptr) return 0;
        if (wParam == kInitTimer) {
            os::KillTimer(hwnd, kInitTimer);
            os::SendMessageW(hwnd, WM_RECORDER_INIT, 0, 0);
        } else if (wParam == kIdleResetTimer) {
            os::SystemIdleTimerReset();
        }
        return 0;
    case WM_RECORDER_INIT:
        if (app != nullptr) OnInitProc(hwnd);
        return 0;
    case os::WM_CLOSE:
        OnDestroyProc(hwnd, lParam == kClosePowerLoss);
        os::PostQuitMessage(0);
        return 0;
    case os::WM_DESTROY:
        if (!g_destroying) OnDestroyProc(hwnd);
        return 0;
    case os::WM_ERASEBKGND:
        return 1;
    case os::WM_COMMAND:
        if (app != nullptr && os::LOWORD(wParam) == IDM_BUTTON && lParam >= 1 && lParam <= 26) {
            CMD_Run(hwnd, static_cast<int>(lParam));
        }
        return 0;
    case WM_RECORDER_ACTIVATE:
        ApplyLandscapeRule();
        os::UpdateWindow(hwnd);
        return 0;
    default:
        return os::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

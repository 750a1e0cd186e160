#include "app/main_window.h"

#include <string>

#include "app/accident_alert.h"
#include "app/app_state.h"
#include "app/event_link.h"
#include "app/power_state.h"
#include "recorder/mov.h"
#include "app/cmd_run.h"
#include "app/commands.h"
#include "app/input.h"
#include "app/popups.h"
#include "app/recording_control.h"
#include "app/timers.h"
#include "app/display_state.h"
#include "app/messages.h"
#include "photo/photo_finish.h"
#include "platform/devices/display.h"
#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/base/trace.h"
#include "settings/settings_store.h"
#include "sensing/gps_serial.h"
#include "storage/event_filing.h"
#include "storage/folder_layout.h"
#include "storage/space_management.h"
#include "storage/volume_select.h"
#include "ui/cmd.h"
#include "ui/main_screen.h"

namespace {

constexpr os::UINT kResourceClassName = 2;
constexpr os::UINT kMainIcon = 101;

int ResolutionClass(int width, int height)
{
    if (width == 320 && height == 320) return 0;
    if (width == 400 && height == 240) return 1;
    if (width == 640 && height == 480) return 2;
    if (width == 800 && height == 480) return 3;
    return 0;
}

os::HINSTANCE LoadLanguageLibrary(const std::string& folder, const std::string& language)
{
    const std::string path = folder + "\\res\\kestrava-res-" + language + ".dll";
    os::HINSTANCE library = os::LoadLibraryW(path.c_str());
    if (library == nullptr) os::Trace("LoadResourceLibrary: %s not loaded, error %u", path.c_str(), os::GetLastError());
    return library;
}

}  // namespace

int LoadResourceLibrary()
{
    std::string language;
    ReadLanguageSetting(&language);
    FixedText<64> fallback;
    DefaultLanguage(&fallback);
    std::string folder;
    GetModuleFolder(&folder);
    // A stored language whose library is missing or broken (a partial
    // install, a hand-edited setting) must not stop the program while the
    // default language's library is there.
    os::HINSTANCE library = LoadLanguageLibrary(folder, language);
    if (library == nullptr && fallback.View() != language) {
        library = LoadLanguageLibrary(folder, std::string(fallback.View()));
    }
    if (library == nullptr) return 0;
    if (g_hResourceLibrary != nullptr) os::FreeLibrary(g_hResourceLibrary);
    g_hResourceLibrary = library;
    return 1;
}

int CreateMainWindow(os::HINSTANCE resources, int showCommand)
{
    auto* app = new EventRecorderApp();
    RecordLaunchTime(&app->storage);
    LoadScreenTitles(&app->screens, resources);
    std::string className;
    os::LoadStringW(resources, kResourceClassName, &className, 100);

    os::SetLastError(os::ERROR_SUCCESS);
    if (os::HWND existing = os::FindWindowW(className.c_str(), kAppTitle)) {
        os::SetForegroundWindow(existing);
        os::SendMessageW(existing, WM_RECORDER_ACTIVATE, 1, 0);
        delete app;
        return 0;
    }
    // An instance too busy to answer may well be running: a second recorder
    // on the same device would write into its folders and settings.
    if (os::GetLastError() == os::ERROR_BUSY) {
        os::Trace("CreateMainWindow: another instance is busy; not starting");
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

namespace {

// The capture graph's event thread hands a written still over here.
void FinishStill(const char* path, os::HWND owner)
{
    EventRecorderApp* app = AppFromWindow(owner);
    if (app != nullptr) FinishPhoto(&app->photo, &app->gps, path, owner);
}

// The camera's streaming thread hands its own JPEG still over here.
void FinishStillBytes(const os::BYTE* bytes, os::LONG length, os::HWND owner)
{
    EventRecorderApp* app = AppFromWindow(owner);
    if (app != nullptr) StillReady(&app->photo, &app->gps, bytes, length, owner);
}

// The finisher's message, shown on the main window's own thread.
void ShowPhotoMessage(os::HWND hwnd, EventRecorderApp* app)
{
    if (!app->photo.lockMade) return;
    os::EnterCriticalSection(&app->photo.lock);
    const std::string text = app->photo.message;
    os::LeaveCriticalSection(&app->photo.lock);
    ShowScreenMessage(hwnd, text.c_str(), kPhotoMessageMs, 0, 0);
}

}  // namespace

int OnCreateProc(os::HWND hwnd, const os::CREATESTRUCTW* cs)
{
    auto* app = static_cast<EventRecorderApp*>(cs->lpCreateParams);
    const int width = os::GetSystemMetrics(os::SM_CXSCREEN);
    const int height = os::GetSystemMetrics(os::SM_CYSCREEN);
    app->landscape = width > height ? 1 : 0;
    app->resolutionClass = ResolutionClass(width, height);
    os::SetWindowLongW(hwnd, os::GWL_USERDATA, reinterpret_cast<os::LONG_PTR>(app));
    app->recorder.settings = &app->settings;
    app->recorder.storage = &app->storage;
    app->recorder.gps = &app->gps;
    app->recorder.screenLayout = app->resolutionClass;
    PhotoInit(&app->photo);
    app->recorder.stillWritten = FinishStill;
    app->recorder.stillReady = FinishStillBytes;
    MOV_Attach(hwnd, &app->recorder);
    RegisterEventRecorderLink();
    os::InitializeCriticalSection(&app->storageLock);
    InitSpaceState(&app->space);
    os::InitializeCriticalSection(&app->screenLock);
    app->recordingFileStatus = 2;
    app->filedEvents = 0;
    os::SHSipPreference(hwnd, os::SIP_FORCEDOWN);
    os::SHSetNavBarText(hwnd, kAppTitle);
    app->imagingFactory = CreateImagingFactory();
    os::SetTimer(hwnd, kInitTimer, 2, nullptr);
    return 0;
}

namespace {

constexpr const char* kHelpFile = "\\windows\\KestravaHelp.htm";

void OnActivate(os::HWND hwnd, EventRecorderApp* app, os::WPARAM wParam, os::LPARAM lParam)
{
    app->activateInfo.cbSize = sizeof(app->activateInfo);
    os::SHHandleWMActivate(hwnd, wParam, lParam, &app->activateInfo, 0);
    os::SHFullScreen(hwnd, os::SHFS_HIDESIPBUTTON);
    if (os::LOWORD(wParam) == os::WA_INACTIVE) {
        for (ScreenEntry& entry : app->screens) entry.keyPressed = 0;
    }
}

void OpenHelp(os::HWND hwnd)
{
    os::SHELLEXECUTEINFO info;
    info.hwnd = hwnd;
    info.lpVerb = "Open";
    info.lpFile = kHelpFile;
    info.nShow = os::SW_SHOW;
    os::ShellExecuteEx(&info);
}

void OnPhoneState(os::HWND hwnd, EventRecorderApp* app, os::LPARAM lParam)
{
    if (lParam != kPhoneStateUserData) return;
    app->onCall = IsOnCall(hwnd, nullptr);
    app->recorder.phoneCall.store(app->onCall);
    os::Trace(app->onCall ? "On Call" : "Off Call");
}

void OpenGpsPort()
{
    if (g_gpsSerialReader == nullptr && g_deviceModel != "sgh-i900") {
        g_gpsSerialReader = SerialOpen("COM1:", 115200, nullptr, nullptr);
    }
}

void CloseGpsPort()
{
    if (g_gpsSerialReader != nullptr) SerialClose(g_gpsSerialReader);
    g_gpsSerialReader = nullptr;
}

// The messages that need the application state; false for the others.
bool HandleWithState(os::HWND hwnd, EventRecorderApp* app, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    switch (msg) {
    case os::WM_ACTIVATE: OnActivate(hwnd, app, wParam, lParam); return true;
    case os::WM_SETTINGCHANGE: os::SHHandleWMSettingChange(hwnd, wParam, lParam, &app->activateInfo); return true;
    case os::WM_KEYDOWN: OnKeyDown(hwnd, static_cast<os::UINT>(wParam)); return true;
    case os::WM_KEYUP: OnKeyUp(hwnd, static_cast<os::UINT>(wParam), lParam); return true;
    case os::WM_TIMER: OnTimerProc(hwnd, wParam); return true;
    case os::WM_LBUTTONDOWN: OnButtonDown(hwnd, os::GET_X_LPARAM(lParam), os::GET_Y_LPARAM(lParam)); return true;
    case os::WM_LBUTTONUP: OnButtonUp(hwnd, os::GET_X_LPARAM(lParam), os::GET_Y_LPARAM(lParam)); return true;
    case os::WM_DEVICECHANGE: CheckRecordingVolume(hwnd); return true;
    case WM_RECORDER_PHONE_STATE: OnPhoneState(hwnd, app, lParam); return true;
    case WM_RECORDER_BACKLIGHT: OnBacklightChange(hwnd, wParam == 1); return true;
    case WM_RECORDER_INIT: OnInitProc(hwnd); return true;
    case WM_RECORDER_SPACE_MESSAGE: ShowResourceMessage(hwnd, static_cast<os::UINT>(wParam)); return true;
    case WM_RECORDER_PHOTO_MESSAGE: ShowPhotoMessage(hwnd, app); return true;
    default: return false;
    }
}

}  // namespace

os::LRESULT MainWindowProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_CREATE) return OnCreateProc(hwnd, reinterpret_cast<const os::CREATESTRUCTW*>(lParam));
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app != nullptr && HandleWithState(hwnd, app, msg, wParam, lParam)) return 0;
    switch (msg) {
    case os::WM_PAINT:
        if (g_destroying) break;
        PaintMainWindow(hwnd, nullptr);
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
    case os::WM_HELP:
        OpenHelp(hwnd);
        return 0;
    case os::WM_COMMAND:
        if (OnCommandProc(hwnd, os::LOWORD(wParam), lParam)) return 0;
        break;
    case os::WM_HOTKEY:
        os::Trace("OnHotKeyProc : id=0x%x", static_cast<unsigned>(wParam));
        return 0;
    case WM_RECORDER_GPS_PORT_CLOSE:
        CloseGpsPort();
        return 0;
    case WM_RECORDER_GPS_PORT_OPEN:
        OpenGpsPort();
        return 0;
    case WM_RECORDER_ACTIVATE:
        ApplyLandscapeRule();
        os::UpdateWindow(hwnd);
        return 0;
    case WM_RECORDER_ACCIDENT_ALERT:
        OnAccidentAlert(hwnd);
        return 0;
    case WM_RECORDER_SMS_POPUP:
        OnSmsPopup(wParam);
        return 0;
    default:
        break;
    }
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

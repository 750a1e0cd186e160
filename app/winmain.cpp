// The program's entry as it stands until the start-up sequence is built: it
// loads the language's resource library, creates the main window with its
// application state, loads the settings and stores them (so that a first
// start leaves every default in the registry), and runs the message loop
// until the exit button or a WM_CLOSE.
#include "app/winmain.h"

#include <string>

#include "app/app_state.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/resource.h"
#include "platform/trace.h"
#include "platform/window.h"
#include "settings/settings_store.h"

namespace {

constexpr os::UINT IDM_BUTTON = 40007;
constexpr os::LPARAM kExitButton = 7;
constexpr const char* kTitle = "Ardvane";
constexpr const char* kClassName = "Kestrava";

os::HINSTANCE LoadLanguageLibrary()
{
    std::string language;
    ReadLanguageSetting(&language);
    std::string module;
    os::GetModuleFileNameW(nullptr, &module, os::MAX_PATH);
    const std::string folder = module.substr(0, module.rfind('\\'));
    return os::LoadLibraryW((folder + "\\res\\kestrava-res-" + language + ".dll").c_str());
}

os::LRESULT MainWindowProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    switch (msg) {
    case os::WM_CREATE: {
        auto* cs = reinterpret_cast<os::CREATESTRUCTW*>(lParam);
        os::SetWindowLongW(hwnd, os::GWL_USERDATA, reinterpret_cast<os::LONG_PTR>(cs->lpCreateParams));
        if (LoadSettings(hwnd)) SaveSettings(hwnd);
        return 0;
    }
    case os::WM_COMMAND:
        if (os::LOWORD(wParam) == IDM_BUTTON && lParam == kExitButton) {
            os::Trace("WM_CLOSE Msg Send by Kestrava 4\r\n");
            os::PostMessageW(hwnd, os::WM_CLOSE, 0, 7);
        }
        return 0;
    case os::WM_CLOSE:
        os::DestroyWindow(hwnd);
        return 0;
    case os::WM_DESTROY:
        delete AppFromWindow(hwnd);
        os::SetWindowLongW(hwnd, os::GWL_USERDATA, 0);
        os::PostQuitMessage(0);
        return 0;
    default:
        return os::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WinMain(os::HINSTANCE, const char*, int showCommand)
{
    g_hResourceLibrary = LoadLanguageLibrary();
    if (g_hResourceLibrary == nullptr) {
        os::MessageBoxW(nullptr, "Fail to import resource dll\nre-install program.", kTitle, os::MB_ICONERROR);
        return 0;
    }
    os::WNDCLASSW wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = g_hResourceLibrary;
    wc.lpszClassName = kClassName;
    os::RegisterClassW(&wc);
    auto* app = new EventRecorderApp();
    os::HWND hwnd = os::CreateWindowExW(0, kClassName, kTitle, os::WS_VISIBLE, os::CW_USEDEFAULT, os::CW_USEDEFAULT,
                                        os::CW_USEDEFAULT, os::CW_USEDEFAULT, nullptr, nullptr, g_hResourceLibrary, app);
    int exitCode = 0;
    if (hwnd == nullptr) {
        delete app;  // the class was refused before the window took the state
    } else {
        os::ShowWindow(hwnd, showCommand);
        os::UpdateWindow(hwnd);
        os::MSG msg;
        while (os::GetMessageW(&msg, nullptr, 0, 0)) {
            os::TranslateMessage(&msg);
            os::DispatchMessageW(&msg);
        }
        exitCode = static_cast<int>(msg.wParam);
    }
    os::UnregisterClassW(kClassName, g_hResourceLibrary);
    os::FreeLibrary(g_hResourceLibrary);
    g_hResourceLibrary = nullptr;
    return exitCode;
}

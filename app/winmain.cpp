// The program's entry: the process-wide set-up, the main window and its
// pop-ups, the message loop, and the process-wide tear-down.
#include "app/winmain.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "app/app_state.h"
#include "app/resource_text.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/popups.h"
#include "app/wait_cursor.h"
#include "app/workers.h"
#include "platform/base/com.h"
#include "platform/devices/device.h"
#include "platform/devices/display.h"
#include "platform/windows/message_box.h"
#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/base/trace.h"
#include "sensing/gps_serial.h"

namespace {

constexpr os::UINT kLowMemoryText = 1068;
constexpr os::UINT kAcceleratorTable = 2;
constexpr os::DWORD kMinimumFreeMemory = 0xA00000;
// Without any resource library the program has no texts to run with.
constexpr int kCannotStart = 1;

void ReadDeviceModel()
{
    std::string model;
    os::SystemParametersInfoW(os::SPI_GETOEMINFO, 256, &model, 0);
    std::transform(model.begin(), model.end(), model.begin(), [](unsigned char c) { return std::tolower(c); });
    g_deviceModel = model;
}

void HideShellOn800x480()
{
    if (os::GetSystemMetrics(os::SM_CXSCREEN) != 800 || os::GetSystemMetrics(os::SM_CYSCREEN) != 480) return;
    os::SHSipPreference(g_hMainWindow, os::SIP_FORCEDOWN);
    os::SHFullScreen(g_hMainWindow, kFullScreenFlags);
    if (os::HWND menuBar = os::SHFindMenuBar(g_hMainWindow)) os::ShowWindow(menuBar, os::SW_HIDE);
}

int RunMessageLoop()
{
    os::MEMORYSTATUS memory;
    os::GlobalMemoryStatus(&memory);
    if (memory.dwAvailPhys < kMinimumFreeMemory) {
        os::MessageBoxW(nullptr, ResourceText(kLowMemoryText).c_str(), kAppTitle, os::MB_ICONWARNING);
        // Without the loop the window would outlive the program with its
        // state and its worker: destroying it runs the destroy sequence.
        os::DestroyWindow(g_hMainWindow);
        return 0;
    }
    os::HACCEL accelerators = os::LoadAcceleratorsW(g_hResourceLibrary, kAcceleratorTable);
    os::MSG msg;
    while (os::GetMessageW(&msg, nullptr, 0, 0)) {
        if (os::TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
        os::TranslateMessage(&msg);
        os::DispatchMessageW(&msg);
    }
    if (accelerators != nullptr) os::DestroyAcceleratorTable(accelerators);
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WinMain(os::HINSTANCE, const char*, int showCommand)
{
    int exitCode = 0;
    g_destroying = false;
    ShowWaitCursor();
    ReadDeviceModel();
    os::SmiOpticalMouseGetMode(&g_savedOpticalMouseMode);
    os::SmiOpticalMouseSetMode(1);
    if (g_deviceModel != "sgh-i900") g_gpsSerialReader = SerialOpen("COM1:", 115200, nullptr, nullptr);
    os::CoInitializeEx(nullptr, 0);
    os::Trace("\r\n---->start kestrava program\r\n");

    if (!LoadResourceLibrary()) {
        os::MessageBoxW(nullptr, "Fail to import resource dll\nre-install program.", kAppTitle, os::MB_ICONERROR);
        exitCode = kCannotStart;
    } else if (CreateMainWindow(g_hResourceLibrary, showCommand)) {
        HideShellOn800x480();
        CreatePopupWindows(g_hMainWindow, g_hResourceLibrary);
        if (AppFromWindow(g_hMainWindow)->resolutionClass != 0) StartRotationWatchThread();
        HideWaitCursor();
        exitCode = RunMessageLoop();
    }

    if (g_hResourceLibrary != nullptr) os::FreeLibrary(g_hResourceLibrary);
    g_hResourceLibrary = nullptr;
    os::Trace("---->end kestrava program\r\n");
    if (g_gpsSerialReader != nullptr) SerialClose(g_gpsSerialReader);
    g_gpsSerialReader = nullptr;
    os::CoUninitialize();
    os::SmiOpticalMouseSetMode(g_savedOpticalMouseMode);
    HideWaitCursor();
    return exitCode;
}

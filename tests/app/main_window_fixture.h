// The main window on the simulated phone, created in the test's own thread as
// the program's entry would create it, initialised and left running, so that
// a test can send it messages and look at the application state between them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/popups.h"
#include "platform/windows/message_box.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "sim/launcher.h"
#include "sim/profile.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace testing_support {

class MainWindowTest : public PlatformTest {
protected:
    TempFolder folder;
    sim::DeviceProfile profile = sim::DefaultProfile();
    os::TraceCapture capture;
    os::HWND hwnd = nullptr;

    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::ClearMessageBoxHistory();
        os::sim::ClearMessageBoxAnswers();
        os::sim::ResetShell();
        g_destroying = false;
        g_touchEnabled = false;
        g_rotationAlert = false;
        g_recordingBlocked = false;
        EventTaggedFlag = 0;
    }

    void TearDown() override
    {
        if (hwnd != nullptr && os::IsWindow(hwnd)) {
            os::SendMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
            os::DestroyWindow(hwnd);
        }
        if (g_hResourceLibrary != nullptr) os::FreeLibrary(g_hResourceLibrary);
        g_hResourceLibrary = nullptr;
        g_hMainWindow = nullptr;
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }

    // Prepares the phone from `profile`, creates the main window and runs
    // the deferred initialisation and the first paint. `setUpPhone`, when
    // given, changes the prepared phone before the window is made.
    void Start(const std::function<void()>& setUpPhone = {})
    {
        std::string error;
        ASSERT_TRUE(sim::PreparePhone(profile, folder.Path(), &error)) << error;
        if (setUpPhone) setUpPhone();
        ASSERT_TRUE(LoadResourceLibrary());
        ASSERT_TRUE(CreateMainWindow(g_hResourceLibrary, os::SW_SHOW));
        hwnd = g_hMainWindow;
        CreatePopupWindows(hwnd, g_hResourceLibrary);
        RunFor(100);
        ASSERT_NE(App(), nullptr);
        ASSERT_EQ(App()->cmdMode, 4u);
    }

    EventRecorderApp* App() const { return AppFromWindow(hwnd); }

    // Lets device time pass while the window's messages and timers are handled.
    void RunFor(os::UINT ms)
    {
        os::WNDCLASSW wc;
        wc.lpfnWndProc = ClockProc;
        wc.lpszClassName = "TestClock";
        os::RegisterClassW(&wc);
        os::HWND clock = os::CreateWindowExW(0, "TestClock", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        os::SetTimer(clock, 1, ms, nullptr);
        os::MSG msg;
        while (os::IsWindow(clock) && os::GetMessageW(&msg, nullptr, 0, 0)) os::DispatchMessageW(&msg);
    }

    // Handles what is queued now, without letting time pass.
    void Drain()
    {
        os::MSG msg;
        while (os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE)) {
            if (msg.message == os::WM_QUIT) break;
            os::DispatchMessageW(&msg);
        }
    }

    void Command(os::UINT id, os::LPARAM lParam = 0) { os::SendMessageW(hwnd, os::WM_COMMAND, id, lParam); }

    void Tap(int downX, int downY, int upX, int upY)
    {
        os::SendMessageW(hwnd, os::WM_LBUTTONDOWN, 0, os::MAKELPARAM(downX, downY));
        os::SendMessageW(hwnd, os::WM_LBUTTONUP, 0, os::MAKELPARAM(upX, upY));
    }
    void Tap(int x, int y) { Tap(x, y, x, y); }

    std::string Text(os::UINT id) const
    {
        std::string text;
        os::LoadStringW(g_hResourceLibrary, id, &text, 100);
        return text;
    }

    os::DWORD StoredDword(const char* name) const
    {
        os::HKEY key = nullptr;
        os::DWORD value = 0xDEADBEEF;
        if (os::RegOpenKeyExW(os::HKEY_CURRENT_USER, "\\Software\\Holmbrek\\Ardvane", 0, 0, &key) ==
            os::ERROR_SUCCESS) {
            os::RegQueryDword(key, name, &value);
            os::RegCloseKey(key);
        }
        return value;
    }

    std::vector<std::string> Lines() const { return capture.ProgramLines(); }
    bool Has(const std::string& line) const
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    int Count(const std::string& line) const
    {
        const auto lines = Lines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    // The lParam of a WM_CLOSE waiting in the queue, or -1 when none waits.
    os::LPARAM ClosePosted() const
    {
        os::MSG msg;
        if (!os::PeekMessageW(&msg, hwnd, os::WM_CLOSE, os::WM_CLOSE, os::PM_NOREMOVE)) return -1;
        return msg.lParam;
    }
    bool QuitPosted()
    {
        os::MSG msg;
        return os::PeekMessageW(&msg, nullptr, os::WM_QUIT, os::WM_QUIT, os::PM_NOREMOVE) != 0;
    }

private:
    static os::LRESULT ClockProc(os::HWND w, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        if (msg == os::WM_TIMER) {
            os::KillTimer(w, 1);
            os::DestroyWindow(w);
            return 0;
        }
        return os::DefWindowProcW(w, msg, wParam, lParam);
    }
};

}  // namespace testing_support

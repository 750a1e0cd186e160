#include <gtest/gtest.h>

#include <string>

#include "platform/devices/display.h"
#include "platform/devices/device.h"
#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "res/resource_ids.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_folder.h"

namespace {

namespace res = kestrava::res;

class ShellTest : public testing_support::PlatformTest {
protected:
    os::HWND main = nullptr;
    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::ResetShell();
        os::sim::DeviceProfile profile;
        profile.orientation = os::DMDO_270;  // 800 x 480
        ASSERT_TRUE(os::sim::ConfigureDevice(profile));
        ASSERT_EQ(os::GetSystemMetrics(os::SM_CXSCREEN), 800);
        os::WNDCLASSW wc;
        wc.lpfnWndProc = os::DefWindowProcW;
        wc.lpszClassName = "ShellTarget";
        ASSERT_NE(os::RegisterClassW(&wc), 0);
        main = os::CreateWindowExW(0, "ShellTarget", "Ardvane", os::WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
        ASSERT_NE(main, nullptr);
    }
    void TearDown() override
    {
        os::sim::ConfigureDevice(os::sim::DeviceProfile{});
        PlatformTest::TearDown();
    }
    // The next waiting message of one kind (window activation messages come too).
    bool NextMessage(os::UINT kind, os::MSG* msg)
    {
        return os::PeekMessageW(msg, nullptr, kind, kind, os::PM_REMOVE) != os::FALSE;
    }
};

TEST_F(ShellTest, FullScreenFlagsAndInputPanelAreKeptPerWindow)
{
    os::HWND other = os::CreateWindowExW(0, "ShellTarget", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(os::SHSipPreference(main, os::SIP_UP));
    EXPECT_TRUE(os::sim::InputPanelUp());
    ASSERT_TRUE(os::SHSipPreference(main, os::SIP_FORCEDOWN));
    EXPECT_FALSE(os::sim::InputPanelUp());

    ASSERT_TRUE(os::SHFullScreen(main, 24));  // hide the input-panel button, show the start icon
    auto state = os::sim::ShellStateOf(main);
    EXPECT_TRUE(state.sipButtonHidden);
    EXPECT_FALSE(state.startIconHidden);
    EXPECT_EQ(state.lastFullScreen, 24u);
    EXPECT_EQ(state.sipPreference, os::SIP_FORCEDOWN);
    EXPECT_FALSE(os::sim::ShellStateOf(other).sipButtonHidden);

    ASSERT_TRUE(os::SHFullScreen(main, os::SHFS_SHOWSIPBUTTON | os::SHFS_HIDETASKBAR));
    state = os::sim::ShellStateOf(main);
    EXPECT_FALSE(state.sipButtonHidden);
    EXPECT_TRUE(state.taskBarHidden);

    EXPECT_FALSE(os::SHFullScreen(main, 0x1000));
    EXPECT_FALSE(os::SHSipPreference(main, 9));
    os::DestroyWindow(other);
    EXPECT_FALSE(os::SHFullScreen(other, os::SHFS_HIDESIPBUTTON));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(ShellTest, NavigationTitleActivationAndSettingChangesAreRecorded)
{
    os::TraceCapture capture;
    ASSERT_TRUE(os::SHSetNavBarText(main, "Ardvane-Settings"));
    os::SHACTIVATEINFO info;
    ASSERT_TRUE(os::SHHandleWMActivate(main, os::WA_ACTIVE, 0, &info, 0));
    ASSERT_TRUE(os::SHHandleWMActivate(main, os::WA_INACTIVE, 0, &info, 0));
    ASSERT_TRUE(os::SHHandleWMSettingChange(main, 0, 0, &info));
    info.cbSize = 12;
    EXPECT_FALSE(os::SHHandleWMActivate(main, os::WA_ACTIVE, 0, &info, 0));

    const auto state = os::sim::ShellStateOf(main);
    EXPECT_TRUE(state.hasNavBarTitle);
    EXPECT_EQ(state.navBarTitle, "Ardvane-Settings");
    EXPECT_EQ(state.activateCalls, 2);
    EXPECT_EQ(state.lastActivateState, os::WA_INACTIVE);
    EXPECT_EQ(state.settingChangeCalls, 1);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Ardvane-Settings"), std::string::npos);
}

TEST_F(ShellTest, MenuBarsAreWindowsWithTheCommandsOfTheirMenu)
{
    EXPECT_EQ(os::SHFindMenuBar(main), nullptr);
    testing_support::ProgramFolder programFolder;
    os::HINSTANCE english = os::LoadLibraryW(testing_support::ProgramFolder::LibraryPath("English").c_str());
    ASSERT_NE(english, nullptr);
    os::SHMENUBARINFO info;
    info.hwndParent = main;
    info.nToolBarId = res::IDM_DIALOG_BAR;
    info.hInstRes = english;
    ASSERT_TRUE(os::SHCreateMenuBar(&info));
    os::HWND bar = os::SHFindMenuBar(main);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar, info.hwndMB);
    EXPECT_TRUE(os::IsWindowVisible(bar));
    os::ShowWindow(bar, os::SW_HIDE);
    EXPECT_FALSE(os::IsWindowVisible(bar));
    EXPECT_EQ(os::sim::ShellStateOf(main).menuBarResource, res::IDM_DIALOG_BAR);

    // The user picks "Defaults" in the pop-up; a command the menu lacks is not offered.
    EXPECT_TRUE(os::sim::ChooseMenuBarCommand(main, res::IDM_DEFAULTS));
    EXPECT_FALSE(os::sim::ChooseMenuBarCommand(main, res::IDM_ABOUT));
    os::MSG msg;
    ASSERT_TRUE(NextMessage(os::WM_COMMAND, &msg));
    EXPECT_EQ(msg.hwnd, main);
    EXPECT_EQ(msg.wParam, res::IDM_DEFAULTS);
    EXPECT_FALSE(NextMessage(os::WM_COMMAND, &msg));

    os::DestroyWindow(bar);
    EXPECT_EQ(os::SHFindMenuBar(main), nullptr);
    EXPECT_FALSE(os::sim::ChooseMenuBarCommand(main, res::IDM_DONE));

    info.nToolBarId = 999;
    EXPECT_FALSE(os::SHCreateMenuBar(&info));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_RESOURCE_NAME_NOT_FOUND));
    os::FreeLibrary(english);
}

TEST_F(ShellTest, InitDialogSizesToTheScreenAndLowersTheInputPanel)
{
    os::HWND dialog = os::CreateWindowExW(0, "ShellTarget", "About", 0, 10, 10, 50, 50, main, nullptr, nullptr, nullptr);
    os::SHSipPreference(main, os::SIP_UP);
    os::SHINITDLGINFO info;
    info.dwMask = os::SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = os::SHIDIF_DONEBUTTON | os::SHIDIF_SIZEDLGFULLSCREEN | os::SHIDIF_SIPDOWN;
    ASSERT_TRUE(os::SHInitDialog(&info));
    os::RECT rect;
    ASSERT_TRUE(os::GetWindowRect(dialog, &rect));
    EXPECT_EQ(rect.right - rect.left, 800);
    EXPECT_EQ(rect.bottom - rect.top, 480);
    EXPECT_FALSE(os::sim::InputPanelUp());
    auto state = os::sim::ShellStateOf(dialog);
    EXPECT_TRUE(state.dialogInitialised);
    EXPECT_EQ(state.doneButton, os::SHDB_SHOW);
    ASSERT_TRUE(os::SHDoneButton(dialog, os::SHDB_HIDE));
    EXPECT_EQ(os::sim::ShellStateOf(dialog).doneButton, os::SHDB_HIDE);
    EXPECT_FALSE(os::SHDoneButton(dialog, 3));
    info.dwMask = 0;
    EXPECT_FALSE(os::SHInitDialog(&info));
}

TEST_F(ShellTest, ShellExecuteRecordsTheDocumentAndVerb)
{
    os::SHELLEXECUTEINFO info;
    info.hwnd = main;
    info.lpVerb = "Open";
    info.lpFile = "\\windows\\KestravaHelp.htm";
    ASSERT_TRUE(os::ShellExecuteEx(&info));
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(info.hInstApp), 32u);
    const auto history = os::sim::ShellExecuteHistory();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].file, "\\windows\\KestravaHelp.htm");
    EXPECT_EQ(history[0].verb, "Open");
    EXPECT_EQ(history[0].owner, main);
    info.lpFile = "";
    EXPECT_FALSE(os::ShellExecuteEx(&info));
    EXPECT_EQ(os::sim::ShellExecuteHistory().size(), 1u);
}

TEST_F(ShellTest, CursorOpticalMouseAndIdleTimer)
{
    os::HCURSOR wait = os::LoadCursorW(nullptr, os::IDC_WAIT);
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(os::LoadCursorW(nullptr, 12345), nullptr);
    os::HCURSOR previous = os::SetCursor(wait);
    EXPECT_EQ(os::sim::CurrentCursorId(), os::IDC_WAIT);
    EXPECT_EQ(os::GetCursor(), wait);
    os::SetCursor(previous);
    EXPECT_EQ(os::sim::CurrentCursorId(), os::IDC_ARROW);
    os::SetCursor(nullptr);
    EXPECT_EQ(os::sim::CurrentCursorId(), 0u);

    os::DWORD mode = 7;
    ASSERT_EQ(os::SmiOpticalMouseGetMode(&mode), os::SMI_SUCCESS);
    EXPECT_EQ(mode, os::SMI_OPTICALMOUSE_KEYPAD);
    ASSERT_EQ(os::SmiOpticalMouseSetMode(1), os::SMI_SUCCESS);
    EXPECT_EQ(os::sim::OpticalMouseMode(), 1u);
    EXPECT_NE(os::SmiOpticalMouseSetMode(5), os::SMI_SUCCESS);
    EXPECT_EQ(os::sim::OpticalMouseMode(), 1u);

    for (int i = 0; i < 3; ++i)
        os::SystemIdleTimerReset();
    EXPECT_EQ(os::sim::IdleTimerResetCount(), 3);
}

TEST_F(ShellTest, HotKeysReachTheirWindowOnlyWhileRegistered)
{
    os::HWND other = os::CreateWindowExW(0, "ShellTarget", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(os::RegisterHotKey(main, 400, 0, 14));
    ASSERT_TRUE(os::RegisterHotKey(main, 400, 0, 14));  // again by the same window
    EXPECT_FALSE(os::RegisterHotKey(other, 401, 0, 14));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_HOTKEY_ALREADY_REGISTERED));
    EXPECT_EQ(os::sim::RegisteredHotKeys().size(), 1u);

    ASSERT_TRUE(os::sim::PressHotKey(0, 14));
    os::MSG msg;
    ASSERT_TRUE(NextMessage(os::WM_HOTKEY, &msg));
    EXPECT_EQ(msg.hwnd, main);
    EXPECT_EQ(msg.wParam, 400u);
    EXPECT_EQ(os::HIWORD(static_cast<std::uintptr_t>(msg.lParam)), 14);

    ASSERT_TRUE(os::UnregisterHotKey(main, 400));
    EXPECT_FALSE(os::UnregisterHotKey(main, 400));
    EXPECT_FALSE(os::sim::PressHotKey(0, 14));
    EXPECT_TRUE(os::RegisterHotKey(other, 401, 0, 14));
}

}  // namespace

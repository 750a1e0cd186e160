#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows/dialog.h"
#include "platform/shell/resource.h"
#include "platform/kernel/sync.h"
#include "platform/windows/window.h"
#include "res/resource_ids.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_folder.h"

namespace {

namespace res = kestrava::res;
using os::sim::DialogState;

constexpr os::UINT_PTR kTick = 1;
constexpr os::UINT kTickMs = 100;

struct Received {
    os::UINT msg = 0;
    os::WPARAM wParam = 0;
    os::LPARAM lParam = 0;
};

// What the dialog procedure and the owner window do; reset for every test.
struct Script {
    std::vector<Received> dialogMessages;
    std::function<void(os::HWND)> onInit;
    bool handlesCancelAndOk = true;
    std::function<void(os::HWND, os::UINT)> onCommand;  // other commands
    std::function<void(int)> onOwnerTick;
    int ownerTicks = 0;
    int dialogTicks = 0;
    os::HWND dialog = nullptr;
};
Script g_script;

os::INT_PTR ScriptedDialogProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    g_script.dialogMessages.push_back({msg, wParam, lParam});
    switch (msg) {
    case os::WM_INITDIALOG:
        g_script.dialog = hwnd;
        if (g_script.onInit) g_script.onInit(hwnd);
        return os::TRUE;
    case os::WM_TIMER:
        ++g_script.dialogTicks;
        return os::TRUE;
    case os::WM_COMMAND: {
        const os::UINT id = os::LOWORD(wParam);
        if ((id == os::IDOK || id == os::IDCANCEL) && g_script.handlesCancelAndOk) {
            os::EndDialog(hwnd, id);
            return os::TRUE;
        }
        if (g_script.onCommand) g_script.onCommand(hwnd, id);
        return g_script.onCommand ? os::TRUE : os::FALSE;
    }
    default:
        return os::FALSE;
    }
}

os::LRESULT OwnerProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_TIMER && wParam == kTick) {
        ++g_script.ownerTicks;
        if (g_script.onOwnerTick) g_script.onOwnerTick(g_script.ownerTicks);
        return 0;
    }
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::vector<os::UINT> Commands()
{
    std::vector<os::UINT> ids;
    for (const Received& r : g_script.dialogMessages) {
        if (r.msg == os::WM_COMMAND) ids.push_back(os::LOWORD(r.wParam));
    }
    return ids;
}

bool Got(os::UINT msg)
{
    for (const Received& r : g_script.dialogMessages) {
        if (r.msg == msg) return true;
    }
    return false;
}

class DialogTest : public testing_support::PlatformTest {
protected:
    std::unique_ptr<testing_support::ProgramFolder> programFolder;
    os::HINSTANCE english = nullptr;
    os::HWND owner = nullptr;

    void SetUp() override
    {
        PlatformTest::SetUp();
        programFolder = std::make_unique<testing_support::ProgramFolder>();  // the start forgot any earlier one
        g_script = Script{};
        os::sim::ClearDialogHistory();
        english = os::LoadLibraryW(testing_support::ProgramFolder::LibraryPath("English").c_str());
        ASSERT_NE(english, nullptr);
        os::WNDCLASSW wc;
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = "DialogOwner";
        ASSERT_NE(os::RegisterClassW(&wc), 0);
        owner = os::CreateWindowExW(0, "DialogOwner", "Ardvane", os::WS_VISIBLE, 0, 0, 800, 480, nullptr, nullptr,
                                    nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
        ASSERT_NE(os::SetTimer(owner, kTick, kTickMs, nullptr), 0u);
    }
    void TearDown() override
    {
        os::FreeLibrary(english);
        PlatformTest::TearDown();
    }
    os::INT_PTR About(os::LPARAM param = 0)
    {
        return os::DialogBoxParamW(english, res::IDD_ABOUT, owner, ScriptedDialogProc, param);
    }
};

TEST_F(DialogTest, InitDialogFillsTheTemplatesControlsAndEndDialogsValueIsReturned)
{
    std::string readBack;
    int versionId = 0;
    g_script.onInit = [&](os::HWND dlg) {
        EXPECT_TRUE(os::SetDlgItemTextW(dlg, res::IDC_ABOUT_VERSION, "Version 1.1.0"));
        EXPECT_EQ(os::GetDlgItemTextW(dlg, res::IDC_ABOUT_VERSION, &readBack, 7), 7u);
        versionId = os::GetDlgCtrlID(os::GetDlgItem(dlg, res::IDC_ABOUT_VERSION));
    };
    std::vector<DialogState> open;
    os::HWND foreground = nullptr;
    std::vector<os::HWND> controlOwners;
    g_script.onOwnerTick = [&](int) {
        open = os::sim::OpenDialogs();
        foreground = os::GetForegroundWindow();
        for (const auto& c : open.at(0).controls) controlOwners.push_back(os::GetWindow(c.hwnd, os::GW_OWNER));
        os::EndDialog(g_script.dialog, 42);
    };
    ASSERT_EQ(About(0x5EED), 42);

    ASSERT_FALSE(g_script.dialogMessages.empty());
    EXPECT_EQ(g_script.dialogMessages.front().msg, os::WM_INITDIALOG);
    EXPECT_EQ(g_script.dialogMessages.front().lParam, 0x5EED);
    EXPECT_EQ(readBack, "Version");
    EXPECT_EQ(versionId, static_cast<int>(res::IDC_ABOUT_VERSION));

    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].hwnd, g_script.dialog);
    EXPECT_EQ(foreground, g_script.dialog);
    EXPECT_EQ(open[0].owner, owner);
    EXPECT_EQ(open[0].templateId, static_cast<os::UINT>(res::IDD_ABOUT));
    EXPECT_EQ(open[0].caption, "About");
    const std::vector<std::pair<os::UINT, std::string>> expected = {{res::kNoControlId, "Ardvane"},
                                                                    {res::IDC_ABOUT_VERSION, "Version 1.1.0"},
                                                                    {res::kNoControlId, "In-car event data recorder"},
                                                                    {res::IDC_HELP_BUTTON, "Help"}};
    ASSERT_EQ(open[0].controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(open[0].controls[i].id, expected[i].first) << i;
        EXPECT_EQ(open[0].controls[i].text, expected[i].second) << i;
        EXPECT_EQ(controlOwners[i], g_script.dialog) << i;
    }
    EXPECT_EQ(open[0].controls[3].kind, os::ControlKind::Button);

    EXPECT_TRUE(Got(os::WM_DESTROY));
    EXPECT_FALSE(os::IsWindow(g_script.dialog));
    EXPECT_FALSE(os::IsWindow(open[0].controls[1].hwnd));
    EXPECT_TRUE(os::sim::OpenDialogs().empty());
    EXPECT_EQ(os::GetForegroundWindow(), owner);
    const auto history = os::sim::DialogHistory();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].result, 42);
    EXPECT_EQ(history[0].dialog.templateId, static_cast<os::UINT>(res::IDD_ABOUT));
    EXPECT_EQ(history[0].dialog.controls[1].text, "Version 1.1.0");
}

TEST_F(DialogTest, TheThreadsOtherWindowsKeepTheirTimersWhileTheDialogIsUp)
{
    g_script.onInit = [](os::HWND dlg) { os::SetTimer(dlg, 7, 250, nullptr); };
    g_script.onOwnerTick = [](int tick) {
        if (tick == 10) os::EndDialog(g_script.dialog, 3);
    };
    const os::DWORD start = os::GetTickCount();
    EXPECT_EQ(About(), 3);
    EXPECT_EQ(g_script.ownerTicks, 10);
    EXPECT_EQ(g_script.dialogTicks, 4);  // at 250, 500, 750 and 1000 ms, before the owner's tenth tick
    EXPECT_EQ(os::GetTickCount() - start, 1000u);
}

TEST_F(DialogTest, EndedDuringInitDialogItNeverShowsNorTakesTheForeground)
{
    g_script.onInit = [](os::HWND dlg) { os::EndDialog(dlg, 9); };
    EXPECT_EQ(About(), 9);
    EXPECT_EQ(g_script.ownerTicks, 0);
    EXPECT_FALSE(Got(os::WM_ACTIVATE));
    EXPECT_TRUE(Got(os::WM_DESTROY));
    EXPECT_EQ(os::GetForegroundWindow(), owner);
}

TEST_F(DialogTest, AQuitEndsTheDialogAndStaysQueuedForTheOuterLoop)
{
    g_script.onOwnerTick = [](int) { os::PostQuitMessage(4); };
    EXPECT_EQ(About(), -1);
    EXPECT_TRUE(Got(os::WM_DESTROY));
    os::MSG msg;
    ASSERT_TRUE(os::PeekMessageW(&msg, nullptr, os::WM_QUIT, os::WM_QUIT, os::PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
    ASSERT_EQ(os::sim::DialogHistory().size(), 1u);
    EXPECT_EQ(os::sim::DialogHistory()[0].result, -1);
}

TEST_F(DialogTest, CloseBecomesCancelAndLeavesADialogThatIgnoresCancelOpen)
{
    g_script.onOwnerTick = [](int tick) {
        if (tick == 1) os::PostMessageW(g_script.dialog, os::WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(About(), os::IDCANCEL);
    EXPECT_EQ(Commands(), std::vector<os::UINT>{static_cast<os::UINT>(os::IDCANCEL)});

    g_script = Script{};
    g_script.handlesCancelAndOk = false;
    bool openAfterClose = false;
    g_script.onOwnerTick = [&](int tick) {
        if (tick == 1) os::PostMessageW(g_script.dialog, os::WM_CLOSE, 0, 0);
        if (tick == 2) {
            openAfterClose = os::IsWindow(g_script.dialog) != os::FALSE;
            os::EndDialog(g_script.dialog, 5);
        }
    };
    EXPECT_EQ(About(), 5);
    EXPECT_TRUE(openAfterClose);
    EXPECT_EQ(Commands(), std::vector<os::UINT>{static_cast<os::UINT>(os::IDCANCEL)});
}

TEST_F(DialogTest, WhatCannotBeMadeReturnsMinusOneWithoutAWindow)
{
    struct Case {
        os::HINSTANCE library;
        os::UINT templateId;
        os::HWND owner;
        os::DLGPROC proc;
        os::DWORD error;
    };
    const Case cases[] = {
        {english, 999, owner, ScriptedDialogProc, os::ERROR_RESOURCE_NAME_NOT_FOUND},
        {nullptr, res::IDD_ABOUT, owner, ScriptedDialogProc, os::ERROR_INVALID_HANDLE},
        {english, res::IDD_ABOUT, owner, nullptr, os::ERROR_INVALID_PARAMETER},
        {english, res::IDD_ABOUT, reinterpret_cast<os::HWND>(0x7777), ScriptedDialogProc,
         os::ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        os::SetLastError(0);
        EXPECT_EQ(os::DialogBoxParamW(c.library, c.templateId, c.owner, c.proc, 0), -1);
        EXPECT_EQ(os::GetLastError(), c.error);
        EXPECT_EQ(os::FindWindowW("Dialog", nullptr), nullptr);
    }
    EXPECT_TRUE(g_script.dialogMessages.empty());
    EXPECT_TRUE(os::sim::DialogHistory().empty());

    std::string text = "left over";
    EXPECT_EQ(os::GetDlgItem(owner, res::IDC_ABOUT_VERSION), nullptr);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_CONTROL_ID_NOT_FOUND));
    EXPECT_EQ(os::GetDlgItemTextW(owner, res::IDC_ABOUT_VERSION, &text, 10), 0u);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(os::EndDialog(owner, 1));
    EXPECT_FALSE(os::sim::DialogCommand(os::IDOK));
}

os::DWORD EndFromAnotherThread(void* error)
{
    os::EndDialog(g_script.dialog, 1);
    *static_cast<os::DWORD*>(error) = os::GetLastError();
    return 0;
}

TEST_F(DialogTest, CommandsAndTapsReachTheTopmostDialog)
{
    std::vector<os::HWND> helpSenders;
    os::INT_PTR nested = 0;
    os::HWND outer = nullptr;
    g_script.onCommand = [&](os::HWND dlg, os::UINT id) {
        if (id != res::IDC_HELP_BUTTON) return;
        helpSenders.push_back(dlg);
        if (helpSenders.size() == 2) nested = About();  // the second press opens another dialog on top
    };
    os::DWORD otherThreadError = 0;
    g_script.onOwnerTick = [&](int tick) {
        if (tick == 1) {
            outer = g_script.dialog;
            EXPECT_TRUE(os::sim::DialogCommand(res::IDC_HELP_BUTTON));
        }
        if (tick == 2) os::PostMessageW(os::GetDlgItem(outer, res::IDC_HELP_BUTTON), os::WM_LBUTTONUP, 0, 0);
        if (tick == 3) {
            const auto open = os::sim::OpenDialogs();
            EXPECT_EQ(open.size(), 2u);
            EXPECT_NE(open[0].hwnd, outer);
            os::HANDLE thread = os::CreateThread(nullptr, 0, EndFromAnotherThread, &otherThreadError, 0, nullptr);
            os::WaitForSingleObject(thread, os::INFINITE);
            os::CloseHandle(thread);
            EXPECT_TRUE(os::sim::DialogCommand(os::IDOK));  // the nested one ends
        }
        if (tick == 4) {
            EXPECT_TRUE(os::sim::DialogCommand(os::IDCANCEL));
        }
    };
    EXPECT_EQ(About(), os::IDCANCEL);
    EXPECT_EQ(nested, os::IDOK);
    EXPECT_EQ(helpSenders, (std::vector<os::HWND>{outer, outer}));
    EXPECT_EQ(otherThreadError, static_cast<os::DWORD>(os::ERROR_ACCESS_DENIED));
    // A press names its control; a command without a control carries none.
    for (const Received& r : g_script.dialogMessages) {
        if (r.msg != os::WM_COMMAND) continue;
        const bool hasControl = os::LOWORD(r.wParam) == res::IDC_HELP_BUTTON;
        EXPECT_EQ(r.lParam != 0, hasControl) << os::LOWORD(r.wParam);
    }
    const auto history = os::sim::DialogHistory();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].result, os::IDOK);
    EXPECT_EQ(history[1].dialog.hwnd, outer);
}

}  // namespace

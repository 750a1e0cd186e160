// The main window's messages from the system, the shell and other processes,
// and the back key.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <tuple>
#include <vector>

#include "app/accident_alert.h"
#include "app/cmd_run.h"
#include "app/workers.h"
#include "photo/photo_state.h"
#include "platform/windows/dialog.h"
#include "platform/devices/power.h"
#include "platform/graphics/graphics_sim.h"
#include "recorder/mov.h"
#include "tests/app/main_window_fixture.h"

namespace {

using testing_support::MainWindowTest;

class WindowMessagesTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Start();
    }

    void SetCallStart(bool onCall)
    {
        std::vector<os::BYTE> data(8, onCall ? 1 : 0);
        os::HKEY key = nullptr;
        ASSERT_EQ(os::RegCreateKeyExW(os::HKEY_LOCAL_MACHINE, "System\\State\\Phone", 0, nullptr, 0, 0, nullptr, &key,
                                      nullptr),
                  os::ERROR_SUCCESS);
        os::RegSetBinary(key, "Call Start Time", data);
        os::RegCloseKey(key);
    }
};

TEST_F(WindowMessagesTest, OnlyThePhoneStateNotificationOfTheCallReadsTheCallState)
{
    SetCallStart(true);
    os::MSG msg;
    while (os::PeekMessageW(&msg, hwnd, WM_RECORDER_PHONE_STATE, WM_RECORDER_PHONE_STATE, os::PM_REMOVE)) {
    }
    os::SendMessageW(hwnd, WM_RECORDER_PHONE_STATE, 0, 2068);
    os::SendMessageW(hwnd, WM_RECORDER_PHONE_STATE, 0, 0);
    EXPECT_EQ(App()->onCall, 0);
    EXPECT_FALSE(Has("On Call"));
    os::SendMessageW(hwnd, WM_RECORDER_PHONE_STATE, 0, 2069);
    EXPECT_EQ(App()->onCall, 1);
    EXPECT_TRUE(Has("On Call"));
    SetCallStart(false);
    os::SendMessageW(hwnd, WM_RECORDER_PHONE_STATE, 0, 2069);
    EXPECT_EQ(App()->onCall, 0);
    EXPECT_TRUE(Has("Off Call"));
}

TEST_F(WindowMessagesTest, BackOnTheRecordingScreenEndsTheRunUnlessAnEventClipIsBeingWritten)
{
    App()->recorder.EventCaptureState.store(kEventCaptureCapturing);
    Command(IDOK);
    EXPECT_EQ(ClosePosted(), -1);
    App()->recorder.EventCaptureState.store(kEventCaptureArmed);
    Command(IDOK);
    EXPECT_EQ(ClosePosted(), kCloseOrderly);
    EXPECT_TRUE(Has("WM_CLOSE Msg Send by Kestrava 8"));
}

TEST_F(WindowMessagesTest, TheRecordingScreenButtonSwitchesThePreviewAndBackBringsItBack)
{
    App()->captureRunning = 1;
    Command(IDM_BUTTON, 0);
    EXPECT_EQ(App()->previewOff, 1);
    EXPECT_EQ(App()->captureRunning, 0);
    EXPECT_EQ(App()->recorder.graphRunning, 1) << "only the preview's drawing stops while a recording runs";
    EXPECT_EQ(App()->recorder.status.recording, 1);

    Command(IDOK);
    EXPECT_EQ(App()->previewOff, 0);
    EXPECT_EQ(App()->captureRunning, 1);
    EXPECT_EQ(App()->recorder.graphRunning, 1);
    EXPECT_EQ(ClosePosted(), -1) << "back only brought the preview back";

    App()->recorder.EventCaptureState.store(kEventCaptureCapturing);
    Command(IDM_BUTTON, 0);
    EXPECT_EQ(App()->previewOff, 0) << "not while an event clip is being written";
}

TEST_F(WindowMessagesTest, PauseActsOnlyOnARunningRecording)
{
    App()->screens[4].active = 0;
    Command(IDM_REC_PAUSE);
    EXPECT_EQ(App()->recorder.status.paused, 0);
    App()->screens[4].active = 1;
    Command(IDM_REC_PAUSE);
    EXPECT_EQ(App()->screens[4].paused, 1);
    EXPECT_EQ(App()->recorder.status.paused, 1);
    Command(IDM_REC_PAUSE);
    EXPECT_EQ(App()->screens[4].paused, 0);
    EXPECT_EQ(App()->recorder.status.paused, 0);
}

TEST_F(WindowMessagesTest, HelpOpensTheHelpPageWithTheShell)
{
    os::SendMessageW(hwnd, os::WM_HELP, 0, 0);
    const auto opened = os::sim::ShellExecuteHistory();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].verb, "Open");
    EXPECT_EQ(opened[0].file, "\\windows\\KestravaHelp.htm");
}

TEST_F(WindowMessagesTest, ActivationGoesThroughTheShellAndHidesTheInputPanelButton)
{
    const int before = os::sim::ShellStateOf(hwnd).activateCalls;
    os::SendMessageW(hwnd, os::WM_ACTIVATE, 1, 0);
    os::SendMessageW(hwnd, os::WM_SETTINGCHANGE, 0, 0);
    const auto state = os::sim::ShellStateOf(hwnd);
    EXPECT_EQ(state.activateCalls, before + 1);
    EXPECT_EQ(state.settingChangeCalls, 1);
    EXPECT_EQ(state.lastFullScreen, os::SHFS_HIDESIPBUTTON);
}

TEST_F(WindowMessagesTest, TheSmsPopupIsShownAndHiddenAsAskedAndTheAlertStaysOnTop)
{
    os::SendMessageW(hwnd, WM_RECORDER_SMS_POPUP, 1, 0);
    EXPECT_TRUE(os::IsWindowVisible(g_hAccSmsCancelWindow));
    EXPECT_EQ(os::GetForegroundWindow(), g_hAccSmsCancelWindow);
    os::SendMessageW(hwnd, WM_RECORDER_SMS_POPUP, 0, 0);
    EXPECT_FALSE(os::IsWindowVisible(g_hAccSmsCancelWindow));

    os::ShowWindow(g_hAlertWindow, os::SW_SHOW);
    os::SendMessageW(hwnd, WM_RECORDER_SMS_POPUP, 1, 0);
    EXPECT_EQ(os::GetForegroundWindow(), g_hAlertWindow);
}

TEST_F(WindowMessagesTest, HotKeyOnlyTraces)
{
    EXPECT_EQ(os::SendMessageW(hwnd, os::WM_HOTKEY, 400, 0), 0);
    EXPECT_TRUE(Has("OnHotKeyProc : id=0x190"));
}

// The accident alert's countdown: alerts during it join it, expiry sends
// once, and a cancel on the pop-up's button sends nothing.
TEST_F(WindowMessagesTest, AnAccidentAlertSendsOnceAfterItsCountdownUnlessCancelledOrClosed)
{
    const std::string outbox = folder / "sms_outbox.jsonl";
    auto sent = [&] {
        std::ifstream in(outbox);
        return static_cast<int>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
    };
    RecorderSettings& settings = App()->settings;
    settings.EvtTagSMSSend = 1;
    settings.EvtTagSMSRecvNum.Assign("12a4");
    os::SendMessageW(hwnd, WM_RECORDER_ACCIDENT_ALERT, 0, 0);
    EXPECT_FALSE(os::IsWindowVisible(g_hAccSmsCancelWindow)) << "no alert for a recipient that is not a number";

    settings.EvtTagSMSRecvNum.Assign("01099998888");
    os::SendMessageW(hwnd, WM_RECORDER_ACCIDENT_ALERT, 0, 0);
    EXPECT_TRUE(os::IsWindowVisible(g_hAccSmsCancelWindow));
    RunFor(4000);
    os::SendMessageW(hwnd, WM_RECORDER_ACCIDENT_ALERT, 0, 0);
    RunFor((kAccidentSmsCountdownSec - 4) * 1000 - 500);
    EXPECT_EQ(sent(), 0) << "the countdown is not restarted, nor over yet";
    RunFor(1000);
    EXPECT_EQ(sent(), 1);
    EXPECT_FALSE(os::IsWindowVisible(g_hAccSmsCancelWindow));
    RunFor(kAccidentSmsCountdownSec * 1000);
    EXPECT_EQ(sent(), 1) << "the joined alert sends nothing more";

    os::SendMessageW(hwnd, WM_RECORDER_ACCIDENT_ALERT, 0, 0);
    // The pop-up as the driver sees it: the seconds left in large amber
    // figures, redrawn each second, and the cancel button where it takes
    // the touch; its paints leave no drawing object behind.
    RunFor(1100);
    const auto look = [] {
        const os::sim::ScreenImage screen = os::sim::CaptureScreen();
        std::vector<std::uint8_t> figures;
        int amber = 0;
        int light = 0;
        for (int y = 0; y < screen.height; ++y)
            for (int x = 0; x < screen.width; ++x) {
                const std::uint8_t* c = &screen.rgb[(static_cast<std::size_t>(y) * screen.width + x) * 3];
                const bool inFigures = x >= 86 + 220 && x < 86 + 600 && y >= 82 + 100 && y < 82 + 180;
                const os::POINT inPopup{x - 86, y - 82};
                if (inFigures) figures.insert(figures.end(), c, c + 3);
                if (inFigures && c[0] > 200 && c[1] > 130 && c[1] < 220 && c[2] < 80) ++amber;
                if (os::PtInRect(&kSmsCancelButton, inPopup) && c[0] > 200 && c[1] > 200 && c[2] > 200) ++light;
            }
        return std::tuple{figures, amber, light};
    };
    const auto [figures6, amber6, cancelText] = look();
    const int objects = os::sim::GdiObjectCount();
    RunFor(1000);
    const auto [figures5, amber5, cancelText5] = look();
    EXPECT_GT(amber6, 150);
    EXPECT_GT(amber5, 150);
    EXPECT_NE(figures6, figures5) << "the figures count down";
    EXPECT_GT(cancelText, 40) << "the cancel button's label";
    EXPECT_EQ(os::sim::GdiObjectCount(), objects);
    const os::LPARAM outside = os::MAKELPARAM(kSmsCancelButton.left - 5, kSmsCancelButton.top + 5);
    os::SendMessageW(g_hAccSmsCancelWindow, os::WM_LBUTTONUP, 0, outside);
    EXPECT_TRUE(App()->accidentAlert.pending);
    const os::LPARAM onButton = os::MAKELPARAM(kSmsCancelButton.left + 5, kSmsCancelButton.top + 5);
    os::SendMessageW(g_hAccSmsCancelWindow, os::WM_LBUTTONUP, 0, onButton);
    EXPECT_FALSE(os::IsWindowVisible(g_hAccSmsCancelWindow));
    RunFor(kAccidentSmsCountdownSec * 1000 + 1000);
    EXPECT_EQ(sent(), 1);
}

}  // namespace

namespace {

TEST_F(WindowMessagesTest, AWorkerLeftRunningByTheDestroyStillHasTheLocksItMayTake)
{
    EventRecorderApp* app = App();
    ASSERT_NE(app->resolutionClass, 0);
    StartRotationWatchThread();
    // Suspended twice, the watch cannot see its stop flag when the destroy
    // sequence resumes it once: it outlives the destroy.
    os::SuspendThread(g_rotationWatch.thread);
    os::SuspendThread(g_rotationWatch.thread);
    os::SendMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
    ASSERT_EQ(App(), nullptr);
    for (os::CRITICAL_SECTION* lock : {&app->screenLock, &app->storageLock, &app->space.moveLock}) {
        EXPECT_TRUE(os::TryEnterCriticalSection(lock));
        os::LeaveCriticalSection(lock);
    }
    // The watch never reaches the state: the test frees what the destroy kept.
    for (os::CRITICAL_SECTION* lock : {&app->screenLock, &app->storageLock, &app->space.moveLock}) {
        os::DeleteCriticalSection(lock);
    }
    PhotoDeinit(&app->photo);
    delete app;
}

TEST_F(WindowMessagesTest, TheBacklightTimerPutsTheSystemIntoItsIdleStateOnce)
{
    os::SetTimer(hwnd, 7, 1000, nullptr);
    RunFor(3500);
    const auto requests = os::sim::PowerStateRequests();
    ASSERT_EQ(requests.size(), 1u) << "the timer killed itself";
    EXPECT_EQ(requests[0].state, os::POWER_STATE_IDLE);
    EXPECT_TRUE(requests[0].name.empty());
}

}  // namespace

namespace {

// While the About dialog is up, a timer of another window looks at it and
// presses the commands queued here.
std::vector<os::UINT> g_aboutCommands;
std::vector<os::sim::DialogState> g_aboutSeen;
os::sim::ShellWindowState g_aboutShell;

os::LRESULT AboutDriverProc(os::HWND w, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg != os::WM_TIMER) return os::DefWindowProcW(w, msg, wParam, lParam);
    const auto open = os::sim::OpenDialogs();
    if (open.empty()) return 0;
    g_aboutSeen.push_back(open.front());
    g_aboutShell = os::sim::ShellStateOf(open.front().hwnd);
    for (os::UINT id : g_aboutCommands) os::sim::DialogCommand(id);
    os::KillTimer(w, 1);
    return 0;
}

class AboutDialogTest : public WindowMessagesTest {
protected:
    void OpenAbout(std::vector<os::UINT> commands)
    {
        g_aboutCommands = std::move(commands);
        g_aboutSeen.clear();
        os::WNDCLASSW wc;
        wc.lpfnWndProc = AboutDriverProc;
        wc.lpszClassName = "AboutDriver";
        os::RegisterClassW(&wc);
        os::HWND driver = os::CreateWindowExW(0, "AboutDriver", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        os::SetTimer(driver, 1, 100, nullptr);
        Command(IDM_ABOUT);
        os::DestroyWindow(driver);
    }
};

TEST_F(AboutDialogTest, ShowsTheVersionWithItsMenuBarAndLeadsToHelp)
{
    OpenAbout({9, IDOK});
    ASSERT_EQ(g_aboutSeen.size(), 1u);
    EXPECT_EQ(g_aboutSeen[0].templateId, 112u);
    bool versionShown = false;
    for (const auto& control : g_aboutSeen[0].controls) {
        if (control.id == 202) versionShown = control.text == "Ardvane v1.1.0";
    }
    EXPECT_TRUE(versionShown);
    EXPECT_EQ(g_aboutShell.menuBarResource, 110u);
    EXPECT_TRUE(g_aboutShell.dialogInitialised);
    EXPECT_FALSE(os::sim::InputPanelUp());
    EXPECT_TRUE(os::sim::OpenDialogs().empty()) << "OK ended it";
    Drain();
    const auto opened = os::sim::ShellExecuteHistory();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].file, "\\windows\\KestravaHelp.htm");
}

TEST_F(AboutDialogTest, ItsButtonCommandIsTheBackKeyOfTheMainWindow)
{
    OpenAbout({IDM_BUTTON, IDOK});
    Drain();
    EXPECT_TRUE(Has("WM_CLOSE Msg Send by Kestrava 8"));
}

}  // namespace

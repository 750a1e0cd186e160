#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/base/platform.h"
#include "platform/kernel/sync.h"
#include "platform/windows/window.h"
#include "tests/support/platform_fixture.h"

namespace {

using testing_support::PlatformTest;

struct Seen {
    os::HWND hwnd;
    os::UINT msg;
    os::WPARAM wParam;
    os::DWORD tick;
    os::DWORD thread;
};

std::vector<Seen>* g_seen = nullptr;
os::HWND g_peer = nullptr;  // the other thread's window, for nested sends

os::LRESULT RecordingProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_CREATE || msg == os::WM_ACTIVATE) return 0;
    if (g_seen) g_seen->push_back(Seen{hwnd, msg, wParam, os::GetTickCount(), os::GetCurrentThreadId()});
    if (msg == os::WM_USER + 10 && g_peer) {
        // A send back to the sender's thread while it waits for us.
        return os::SendMessageW(g_peer, os::WM_USER + 11, wParam + 1, 0) + 100;
    }
    if (msg == os::WM_USER + 11) return static_cast<os::LRESULT>(wParam) * 10;
    if (msg == os::WM_PAINT) {
        os::PAINTSTRUCT ps;
        os::BeginPaint(hwnd, &ps);
        os::EndPaint(hwnd, &ps);
        return 0;
    }
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class MessageTest : public PlatformTest {
protected:
    std::vector<Seen> seen;
    void SetUp() override
    {
        PlatformTest::SetUp();
        g_seen = &seen;
        os::WNDCLASSW wc;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "Recording";
        ASSERT_NE(os::RegisterClassW(&wc), 0);
    }
    void TearDown() override
    {
        g_seen = nullptr;
        g_peer = nullptr;
        PlatformTest::TearDown();
    }
    static os::HWND Make(const char* title, os::DWORD style = 0, os::HWND owner = nullptr)
    {
        return os::CreateWindowExW(0, "Recording", title, style, 0, 0, 100, 100, owner, nullptr, nullptr, nullptr);
    }
    // Pumps until the queue is empty or `ms` of device time passed.
    void Pump(os::DWORD ms)
    {
        const os::DWORD end = os::GetTickCount() + ms;
        os::SetTimer(Make("pump-stop"), 999, ms, nullptr);
        os::MSG msg;
        while (os::GetTickCount() < end && os::GetMessageW(&msg, nullptr, 0, 0)) {
            if (msg.message == os::WM_TIMER && msg.wParam == 999) break;
            os::DispatchMessageW(&msg);
        }
    }
};

TEST_F(MessageTest, PostedMessagesArriveInOrderBeforeWmQuit)
{
    os::HWND w = Make("w");
    for (os::WPARAM i = 0; i < 5; ++i) os::PostMessageW(w, os::WM_USER, i, 0);
    os::PostQuitMessage(3);
    os::PostMessageW(w, os::WM_USER, 5, 0);
    os::MSG msg;
    std::vector<os::WPARAM> order;
    while (os::GetMessageW(&msg, nullptr, 0, 0)) order.push_back(msg.wParam);
    EXPECT_EQ(order, (std::vector<os::WPARAM>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(msg.message, os::WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(os::PostMessageW(reinterpret_cast<os::HWND>(0x7777), os::WM_USER, 0, 0));
}

struct ThreadWindow {
    os::HWND hwnd = nullptr;
    os::HANDLE ready = nullptr;
    os::HWND target = nullptr;  // where to send from the thread
    os::LRESULT result = 0;
};

os::DWORD WindowThread(void* p)
{
    auto* tw = static_cast<ThreadWindow*>(p);
    tw->hwnd = os::CreateWindowExW(0, "Recording", "thread", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    os::SetEvent(tw->ready);
    os::MSG msg;
    while (os::GetMessageW(&msg, nullptr, 0, 0)) os::DispatchMessageW(&msg);
    os::DestroyWindow(tw->hwnd);
    return 0;
}

TEST_F(MessageTest, SendToAnotherThreadRunsThereAndNestedSendsDoNotDeadlock)
{
    os::HWND mine = Make("main");
    ThreadWindow tw;
    tw.ready = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    os::DWORD threadId = 0;
    os::HANDLE thread = os::CreateThread(nullptr, 0, WindowThread, &tw, 0, &threadId);
    ASSERT_EQ(os::WaitForSingleObject(tw.ready, 1000), os::WAIT_OBJECT_0);

    g_peer = mine;
    // The thread's procedure sends WM_USER+11 back to our window while we
    // wait in SendMessageW; we handle it, and its answer comes back.
    EXPECT_EQ(os::SendMessageW(tw.hwnd, os::WM_USER + 10, 4, 0), 5 * 10 + 100);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].msg, os::WM_USER + 10u);
    EXPECT_EQ(seen[0].thread, threadId);
    EXPECT_EQ(seen[1].msg, os::WM_USER + 11u);
    EXPECT_EQ(seen[1].thread, os::GetCurrentThreadId());

    os::PostThreadMessageW(threadId, os::WM_QUIT, 0, 0);
    os::PostMessageW(tw.hwnd, os::WM_CLOSE, 0, 0);
    EXPECT_EQ(os::WaitForSingleObject(thread, 1000), os::WAIT_OBJECT_0);
    // Its window went with it: a send now fails instead of waiting forever.
    EXPECT_EQ(os::SendMessageW(tw.hwnd, os::WM_USER + 11, 1, 0), 0);
    os::CloseHandle(thread);
    os::CloseHandle(tw.ready);
}

TEST_F(MessageTest, TimersKeepTheirCadenceAndStopWhenKilled)
{
    os::HWND w = Make("timers");
    os::SetTimer(w, 2, 300, nullptr);
    os::SetTimer(w, 7, 1000, nullptr);
    Pump(2150);
    std::vector<std::pair<os::WPARAM, os::DWORD>> ticks;
    for (const Seen& s : seen) {
        if (s.msg == os::WM_TIMER && s.hwnd == w) ticks.emplace_back(s.wParam, s.tick);
    }
    const std::vector<std::pair<os::WPARAM, os::DWORD>> expected{{2, 300},  {2, 600},  {2, 900},  {7, 1000},
                                                                 {2, 1200}, {2, 1500}, {2, 1800}, {7, 2000}, {2, 2100}};
    EXPECT_EQ(ticks, expected);

    seen.clear();
    EXPECT_TRUE(os::KillTimer(w, 2));
    EXPECT_FALSE(os::KillTimer(w, 2));
    os::SetTimer(w, 7, 500, nullptr);  // setting it again restarts it with the new period
    Pump(1200);
    ticks.clear();
    for (const Seen& s : seen) {
        if (s.msg == os::WM_TIMER && s.hwnd == w) ticks.emplace_back(s.wParam, s.tick);
    }
    EXPECT_EQ(ticks, (std::vector<std::pair<os::WPARAM, os::DWORD>>{{7, 2650}, {7, 3150}}));
}

TEST_F(MessageTest, PaintComesAfterPostedMessagesAndOnlyWhenInvalid)
{
    os::HWND w = Make("paint", os::WS_VISIBLE);
    os::MSG msg;
    while (os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE)) os::DispatchMessageW(&msg);
    seen.clear();
    os::InvalidateRect(w, nullptr, os::FALSE);
    os::PostMessageW(w, os::WM_USER, 1, 0);
    while (os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE)) os::DispatchMessageW(&msg);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].msg, os::WM_USER);
    EXPECT_EQ(seen[1].msg, os::WM_PAINT);

    os::InvalidateRect(w, nullptr, os::FALSE);
    os::ValidateRect(w, nullptr);
    EXPECT_FALSE(os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE));
    os::ShowWindow(w, os::SW_HIDE);
    os::InvalidateRect(w, nullptr, os::FALSE);
    EXPECT_FALSE(os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE));  // hidden windows are not painted
}

TEST_F(MessageTest, WindowsAreFoundByClassAndTitleAndOwnedOnesDieFirst)
{
    os::HWND owner = Make("Ardvane", os::WS_VISIBLE);
    os::HWND popup = Make("TarvoAlert", os::WS_POPUP, owner);
    EXPECT_EQ(os::FindWindowW("recording", "Ardvane"), owner);  // class names ignore case
    EXPECT_EQ(os::FindWindowW(nullptr, "TarvoAlert"), popup);
    EXPECT_EQ(os::FindWindowW("Recording", "ardvane"), nullptr);  // titles do not
    EXPECT_EQ(os::GetWindow(popup, os::GW_OWNER), owner);
    EXPECT_EQ(os::GetForegroundWindow(), owner);

    os::SetWindowLongW(owner, os::GWL_USERDATA, 1234);
    EXPECT_EQ(os::GetWindowLongW(owner, os::GWL_USERDATA), 1234);
    seen.clear();
    EXPECT_TRUE(os::DestroyWindow(owner));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].hwnd, popup);
    EXPECT_EQ(seen[0].msg, os::WM_DESTROY);
    EXPECT_EQ(seen[1].hwnd, owner);
    EXPECT_FALSE(os::IsWindow(popup));
    EXPECT_EQ(os::GetWindowLongW(owner, os::GWL_USERDATA), 0);
    EXPECT_EQ(os::GetForegroundWindow(), nullptr);
}

TEST_F(MessageTest, PointsHitTheTopmostVisibleWindow)
{
    os::HWND main = os::CreateWindowExW(0, "Recording", "main", os::WS_VISIBLE, 0, 0, 800, 480, nullptr, nullptr,
                                        nullptr, nullptr);
    os::HWND popup = os::CreateWindowExW(0, "Recording", "popup", os::WS_POPUP, 86, 82, 628, 318, main, nullptr,
                                         nullptr, nullptr);
    EXPECT_EQ(os::WindowFromPoint(os::POINT{100, 100}), main);
    os::ShowWindow(popup, os::SW_SHOW);
    EXPECT_EQ(os::WindowFromPoint(os::POINT{100, 100}), popup);
    EXPECT_EQ(os::WindowFromPoint(os::POINT{50, 50}), main);
    os::SetForegroundWindow(main);  // the owned pop-up stays above its owner
    EXPECT_EQ(os::WindowFromPoint(os::POINT{100, 100}), popup);
    EXPECT_EQ(os::WindowFromPoint(os::POINT{900, 100}), nullptr);
}

TEST_F(MessageTest, ModalLoopRunsUntilEndedAndBroadcastReachesTopLevelWindows)
{
    os::HWND a = Make("a");
    os::HWND b = Make("b", os::WS_POPUP, a);
    os::BroadcastMessage(os::WM_DEVICECHANGE, os::DBT_DEVICEREMOVECOMPLETE, 0);
    struct Ender {
        os::HWND dialog;
        static os::DWORD Run(void* p)
        {
            os::Sleep(50);
            os::EndModalLoop(static_cast<Ender*>(p)->dialog, 42);
            return 0;
        }
    } ender{b};
    os::HANDLE thread = os::CreateThread(nullptr, 0, Ender::Run, &ender, 0, nullptr);
    EXPECT_EQ(os::RunModalLoop(b), 42);
    EXPECT_EQ(os::GetTickCount(), 50u);
    int deviceChanges = 0;
    for (const Seen& s : seen) deviceChanges += s.msg == os::WM_DEVICECHANGE ? 1 : 0;
    EXPECT_EQ(deviceChanges, 2);
    os::WaitForSingleObject(thread, os::INFINITE);
    os::CloseHandle(thread);
}

struct PostLater {
    os::HWND hwnd;
    os::UINT msg;
    os::DWORD afterMs;
    static os::DWORD Run(void* p)
    {
        auto* later = static_cast<PostLater*>(p);
        os::Sleep(later->afterMs);
        os::PostMessageW(later->hwnd, later->msg, 0, 0);
        return 0;
    }
};

TEST_F(MessageTest, FilteredWaitsWakeOnlyForWhatTheFilterLetsThrough)
{
    os::HWND busy = Make("busy");  // its timer is due long before anything else arrives
    os::HWND quiet = Make("quiet");
    os::SetTimer(busy, 1, 10, nullptr);
    os::MSG msg;

    PostLater toQuiet{quiet, os::WM_USER + 5, 500};
    os::HANDLE poster = os::CreateThread(nullptr, 0, PostLater::Run, &toQuiet, 0, nullptr);
    ASSERT_TRUE(os::GetMessageW(&msg, quiet, 0, 0));
    EXPECT_EQ(msg.hwnd, quiet);
    EXPECT_EQ(msg.message, os::WM_USER + 5);
    EXPECT_EQ(os::GetTickCount(), 500u);
    os::WaitForSingleObject(poster, os::INFINITE);
    os::CloseHandle(poster);

    PostLater inRange{busy, os::WM_USER + 6, 300};
    poster = os::CreateThread(nullptr, 0, PostLater::Run, &inRange, 0, nullptr);
    ASSERT_TRUE(os::GetMessageW(&msg, nullptr, os::WM_USER + 6, os::WM_USER + 6));
    EXPECT_EQ(msg.message, os::WM_USER + 6);
    EXPECT_EQ(os::GetTickCount(), 800u);
    os::WaitForSingleObject(poster, os::INFINITE);
    os::CloseHandle(poster);

    // A timer the filter lets through still ends the wait when it is due.
    os::SetTimer(quiet, 2, 1000, nullptr);
    ASSERT_TRUE(os::GetMessageW(&msg, quiet, os::WM_TIMER, os::WM_TIMER));
    EXPECT_EQ(msg.hwnd, quiet);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(os::GetTickCount(), 1800u);

    // The excluded timer waited its turn all along.
    ASSERT_TRUE(os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE));
    EXPECT_EQ(msg.hwnd, busy);
    EXPECT_EQ(msg.message, os::WM_TIMER);
    EXPECT_EQ(msg.wParam, 1u);
}

void WaitForAWindowNothingWillReach()
{
    os::ClockConfig config;
    config.mode = os::ClockMode::Virtual;
    os::sim::StartPlatform(config);
    os::WNDCLASSW wc;
    wc.lpfnWndProc = os::DefWindowProcW;
    wc.lpszClassName = "Plain";
    os::RegisterClassW(&wc);
    os::HWND busy = os::CreateWindowExW(0, "Plain", "busy", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    os::HWND quiet = os::CreateWindowExW(0, "Plain", "quiet", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    os::SetTimer(busy, 1, 10, nullptr);
    os::MSG msg;
    os::GetMessageW(&msg, quiet, 0, 0);
}

TEST(FilteredMessageWait, ThatNothingCanEndStallsTheVirtualClockAtOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(WaitForAWindowNothingWillReach(), ::testing::ExitedWithCode(3),
                "stalled at 00:00:00.000.*\n.*main.*GetMessage");
}

}  // namespace

// The virtual clock is the guard of every scenario test: these cases check
// that time jumps only when nobody can run, in deadline order, and that a run
// repeats itself exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/kernel/clock.h"
#include "platform/kernel/internal/host_wait.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "tests/support/platform_fixture.h"

namespace {

using testing_support::PlatformTest;

struct Log {
    os::CRITICAL_SECTION cs;
    std::vector<std::string> lines;
    Log() { os::InitializeCriticalSection(&cs); }
    ~Log() { os::DeleteCriticalSection(&cs); }
    void Add(const std::string& line)
    {
        os::EnterCriticalSection(&cs);
        lines.push_back(line + "@" + std::to_string(os::GetTickCount()));
        os::LeaveCriticalSection(&cs);
    }
};

struct Sleeper {
    Log* log;
    const char* name;
    os::DWORD ms;
};

os::DWORD SleepThenLog(void* p)
{
    auto* s = static_cast<Sleeper*>(p);
    os::Sleep(s->ms);
    s->log->Add(s->name);
    return 0;
}

void JoinAll(const std::vector<os::HANDLE>& threads)
{
    for (os::HANDLE h : threads) {
        ASSERT_EQ(os::WaitForSingleObject(h, os::INFINITE), os::WAIT_OBJECT_0);
        os::CloseHandle(h);
    }
}

class VirtualClockTest : public PlatformTest {};

TEST_F(VirtualClockTest, DeadlinesFireInOrderAtTheirOwnTimes)
{
    Log log;
    Sleeper a{&log, "a", 300}, b{&log, "b", 100}, c{&log, "c", 200};
    std::vector<os::HANDLE> threads;
    for (Sleeper* s : {&a, &b, &c}) threads.push_back(os::CreateThread(nullptr, 0, SleepThenLog, s, 0, nullptr));
    JoinAll(threads);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"b@100", "c@200", "a@300"}));
    EXPECT_EQ(os::GetTickCount(), 300u);
}

struct Busy {
    os::DWORD tickAfterWork = 0xFFFFFFFF;
    int yields = 0;
    std::vector<os::DWORD> ticksWhileYielding;
};

os::DWORD WorkWithoutWaiting(void* p)
{
    auto* busy = static_cast<Busy*>(p);
    // Real work of the host, with no platform call: the main thread's 1 ms
    // deadline must not fire meanwhile.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
    volatile unsigned spin = 0;
    while (std::chrono::steady_clock::now() < until) spin = spin + 1;
    busy->tickAfterWork = os::GetTickCount();
    for (int i = 0; i < 200; ++i) {
        os::Sleep(0);
        busy->ticksWhileYielding.push_back(os::GetTickCount());
    }
    return 0;
}

TEST_F(VirtualClockTest, TimeStandsStillWhileAnyThreadCanRun)
{
    Busy busy;
    os::HANDLE worker = os::CreateThread(nullptr, 0, WorkWithoutWaiting, &busy, 0, nullptr);
    os::Sleep(1);
    // The worker ran all its work and yields at device time 0, before main woke.
    EXPECT_EQ(busy.tickAfterWork, 0u);
    EXPECT_EQ(busy.ticksWhileYielding, std::vector<os::DWORD>(200, 0u));
    EXPECT_EQ(os::GetTickCount(), 1u);
    JoinAll({worker});
}

std::vector<std::string> RunEqualDeadlines()
{
    Log log;
    const char* names[] = {"w1", "w2", "w3", "w4", "w5"};
    std::vector<Sleeper> sleepers;
    for (const char* n : names) sleepers.push_back(Sleeper{&log, n, 50});
    std::vector<os::HANDLE> threads;
    for (auto& s : sleepers) threads.push_back(os::CreateThread(nullptr, 0, SleepThenLog, &s, 0, nullptr));
    JoinAll(threads);
    return log.lines;
}

TEST_F(VirtualClockTest, EqualDeadlinesWakeInTheOrderTheyWereSet)
{
    const std::vector<std::string> expected{"w1@50", "w2@50", "w3@50", "w4@50", "w5@50"};
    EXPECT_EQ(RunEqualDeadlines(), expected);
    for (int run = 0; run < 5; ++run) {
        os::sim::StopPlatform();
        SetUp();
        EXPECT_EQ(RunEqualDeadlines(), expected) << "run " << run;
    }
}

// Ten minutes of device time on four threads: two timers, sleeps, waits with
// time-outs, posted and sent messages. Every event is traced with its tick.
struct Run {
    os::HWND hwnd = nullptr;
    os::HANDLE event = nullptr;
    std::atomic<bool> stop{false};
};

Run* g_run = nullptr;

os::LRESULT RunProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_TIMER || msg == os::WM_USER + 1 || msg == os::WM_USER + 2) {
        os::Trace("%u main msg=%u w=%u", os::GetTickCount(), msg, static_cast<unsigned>(wParam));
        return static_cast<os::LRESULT>(wParam) * 2;
    }
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

os::DWORD Poster(void*)
{
    for (unsigned i = 0; !g_run->stop; ++i) {
        os::Sleep(250);
        os::PostMessageW(g_run->hwnd, os::WM_USER + 1, i, 0);
    }
    return 0;
}

os::DWORD Waiter(void*)
{
    while (!g_run->stop) {
        const os::DWORD r = os::WaitForSingleObject(g_run->event, 700);
        os::Trace("%u waiter %s", os::GetTickCount(), r == os::WAIT_TIMEOUT ? "timeout" : "event");
    }
    return 0;
}

os::DWORD Sender(void*)
{
    for (unsigned i = 0; !g_run->stop; ++i) {
        os::Sleep(1300);
        os::SetEvent(g_run->event);
        const os::LRESULT r = os::SendMessageW(g_run->hwnd, os::WM_USER + 2, i, 0);
        os::Trace("%u sender got %ld", os::GetTickCount(), static_cast<long>(r));
    }
    return 0;
}

std::vector<std::string> RunTenMinutes()
{
    os::TraceCapture capture;
    Run run;
    g_run = &run;
    os::WNDCLASSW wc;
    wc.lpfnWndProc = RunProc;
    wc.lpszClassName = "TenMinutes";
    os::RegisterClassW(&wc);
    run.hwnd = os::CreateWindowExW(0, "TenMinutes", "t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    run.event = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    os::SetTimer(run.hwnd, 1, 1000, nullptr);
    os::SetTimer(run.hwnd, 2, 370, nullptr);
    std::vector<os::HANDLE> threads{os::CreateThread(nullptr, 0, Poster, nullptr, 0, nullptr),
                                    os::CreateThread(nullptr, 0, Waiter, nullptr, 0, nullptr),
                                    os::CreateThread(nullptr, 0, Sender, nullptr, 0, nullptr)};
    os::MSG msg;
    while (os::GetTickCount() < 600'000 && os::GetMessageW(&msg, nullptr, 0, 0)) os::DispatchMessageW(&msg);
    run.stop = true;
    os::SetEvent(run.event);
    for (os::HANDLE h : threads) {
        // The sender may be waiting on a reply: keep handling messages.
        while (os::WaitForSingleObject(h, 0) == os::WAIT_TIMEOUT) {
            if (os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE)) os::DispatchMessageW(&msg);
            os::Sleep(1);
        }
        os::CloseHandle(h);
    }
    os::CloseHandle(run.event);
    os::DestroyWindow(run.hwnd);
    os::UnregisterClassW("TenMinutes", nullptr);
    g_run = nullptr;
    return capture.Lines();
}

TEST_F(VirtualClockTest, TenMinutesOfTimersSleepsAndWaitsRepeatExactly)
{
    const auto first = RunTenMinutes();
    os::sim::StopPlatform();
    SetUp();
    const auto second = RunTenMinutes();
    // 600 + 1621 timer ticks, 2400 posts, 461 sends and their replies, waits.
    EXPECT_GT(first.size(), 5000u);
    EXPECT_EQ(first, second);
    EXPECT_NE(std::find(first.begin(), first.end(), "1000 main msg=275 w=1"), first.end());
    EXPECT_NE(std::find(first.begin(), first.end(), "1300 sender got 0"), first.end());
    EXPECT_NE(std::find(first.begin(), first.end(), "700 waiter timeout"), first.end());
}

struct HostReader {
    int fd = -1;
    os::DWORD tickAfterRead = 0;
    static os::DWORD Run(void* p)
    {
        auto* r = static_cast<HostReader*>(p);
        char byte = 0;
        {
            os::detail::HostWaitScope wait("a pipe");
            if (::read(r->fd, &byte, 1) != 1) return 1;
        }
        r->tickAfterRead = os::GetTickCount();
        return 0;
    }
};

TEST_F(VirtualClockTest, AThreadWaitingOnTheHostLetsTimeRunAndRejoinsWhenWoken)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    HostReader reader;
    reader.fd = fds[0];
    os::HANDLE thread = os::CreateThread(nullptr, 0, HostReader::Run, &reader, 0, nullptr);
    os::Sleep(5000);  // not held up by the thread blocked on the host
    EXPECT_EQ(os::GetTickCount(), 5000u);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    EXPECT_EQ(os::WaitForSingleObject(thread, os::INFINITE), os::WAIT_OBJECT_0);
    EXPECT_EQ(reader.tickAfterRead, 5000u);  // it ran at the time it was woken
    os::CloseHandle(thread);
    ::close(fds[0]);
    ::close(fds[1]);
}

os::DWORD WaitForever(void* event)
{
    os::WaitForSingleObject(static_cast<os::HANDLE>(event), os::INFINITE);
    return 0;
}

void StallOnPurpose()
{
    os::ClockConfig config;
    config.mode = os::ClockMode::Virtual;
    os::sim::StartPlatform(config);
    os::HANDLE event = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    os::HANDLE worker = os::CreateThread(nullptr, 0, WaitForever, event, 0, nullptr);
    os::SetThreadDescription(worker, "stuck-worker");
    os::Sleep(5);
    os::WaitForSingleObject(worker, os::INFINITE);
}

TEST(VirtualClockStall, EndsTheRunWithADiagnosticNamingTheWaitingThreads)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StallOnPurpose(), ::testing::ExitedWithCode(3),
                "stalled at 00:00:00.005.*\n.*main.*WaitForSingleObject.*\n.*stuck-worker.*WaitForSingleObject");
}

}  // namespace

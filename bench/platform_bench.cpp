// What the platform's scheduling costs: a message round trip between two
// threads, and how fast virtual time runs through timers.
#include <benchmark/benchmark.h>

#include "platform/kernel/clock.h"
#include "platform/base/platform.h"
#include "platform/kernel/sync.h"
#include "platform/windows/window.h"

namespace {

os::LRESULT EchoProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_USER) return static_cast<os::LRESULT>(wParam) + 1;
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct Echo {
    os::HWND hwnd = nullptr;
    os::HANDLE ready = nullptr;
};

os::DWORD EchoThread(void* p)
{
    auto* echo = static_cast<Echo*>(p);
    echo->hwnd = os::CreateWindowExW(0, "Echo", "echo", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    os::SetEvent(echo->ready);
    os::MSG msg;
    while (os::GetMessageW(&msg, nullptr, 0, 0)) os::DispatchMessageW(&msg);
    os::DestroyWindow(echo->hwnd);
    return 0;
}

void SendRoundTrip(benchmark::State& state, os::ClockMode mode)
{
    os::sim::StartPlatform(os::ClockConfig{mode, std::nullopt});
    os::WNDCLASSW wc;
    wc.lpfnWndProc = EchoProc;
    wc.lpszClassName = "Echo";
    os::RegisterClassW(&wc);
    Echo echo;
    echo.ready = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    os::DWORD id = 0;
    os::HANDLE thread = os::CreateThread(nullptr, 0, EchoThread, &echo, 0, &id);
    os::WaitForSingleObject(echo.ready, os::INFINITE);
    os::WPARAM value = 0;
    for (auto _ : state) value = static_cast<os::WPARAM>(os::SendMessageW(echo.hwnd, os::WM_USER, value, 0));
    benchmark::DoNotOptimize(value);
    os::PostThreadMessageW(id, os::WM_QUIT, 0, 0);
    os::WaitForSingleObject(thread, os::INFINITE);
    os::CloseHandle(thread);
    os::CloseHandle(echo.ready);
    os::sim::StopPlatform();
}

void BM_SendMessageVirtual(benchmark::State& state) { SendRoundTrip(state, os::ClockMode::Virtual); }
void BM_SendMessageReal(benchmark::State& state) { SendRoundTrip(state, os::ClockMode::Real); }

// Device seconds of a 10 ms timer per iteration, in virtual time.
void BM_VirtualTimerSecond(benchmark::State& state)
{
    os::sim::StartPlatform(os::ClockConfig{os::ClockMode::Virtual, std::nullopt});
    os::WNDCLASSW wc;
    wc.lpfnWndProc = EchoProc;
    wc.lpszClassName = "Timer";
    os::RegisterClassW(&wc);
    os::HWND hwnd = os::CreateWindowExW(0, "Timer", "t", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    os::SetTimer(hwnd, 1, 10, nullptr);
    os::MSG msg;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) os::GetMessageW(&msg, nullptr, 0, 0);
    }
    state.counters["device_s_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    os::DestroyWindow(hwnd);
    os::sim::StopPlatform();
}

BENCHMARK(BM_SendMessageVirtual);
BENCHMARK(BM_SendMessageReal);
BENCHMARK(BM_VirtualTimerSecond);

}  // namespace

BENCHMARK_MAIN();

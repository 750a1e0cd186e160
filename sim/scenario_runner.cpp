#include "sim/scenario_runner.h"

#include <algorithm>
#include <atomic>

#include "app/messages.h"
#include "platform/devices/accelerometer_sim.h"
#include "platform/kernel/clock.h"
#include "platform/windows/controls.h"
#include "platform/windows/dialog.h"
#include "platform/windows/property_sheet.h"
#include "platform/shell/shell.h"
#include "platform/devices/display.h"
#include "platform/files/file_sim.h"
#include "platform/windows/message_box.h"
#include "platform/devices/power.h"
#include "platform/registry/registry.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "platform/media/media_sim.h"
#include "sim/duration.h"
#include "sim/gps_setup.h"
#include "sim/screenshots.h"
#include "sim/symbols.h"

namespace sim {

namespace {

constexpr const char* kSettingsKey = "\\Software\\Holmbrek\\Ardvane";

constexpr os::DWORD kEndRetryMs = 100;

struct Runner {
    Scenario scenario;
    os::HANDLE stop = nullptr;
    os::HANDLE thread = nullptr;
    std::atomic<bool> endPosted = false;
};

Runner* g_runner = nullptr;
void (*g_powerCutHandler)() = nullptr;

void CutPower()
{
    if (g_powerCutHandler != nullptr) {
        g_powerCutHandler();
    } else {
        os::sim::CutPower(os::sim::LostWrites::Dropped);
    }
}

// After every event of the same time.
void InsertLast(std::vector<ScenarioEvent>* events, ScenarioEvent event)
{
    auto at = std::upper_bound(events->begin(), events->end(), event.atMs,
                               [](std::int64_t t, const ScenarioEvent& x) { return t < x.atMs; });
    events->insert(at, std::move(event));
}

// A window of this phone's program: a scenario never reaches into another
// instance running on the same device root.
os::HWND TargetWindow(const ScenarioEvent& e)
{
    os::HWND hwnd =
        e.window.empty() ? os::FindWindowW(nullptr, kAppTitle) : os::FindWindowW(e.window.c_str(), nullptr);
    return hwnd != nullptr && os::GetWindowThreadProcessId(hwnd, nullptr) != 0 ? hwnd : nullptr;
}

bool PostToTarget(const ScenarioEvent& e, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    os::HWND hwnd = TargetWindow(e);
    if (hwnd == nullptr || !os::PostMessageW(hwnd, msg, wParam, lParam)) {
        os::PlatformLog("scenario event %zu: no window to take message %u", e.source, msg);
        return false;
    }
    return true;
}

void Touch(const ScenarioEvent& e, os::UINT msg)
{
    os::HWND hwnd = os::WindowFromPoint(os::POINT{e.x, e.y});
    os::RECT r;
    if (hwnd == nullptr || !os::GetWindowRect(hwnd, &r)) {
        os::PlatformLog("scenario event %zu: no window under (%d, %d)", e.source, e.x, e.y);
        return;
    }
    os::PostMessageW(hwnd, msg, 0, os::MAKELPARAM(e.x - r.left, e.y - r.top));
}

void Key(const ScenarioEvent& e, os::UINT msg)
{
    os::HWND hwnd = os::GetForegroundWindow();
    if (hwnd == nullptr) hwnd = TargetWindow(e);
    if (hwnd == nullptr) {
        os::PlatformLog("scenario event %zu: no window for key %u", e.source, e.vk);
        return;
    }
    os::PostMessageW(hwnd, msg, e.vk, 1);
}

// The phone publishes the start of a call as a file time, and 0 when none.
void SetCallStartTime(bool onCall)
{
    os::FILETIME ft;
    if (onCall) {
        os::SYSTEMTIME now;
        os::GetLocalTime(&now);
        os::SystemTimeToFileTime(&now, &ft);
    }
    std::vector<os::BYTE> data(8);
    for (int i = 0; i < 4; ++i) {
        data[static_cast<std::size_t>(i)] = static_cast<os::BYTE>(ft.dwLowDateTime >> (8 * i));
        data[static_cast<std::size_t>(4 + i)] = static_cast<os::BYTE>(ft.dwHighDateTime >> (8 * i));
    }
    os::HKEY key = nullptr;
    if (os::RegCreateKeyExW(os::HKEY_LOCAL_MACHINE, "System\\State\\Phone", 0, nullptr, 0, 0, nullptr, &key,
                            nullptr) != os::ERROR_SUCCESS) {
        os::PlatformLog("scenario: cannot open the phone state key");
        return;
    }
    os::RegSetBinary(key, "Call Start Time", data);
    os::RegCloseKey(key);
}

// The menu bar of the topmost dialog: a sheet's current page, or a dialog of its own.
bool MenuCommandOfTopDialog(os::UINT command)
{
    const std::vector<os::sim::DialogState> open = os::sim::OpenDialogs();
    return !open.empty() && os::sim::ChooseMenuBarCommand(open.front().hwnd, command);
}

void Check(bool ok, const ScenarioEvent& e, const char* what)
{
    if (!ok) os::PlatformLog("scenario event %zu: %s refused", e.source, what);
}

// Through the registry calls, so that the program's notifications on the key fire.
bool SetSettingsValue(const ScenarioEvent& e)
{
    os::HKEY key = nullptr;
    if (os::RegCreateKeyExW(os::HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, 0, nullptr, &key, nullptr) !=
        os::ERROR_SUCCESS) {
        return false;
    }
    const os::LONG result = e.valueType == os::REG_DWORD ? os::RegSetDword(key, e.valueName.c_str(), e.dword)
                                                         : os::RegSetString(key, e.valueName.c_str(), e.text);
    os::RegCloseKey(key);
    return result == os::ERROR_SUCCESS;
}

// A stall in microseconds (durations stop at kMaxDurationMs, so this fits;
// the stand-in saturates a stall that outlasts the device clock).
std::int64_t StallUs(const ScenarioEvent& e) { return e.durationMs * 1000; }

os::DWORD RunnerThread(void* param)
{
    auto* runner = static_cast<Runner*>(param);
    for (const ScenarioEvent& e : runner->scenario.events) {
        const std::int64_t wait = e.atMs - static_cast<std::int64_t>(os::DeviceTimeUs() / 1000);
        const auto ms = static_cast<os::DWORD>(std::clamp<std::int64_t>(wait, 0, 0xFFFFFFFE));
        if (os::WaitForSingleObject(runner->stop, ms) != os::WAIT_TIMEOUT) return 0;
        if (e.kind != EventKind::End) {
            PerformScenarioEvent(e);
            continue;
        }
        // Marked before the post: the program may end before this thread runs
        // again. On the real clock a loaded host can start the program slower
        // than the run is long: an end that finds no window yet is posted
        // again until one takes it, or the program ends by itself.
        runner->endPosted = true;
        while (!PostToTarget(e, e.msg, e.wParam, e.lParam)) {
            if (os::WaitForSingleObject(runner->stop, kEndRetryMs) != os::WAIT_TIMEOUT) return 0;
        }
    }
    return 0;
}

}  // namespace

void PerformScenarioEvent(const ScenarioEvent& e)
{
    switch (e.kind) {
    case EventKind::PostMessage: PostToTarget(e, e.msg, e.wParam, e.lParam); break;
    case EventKind::SendMessage:
        if (os::HWND hwnd = TargetWindow(e)) {
            os::SendMessageW(hwnd, e.msg, e.wParam, e.lParam);
        } else {
            os::PlatformLog("scenario event %zu: no window to take message %u", e.source, e.msg);
        }
        break;
    case EventKind::Command:
    case EventKind::End: PostToTarget(e, e.msg, e.wParam, e.lParam); break;
    case EventKind::TouchDown: Touch(e, os::WM_LBUTTONDOWN); break;
    case EventKind::TouchUp: Touch(e, os::WM_LBUTTONUP); break;
    case EventKind::KeyDown: Key(e, os::WM_KEYDOWN); break;
    case EventKind::KeyUp: Key(e, os::WM_KEYUP); break;
    case EventKind::Mount: Check(os::sim::MountVolume(e.volume), e, "mount"); break;
    case EventKind::Unmount: Check(os::sim::UnmountVolume(e.volume), e, "unmount"); break;
    case EventKind::CallStart: SetCallStartTime(true); break;
    case EventKind::CallEnd: SetCallStartTime(false); break;
    case EventKind::PowerTransition: Check(os::sim::PowerTransition(e.powerFlags, e.powerState), e, "power"); break;
    case EventKind::Resume: os::sim::PowerResume(); break;
    case EventKind::PowerInfo: Check(os::sim::SetPowerInfo(e.onAc, e.batteryPercent), e, "power info"); break;
    case EventKind::Rotation: Check(os::sim::RotateDisplay(static_cast<os::DWORD>(e.rotation)), e, "rotation"); break;
    case EventKind::MessageBoxAnswer: os::sim::QueueMessageBoxAnswer(e.answer); break;
    case EventKind::DialogCommand:
        if (!os::sim::DialogCommand(static_cast<os::UINT>(e.wParam))) {
            os::PlatformLog("scenario event %zu: no dialog to take command %u", e.source, static_cast<unsigned>(e.wParam));
        }
        break;
    case EventKind::GpsFixLost: Check(SetGpsSkyVisible(false), e, "GPS sky"); break;
    case EventKind::GpsFixBack: Check(SetGpsSkyVisible(true), e, "GPS sky"); break;
    case EventKind::GpsGarbage: Check(SendGpsGarbage(static_cast<std::size_t>(e.garbageBytes)), e, "GPS noise"); break;
    case EventKind::CameraStall: os::sim::StallCamera(StallUs(e)); break;
    case EventKind::MicStall: os::sim::StallMicrophone(StallUs(e)); break;
    case EventKind::EncoderTimeout: os::sim::TimeOutNextEncode(); break;
    case EventKind::Shock: {
        const os::sim::AccelerometerCounts peak{static_cast<std::int16_t>(e.x), static_cast<std::int16_t>(e.y),
                                                static_cast<std::int16_t>(e.z)};
        Check(os::sim::ShockAccelerometer({os::DeviceTimeUs() / 1000, e.durationMs, peak}), e, "shock");
        break;
    }
    case EventKind::Registry: Check(SetSettingsValue(e), e, "registry value"); break;
    case EventKind::Fill: Check(os::sim::FillVolume(e.volume, e.fillBytes), e, "fill"); break;
    case EventKind::Screenshot: Check(SaveScreenshot(e.text), e, "screenshot"); break;
    case EventKind::Choose: Check(os::sim::ChooseListEntry(e.control, e.entry), e, "list choice"); break;
    case EventKind::Check: Check(os::sim::TickCheckBox(e.control, e.checked), e, "check box"); break;
    case EventKind::Type: Check(os::sim::TypeIntoField(e.control, e.text, e.paste), e, "typing"); break;
    case EventKind::MenuCommand: Check(MenuCommandOfTopDialog(e.control), e, "menu command"); break;
    case EventKind::SheetPage: Check(os::sim::SelectSheetPage(e.entry), e, "sheet page"); break;
    case EventKind::PowerCut: CutPower(); break;
    case EventKind::Photo: {
        ScenarioEvent press = e;
        press.vk = os::VK_CAMERA;
        Key(press, os::WM_KEYDOWN);
        Key(press, os::WM_KEYUP);
        break;
    }
    }
}

void SetPowerCutHandler(void (*handler)()) { g_powerCutHandler = handler; }

bool StartScenarioRunner(const Scenario& scenario, std::optional<std::int64_t> endAtMs,
                         std::optional<std::int64_t> powerCutAtMs)
{
    auto* runner = new Runner{scenario};
    auto& events = runner->scenario.events;
    if (powerCutAtMs) {
        ScenarioEvent cut;
        cut.kind = EventKind::PowerCut;
        cut.atMs = *powerCutAtMs;
        cut.source = events.size();
        InsertLast(&events, cut);
    }
    if (endAtMs) {
        ScenarioEvent end;
        end.kind = EventKind::End;
        end.msg = os::WM_COMMAND;
        end.wParam = static_cast<os::WPARAM>(kIdmButton);
        end.lParam = kExitButton;
        end.atMs = *endAtMs;
        end.source = events.size();
        // After every event of the same time, so that the run ends last.
        InsertLast(&events, end);
    }
    // The settings the program finds at launch: written before it can start.
    const auto launch = std::find_if(events.begin(), events.end(), [](const ScenarioEvent& x) {
        return x.atMs > 0 || x.kind != EventKind::Registry;
    });
    std::for_each(events.begin(), launch, PerformScenarioEvent);
    events.erase(events.begin(), launch);
    runner->stop = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    runner->thread = os::CreateThread(nullptr, 0, RunnerThread, runner, 0, nullptr);
    if (runner->thread == nullptr) {
        os::CloseHandle(runner->stop);
        delete runner;
        return false;
    }
    os::SetThreadDescription(runner->thread, "scenario");
    g_runner = runner;
    return true;
}

bool ScenarioEndPosted()
{
    return g_runner != nullptr && g_runner->endPosted;
}

os::HANDLE ScenarioRunnerThread()
{
    return g_runner != nullptr ? g_runner->thread : nullptr;
}

void StopScenarioRunner()
{
    if (g_runner == nullptr) return;
    os::SetEvent(g_runner->stop);
    os::WaitForSingleObject(g_runner->thread, os::INFINITE);
    os::CloseHandle(g_runner->thread);
    os::CloseHandle(g_runner->stop);
    delete g_runner;
    g_runner = nullptr;
}

}  // namespace sim

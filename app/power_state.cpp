#include "app/power_state.h"

#include <cstring>
#include <strings.h>

#include "app/app_state.h"
#include "app/display_state.h"
#include "app/messages.h"
#include "app/resource_text.h"
#include "app/timers.h"
#include "platform/base/trace.h"
#include "platform/windows/message_box.h"
#include "ui/indicators.h"

namespace {

constexpr os::DWORD kFullyOn = os::POWER_STATE_ON | os::POWER_STATE_BACKLIGHTON | os::POWER_STATE_PASSWORD;
constexpr os::UINT kResumeText = 79;
// The event monitor's state while an event clip is written.
constexpr int kCapturingClip = 3;

void OnTransition(os::HWND hwnd, EventRecorderApp* app, const os::POWER_BROADCAST& message)
{
    os::Trace("Power Notification Message: PBT_TRANSITION");
    os::Trace("Flags: 0x%x", message.Flags);
    os::Trace("Length: %d", static_cast<int>(message.Length));
    std::atomic<int>& unattended = app->recorder.unattended;
    if (message.Flags == os::POWER_STATE_UNATTENDED && !IsOnCall(hwnd, nullptr)) unattended.store(1);
    if (unattended.load() != 0 && message.Flags == kFullyOn) {
        if (!IsOnCall(hwnd, nullptr)) {
            os::Trace("WM_CLOSE Msg Send by Kestrava 5\r\n");
            os::PostMessageW(hwnd, os::WM_CLOSE, 0, kClosePowerLoss);
        } else {
            // Fully on again during a call: recording goes on with its samples.
            unattended.store(0);
            os::Trace("Power: fully on during a call, the unattended state ends");
        }
    }
    if (message.Length == 0) return;
    os::Trace("SystemPowerState: %s", message.SystemPowerState);
    if (strcasecmp(message.SystemPowerState, "on") == 0) {
        os::PostMessageW(hwnd, WM_RECORDER_BACKLIGHT, 1, 0);
    } else if (strcasecmp(message.SystemPowerState, "backlightoff") == 0) {
        os::PostMessageW(hwnd, WM_RECORDER_BACKLIGHT, 0, 0);
    }
}

void OnResume(os::HWND hwnd, EventRecorderApp* app)
{
    os::Trace("Power Notification Message: PBT_RESUME");
    if (app->recorder.EventCaptureState.load() == kCapturingClip) {
        os::MessageBoxW(hwnd, ResourceText(kResumeText).c_str(), kAppTitle, os::MB_ICONERROR);
    }
    os::Trace("WM_CLOSE Msg Send by Kestrava 6\r\n");
    os::PostMessageW(hwnd, os::WM_CLOSE, 0, kClosePowerLoss);
}

}  // namespace

int EnterIdlePowerState(os::HWND)
{
    return os::SetSystemPowerState(nullptr, os::POWER_STATE_IDLE, 0) == os::ERROR_SUCCESS ? 1 : 0;
}

int ReadBatteryLevel(int previous)
{
    os::SYSTEM_POWER_STATUS_EX2 status;
    if (os::GetSystemPowerStatusEx2(&status, sizeof status, os::TRUE) == 0) return previous;
    if (status.ACLineStatus == os::AC_LINE_ONLINE) return 0;
    if (status.BatteryLifePercent > 100) return previous;
    return BatteryCell(false, status.BatteryLifePercent);
}

void HandlePowerMessage(os::HWND hwnd, const os::POWER_BROADCAST& message, os::DWORD size)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || size < os::POWER_BROADCAST_HEADER_BYTES) return;
    if (message.Length > size - os::POWER_BROADCAST_HEADER_BYTES ||
        (message.Length > 0 && std::memchr(message.SystemPowerState, '\0', message.Length) == nullptr)) {
        return;
    }
    switch (message.Message) {
    case os::PBT_TRANSITION: OnTransition(hwnd, app, message); break;
    case os::PBT_RESUME: OnResume(hwnd, app); break;
    case os::PBT_POWERINFOCHANGE: app->batteryLevel.store(ReadBatteryLevel(app->batteryLevel.load())); break;
    default: break;
    }
}

void OnBacklightChange(os::HWND hwnd, bool on)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    if (on) {
        os::KillTimer(hwnd, kLcdOffTimer);
    } else if (app->settings.LcdOffTime != 0) {
        os::SetTimer(hwnd, kLcdOffTimer, app->settings.LcdOffTime * 1000, nullptr);
    }
}

#include "app/timers.h"

#include "app/accident_alert.h"
#include "app/app_state.h"
#include "app/cmd_run.h"
#include "app/messages.h"
#include "app/power_state.h"
#include "app/recording_control.h"
#include "platform/shell/shell.h"
#include "platform/windows/window.h"
#include "sensing/event_detection.h"
#include "ui/main_screen.h"

void OnTimerProc(os::HWND hwnd, os::UINT_PTR id)
{
    switch (id) {
    case kInitTimer:
        os::KillTimer(hwnd, kInitTimer);
        os::SendMessageW(hwnd, WM_RECORDER_INIT, 0, 0);
        break;
    case kSplitTimer:
        SplitRecordingFile(hwnd);
        break;
    case kLcdOffTimer:
        os::KillTimer(hwnd, kLcdOffTimer);
        EnterIdlePowerState(hwnd);
        break;
    case kMessageTimer:
        os::KillTimer(hwnd, kMessageTimer);
        ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
        RequestRepaint(hwnd);
        break;
    case kEventPollTimer:
        EventPoll(hwnd);
        break;
    case kIdleResetTimer:
        os::SystemIdleTimerReset();
        // The dashboard's clock, speed, gauges and picture move on every second.
        if (EventRecorderApp* app = AppFromWindow(hwnd); app != nullptr && app->cmdMode >= 1 && app->cmdMode <= 5 &&
                                                          app->cmdMode != 2) {
            RequestRepaint(hwnd);
        }
        break;
    case kAccidentSmsTimer:
        OnAccidentSmsTick(hwnd);
        break;
    default:
        break;
    }
}

#include "app/commands.h"

#include "app/app_state.h"
#include "app/cmd_run.h"
#include "app/messages.h"
#include "app/recording_control.h"
#include "platform/devices/display.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "recorder/mov.h"

namespace {

bool IsWideScreen()
{
    return os::GetSystemMetrics(os::SM_CXSCREEN) == 800 && os::GetSystemMetrics(os::SM_CYSCREEN) == 480;
}

bool EventRecordingInProgress(const EventRecorderApp* app)
{
    return app->recorder.EventCaptureState.load() == kEventCaptureCapturing;
}

// Back: from a side screen to the main screen; on the main screen it brings
// a switched-off preview back, or ends the run.
void OnBack(os::HWND hwnd, EventRecorderApp* app)
{
    if (app->cmdMode != 0 && app->cmdMode != 4) {
        os::PostMessageW(hwnd, os::WM_COMMAND, IDM_BUTTON, 0);
        return;
    }
    if (app->previewOff) {
        app->previewOff = 0;
        if (IsWideScreen() && !app->captureRunning) RunCapture(hwnd);
        return;
    }
    if (EventRecordingInProgress(app)) return;
    os::Trace("WM_CLOSE Msg Send by Kestrava 8\r\n");
    os::PostMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
}

// A screen button (1 to 26), or with any other value the recording screen's
// own button: back to the recording screen, or the preview switched on or off.
void OnScreenButton(os::HWND hwnd, EventRecorderApp* app, os::LPARAM button)
{
    if (g_rotationAlert) return;
    if (button >= 1 && button <= 26) {
        CMD_Run(hwnd, static_cast<int>(button));
        return;
    }
    if (app->cmdMode != 4 && app->cmdMode != 5) {
        LeaveScreenMode(hwnd);
        CMD_Run(hwnd, 4);
    } else if (!EventRecordingInProgress(app)) {
        app->previewOff = app->previewOff ? 0 : 1;
    }
    if (!IsWideScreen()) return;
    if (app->previewOff) {
        StopCapture(hwnd);
    } else {
        RunCapture(hwnd);
    }
}

}  // namespace

bool OnCommandProc(os::HWND hwnd, os::UINT id, os::LPARAM lParam)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return true;
    switch (id) {
    case IDOK: OnBack(hwnd, app); break;
    case IDM_ABOUT: ShowAboutDialog(hwnd); break;
    case IDM_REC_START: OnRecStart(hwnd); break;
    case IDM_REC_STOP: OnRecStop(hwnd); break;
    case IDM_BUTTON: OnScreenButton(hwnd, app, lParam); break;
    case IDM_REC_PAUSE: OnRecPause(hwnd); break;
    case IDM_SETTINGS: OnSettings(hwnd); break;
    default: return false;
    }
    return true;
}

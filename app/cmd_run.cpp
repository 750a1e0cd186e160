#include "app/cmd_run.h"

#include <string>

#include "app/app_state.h"
#include "app/messages.h"
#include "app/recording_control.h"
#include "app/resource_text.h"
#include "platform/shell/shell.h"
#include "platform/base/trace.h"
#include "recorder/mov.h"
#include "sensing/event_detection.h"
#include "settings/settings_store.h"
#include "ui/main_screen.h"

namespace {

constexpr int kRecordHotKeyId = 400;
constexpr os::UINT kRecordHotKeyVk = 14;
constexpr os::UINT kCameraScreenTitle = 1067;
constexpr uint32_t kMaxDetectLevel = 9;

// The camera screen's contrast steps: 0, 1 and 5.
uint32_t ContrastUp(uint32_t level)
{
    return level == 0 ? 1 : 5;
}

uint32_t ContrastDown(uint32_t level)
{
    return level >= 5 ? 1 : 0;
}

void StepDetectLevels(os::HWND hwnd, EventRecorderApp* app, int step)
{
    RecorderSettings& s = app->settings;
    for (uint32_t* level : {&s.EventTagDetectLevelX, &s.EventTagDetectLevelY, &s.EventTagDetectLevelZ}) {
        if (step > 0 && *level < kMaxDetectLevel) ++*level;
        if (step < 0 && *level > 0) --*level;
    }
    ApplyShockLevels(s.EventTagDetectLevelX, s.EventTagDetectLevelY, s.EventTagDetectLevelZ);
    WriteDetectLevels(hwnd);
}

void SetSetting(os::HWND hwnd, EventRecorderApp* app, uint32_t RecorderSettings::*field, uint32_t value)
{
    app->settings.*field = value;
    WriteSettingDword(hwnd, field);
}

// The menu shows the toolbar's buttons; its toggles read the settings as exactly 1.
void ShowMenuScreen(os::HWND hwnd, EventRecorderApp* app)
{
    const RecorderSettings& s = app->settings;
    ActivateMainScreenButtons(&app->screens, s.EnablePlaySound == 1, s.DisableRecordAudio == 1);
    RequestRepaint(hwnd);
}

// What the mode stands for, once it is current; false when the run ends
// here (the exit, which sets no title).
bool RunMode(os::HWND hwnd, EventRecorderApp* app, int mode)
{
    RecorderSettings& s = app->settings;
    switch (mode) {
    case 0:
        ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
        break;
    case 1:
        app->screens[1].screenActive = 1;
        break;
    case 4:
        ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
        if (!app->captureRunning) StartCaptureAndRecording(hwnd);
        break;
    case 5:
        if (app->captureRunning) ClearPreviewArea(hwnd, app->captureWidth, app->captureHeight);
        break;
    case 6:
        os::PostMessageW(hwnd, os::WM_COMMAND, IDM_SETTINGS, 0);
        app->cmdMode = 4;
        break;
    case 7:
        os::Trace("WM_CLOSE Msg Send by Kestrava 4\r\n");
        os::PostMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
        return false;
    case 8:
        ShowMenuScreen(hwnd, app);
        break;
    case 10: case 11:
        app->cmdMode = 4;
        SetSetting(hwnd, app, &RecorderSettings::EnablePlaySound, mode == 10 ? 0 : 1);
        RequestRepaint(hwnd);
        break;
    case 12: case 13:
        app->cmdMode = 4;
        SetSetting(hwnd, app, &RecorderSettings::DisableRecordAudio, mode == 12 ? 1 : 0);
        RequestRepaint(hwnd);
        break;
    case 14: case 15:
        app->cmdMode = app->previousMode;
        StepDetectLevels(hwnd, app, mode == 14 ? 1 : -1);
        RequestRepaint(hwnd);
        break;
    case 16:
        app->cmdMode = 4;
        RequestRepaint(hwnd);
        break;
    case 17:
        PrepareSensitivityScreen(hwnd);
        app->cmdMode = 3;
        RequestRepaint(hwnd);
        break;
    case 18:
        app->cmdMode = 3;
        break;
    case 19: case 20:
        app->cmdMode = 2;
        break;
    case 21: case 22:
        app->cmdMode = 2;
        s.ContrastLevel = mode == 21 ? ContrastUp(s.ContrastLevel) : ContrastDown(s.ContrastLevel);
        MOV_SetContrastLevel(hwnd, s.ContrastLevel);
        WriteSettingDword(hwnd, &RecorderSettings::ContrastLevel);
        break;
    case 23: case 24:
        app->cmdMode = 2;
        MOV_SetStabilization(hwnd, mode == 23);
        SetSetting(hwnd, app, &RecorderSettings::StabilizationOnOff, mode == 23 ? 1 : 0);
        RequestRepaint(hwnd);
        break;
    case 25: case 26:
        app->cmdMode = 2;
        MOV_SetWDR(hwnd, mode == 25);
        SetSetting(hwnd, app, &RecorderSettings::WDROnOff, mode == 25 ? 1 : 0);
        RequestRepaint(hwnd);
        break;
    default:
        break;
    }
    return true;
}

}  // namespace

void SetScreenTitle(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    std::string title;
    if (app->cmdMode == 2) {
        title = ResourceText(kCameraScreenTitle);
    } else if (app->cmdMode < static_cast<uint32_t>(kScreenCount)) {
        title = std::string(app->screens[app->cmdMode].title.View());
    }
    const std::string text = title.empty() ? std::string(kAppTitle) : std::string(kAppTitle) + "-" + title;
    os::SHSetNavBarText(hwnd, text.c_str());
}

int CMD_Run(os::HWND hwnd, int mode)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    os::Trace("CMD_Run cmdMode=%d", mode);
    app->previousMode = app->cmdMode;
    app->cmdMode = static_cast<uint32_t>(mode);
    if (!RunMode(hwnd, app, mode)) return 1;
    SetScreenTitle(hwnd);
    if ((app->cmdMode == 4 || app->cmdMode == 5) && !app->hotKeyRegistered) {
        app->hotKeyRegistered = os::RegisterHotKey(hwnd, kRecordHotKeyId, 0, kRecordHotKeyVk) ? 1 : 0;
    }
    return 1;
}

void LeaveScreenMode(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    const uint32_t mode = app->cmdMode;
    if ((mode == 0 || mode == 1) && !app->screens[mode].active) app->screens[1].screenActive = 0;
}

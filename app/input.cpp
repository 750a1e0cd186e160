#include "app/input.h"

#include "app/app_state.h"
#include "app/cmd_run.h"
#include "app/messages.h"
#include "app/photo_key.h"
#include "app/resource_text.h"
#include "platform/shell/shell.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "recorder/mov.h"
#include "sensing/event_detection.h"
#include "settings/settings_store.h"
#include "ui/main_screen.h"
#include "ui/popup_layout.h"

namespace {

constexpr os::UINT kVkEnter = 13;
constexpr os::UINT kVkOpticalMouse = 227;
constexpr os::UINT kVideoSizeConfirm = 1270;

// The emergency area: the picture between the toolbar columns.
constexpr int kEmergencyLeft = 126;
constexpr int kEmergencyTop = 55;
constexpr int kEmergencyRight = 534;
constexpr int kEmergencyRightCameraScreen = 487;
constexpr int kEmergencyBottom = 427;

bool Holds(const os::RECT& r, int x, int y)
{
    return os::PtInRect(&r, os::POINT{x, y});
}

os::RECT ClientRect(os::HWND hwnd)
{
    os::RECT client;
    os::GetClientRect(hwnd, &client);
    return client;
}

bool IsVideoSizeConfirm(const ScreenMessage& message)
{
    const std::string confirm = ResourceText(kVideoSizeConfirm);
    return !confirm.empty() && message.text.View() == confirm;
}

// OK on the message that asks to change the picture size: flip it, store it
// and end the run, which starts again with the new size.
void ConfirmVideoSize(os::HWND hwnd, EventRecorderApp* app)
{
    app->settings.VideoSize = app->settings.VideoSize == 0 ? 1 : 0;
    WriteSettingDword(hwnd, &RecorderSettings::VideoSize);
    os::PostMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
}

// The button released under the point: pressed before, still under the finger, enabled.
int ReleasedButton(ScreenTable* screens, int x, int y)
{
    int released = 0;
    for (int i = 1; i < kScreenCount; ++i) {
        ScreenEntry& entry = (*screens)[i];
        if (!entry.visible) continue;
        if (entry.pressed && Holds(entry.rect, x, y) && !entry.disabled && released == 0) released = i;
        entry.pressed = 0;
    }
    return released;
}

// The information panel's share of a touch: only on the 800 x 480 recording
// and GPS screens, and not while a message waits to be dismissed by it.
InfoPanelTouch PanelTouch(const EventRecorderApp* app, int x, int y)
{
    const bool messageWaits = app->message.shown && app->message.kind != -1;
    const bool panelMode = app->cmdMode == 4 || app->cmdMode == 1;
    if (app->resolutionClass != 3 || !panelMode || messageWaits) return InfoPanelTouch::None;
    return InfoPanelTouchAt(app->infoPanelShown != 0, x, y);
}

}  // namespace

bool InEmergencyArea(int mode, int x, int y)
{
    const int right = mode == 2 ? kEmergencyRightCameraScreen : kEmergencyRight;
    return Holds(os::RECT{kEmergencyLeft, kEmergencyTop, right, kEmergencyBottom}, x, y);
}

void OnButtonDown(os::HWND hwnd, int x, int y)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || !g_touchEnabled) return;
    bool hit = false;
    for (int i = 1; i < kScreenCount; ++i) {
        ScreenEntry& entry = app->screens[i];
        if (!entry.visible || !Holds(entry.rect, x, y)) continue;
        if (entry.disabled) return;
        entry.pressed = entry.highlighted = 1;
        hit = true;
    }
    for (int i = 1; i < kScreenCount; ++i) {
        ScreenEntry& entry = app->screens[i];
        if (!Holds(entry.rect, x, y) || !entry.visible) entry.pressed = entry.highlighted = 0;
    }
    if (app->message.shown) app->message.pressedButton = PopupButtonAt(ClientRect(hwnd), app->message.kind, x, y);
    app->infoPanelTouch = hit ? InfoPanelTouch::None : PanelTouch(app, x, y);
    if (!hit && app->infoPanelTouch != InfoPanelTouch::Close && InEmergencyArea(static_cast<int>(app->cmdMode), x, y)) {
        app->emergencyPressed = 1;
    }
    RequestRepaint(hwnd);
}

void OnButtonUp(os::HWND hwnd, int x, int y)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || !g_touchEnabled) return;
    const int released = ReleasedButton(&app->screens, x, y);
    ScreenMessage& message = app->message;
    if (message.shown && message.kind == 1 &&
        PopupButtonAt(ClientRect(hwnd), message.kind, x, y) == 0 && IsVideoSizeConfirm(message)) {
        ConfirmVideoSize(hwnd, app);
    }
    if (message.shown && message.kind != -1) ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
    if (app->infoPanelTouch != InfoPanelTouch::None && PanelTouch(app, x, y) == app->infoPanelTouch) {
        app->infoPanelShown = app->infoPanelTouch == InfoPanelTouch::Toggle ? !app->infoPanelShown : 0;
    }
    app->infoPanelTouch = InfoPanelTouch::None;
    RequestRepaint(hwnd);
    if (released >= 1) {
        os::SendMessageW(hwnd, os::WM_COMMAND, IDM_BUTTON, released);
    } else if (app->emergencyPressed && app->RecordMode == kRecordContinuous && app->cmdMode != 8 &&
               InEmergencyArea(static_cast<int>(app->cmdMode), x, y)) {
        RequestManualEvent(hwnd);
        os::Trace("Kestrava OnButtonUp - Touch BB_Emergency !!!\r\n");
    }
    app->emergencyPressed = 0;
}

void OnKeyDown(os::HWND hwnd, os::UINT vk)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || vk != kVkEnter) return;
    for (int i = 1; i < kScreenCount; ++i) {
        if (app->screens[i].highlighted) {
            app->screens[i].keyPressed = 1;
            break;
        }
    }
    RequestRepaint(hwnd);
}

void OnKeyUp(os::HWND hwnd, os::UINT vk, os::LPARAM)
{
    os::Trace("WM_KEYUP : vkcode=0x%x, lKyeData\r\n", vk);
    if (vk == kVkOpticalMouse) {
        os::DWORD mode = 0;
        os::SmiOpticalMouseGetMode(&mode);
        os::SmiOpticalMouseSetMode(mode == 0 ? 1 : 0);
    }
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    if (vk == os::VK_CAMERA && PhotoKeyMode(static_cast<int>(app->cmdMode))) TakeDriverPhoto(hwnd);
    if (app->cmdMode != 4 && app->cmdMode != 5) return;
    if (vk == kVkEnter && app->RecordMode != kRecordContinuous) RequestManualEvent(hwnd);
}

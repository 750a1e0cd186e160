// The on-screen message: the text the main screen shows over the picture,
// ended by timer 9, by a touch, or by the next message.
#include "app/app_state.h"
#include "app/cmd_run.h"
#include "app/resource_text.h"
#include "app/timers.h"
#include "platform/windows/window.h"
#include "ui/main_screen.h"

void ShowScreenMessage(os::HWND hwnd, const char* text, uint32_t timeoutMs, int style, int kind)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    ScreenMessage& message = app->message;
    if (text == nullptr) {
        // Dismissing a shown message closes the information panel too.
        if (message.shown) app->infoPanelShown = 0;
        os::KillTimer(hwnd, kMessageTimer);
        message.kind = -1;
        message.pressedButton = -1;
        message.shown = 0;
        return;
    }
    message.kind = kind;
    message.style = style;
    message.text.Assign(text);
    message.shown = 1;
    RequestRepaint(hwnd);
    if (timeoutMs != kNoTimeout) os::SetTimer(hwnd, kMessageTimer, timeoutMs, nullptr);
    os::SetForegroundWindow(hwnd);
}

void ShowResourceMessage(os::HWND hwnd, os::UINT id)
{
    ShowScreenMessage(hwnd, ResourceText(id).c_str(), kNoTimeout, 0, -1);
}

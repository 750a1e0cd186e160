#include "app/cmd_run.h"

#include "app/app_state.h"
#include "app/messages.h"
#include "platform/trace.h"

int CMD_Run(os::HWND hwnd, int mode)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    os::Trace("CMD_Run cmdMode=%d", mode);
    app->cmdMode = static_cast<uint32_t>(mode);
    if (mode == 7) {
        os::Trace("WM_CLOSE Msg Send by Kestrava 4\r\n");
        os::PostMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
        return 1;
    }
    // The screens and their commands will act on the other modes here.
    os::Trace("CMD_Run: mode %d not built yet", mode);
    return 0;
}

void ShowScreenMessage(os::HWND, const char* text, uint32_t, int, int kind)
{
    // The main screen will draw the message and time it out.
    os::Trace("ShowScreenMessage(kind %d, \"%s\"): not built yet", kind, text ? text : "");
}

void LoadScreenTitles(os::HWND)
{
    // The screen table will take its titles from the resource library here.
    os::Trace("LoadScreenTitles: screen table not built yet");
}

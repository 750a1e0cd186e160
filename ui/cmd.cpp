#include "ui/cmd.h"

#include "app/app_state.h"
#include "platform/base/trace.h"
#include "ui/screen_table.h"

int CMD_Init(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    LayoutToolbar(&app->screens);
    // The skin's images will give the buttons their looks and sizes here.
    os::Trace("CMD_Init: skin not built yet");
    return 1;
}

int CMD_Deinit(os::HWND)
{
    // Will free the skin and the screens.
    os::Trace("CMD_Deinit: screens not built yet");
    return 0;
}

void* CreateImagingFactory()
{
    // Will create the image decoder the skin uses.
    os::Trace("CreateImagingFactory: skin not built yet");
    return nullptr;
}

void ReleaseImagingFactory(void*)
{
    os::Trace("ReleaseImagingFactory: skin not built yet");
}

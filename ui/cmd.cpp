#include "ui/cmd.h"

#include "app/app_state.h"
#include "platform/base/trace.h"
#include "ui/main_screen_images.h"
#include "ui/screen_table.h"
#include "ui/skin_images.h"

int CMD_Init(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    LayoutToolbar(&app->screens);
    return SetupMainScreen(hwnd);
}

int CMD_Deinit(os::HWND hwnd)
{
    ReleaseMainScreen(hwnd);
    return 1;
}

void* CreateImagingFactory()
{
    return CreateSkinImagingFactory();
}

void ReleaseImagingFactory(void* factory)
{
    ReleaseSkinImagingFactory(static_cast<os::IImagingFactory*>(factory));
}

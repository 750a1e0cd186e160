#include "ui/cmd.h"

#include "platform/trace.h"

int CMD_Init(os::HWND)
{
    // Will load the skin and lay out the screens and their buttons.
    os::Trace("CMD_Init: screens not built yet");
    return 0;
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

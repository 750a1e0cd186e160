#include "recorder/mov.h"

#include "platform/trace.h"

int MOV_Init(os::HWND, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
    // Will build the capture graph, start the hardware encoder and the event machinery.
    os::Trace("MOV_Init: recorder not built yet");
    return 0;
}

int MOV_DeInit(os::HWND)
{
    // Will tear down the graph, the encoder and the event machinery.
    os::Trace("MOV_DeInit: recorder not built yet");
    return 0;
}

int MOV_Stop(os::HWND, int, int)
{
    // Will close the recording file and disarm event capture.
    os::Trace("MOV_Stop: recorder not built yet");
    return 0;
}

int MOV_StopAndRelease(os::HWND, int, int)
{
    // Will close the file and free the encoder's buffers after a power loss.
    os::Trace("MOV_StopAndRelease: recorder not built yet");
    return 0;
}

int MOV_StopPreview(os::HWND)
{
    // Will stop the capture graph.
    os::Trace("MOV_StopPreview: recorder not built yet");
    return 0;
}

int MOV_GetStillSize(os::HWND, uint32_t*, uint32_t*)
{
    // Will read back the still size the graph applied.
    os::Trace("MOV_GetStillSize: recorder not built yet");
    return 0;
}

int MOV_ApplyCameraSettings(os::HWND)
{
    // Will apply contrast, stabilisation and wide dynamic range to the camera.
    os::Trace("MOV_ApplyCameraSettings: recorder not built yet");
    return 0;
}

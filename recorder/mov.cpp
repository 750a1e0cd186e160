#include "recorder/mov.h"

#include "platform/base/trace.h"

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

int MOV_Prepare(os::HWND, int, int)
{
    // Will set the stream and recording modes and run the capture graph.
    os::Trace("MOV_Prepare: recorder not built yet");
    return 0;
}

int MOV_RunPreview(os::HWND)
{
    // Will run the capture graph.
    os::Trace("MOV_RunPreview: recorder not built yet");
    return 0;
}

int MOV_Start(os::HWND, const char*, int)
{
    // Will open the recording file and arm event capture.
    os::Trace("MOV_Start: recorder not built yet");
    return 0;
}

int MOV_Pause(os::HWND)
{
    // Will pause the recording.
    os::Trace("MOV_Pause: recorder not built yet");
    return 0;
}

int MOV_Resume(os::HWND)
{
    // Will resume a paused recording.
    os::Trace("MOV_Resume: recorder not built yet");
    return 0;
}

int MOV_RestartRecording(os::HWND)
{
    // Will set the graph to sound and picture for the next file.
    os::Trace("MOV_RestartRecording: recorder not built yet");
    return 0;
}

int MOV_SetBitrate(os::HWND, uint32_t, uint32_t)
{
    // Will hand the bit rates to the graph and the encoder.
    os::Trace("MOV_SetBitrate: recorder not built yet");
    return 0;
}

int MOV_SetContrastLevel(os::HWND, uint32_t)
{
    // Will set the camera's contrast.
    os::Trace("MOV_SetContrastLevel: recorder not built yet");
    return 0;
}

int MOV_SetStabilization(os::HWND, int)
{
    // Will switch the camera's image stabilisation.
    os::Trace("MOV_SetStabilization: recorder not built yet");
    return 0;
}

int MOV_SetWDR(os::HWND, int)
{
    // Will switch the camera's wide dynamic range.
    os::Trace("MOV_SetWDR: recorder not built yet");
    return 0;
}

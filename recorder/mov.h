// Recorder control: the capture graph, the hardware encoder and the event
// machinery behind the recording files. The recorder itself is still to be
// built; these are its entry points as start-up and shutdown call them. Each
// traces that it has nothing to do yet and reports failure where a result is
// asked for, so that nothing counts as running that does not.
#pragma once

#include <cstdint>

#include "platform/types.h"

int MOV_Init(os::HWND hwnd, uint32_t videoBitrate, uint32_t audioBitrate, uint32_t jpegQuality, uint32_t stillWidth,
             uint32_t stillHeight);
int MOV_DeInit(os::HWND hwnd);
// Closes the current file (reason 0 to 3), playing the stop sound when asked.
int MOV_Stop(os::HWND hwnd, int reason, int playSound);
// As MOV_Stop, also freeing the encoder's buffers: the power-loss path.
int MOV_StopAndRelease(os::HWND hwnd, int reason, int playSound);
int MOV_StopPreview(os::HWND hwnd);
// The still size the capture graph really uses; 0 when it has none.
int MOV_GetStillSize(os::HWND hwnd, uint32_t* width, uint32_t* height);
// Applies ContrastLevel, StabilizationOnOff and WDROnOff to the camera.
int MOV_ApplyCameraSettings(os::HWND hwnd);

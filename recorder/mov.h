// Recorder control: the capture graph, the hardware encoder and the event
// machinery behind the recording files. The recorder itself is still to be
// built; these are its entry points as start-up and shutdown call them. Each
// traces that it has nothing to do yet and reports failure where a result is
// asked for, so that nothing counts as running that does not.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

// What the next recording file holds.
constexpr int kStreamAudioVideo = 1;
constexpr int kStreamVideoOnly = 2;
constexpr int kStreamAudioOnly = 3;
constexpr int kStreamPreviewOnly = 4;
// How recordings are made: one file after the other, or only clips around events.
constexpr int kRecordContinuous = 1;
constexpr int kRecordEventOnly = 2;
// The event capture state: 2 armed, 3 an event clip is being written.
constexpr int kEventCaptureArmed = 2;
constexpr int kEventCaptureCapturing = 3;

int MOV_Init(os::HWND hwnd, uint32_t videoBitrate, uint32_t audioBitrate, uint32_t jpegQuality, uint32_t stillWidth,
             uint32_t stillHeight);
int MOV_DeInit(os::HWND hwnd);
// Closes the current file (reason 0 to 3), playing the stop sound when asked.
int MOV_Stop(os::HWND hwnd, int reason, int playSound);
// As MOV_Stop, also freeing the encoder's buffers: the power-loss path.
int MOV_StopAndRelease(os::HWND hwnd, int reason, int playSound);
// Starts capture: the stream mode of the next file and the recording mode;
// the graph then runs its preview. 0 when capture could not start.
int MOV_Prepare(os::HWND hwnd, int streamMode, int recordMode);
int MOV_RunPreview(os::HWND hwnd);
int MOV_StopPreview(os::HWND hwnd);
// Opens a recording file at `path` and starts writing it.
int MOV_Start(os::HWND hwnd, const char* path, int playSound);
int MOV_Pause(os::HWND hwnd);
int MOV_Resume(os::HWND hwnd);
// Sets the graph back to sound and picture for the next file of a split.
int MOV_RestartRecording(os::HWND hwnd);
int MOV_SetBitrate(os::HWND hwnd, uint32_t videoKbps, uint32_t audioKbps);
// The still size the capture graph really uses; 0 when it has none.
int MOV_GetStillSize(os::HWND hwnd, uint32_t* width, uint32_t* height);
// Applies ContrastLevel, StabilizationOnOff and WDROnOff to the camera.
int MOV_ApplyCameraSettings(os::HWND hwnd);
// Each one camera control, as the camera screen's buttons change it.
int MOV_SetContrastLevel(os::HWND hwnd, uint32_t level);
int MOV_SetStabilization(os::HWND hwnd, int on);
int MOV_SetWDR(os::HWND hwnd, int on);

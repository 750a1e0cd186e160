// Recorder control: the capture graph, the hardware encoder and the event
// machinery behind the recording files.
//
// Contract:
// - The owner attaches a RecorderState to its window (MOV_Attach) and fills
//   its links before MOV_Init; every operation takes the window and finds the
//   state from it. Results are 1 for success and 0 for failure.
// - The control operations run on the main window's thread. Samples arrive on
//   the graph's streaming threads (OnCapturedSample); event clips are written
//   by the event writer thread. Graph commands are never sent while the
//   recorder lock is held, so a streaming thread waiting for the lock cannot
//   hold up a stop.
// - Continuous recording switches files back to back (MOV_SplitFile): the
//   streams keep running and every sample lands in exactly one file.
#pragma once

#include <cstdint>

#include "platform/base/types.h"
#include "recorder/recorder_state.h"
#include "sensing/evt_tag_record.h"

// What the next recording file holds.
constexpr int kStreamAudioVideo = 1;
constexpr int kStreamVideoOnly = 2;
constexpr int kStreamAudioOnly = 3;
constexpr int kStreamPreviewOnly = 4;
// How recordings are made: one file after the other, or only clips around events.
constexpr int kRecordContinuous = 1;
constexpr int kRecordEventOnly = 2;
// The event capture state: 1 after teardown, 2 armed, 3 an event clip is being written.
constexpr int kEventCaptureIdle = 1;
constexpr int kEventCaptureArmed = 2;
constexpr int kEventCaptureCapturing = 3;

// The storage-full code once a file could not go on for lack of space.
constexpr int kStorageFullCode = 2;
// The event poll's timer and period.
constexpr os::UINT_PTR kEventPollTimerId = 10;
constexpr os::UINT kEventPollPeriodMs = 200;

// Binds the state to the window; MOV_Detach after MOV_DeInit.
void MOV_Attach(os::HWND hwnd, RecorderState* state);
void MOV_Detach(os::HWND hwnd);
// The state attached to the window, or null.
RecorderState* MOV_State(os::HWND hwnd);

int MOV_Init(os::HWND hwnd, uint32_t videoBitrate, uint32_t audioBitrate, uint32_t jpegQuality, uint32_t stillWidth,
             uint32_t stillHeight);
int MOV_DeInit(os::HWND hwnd);
// Sets the stream and recording modes and runs the graph's preview. 0 when
// there is no graph; an already prepared graph counts as success.
int MOV_Prepare(os::HWND hwnd, int streamMode, int recordMode);
int MOV_Unprepare(os::HWND hwnd);
int MOV_RunPreview(os::HWND hwnd);
int MOV_StopPreview(os::HWND hwnd);
int MOV_RestartPreview(os::HWND hwnd);
// Arms the event machinery and, in continuous mode, opens a recording file at
// `path` (a device path) and starts writing it.
int MOV_Start(os::HWND hwnd, const char* path, int playSound);
// Closes the current file (reason 0 to 3) and disarms; a clip being written
// is finished first.
int MOV_Stop(os::HWND hwnd, int reason, int playSound);
// As MOV_Stop, also freeing the encoder's buffers: the power-loss path.
int MOV_StopAndRelease(os::HWND hwnd, int reason, int playSound);
// Closes the open continuous file and opens `nextPath` at once, without
// stopping the streams. 0 when no recording runs or the next file cannot be
// opened; the recording has then stopped.
int MOV_SplitFile(os::HWND hwnd, const char* nextPath);
// Copies up to `capacity` event records of the file closed last into
// `records`; returns how many it holds (0 without a recorder).
int MOV_ReadClosedEvents(os::HWND hwnd, EvtTagRecord* records, int capacity);
int MOV_Pause(os::HWND hwnd);
int MOV_Resume(os::HWND hwnd);
// Sets the graph back to sound and picture for the next file of a split.
int MOV_RestartRecording(os::HWND hwnd);
int MOV_SetBitrate(os::HWND hwnd, uint32_t videoKbps, uint32_t audioKbps);
int MOV_SetStillSize(os::HWND hwnd, uint32_t width, uint32_t height, int apply);
// The still size the capture graph really uses; 0 when it has none.
int MOV_GetStillSize(os::HWND hwnd, uint32_t* width, uint32_t* height);
// Takes a still into `path` (focus, flash and shutter sound as the settings say).
int MOV_SnapShot(os::HWND hwnd, const char* path);
// 1 when the camera makes its stills as JPEG itself ("IJPG"): they then reach
// RecorderState::stillReady as bytes instead of a written file.
int MOV_StillIsCompressed(os::HWND hwnd);
// Shows a still of width x height RGB24 pixels in place of the live picture
// for `ms`, scaled to the preview's size; 0 when it cannot be shown.
int MOV_ShowStill(os::HWND hwnd, const uint8_t* rgb, int width, int height, os::DWORD ms);
// Applies ContrastLevel, StabilizationOnOff and WDROnOff to the camera.
int MOV_ApplyCameraSettings(os::HWND hwnd);
// Each one camera control, as the camera screen's buttons change it.
int MOV_SetContrastLevel(os::HWND hwnd, uint32_t level);
int MOV_SetStabilization(os::HWND hwnd, int on);
int MOV_SetWDR(os::HWND hwnd, int on);
// Places the live preview in the main window's client area for the
// state's screen layout; the rectangle is kept as the preview rectangle.
int MOV_SetupVideoWindow(os::HWND hwnd);
// Shows a text on the preview for durationMs (-1: until replaced).
int MOV_ShowMessage(os::HWND hwnd, const char* text, int durationMs);

// An event was decided on by the event poll. In event-only mode it starts a
// clip (or is deferred while one is written); in continuous mode with tags on,
// `tag` (all but its frame position, sequence and elapsed time) goes into the
// open file. 0 when deferred or not taken, else what was done.
constexpr int kEventClipStarted = 1;
constexpr int kEventTaggedFile = 2;
int MOV_TakeEvent(os::HWND hwnd, const EvtTagRecord* tag);
// A deferred event whose clip may start now; 1 when one started.
int MOV_TakeDeferredEvent(os::HWND hwnd);

// The sink callback of the recording graph (see the sample writer).
int OnCapturedSample(const os::BYTE* data, os::LONG size, int kind, os::REFERENCE_TIME start, os::REFERENCE_TIME stop,
                     os::HWND hwnd);

// What a status display shows of the recorder.
struct RecorderStatusView {
    int recording = 0;      // a continuous file is open
    int paused = 0;
    int eventClip = 0;      // an event clip is being written
    int armed = 0;
    int recordMode = 0;
    std::uint32_t filesOpened = 0;
    std::uint32_t clipsWritten = 0;
    int storageFullCode = 0;
};
// 0, reading nothing, when no recorder is attached or its lock is busy.
int MOV_ReadStatus(os::HWND hwnd, RecorderStatusView* view);

// The capture graph manager: owns the camera and microphone and the media
// graph that joins them to the program's sinks (the recording sink, the
// preview sink and the still-image sink). Graph commands run on the
// manager's command thread; a caller sets the command word under the
// manager's own command lock, signals the command event and waits (at most
// kGraphCommandTimeoutMs of platform time) for its command to be done. The
// same thread services the graph's media events between commands. Camera
// and property steps run on the caller's thread under the command lock.
//
// Operations return platform results (HRESULT); an operation on a graph that
// was never built returns E_FAIL without touching the device. A failed
// command shows its message (a string id of the resource library) through
// CaptureGraph_NotifyMessage. Constructing the manager registers the encoder
// DMO; deleting it removes the registration.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/sync.h"
#include "platform/media/media_interfaces.h"
#include "platform/media/smi_camera.h"
#include "recorder/null_render_filter.h"
#include "res/resource_ids.h"

// The command word's values.
enum GraphCommand : int {
    kGraphBuild = 0,
    kGraphFinish = 1,
    kGraphShutdown = 2,
    kGraphRun = 3,
    kGraphStop = 4,
    kGraphStartRecording = 5,
    kGraphStopRecording = 6,
    kGraphAbortRecording = 7,
    kGraphPauseRecording = 8,
    kGraphResumeRecording = 9,
    kGraphTakeStill = 10,
    kGraphIdle = 11,
};

// The cookies recording control gives its stream starts and stops.
constexpr os::WORD kStartCookie = 1;
constexpr os::WORD kStopCookie = 2;

constexpr os::DWORD kGraphCommandTimeoutMs = 10000;
constexpr os::DWORD kStreamStopWaitMs = 3000;
constexpr os::DWORD kSecondStreamStopWaitMs = 1000;
constexpr os::DWORD kShutdownWaitMs = 3000;
// A still path holds at most this many characters.
constexpr std::size_t kStillPathMax = os::MAX_PATH - 1;
constexpr char kDefaultStillPath[] = "\\temp\\kestrava_fake.jpg";

constexpr int kProcAmpProperties = 8;
constexpr int kCameraControlProperties = 7;
constexpr int kStepValuesMax = 21;

struct PropertySteps {
    int count = 0;
    int index = 0;
    os::LONG values[kStepValuesMax] = {};
};

// Applies a new video bit rate to the encoder before a recording starts.
using BitrateApplier = void (*)(std::uint32_t videoKbps, os::HWND owner);
// Hands a written still file to the photo finisher.
using StillWrittenHandler = void (*)(const char* path, os::HWND owner);
// Hands a JPEG still the camera made itself to the photo finisher, on the
// camera's streaming thread; the bytes last only for the call.
using StillBytesHandler = void (*)(const os::BYTE* bytes, os::LONG length, os::HWND owner);

struct CaptureGraphManager {
    // Set by the owner before the build.
    os::HWND owner = nullptr;
    os::HINSTANCE resources = nullptr;  // the language library for message texts
    std::string model;                  // the device model ("sgh-i900" ...)
    int videoSize = 0;                  // 0: the preview at the preview size in RGB565; else 320x240 YV12
    int previewWidth = 320;
    int previewHeight = 240;
    SampleCallback recordCallback = nullptr;
    SampleCallback previewCallback = nullptr;
    BitrateApplier applyBitrate = nullptr;
    StillWrittenHandler stillWritten = nullptr;
    StillBytesHandler stillReady = nullptr;

    // The graph.
    os::ICaptureGraphBuilder2* builder = nullptr;
    os::IGraphBuilder* graph = nullptr;
    os::IBaseFilter* videoCapture = nullptr;
    os::IBaseFilter* audioCapture = nullptr;
    CNullRenderFilter* recordSink = nullptr;
    CNullRenderFilter* previewSink = nullptr;
    os::IBaseFilter* imageEncoder = nullptr;
    os::IBaseFilter* stillSink = nullptr;
    os::IFileSinkFilter* stillFileSink = nullptr;
    os::IMediaEventEx* mediaEvents = nullptr;
    os::HANDLE mediaEventHandle = nullptr;
    os::SMI_CAMERA_HANDLE camera = 0;
    bool cameraOpen = false;
    bool built = false;
    bool running = false;
    // Set when the build found no camera (0x80070037, 0x80004002); stays set.
    bool cameraUnavailable = false;

    // Commands: the word and its serial under stateLock; callers
    // hold commandLock for a whole command.
    os::CRITICAL_SECTION commandLock{};
    os::CRITICAL_SECTION stateLock{};
    std::atomic<int> command{kGraphIdle};
    std::uint32_t commandSerial = 0;
    std::uint32_t doneSerial = 0;
    os::HRESULT doneResult = os::S_OK;
    os::HANDLE commandEvent = nullptr;
    os::HANDLE doneEvent = nullptr;
    os::HANDLE thread = nullptr;

    // Stream stops and written stills, counted under stopLock; streamStopped
    // is signalled at each.
    os::CRITICAL_SECTION stopLock{};
    os::HANDLE streamStopped = nullptr;
    int streamsStopped = 0;
    // The pins that stream-control events named, in the order first seen
    // (for the trace); the command thread's alone.
    std::vector<os::LONG_PTR> eventPins;
    std::uint32_t stillsRequested = 0;
    std::uint32_t stillsWritten = 0;

    int streamMode = 1;  // 1 sound and picture, 2 picture, 3 sound
    char stillPath[os::MAX_PATH] = {};
    std::uint32_t videoKbps = 0;
    std::uint32_t audioKbps = 0;
    bool bitrateChanged = false;
    std::uint32_t jpegQuality = 90;
    std::uint32_t stillWidth = 640;
    std::uint32_t stillHeight = 480;
    os::GUID stillSubtype = os::MEDIASUBTYPE_YV12;
    // 1 while stillSubtype is a JPEG one, for readers on other threads.
    std::atomic<int> stillCompressed{0};
    PropertySteps procAmp[kProcAmpProperties];
    PropertySteps cameraControl[kCameraControlProperties];

    // The message on the preview: text (id when the library has none), kind, time.
    int messageId = 0;
    std::string messageText;
    int messageKind = 0;
    int messageDurationMs = 0;
    // After a stop for lack of space: the status text and storage-full code 2.
    std::string statusText;
    int storageFullCode = 0;
};

// Construction registers the encoder DMO; deletion shuts the graph down
// when it still runs and removes the registration.
CaptureGraphManager* CaptureGraph_New();
void CaptureGraph_Delete(CaptureGraphManager* m);

void CaptureGraph_AttachWindow(CaptureGraphManager* m, os::HWND owner);
// The command, done and stream-stopped events and the command thread.
os::HRESULT CaptureGraph_Create(CaptureGraphManager* m);
os::HRESULT CaptureGraph_Build(CaptureGraphManager* m);
// Arms the capture streams and runs the graph, on the caller's thread.
os::HRESULT CaptureGraph_Finish(CaptureGraphManager* m);
// 1, 2 or 3; E_INVALIDARG (nothing changes) otherwise.
os::HRESULT CaptureGraph_SetStreamMode(CaptureGraphManager* m, int mode);
os::HRESULT CaptureGraph_Run(CaptureGraphManager* m);
os::HRESULT CaptureGraph_Stop(CaptureGraphManager* m);
os::HRESULT CaptureGraph_StartRecording(CaptureGraphManager* m);
os::HRESULT CaptureGraph_PauseRecording(CaptureGraphManager* m);
os::HRESULT CaptureGraph_StopRecording(CaptureGraphManager* m);
os::HRESULT CaptureGraph_AbortRecording(CaptureGraphManager* m, int reason);
os::HRESULT CaptureGraph_ResumeRecording(CaptureGraphManager* m);
// Empty path: the default file, and the call waits for it to be written.
os::HRESULT CaptureGraph_TakeStill(CaptureGraphManager* m, const char* path);
os::HRESULT CaptureGraph_Shutdown(CaptureGraphManager* m);

void CaptureGraph_SetBitrates(CaptureGraphManager* m, std::uint32_t videoKbps, std::uint32_t audioKbps);
void CaptureGraph_SetJpegQuality(CaptureGraphManager* m, std::uint32_t quality);
void CaptureGraph_SetStillSize(CaptureGraphManager* m, std::uint32_t width, std::uint32_t height);
void CaptureGraph_GetStillSize(const CaptureGraphManager* m, std::uint32_t* width, std::uint32_t* height);
// The recording sink's negotiated formats; VFW_E_NOT_CONNECTED before.
os::HRESULT CaptureGraph_ReadMediaFormats(CaptureGraphManager* m, os::VIDEOINFOHEADER* video, os::WAVEFORMATEX* audio);
// Shows a text on the preview for durationMs (-1: until replaced).
void CaptureGraph_NotifyMessage(CaptureGraphManager* m, int kind, const char* text, int durationMs);
void CaptureGraph_NotifyMessageId(CaptureGraphManager* m, int kind, int id, int durationMs);

// Rebuilds the still chain for a new still format and runs the graph again.
os::HRESULT CaptureGraph_ChangeStillSize(CaptureGraphManager* m, std::uint32_t width, std::uint32_t height,
                                         const os::GUID& subtype);
// Rebuilds the Smart Tee's branches for a new VideoSize (the recording
// sink's too, so that it learns the new picture size) and runs the graph again.
os::HRESULT CaptureGraph_ChangePreviewSize(CaptureGraphManager* m, int videoSize);
// Sets the microphone's first PCM capability to this rate and joins it to
// the recording sink again; a rate the sink refuses fails (with its message)
// and leaves the microphone at its former format.
os::HRESULT CaptureGraph_SetAudioSampleRate(CaptureGraphManager* m, int samplesPerSec);

// Property steps: direction > 0 steps up, else down; index -1 steps from
// the current index, another index (clamped to the table) is taken as is;
// the auto flag sets the property automatic instead.
os::HRESULT CaptureGraph_ProcAmpStep(CaptureGraphManager* m, int property, int direction, int index, bool automatic);
os::HRESULT CaptureGraph_CameraControlStep(CaptureGraphManager* m, int property, int direction, int index,
                                           bool automatic);
os::HRESULT CaptureGraph_ZoomStep(CaptureGraphManager* m, int direction);
os::HRESULT CaptureGraph_Flip(CaptureGraphManager* m, bool vertical, bool on);

os::HRESULT CaptureGraph_AutoFocus(CaptureGraphManager* m);
os::HRESULT CaptureGraph_SetIso(CaptureGraphManager* m, os::DWORD iso);
os::HRESULT CaptureGraph_Stabilization(CaptureGraphManager* m, bool on);
os::HRESULT CaptureGraph_Wdr(CaptureGraphManager* m, bool on);
os::HRESULT CaptureGraph_Flash(CaptureGraphManager* m, bool on);

// The media-event step of the command thread for one event (also for tests).
void CaptureGraph_HandleMediaEvent(CaptureGraphManager* m, os::LONG code, os::LONG_PTR param1, os::LONG_PTR param2);

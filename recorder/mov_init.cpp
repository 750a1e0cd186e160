// MOV_Init and MOV_DeInit: the capture graph, the hardware encoder with its
// buffers, the preview picture and the event machinery.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/base/trace.h"
#include "platform/devices/device.h"
#include "recorder/event_machinery.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"

namespace {

std::atomic<RecorderState*> g_state{nullptr};
std::atomic<os::HWND> g_window{nullptr};

constexpr int kHeaderCapacity = 1024;
constexpr int kSilenceBytes = 1 << 16;

bool IsI900(const std::string& model)
{
    std::string lower(model);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower == "sgh-i900";
}

void ApplyBitrateToEncoder(std::uint32_t videoKbps, os::HWND owner)
{
    RecorderState* s = MOV_State(owner);
    if (s == nullptr) return;
    os::EnterCriticalSection(&s->lock);
    if (s->encoderOpen && !MFC_ChangeQuality(static_cast<int>(videoKbps))) {
        os::Trace("Fail Vpu VideoQuality - vpu_start\r\n");
    }
    os::LeaveCriticalSection(&s->lock);
}

// The preview sink's callback, on its streaming thread: the picture becomes
// the screen's latest. The sink's format follows VideoSize, which changes
// only while the graph is stopped.
int OnPreviewSample(const os::BYTE* data, os::LONG length, int kind, os::REFERENCE_TIME, os::REFERENCE_TIME,
                    os::HWND context)
{
    RecorderState* s = MOV_State(context);
    if (s == nullptr || s->graph == nullptr || kind != kSampleVideo) return 0;
    const CaptureGraphManager* m = s->graph;
    const bool large = m->videoSize != 0;
    PreviewFrame_Put(&s->preview, data, length, large ? 320 : m->previewWidth, large ? 240 : m->previewHeight,
                     !large);
    return 0;
}

// The graph in the order the manager needs it; the still size it settled on
// is read back into the state's settings by the caller.
bool BuildGraph(RecorderState* s, os::HWND hwnd, std::uint32_t videoKbps, std::uint32_t audioKbps,
                std::uint32_t jpegQuality, std::uint32_t stillWidth, std::uint32_t stillHeight)
{
    CaptureGraphManager* m = CaptureGraph_New();
    if (m == nullptr) return false;
    s->graph = m;
    m->resources = s->resources;
    os::SystemParametersInfoW(os::SPI_GETOEMINFO, 256, &m->model, 0);
    m->videoSize = static_cast<int>(s->settings->VideoSize);
    m->previewWidth = s->previewWidth;
    m->previewHeight = s->previewHeight;
    m->recordCallback = OnCapturedSample;
    m->previewCallback = OnPreviewSample;
    m->applyBitrate = ApplyBitrateToEncoder;
    m->stillWritten = s->stillWritten;
    m->stillReady = s->stillReady;
    CaptureGraph_AttachWindow(m, hwnd);
    if (os::FAILED(CaptureGraph_Create(m))) return false;
    // A first start has no still size yet: the graph's own stays.
    if (stillWidth != 0 && stillHeight != 0) CaptureGraph_SetStillSize(m, stillWidth, stillHeight);
    CaptureGraph_SetBitrates(m, videoKbps, audioKbps);
    CaptureGraph_SetJpegQuality(m, jpegQuality);
    if (os::FAILED(CaptureGraph_Build(m))) return false;
    if (os::FAILED(CaptureGraph_Finish(m))) return false;
    s->graphRunning = 1;
    return true;
}

bool StartEncoder(RecorderState* s)
{
    if (!MFC_Initialize()) return false;
    EncoderParams params;
    MFC_SetDefaults(&params);
    params.width = s->previewWidth;
    params.height = s->previewHeight;
    params.frameRate = s->frameRate;
    const std::uint32_t kbps = s->graph->videoKbps * (s->settings->VideoSize == 1 ? 4 : 1);
    params.bitRateKbps = static_cast<int>(std::min<std::uint32_t>(kbps, 0x7FFFFFFF));
    if (!MFC_Apply(&params) || !MFC_Open()) return false;
    s->encoderOpen = true;
    if (!MFC_AllocInputFrame(s->previewWidth, s->previewHeight, &s->inputFrame)) return false;
    s->frameScratchSize = kHeaderCapacity + s->previewWidth * s->previewHeight * 3 / 2;
    s->frameScratch = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(s->frameScratchSize)];
    s->silence = new (std::nothrow) std::uint8_t[kSilenceBytes]();
    s->silenceSize = s->silence ? kSilenceBytes : 0;
    return s->frameScratch != nullptr && s->silence != nullptr;
}

}  // namespace

void MOV_Attach(os::HWND hwnd, RecorderState* state)
{
    state->window = hwnd;
    g_state.store(state);
    g_window.store(hwnd);
}

void MOV_Detach(os::HWND hwnd)
{
    if (g_window.load() != hwnd) return;
    g_window.store(nullptr);
    g_state.store(nullptr);
}

RecorderState* MOV_State(os::HWND hwnd)
{
    return hwnd != nullptr && g_window.load() == hwnd ? g_state.load() : nullptr;
}

int MOV_Init(os::HWND hwnd, uint32_t videoBitrate, uint32_t audioBitrate, uint32_t jpegQuality, uint32_t stillWidth,
             uint32_t stillHeight)
{
    RecorderState* s = MOV_State(hwnd);
    if (s == nullptr || s->settings == nullptr || s->graph != nullptr) return 0;
    std::string model;
    os::SystemParametersInfoW(os::SPI_GETOEMINFO, 256, &model, 0);
    s->frameRate = IsI900(model) ? 24 : 30;
    s->frameDuration = 10000000 / s->frameRate;
    s->videoKbps = videoBitrate;
    s->audioKbps = audioBitrate;
    os::InitializeCriticalSection(&s->lock);
    s->lockMade = true;
    PreviewFrame_Init(&s->preview);
    if (!BuildGraph(s, hwnd, videoBitrate, audioBitrate, jpegQuality, stillWidth, stillHeight)) {
        s->cameraUnavailable = s->graph != nullptr && s->graph->cameraUnavailable;
        os::Trace("MOV_Init: the capture graph could not be built\r\n");
        MOV_DeInit(hwnd);
        return 0;
    }
    MOV_SetupVideoWindow(hwnd);
    if (!StartEncoder(s)) {
        os::Trace("MOV_Init: the video encoder could not be started\r\n");
        return 0;
    }
    return StartEventMachinery(s);
}

int MOV_DeInit(os::HWND hwnd)
{
    RecorderState* s = MOV_State(hwnd);
    if (s == nullptr || !s->lockMade) return 0;
    if (s->graph != nullptr) {
        // Deleting the graph ends its streaming threads: no sample reaches
        // the recorder after this.
        CaptureGraph_Delete(s->graph);
        s->graph = nullptr;
    }
    PreviewFrame_Release(&s->preview);
    s->graphRunning = 0;
    s->status.prepared = 0;
    const bool writerEnded = StopEventMachinery(s);
    os::EnterCriticalSection(&s->lock);
    ReleaseEncoder(s);
    delete[] s->frameScratch;
    s->frameScratch = nullptr;
    delete[] s->silence;
    s->silence = nullptr;
    s->silenceSize = 0;
    os::LeaveCriticalSection(&s->lock);
    // A writer thread that did not end may still hold the lock's address.
    if (writerEnded) {
        os::DeleteCriticalSection(&s->lock);
        s->lockMade = false;
    }
    return 1;
}

// The recorder's control operations: prepare, preview, start, stop, split,
// pause and resume, and the camera pass-throughs. Graph commands are sent
// without the recorder lock (a stop waits for the streaming threads, which
// take that lock for each sample); the file and timeline change under it.
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "recorder/event_machinery.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"
#include "sensing/record_sound.h"

namespace {

constexpr os::LONG kProcAmpContrast = 1;

RecorderState* RecorderOf(os::HWND hwnd)
{
    RecorderState* s = MOV_State(hwnd);
    return s != nullptr && s->graph != nullptr ? s : nullptr;
}

os::SYSTEMTIME SystemTimeOf(std::int64_t value)
{
    os::FILETIME ft;
    ft.dwLowDateTime = static_cast<os::DWORD>(value);
    ft.dwHighDateTime = static_cast<os::DWORD>(static_cast<std::uint64_t>(value) >> 32);
    os::SYSTEMTIME t{};
    os::FileTimeToSystemTime(&ft, &t);
    return t;
}

os::HRESULT StopGraphRecording(RecorderState* s, int reason)
{
    return reason >= 1 && reason <= 3 ? CaptureGraph_AbortRecording(s->graph, reason)
                                      : CaptureGraph_StopRecording(s->graph);
}

// Closes the continuous file after the streams stopped (or failed to).
void CloseContinuousFile(RecorderState* s)
{
    os::EnterCriticalSection(&s->lock);
    s->status.paused = 0;
    s->status.recording = 0;
    os::GetLocalTime(&s->status.stopTime);
    CloseRecordingFile(s, 0);
    os::LeaveCriticalSection(&s->lock);
}

// Opens the file of a continuous recording and starts the streams into it.
int StartContinuous(RecorderState* s, const char* path, int playSound)
{
    if (playSound) PlayRecordSound(s->window, 1);
    const RecordingFormats formats = ReadRecordingFormats(s);
    os::EnterCriticalSection(&s->lock);
    const int opened = OpenRecordingFile(s, path, formats);
    if (opened) {
        s->status.pauseStart = os::SYSTEMTIME{};
        s->status.pausedTotal = os::SYSTEMTIME{};
        os::GetLocalTime(&s->status.startTime);
        s->startTime = s->status.startTime;
        s->status.recording = 1;
    }
    os::LeaveCriticalSection(&s->lock);
    if (!opened) return 0;
    const os::HRESULT hr = CaptureGraph_StartRecording(s->graph);
    if (os::FAILED(hr)) {
        os::Trace("MOV_Start: the graph did not start recording (0x%08x); the file is closed\r\n",
                  static_cast<unsigned>(hr));
        CloseContinuousFile(s);
        return 0;
    }
    return 1;
}

}  // namespace

int MOV_Prepare(os::HWND hwnd, int streamMode, int recordMode)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    if (s->status.prepared) return 1;
    if (streamMode >= kStreamAudioVideo && streamMode <= kStreamAudioOnly &&
        os::FAILED(CaptureGraph_SetStreamMode(s->graph, streamMode))) {
        return 0;
    }
    s->status.prepared = 1;
    s->StreamMode.store(streamMode);
    s->RecordMode.store(recordMode);
    if (recordMode == kRecordEventOnly && !EnsureEventWriter(s)) return 0;
    return MOV_RunPreview(hwnd);
}

int MOV_Unprepare(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || !s->status.prepared) return 0;
    if (os::FAILED(CaptureGraph_Stop(s->graph))) return 0;
    s->graphRunning = 0;
    PreviewFrame_Forget(&s->preview);
    s->status.prepared = 0;
    s->StreamMode.store(0);
    return 1;
}

int MOV_RunPreview(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    if (s->graphRunning) return 1;
    if (os::FAILED(CaptureGraph_Run(s->graph))) return 0;
    s->graphRunning = 1;
    return 1;
}

int MOV_StopPreview(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    if (!s->graphRunning) return 1;
    // The graph carries the recording too: while one runs, only the
    // preview's drawing stops.
    if (s->status.recording || s->armed.load()) return 1;
    if (os::FAILED(CaptureGraph_Stop(s->graph))) return 0;
    s->graphRunning = 0;
    PreviewFrame_Forget(&s->preview);
    return 1;
}

int MOV_RestartPreview(os::HWND hwnd)
{
    return MOV_StopPreview(hwnd) && MOV_RunPreview(hwnd);
}

int MOV_Start(os::HWND hwnd, const char* path, int playSound)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || s->status.recording) return 0;
    os::EnterCriticalSection(&s->lock);
    s->timeline.distanceKm = 0;
    s->timeline.previousLatitude = 0;
    s->timeline.previousLongitude = 0;
    s->bufferPreviousLatitude = 0;
    s->bufferPreviousLongitude = 0;
    os::LeaveCriticalSection(&s->lock);
    if (!ArmEvents(s)) return 0;
    int started;
    if (s->RecordMode.load() == kRecordEventOnly) {
        started = EnsureEventWriter(s) && os::SUCCEEDED(CaptureGraph_StartRecording(s->graph));
    } else {
        started = StartContinuous(s, path, playSound);
    }
    if (!started) DisarmEvents(s);
    return started;
}

int MOV_Stop(os::HWND hwnd, int reason, int playSound)
{
    RecorderState* s = MOV_State(hwnd);
    if (s == nullptr || s->graph == nullptr) {
        os::Trace("FATAL: pContext(%p), pGraphManager(%p)\r\n", static_cast<void*>(s),
                  static_cast<void*>(s ? s->graph : nullptr));
        return 0;
    }
    os::HRESULT hr = os::S_OK;
    if (s->RecordMode.load() != kRecordEventOnly) {
        if (!s->status.recording) return 0;
        hr = StopGraphRecording(s, reason);
        CloseContinuousFile(s);
        if (playSound) PlayRecordSound(hwnd, 0);
    } else {
        if (!s->armed.load()) return 0;
        hr = StopGraphRecording(s, reason);
    }
    DisarmEvents(s);
    if (os::FAILED(hr)) os::Trace("MOV_Stop: the graph did not stop (0x%08x)\r\n", static_cast<unsigned>(hr));
    return os::SUCCEEDED(hr) ? 1 : 0;
}

int MOV_StopAndRelease(os::HWND hwnd, int reason, int playSound)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    os::HRESULT hr = os::S_OK;
    if (s->RecordMode.load() == kRecordEventOnly) {
        DisarmEvents(s);
        os::EnterCriticalSection(&s->lock);
        if (s->inputFrame.handle != 0) MFC_FreeInputFrame(&s->inputFrame);
        s->inputFrame = PhysBuffer{};
        os::LeaveCriticalSection(&s->lock);
        hr = StopGraphRecording(s, reason);
    } else {
        if (!s->status.recording) return 0;
        hr = StopGraphRecording(s, reason);
        CloseContinuousFile(s);
        os::EnterCriticalSection(&s->lock);
        // The codec's memory goes now; the instance itself is closed by MOV_DeInit.
        if (s->encoderOpen) MFC_FreeBuffers();
        s->encoderBuffersFreed = true;
        if (s->inputFrame.handle != 0) MFC_FreeInputFrame(&s->inputFrame);
        s->inputFrame = PhysBuffer{};
        os::LeaveCriticalSection(&s->lock);
        if (playSound) PlayRecordSound(hwnd, 0);
    }
    return os::SUCCEEDED(hr) ? 1 : 0;
}

int MOV_SplitFile(os::HWND hwnd, const char* nextPath)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || !s->status.recording) return 0;
    const RecordingFormats formats = ReadRecordingFormats(s);
    os::EnterCriticalSection(&s->lock);
    os::GetLocalTime(&s->status.stopTime);
    CloseRecordingFile(s, 0);
    const int opened = OpenRecordingFile(s, nextPath, formats);
    if (opened) {
        s->status.startTime = s->status.stopTime;
        s->startTime = s->status.startTime;
        s->status.pauseStart = os::SYSTEMTIME{};
        s->status.pausedTotal = os::SYSTEMTIME{};
    } else {
        s->status.recording = 0;
    }
    os::LeaveCriticalSection(&s->lock);
    if (opened) return 1;
    CaptureGraph_StopRecording(s->graph);
    DisarmEvents(s);
    return 0;
}

int MOV_ReadClosedEvents(os::HWND hwnd, EvtTagRecord* records, int capacity)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || records == nullptr) return 0;
    os::EnterCriticalSection(&s->lock);
    const int count = std::clamp(s->closedEventCount, 0, capacity);
    std::copy_n(s->closedEvents, count, records);
    os::LeaveCriticalSection(&s->lock);
    return count;
}

int MOV_Pause(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || !s->status.recording || s->status.paused) return 0;
    if (os::FAILED(CaptureGraph_PauseRecording(s->graph))) return 0;
    os::EnterCriticalSection(&s->lock);
    RecorderTimeline& t = s->timeline;
    const bool videoOnly = s->StreamMode.load() == kStreamVideoOnly;
    t.pauseTimestamp = videoOnly ? t.lastVideoTimestamp : t.lastAudioTimestamp;
    t.pauseSet = t.baseSet;
    char when[32];
    std::snprintf(when, sizeof when, "%.3f s", static_cast<double>(t.pauseTimestamp) / 1e7);
    os::Trace("PauseEncoder Pause time=%s,\r\n", when);
    s->status.paused = 1;
    os::GetLocalTime(&s->status.pauseStart);
    os::LeaveCriticalSection(&s->lock);
    return 1;
}

int MOV_Resume(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || !s->status.paused) return 0;
    if (os::FAILED(CaptureGraph_ResumeRecording(s->graph))) return 0;
    os::EnterCriticalSection(&s->lock);
    os::Trace("ResumeEncoder\r\n");
    s->status.paused = 0;
    os::SYSTEMTIME now;
    os::GetLocalTime(&now);
    const std::int64_t paused = FileTimeValue(now) - FileTimeValue(s->status.pauseStart);
    const bool none = s->status.pausedTotal.wYear == 0;
    const std::int64_t total = (none ? 0 : FileTimeValue(s->status.pausedTotal)) + (paused > 0 ? paused : 0);
    s->status.pausedTotal = SystemTimeOf(total);
    os::LeaveCriticalSection(&s->lock);
    return 1;
}

int MOV_RestartRecording(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || os::FAILED(CaptureGraph_SetStreamMode(s->graph, kStreamAudioVideo))) return 0;
    s->StreamMode.store(kStreamAudioVideo);
    return 1;
}

int MOV_SetBitrate(os::HWND hwnd, uint32_t videoKbps, uint32_t audioKbps)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    s->videoKbps = videoKbps;
    s->audioKbps = audioKbps;
    CaptureGraph_SetBitrates(s->graph, videoKbps, audioKbps);
    return 1;
}

int MOV_SetStillSize(os::HWND hwnd, uint32_t width, uint32_t height, int apply)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    if (!apply) {
        CaptureGraph_SetStillSize(s->graph, width, height);
        return 1;
    }
    return os::SUCCEEDED(CaptureGraph_ChangeStillSize(s->graph, width, height, s->graph->stillSubtype)) ? 1 : 0;
}

int MOV_GetStillSize(os::HWND hwnd, uint32_t* width, uint32_t* height)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr || !s->graph->built) return 0;
    CaptureGraph_GetStillSize(s->graph, width, height);
    return 1;
}

int MOV_StillIsCompressed(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    return s != nullptr && s->graph->stillCompressed.load() ? 1 : 0;
}

int MOV_ShowStill(os::HWND hwnd, const uint8_t* rgb, int width, int height, os::DWORD ms)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    const CaptureGraphManager* m = s->graph;
    const bool large = m->videoSize != 0;
    return PreviewFrame_ShowStill(&s->preview, rgb, width, height, large ? 320 : m->previewWidth,
                                  large ? 240 : m->previewHeight, ms)
               ? 1
               : 0;
}

int MOV_SnapShot(os::HWND hwnd, const char* path)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    const RecorderSettings& settings = *s->settings;
    if (settings.EnableAutoFocus != 0) {
        if (settings.EnableCameraFlash != 0) CaptureGraph_Flash(s->graph, true);
        PlayAutoFocusSound(hwnd, 0);
        CaptureGraph_AutoFocus(s->graph);
        if (settings.EnableCameraFlash != 0) CaptureGraph_Flash(s->graph, false);
    }
    PlayShutterSound(hwnd);
    const bool taken = os::SUCCEEDED(CaptureGraph_TakeStill(s->graph, path));
    os::Trace(taken ? "MOV_SnapShot Success\r\n" : "MOV_SnapShot Error\r\n");
    return taken ? 1 : 0;
}

int MOV_SetContrastLevel(os::HWND hwnd, uint32_t level)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    const os::HRESULT hr = CaptureGraph_ProcAmpStep(s->graph, kProcAmpContrast, 0, static_cast<int>(level), false);
    return os::SUCCEEDED(hr) ? 1 : 0;
}

int MOV_SetStabilization(os::HWND hwnd, int on)
{
    RecorderState* s = RecorderOf(hwnd);
    return s != nullptr && os::SUCCEEDED(CaptureGraph_Stabilization(s->graph, on != 0)) ? 1 : 0;
}

int MOV_SetWDR(os::HWND hwnd, int on)
{
    RecorderState* s = RecorderOf(hwnd);
    return s != nullptr && os::SUCCEEDED(CaptureGraph_Wdr(s->graph, on != 0)) ? 1 : 0;
}

int MOV_ApplyCameraSettings(os::HWND hwnd)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    const RecorderSettings& settings = *s->settings;
    const int contrast = MOV_SetContrastLevel(hwnd, settings.ContrastLevel);
    const int stabilization = MOV_SetStabilization(hwnd, settings.StabilizationOnOff != 0);
    const int wdr = MOV_SetWDR(hwnd, settings.WDROnOff != 0);
    return contrast && stabilization && wdr;
}

int MOV_ShowMessage(os::HWND hwnd, const char* text, int durationMs)
{
    RecorderState* s = RecorderOf(hwnd);
    if (s == nullptr) return 0;
    CaptureGraph_NotifyMessage(s->graph, 0, text, durationMs);
    return 1;
}

#include "recorder/capture_graph.h"

#include <cstring>
#include <new>

#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "platform/shell/resource.h"
#include "recorder/capture_graph_steps.h"
#include "recorder/encoder_dmo_registry.h"

namespace {

int FailureMessage(int command)
{
    switch (command) {
        case kGraphBuild: return kestrava::res::IDS_GRAPH_BUILD_FAILED;
        case kGraphFinish: return kestrava::res::IDS_GRAPH_RUN_FAILED;
        case kGraphStartRecording: return kestrava::res::IDS_REC_START_FAILED;
        case kGraphStopRecording: return kestrava::res::IDS_REC_STOP_FAILED;
        case kGraphAbortRecording: return kestrava::res::IDS_REC_STOP_FAILED;
        case kGraphPauseRecording: return kestrava::res::IDS_REC_PAUSE_FAILED;
        case kGraphResumeRecording: return kestrava::res::IDS_REC_RESUME_FAILED;
        case kGraphTakeStill: return kestrava::res::IDS_STILL_FAILED;
        default: return 0;
    }
}

os::HRESULT RunGraphCommand(CaptureGraphManager* m, int command)
{
    os::HRESULT hr = os::S_OK;
    switch (command) {
        case kGraphBuild: hr = BuildGraph(m); break;
        case kGraphFinish: hr = FinishGraph(m); break;
        case kGraphRun: hr = ControlGraph(m, GraphState::Run); break;
        case kGraphStop: hr = ControlGraph(m, GraphState::Stop); break;
        case kGraphStartRecording: hr = StartRecordingStreams(m); break;
        case kGraphStopRecording:
        case kGraphAbortRecording: hr = StopRecordingStreams(m); break;
        case kGraphPauseRecording:
            hr = StopRecordingStreams(m);
            if (os::SUCCEEDED(hr)) CaptureGraph_NotifyMessageId(m, 0, kestrava::res::IDS_REC_PAUSED, -1);
            break;
        case kGraphResumeRecording:
            hr = ResumeRecordingStreams(m);
            if (os::SUCCEEDED(hr)) CaptureGraph_NotifyMessageId(m, 0, kestrava::res::IDS_REC_RESUMED, 3000);
            break;
        case kGraphTakeStill:
            hr = TriggerStill(m);
            if (os::FAILED(hr)) {
                // No file will come for this still: it is settled.
                os::EnterCriticalSection(&m->stopLock);
                ++m->stillsWritten;
                os::LeaveCriticalSection(&m->stopLock);
                os::SetEvent(m->streamStopped);
            }
            break;
        default: break;
    }
    if (os::FAILED(hr)) {
        os::Trace("Graph command %d failed 0x%08x", command, static_cast<unsigned>(hr));
        const int message = FailureMessage(command);
        if (message != 0) CaptureGraph_NotifyMessageId(m, 1, message, -1);
    }
    return hr;
}

void ProcessMediaEvents(CaptureGraphManager* m)
{
    if (m->mediaEvents == nullptr) return;
    os::LONG code = 0;
    os::LONG_PTR param1 = 0;
    os::LONG_PTR param2 = 0;
    while (m->mediaEvents->GetEvent(&code, &param1, &param2, 0) == os::S_OK) {
        CaptureGraph_HandleMediaEvent(m, code, param1, param2);
        m->mediaEvents->FreeEventParams(code, param1, param2);
    }
}

os::DWORD CommandThread(void* param)
{
    auto* m = static_cast<CaptureGraphManager*>(param);
    for (;;) {
        const os::HANDLE handles[2] = {m->commandEvent, m->mediaEventHandle};
        const os::DWORD count = m->mediaEventHandle != nullptr ? 2 : 1;
        const os::DWORD woke = os::WaitForMultipleObjects(count, handles, os::FALSE, os::INFINITE);
        if (woke == os::WAIT_OBJECT_0 + 1) {
            ProcessMediaEvents(m);
            continue;
        }
        if (woke != os::WAIT_OBJECT_0) {
            os::Trace("Graph command thread: wait failed, error %u", os::GetLastError());
            TearDownGraph(m);
            return 1;
        }
        os::EnterCriticalSection(&m->stateLock);
        const int command = m->command.load();
        const std::uint32_t serial = m->commandSerial;
        os::LeaveCriticalSection(&m->stateLock);
        if (command == kGraphShutdown) {
            TearDownGraph(m);
            return 0;
        }
        const os::HRESULT hr = RunGraphCommand(m, command);
        os::EnterCriticalSection(&m->stateLock);
        m->doneSerial = serial;
        m->doneResult = hr;
        os::LeaveCriticalSection(&m->stateLock);
        os::SetEvent(m->doneEvent);
    }
}

// Hands one command to the thread and waits for its result; the caller
// holds the command lock. A command the thread has not taken up when the
// wait ends is withdrawn.
os::HRESULT SendCommand(CaptureGraphManager* m, int command)
{
    os::EnterCriticalSection(&m->stateLock);
    const std::uint32_t serial = ++m->commandSerial;
    m->command.store(command);
    os::LeaveCriticalSection(&m->stateLock);
    os::SetEvent(m->commandEvent);

    const os::DWORD started = os::GetTickCount();
    for (;;) {
        os::EnterCriticalSection(&m->stateLock);
        const bool done = m->doneSerial == serial;
        const os::HRESULT result = m->doneResult;
        os::LeaveCriticalSection(&m->stateLock);
        if (done) {
            int expected = command;
            m->command.compare_exchange_strong(expected, kGraphIdle);
            return result;
        }
        const os::DWORD waited = os::GetTickCount() - started;
        if (waited >= kGraphCommandTimeoutMs ||
            os::WaitForSingleObject(m->doneEvent, kGraphCommandTimeoutMs - waited) == os::WAIT_FAILED) {
            int expected = command;
            m->command.compare_exchange_strong(expected, kGraphIdle);
            os::Trace("Graph command %d not done after %u ms", command, static_cast<unsigned>(kGraphCommandTimeoutMs));
            return os::VFW_E_TIMEOUT;
        }
    }
}

void ResetStreamStops(CaptureGraphManager* m)
{
    os::EnterCriticalSection(&m->stopLock);
    m->streamsStopped = 0;
    os::ResetEvent(m->streamStopped);
    os::LeaveCriticalSection(&m->stopLock);
}

// Waits until `done` holds, re-checking at each signal of streamStopped.
template <class Done>
bool WaitStopped(CaptureGraphManager* m, os::DWORD timeoutMs, Done done)
{
    const os::DWORD started = os::GetTickCount();
    for (;;) {
        os::EnterCriticalSection(&m->stopLock);
        const bool reached = done();
        os::LeaveCriticalSection(&m->stopLock);
        if (reached) return true;
        const os::DWORD waited = os::GetTickCount() - started;
        if (waited >= timeoutMs) return false;
        if (os::WaitForSingleObject(m->streamStopped, timeoutMs - waited) == os::WAIT_FAILED) return false;
    }
}

// The stop waits after a pause or stop: the first stream, then with sound
// and picture the second one.
void WaitForStreamStops(CaptureGraphManager* m, const char* firstTimeout, const char* secondTimeout)
{
    if (!WaitStopped(m, kStreamStopWaitMs, [m] { return m->streamsStopped >= 1; })) {
        os::Trace("%s", firstTimeout);
        return;
    }
    if (m->streamMode == 1 && !WaitStopped(m, kSecondStreamStopWaitMs, [m] { return m->streamsStopped >= 2; })) {
        os::Trace("%s", secondTimeout);
    }
}

bool Created(const CaptureGraphManager* m)
{
    return m->thread != nullptr;
}

os::HRESULT BuiltCommand(CaptureGraphManager* m, int command)
{
    if (!m->built) return os::E_FAIL;
    return SendCommand(m, command);
}

}  // namespace

CaptureGraphManager* CaptureGraph_New()
{
    auto* m = new (std::nothrow) CaptureGraphManager;
    if (m == nullptr) return nullptr;
    os::InitializeCriticalSection(&m->commandLock);
    os::InitializeCriticalSection(&m->stateLock);
    os::InitializeCriticalSection(&m->stopLock);
    RegisterEncoderDmo();
    return m;
}

void CaptureGraph_Delete(CaptureGraphManager* m)
{
    if (m == nullptr) return;
    if (Created(m)) CaptureGraph_Shutdown(m);
    UnregisterEncoderDmo();
    os::DeleteCriticalSection(&m->stopLock);
    os::DeleteCriticalSection(&m->stateLock);
    os::DeleteCriticalSection(&m->commandLock);
    delete m;
}

void CaptureGraph_AttachWindow(CaptureGraphManager* m, os::HWND owner)
{
    m->owner = owner;
}

os::HRESULT CaptureGraph_Create(CaptureGraphManager* m)
{
    CommandLock lock(m);
    if (Created(m)) return os::VFW_E_WRONG_STATE;
    m->commandEvent = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    m->doneEvent = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    m->streamStopped = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    if (m->commandEvent && m->doneEvent && m->streamStopped) {
        m->thread = os::CreateThread(nullptr, 0, CommandThread, m, 0, nullptr);
    }
    if (m->thread == nullptr) {
        const os::HRESULT hr = os::HRESULT_FROM_WIN32(os::GetLastError());
        for (os::HANDLE* h : {&m->commandEvent, &m->doneEvent, &m->streamStopped}) {
            if (*h) os::CloseHandle(*h);
            *h = nullptr;
        }
        return os::FAILED(hr) ? hr : os::E_FAIL;
    }
    os::SetThreadDescription(m->thread, "CaptureGraphCommand");
    return os::S_OK;
}

os::HRESULT CaptureGraph_Build(CaptureGraphManager* m)
{
    CommandLock lock(m);
    if (!Created(m)) return os::E_FAIL;
    if (m->built) return os::VFW_E_WRONG_STATE;
    const os::HRESULT hr = SendCommand(m, kGraphBuild);
    if (hr == os::E_DEVICE_NOT_PRESENT || hr == os::E_NOINTERFACE) m->cameraUnavailable = true;
    if (os::SUCCEEDED(hr)) ApplyModelDefaults(m);
    return hr;
}

os::HRESULT CaptureGraph_Finish(CaptureGraphManager* m)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    const os::HRESULT hr = FinishGraph(m);
    if (os::FAILED(hr)) CaptureGraph_NotifyMessageId(m, 1, kestrava::res::IDS_GRAPH_RUN_FAILED, -1);
    return hr;
}

os::HRESULT CaptureGraph_SetStreamMode(CaptureGraphManager* m, int mode)
{
    if (mode < 1 || mode > 3) return os::E_INVALIDARG;
    CommandLock lock(m);
    m->streamMode = mode;
    return os::S_OK;
}

os::HRESULT CaptureGraph_Run(CaptureGraphManager* m)
{
    CommandLock lock(m);
    return BuiltCommand(m, kGraphRun);
}

os::HRESULT CaptureGraph_Stop(CaptureGraphManager* m)
{
    CommandLock lock(m);
    return BuiltCommand(m, kGraphStop);
}

os::HRESULT CaptureGraph_StartRecording(CaptureGraphManager* m)
{
    CommandLock lock(m);
    return BuiltCommand(m, kGraphStartRecording);
}

os::HRESULT CaptureGraph_PauseRecording(CaptureGraphManager* m)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    ResetStreamStops(m);
    const os::HRESULT hr = SendCommand(m, kGraphPauseRecording);
    if (os::SUCCEEDED(hr)) {
        WaitForStreamStops(m, "PauseRecordVideo timeout wait dshow event\r\n",
                           "PauseRecordVideo timeout wait dshow event\r\n");
    }
    return hr;
}

os::HRESULT CaptureGraph_StopRecording(CaptureGraphManager* m)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    ResetStreamStops(m);
    const os::HRESULT hr = SendCommand(m, kGraphStopRecording);
    if (os::SUCCEEDED(hr)) {
        WaitForStreamStops(m, "StopRecordVideo timeout video event\r\n", "StopRecordVideo timeout audio event\r\n");
    }
    return hr;
}

os::HRESULT CaptureGraph_AbortRecording(CaptureGraphManager* m, int reason)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    ResetStreamStops(m);
    const os::HRESULT hr = SendCommand(m, kGraphAbortRecording);
    if (os::SUCCEEDED(hr)) {
        WaitForStreamStops(m, "AbortRecordVideo timeout wait dshow event\r\n",
                           "AbortRecordVideo timeout wait dshow event\r\n");
    }
    if (reason & 1) {
        CaptureGraph_NotifyMessageId(m, 1, kestrava::res::IDS_NOT_ENOUGH_SPACE, -1);
        os::EnterCriticalSection(&m->stateLock);
        m->statusText = m->messageText;
        m->storageFullCode = 2;
        os::LeaveCriticalSection(&m->stateLock);
    }
    return hr;
}

os::HRESULT CaptureGraph_ResumeRecording(CaptureGraphManager* m)
{
    CommandLock lock(m);
    return BuiltCommand(m, kGraphResumeRecording);
}

os::HRESULT CaptureGraph_TakeStill(CaptureGraphManager* m, const char* path)
{
    if (path == nullptr) path = "";
    const std::size_t length = std::strlen(path);
    if (length > kStillPathMax) return os::E_INVALIDARG;
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    os::EnterCriticalSection(&m->stopLock);
    os::ResetEvent(m->streamStopped);
    std::memcpy(m->stillPath, path, length + 1);
    const std::uint32_t still = ++m->stillsRequested;
    os::LeaveCriticalSection(&m->stopLock);
    const os::HRESULT hr = SendCommand(m, kGraphTakeStill);
    if (os::SUCCEEDED(hr) && length == 0 &&
        !WaitStopped(m, kStreamStopWaitMs, [m, still] { return m->stillsWritten >= still; })) {
        os::Trace("TakeStill: the still was not written in %u ms", static_cast<unsigned>(kStreamStopWaitMs));
    }
    return hr;
}

os::HRESULT CaptureGraph_Shutdown(CaptureGraphManager* m)
{
    CommandLock lock(m);
    if (!Created(m)) return os::E_FAIL;
    os::EnterCriticalSection(&m->stateLock);
    ++m->commandSerial;
    m->command.store(kGraphShutdown);
    os::LeaveCriticalSection(&m->stateLock);
    os::SetEvent(m->commandEvent);
    os::HRESULT hr = os::S_OK;
    if (os::WaitForSingleObject(m->thread, kShutdownWaitMs) != os::WAIT_OBJECT_0) {
        os::Trace("Graph command thread did not end in %u ms", static_cast<unsigned>(kShutdownWaitMs));
        hr = os::VFW_E_TIMEOUT;
    }
    m->command.store(kGraphIdle);
    for (os::HANDLE* h : {&m->thread, &m->commandEvent, &m->doneEvent, &m->streamStopped}) {
        os::CloseHandle(*h);
        *h = nullptr;
    }
    return hr;
}

void CaptureGraph_SetBitrates(CaptureGraphManager* m, std::uint32_t videoKbps, std::uint32_t audioKbps)
{
    CommandLock lock(m);
    if (videoKbps != m->videoKbps) m->bitrateChanged = true;
    m->videoKbps = videoKbps;
    m->audioKbps = audioKbps;
}

void CaptureGraph_SetJpegQuality(CaptureGraphManager* m, std::uint32_t quality)
{
    CommandLock lock(m);
    m->jpegQuality = quality;
}

void CaptureGraph_SetStillSize(CaptureGraphManager* m, std::uint32_t width, std::uint32_t height)
{
    CommandLock lock(m);
    m->stillWidth = width;
    m->stillHeight = height;
}

void CaptureGraph_GetStillSize(const CaptureGraphManager* m, std::uint32_t* width, std::uint32_t* height)
{
    *width = m->stillWidth;
    *height = m->stillHeight;
}

os::HRESULT CaptureGraph_ReadMediaFormats(CaptureGraphManager* m, os::VIDEOINFOHEADER* video, os::WAVEFORMATEX* audio)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    if (!m->recordSink->ReadVideoFormat(video) || !m->recordSink->ReadAudioFormat(audio)) {
        return os::VFW_E_NOT_CONNECTED;
    }
    return os::S_OK;
}

void CaptureGraph_NotifyMessage(CaptureGraphManager* m, int kind, const char* text, int durationMs)
{
    os::EnterCriticalSection(&m->stateLock);
    m->messageId = 0;
    m->messageText = text ? text : "";
    m->messageKind = kind;
    m->messageDurationMs = durationMs;
    os::LeaveCriticalSection(&m->stateLock);
    os::Trace("[NotifyMessage] %s \r\n", text ? text : "");
}

void CaptureGraph_NotifyMessageId(CaptureGraphManager* m, int kind, int id, int durationMs)
{
    std::string text;
    os::LoadStringW(m->resources, static_cast<os::UINT>(id), &text, 100);
    CaptureGraph_NotifyMessage(m, kind, text.c_str(), durationMs);
    os::EnterCriticalSection(&m->stateLock);
    m->messageId = id;
    os::LeaveCriticalSection(&m->stateLock);
}

namespace {

// Stream-control events carry the pin as their first parameter. Its address
// differs from run to run; the trace names the pin by the order in which
// events first brought it, so that a run's trace repeats.
unsigned TracedParam(CaptureGraphManager* m, os::LONG code, os::LONG_PTR param1)
{
    if (code != os::EC_STREAM_CONTROL_STOPPED && code != os::EC_STREAM_CONTROL_STARTED) {
        return static_cast<unsigned>(param1);
    }
    for (std::size_t i = 0; i < m->eventPins.size(); ++i) {
        if (m->eventPins[i] == param1) return static_cast<unsigned>(i + 1);
    }
    m->eventPins.push_back(param1);
    return static_cast<unsigned>(m->eventPins.size());
}

}  // namespace

void CaptureGraph_HandleMediaEvent(CaptureGraphManager* m, os::LONG code, os::LONG_PTR param1, os::LONG_PTR param2)
{
    os::Trace("ProcessDShowEvent lEventCode=0x%x, lParam=0x%x, lParam2=0x%x\r\n", static_cast<unsigned>(code),
              TracedParam(m, code, param1), static_cast<unsigned>(param2));
    if (code == os::EC_STREAM_CONTROL_STOPPED) {
        // Only the recording's own stops count: arming the streams stops them too.
        if (param2 == kStopCookie) {
            os::EnterCriticalSection(&m->stopLock);
            ++m->streamsStopped;
            os::LeaveCriticalSection(&m->stopLock);
            os::SetEvent(m->streamStopped);
        }
        os::Trace("ProcessDShowEventL EC_STREAM_CONTROL_STOPPED\r\n");
    } else if (code == os::EC_STREAM_CONTROL_STARTED) {
        os::Trace("ProcessDShowEventL EC_STREAM_CONTROL_STARTED\r\n");
    } else if (code == os::EC_CAP_FILE_COMPLETED) {
        char path[os::MAX_PATH];
        os::EnterCriticalSection(&m->stopLock);
        std::memcpy(path, m->stillPath, sizeof path);
        ++m->stillsWritten;
        // Only the latest still asked for may end the still command; a word
        // set since (another command, or a newer still) is left alone.
        const bool latest = m->stillsWritten >= m->stillsRequested;
        os::LeaveCriticalSection(&m->stopLock);
        if (os::FAILED(static_cast<os::HRESULT>(param1))) {
            os::Trace("The still %s was not written: 0x%08x", path[0] ? path : kDefaultStillPath,
                      static_cast<unsigned>(param1));
        } else if (m->stillWritten && param2 != os::kStillHandedOver) {
            m->stillWritten(path[0] ? path : kDefaultStillPath, m->owner);
        }
        os::SetEvent(m->streamStopped);
        if (latest) {
            int expected = kGraphTakeStill;
            m->command.compare_exchange_strong(expected, kGraphIdle);
        }
        os::Trace("ProcessDShowEventL EC_CAP_FILE_COMPLETED\r\n");
    }
}

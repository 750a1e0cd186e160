// The recording and still commands of the command thread: stream control
// with cookies 1 (start) and 2 (stop) over the streams of the stream mode,
// and the still trigger.
#include <cstdio>
#include <string>

#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "recorder/capture_graph_steps.h"

namespace {

constexpr os::REFERENCE_TIME kNeverTime = os::MAXLONGLONG;

// Sets start and stop on the capture pins the stream mode names: both
// streams with no media type named, else the picture or the sound only.
os::HRESULT ControlRecording(CaptureGraphManager* m, const os::REFERENCE_TIME* start, const os::REFERENCE_TIME* stop)
{
    os::HRESULT hr = os::S_OK;
    if (m->streamMode == 1 || m->streamMode == 2) {
        hr = m->builder->ControlStream(&os::PIN_CATEGORY_CAPTURE, m->streamMode == 1 ? nullptr : &os::MEDIATYPE_Video,
                                       m->videoCapture, start, stop, kStartCookie, kStopCookie);
    }
    if (os::SUCCEEDED(hr) && (m->streamMode == 1 || m->streamMode == 3)) {
        hr = m->builder->ControlStream(&os::PIN_CATEGORY_CAPTURE, m->streamMode == 1 ? nullptr : &os::MEDIATYPE_Audio,
                                       m->audioCapture, start, stop, kStartCookie, kStopCookie);
    }
    return hr;
}

// The folder of a device path exists (made when missing); false when it cannot be.
bool EnsureFolderOf(const char* path)
{
    const std::string text(path);
    const std::string::size_type cut = text.rfind('\\');
    if (cut == std::string::npos || cut == 0) return true;
    const std::string folder = text.substr(0, cut);
    if (os::GetFileAttributesW(folder.c_str()) != os::INVALID_FILE_ATTRIBUTES) return true;
    return os::CreateDirectoryW(folder.c_str(), nullptr) != os::FALSE;
}

}  // namespace

os::HRESULT StartRecordingStreams(CaptureGraphManager* m)
{
    if (m->bitrateChanged && m->applyBitrate) {
        m->applyBitrate(m->videoKbps, m->owner);
        m->bitrateChanged = false;
    }
    return ControlRecording(m, nullptr, &kNeverTime);
}

os::HRESULT StopRecordingStreams(CaptureGraphManager* m)
{
    return ControlRecording(m, &kNeverTime, nullptr);
}

os::HRESULT ResumeRecordingStreams(CaptureGraphManager* m)
{
    return ControlRecording(m, nullptr, &kNeverTime);
}

namespace {

os::HRESULT SetStillFileName(CaptureGraphManager* m)
{
    char path[os::MAX_PATH];
    os::EnterCriticalSection(&m->stopLock);
    std::snprintf(path, sizeof path, "%s", m->stillPath[0] ? m->stillPath : kDefaultStillPath);
    os::LeaveCriticalSection(&m->stopLock);
    if (!EnsureFolderOf(path)) {
        const os::DWORD error = os::GetLastError();
        os::Trace("TakeStill: no folder for %s, error %u", path, error);
        return os::FAILED(os::HRESULT_FROM_WIN32(error)) ? os::HRESULT_FROM_WIN32(error) : os::E_FAIL;
    }
    return m->stillFileSink->SetFileName(path, nullptr);
}

}  // namespace

os::HRESULT TriggerStill(CaptureGraphManager* m)
{
    // A JPEG the camera makes itself is handed over as bytes by the still
    // sink's callback; only the encoder's stills need the sink's file name.
    os::HRESULT hr = m->stillCompressed.load() ? os::S_OK : SetStillFileName(m);
    if (os::FAILED(hr)) return hr;
    os::IPin* still =
        FindGraphPin(m, m->videoCapture, os::PINDIR_OUTPUT, &os::PIN_CATEGORY_STILL, &os::MEDIATYPE_Video);
    if (still == nullptr) return os::VFW_E_NOT_FOUND;
    os::IAMVideoControl* control = nullptr;
    hr = m->videoCapture->QueryInterface(os::IID_IAMVideoControl, reinterpret_cast<void**>(&control));
    if (os::SUCCEEDED(hr)) {
        hr = control->SetMode(still, os::VideoControlFlag_Trigger);
        control->Release();
    }
    still->Release();
    if (os::SUCCEEDED(hr)) os::Trace("Trigger image capturing \r\n");
    return hr;
}

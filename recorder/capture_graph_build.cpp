// Building, finishing and tearing down the capture graph, and the changes
// that rebuild a part of it (still size, preview size, sound rate).
#include <cstring>
#include <new>
#include <strings.h>

#include "platform/base/trace.h"
#include "recorder/capture_graph_steps.h"

namespace {

constexpr os::REFERENCE_TIME kNeverStart = os::MAXLONGLONG;

os::HRESULT Step(int step, os::HRESULT hr)
{
    if (os::FAILED(hr)) os::Trace("BuildGraph step %d failed 0x%08x", step, static_cast<unsigned>(hr));
    return hr;
}

int CaptureWidth(const CaptureGraphManager* m)
{
    return m->videoSize != 0 ? 320 : m->previewWidth;
}

int CaptureHeight(const CaptureGraphManager* m)
{
    return m->videoSize != 0 ? 240 : m->previewHeight;
}

bool IsJpegSubtype(const os::GUID& subtype)
{
    return subtype == os::MEDIASUBTYPE_IJPG;
}

// Reads the stream configuration's format, lets `change` edit its picture
// header, and applies it.
template <class Change>
os::HRESULT ChangeVideoFormat(CaptureGraphManager* m, const os::GUID* category, Change change)
{
    os::IAMStreamConfig* config = nullptr;
    os::HRESULT hr = m->builder->FindInterface(category, &os::MEDIATYPE_Video, m->videoCapture,
                                               os::IID_IAMStreamConfig, reinterpret_cast<void**>(&config));
    if (os::FAILED(hr)) return hr;
    os::AM_MEDIA_TYPE* type = nullptr;
    hr = config->GetFormat(&type);
    if (os::SUCCEEDED(hr)) {
        os::VIDEOINFOHEADER header;
        if (os::ReadVideoInfo(*type, &header)) {
            change(type, &header);
            std::memcpy(type->pbFormat, &header, sizeof header);
            hr = config->SetFormat(type);
        } else {
            hr = os::VFW_E_INVALIDMEDIATYPE;
        }
        os::DeleteMediaType(type);
    }
    config->Release();
    return hr;
}

os::HRESULT SetStillFormat(CaptureGraphManager* m)
{
    const os::GUID subtype = m->stillSubtype;
    const auto width = static_cast<os::LONG>(m->stillWidth);
    const auto height = static_cast<os::LONG>(m->stillHeight);
    return ChangeVideoFormat(m, &os::PIN_CATEGORY_STILL, [&](os::AM_MEDIA_TYPE* type, os::VIDEOINFOHEADER* header) {
        type->subtype = subtype;
        header->bmiHeader.biWidth = width;
        header->bmiHeader.biHeight = height;
        header->bmiHeader.biCompression = subtype.Data1;
        const int bits = os::BitsPerPixel(subtype);
        if (bits != 0) header->bmiHeader.biBitCount = static_cast<os::WORD>(bits);
        header->bmiHeader.biSizeImage = static_cast<os::DWORD>(width * height * (bits != 0 ? bits : 12) / 8);
        type->lSampleSize = header->bmiHeader.biSizeImage;
    });
}

// A camera that takes its stills as JPEG itself offers "IJPG" on its still
// pin: the graph then keeps that format and skips the image encoder; any
// other camera's stills are taken as YV12 and encoded here.
void AdoptCameraStillSubtype(CaptureGraphManager* m)
{
    os::IAMStreamConfig* config = nullptr;
    if (os::FAILED(m->builder->FindInterface(&os::PIN_CATEGORY_STILL, &os::MEDIATYPE_Video, m->videoCapture,
                                             os::IID_IAMStreamConfig, reinterpret_cast<void**>(&config))))
        return;
    os::AM_MEDIA_TYPE* type = nullptr;
    if (os::SUCCEEDED(config->GetFormat(&type))) {
        m->stillSubtype = IsJpegSubtype(type->subtype) ? type->subtype : os::MEDIASUBTYPE_YV12;
        m->stillCompressed.store(IsJpegSubtype(m->stillSubtype) ? 1 : 0);
        os::DeleteMediaType(type);
    }
    config->Release();
}

os::HRESULT AddSink(CaptureGraphManager* m, CNullRenderFilter** sink, int mode, const os::GUID& videoSubtype,
                    SampleCallback callback, const char* name)
{
    os::HRESULT hr = os::S_OK;
    auto* filter = new (std::nothrow) CNullRenderFilter(nullptr, &hr, mode);
    if (filter == nullptr) return os::E_OUTOFMEMORY;
    filter->AddRef();
    *sink = filter;
    if (os::FAILED(hr)) return hr;
    filter->SetVideoSubtype(videoSubtype);
    if (mode == kNullRenderCapture) filter->SetAudioSubtype(os::MEDIASUBTYPE_PCM);
    filter->SetSampleCallback(callback, m->owner);
    return m->graph->AddFilter(filter, name);
}

os::HRESULT CreateFilter(const os::CLSID& clsid, os::IBaseFilter** out)
{
    return os::CoCreateInstance(clsid, nullptr, os::CLSCTX_INPROC, os::IID_IBaseFilter, reinterpret_cast<void**>(out));
}

os::IPin* NamedPin(os::IBaseFilter* filter, const char* id)
{
    os::IPin* pin = nullptr;
    if (filter == nullptr || os::FAILED(filter->FindPin(id, &pin))) return nullptr;
    return pin;
}

// The still chain: the camera's still pin straight into the still sink when
// the camera makes JPEG itself, else through the image encoder.
os::HRESULT ConnectStillChain(CaptureGraphManager* m)
{
    const bool jpeg = IsJpegSubtype(m->stillSubtype);
    return m->builder->RenderStream(&os::PIN_CATEGORY_STILL, &os::MEDIATYPE_Video, m->videoCapture,
                                    jpeg ? nullptr : m->imageEncoder, m->stillSink);
}

// The still sink's callback, on the camera's streaming thread: a JPEG the
// camera made itself goes to the photo finisher as bytes; the encoder's
// stills are left to the sink, which writes them to its file.
int OnStillSample(const os::BYTE* data, os::LONG length, void* context)
{
    auto* m = static_cast<CaptureGraphManager*>(context);
    if (!m->stillCompressed.load()) return 0;
    if (m->stillReady != nullptr) m->stillReady(data, length, m->owner);
    return 1;
}

os::HRESULT BuildStillChain(CaptureGraphManager* m)
{
    os::HRESULT hr = CreateFilter(os::CLSID_ImageEncoder, &m->imageEncoder);
    if (os::SUCCEEDED(hr)) hr = m->graph->AddFilter(m->imageEncoder, "Image Encoder");
    if (os::SUCCEEDED(hr)) {
        os::IImageEncoderQuality* quality = nullptr;
        hr = m->imageEncoder->QueryInterface(os::IID_IImageEncoderQuality, reinterpret_cast<void**>(&quality));
        if (os::SUCCEEDED(hr)) {
            hr = quality->SetQuality(static_cast<os::LONG>(m->jpegQuality));
            quality->Release();
        }
    }
    if (os::SUCCEEDED(hr)) hr = CreateFilter(os::CLSID_IMGSinkFilter, &m->stillSink);
    if (os::SUCCEEDED(hr)) hr = m->graph->AddFilter(m->stillSink, "Image Sink");
    if (os::SUCCEEDED(hr)) {
        hr = m->stillSink->QueryInterface(os::IID_IFileSinkFilter, reinterpret_cast<void**>(&m->stillFileSink));
    }
    if (os::SUCCEEDED(hr)) {
        os::IImageSinkCallback* callback = nullptr;
        hr = m->stillSink->QueryInterface(os::IID_IImageSinkCallback, reinterpret_cast<void**>(&callback));
        if (os::SUCCEEDED(hr)) {
            hr = callback->SetSampleCallback(OnStillSample, m);
            callback->Release();
        }
    }
    if (os::SUCCEEDED(hr)) {
        AdoptCameraStillSubtype(m);
        hr = SetStillFormat(m);
    }
    if (os::SUCCEEDED(hr)) hr = ConnectStillChain(m);
    return hr;
}

void TracePinTypes(os::IPin* pin)
{
    std::vector<os::CMediaType> types;
    os::CMediaType connected;
    if (pin->ConnectionMediaType(&connected) == os::S_OK) {
        types.push_back(connected);
    } else if (os::FAILED(pin->EnumMediaTypes(&types))) {
        return;
    }
    for (const os::CMediaType& type : types) {
        if (type.subtype == os::MEDIASUBTYPE_YV12) {
            os::Trace("  Pin Type=MEDIASUBTYPE_YV12\r\n");
        } else if (type.subtype == os::MEDIASUBTYPE_RGB24) {
            os::Trace("  Pin Type=MEDIASUBTYPE_RGB24\r\n");
        } else if (type.subtype == os::MEDIASUBTYPE_RGB565) {
            os::Trace("  Pin Type=MEDIASUBTYPE_RGB565\r\n");
        } else {
            os::Trace("  Pin Type=%s\r\n", os::GuidWords(type.subtype).c_str());
        }
    }
}

void TracePins(os::IBaseFilter* filter)
{
    os::IEnumPins* pins = nullptr;
    if (os::FAILED(filter->EnumPins(&pins))) return;
    os::IPin* pin = nullptr;
    os::ULONG fetched = 0;
    while (pins->Next(1, &pin, &fetched) == os::S_OK && fetched == 1) {
        os::PIN_INFO info;
        if (os::SUCCEEDED(pin->QueryPinInfo(&info))) {
            os::Trace(" Pin name=%s, dir=%d\r\n", info.achName, static_cast<int>(info.dir));
            if (info.pFilter) info.pFilter->Release();
        }
        TracePinTypes(pin);
        pin->Release();
    }
    pins->Release();
}

os::HRESULT DisconnectPins(CaptureGraphManager* m, std::initializer_list<os::IPin*> pins)
{
    for (os::IPin* pin : pins) {
        if (pin == nullptr) return os::VFW_E_NOT_FOUND;
    }
    os::HRESULT result = os::S_OK;
    for (os::IPin* pin : pins) {
        const os::HRESULT hr = m->graph->Disconnect(pin);
        if (os::FAILED(hr)) result = hr;
    }
    return result;
}

void ReleasePins(std::initializer_list<os::IPin*> pins)
{
    for (os::IPin* pin : pins) {
        if (pin) pin->Release();
    }
}

os::IPin* Peer(os::IPin* pin)
{
    os::IPin* peer = nullptr;
    if (pin == nullptr || os::FAILED(pin->ConnectedTo(&peer))) return nullptr;
    return peer;
}

}  // namespace

bool IsModel(const CaptureGraphManager* m, const char* model)
{
    return strcasecmp(m->model.c_str(), model) == 0;
}

os::IPin* FindGraphPin(CaptureGraphManager* m, os::IBaseFilter* filter, os::PIN_DIRECTION dir, const os::GUID* category,
                       const os::GUID* type)
{
    os::IPin* pin = nullptr;
    if (m->builder == nullptr || filter == nullptr ||
        os::FAILED(m->builder->FindPin(filter, dir, category, type, os::FALSE, 0, &pin))) {
        return nullptr;
    }
    return pin;
}

os::HRESULT ControlGraph(CaptureGraphManager* m, GraphState state)
{
    if (m->graph == nullptr) return os::E_FAIL;
    os::IMediaControl* control = nullptr;
    os::HRESULT hr = m->graph->QueryInterface(os::IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (os::FAILED(hr)) return hr;
    hr = state == GraphState::Run ? control->Run() : control->Stop();
    control->Release();
    if (os::SUCCEEDED(hr)) m->running = state == GraphState::Run;
    return hr;
}

os::HRESULT SetCaptureFormat(CaptureGraphManager* m)
{
    const os::LONG width = CaptureWidth(m);
    const os::LONG height = CaptureHeight(m);
    return ChangeVideoFormat(m, &os::PIN_CATEGORY_CAPTURE, [&](os::AM_MEDIA_TYPE* type, os::VIDEOINFOHEADER* header) {
        header->bmiHeader.biWidth = width;
        header->bmiHeader.biHeight = -height;  // rows top-down
        header->bmiHeader.biSizeImage = static_cast<os::DWORD>(width * height * 3 / 2);
        type->lSampleSize = header->bmiHeader.biSizeImage;
    });
}

void SetClockOnAllFilters(CaptureGraphManager* m)
{
    os::IReferenceClock* clock = nullptr;
    if (os::FAILED(os::CoCreateInstance(os::CLSID_SystemClock, nullptr, os::CLSCTX_INPROC, os::IID_IReferenceClock,
                                        reinterpret_cast<void**>(&clock)))) {
        os::Trace("Failed to create reference clock");
        clock = nullptr;
    }
    os::IEnumFilters* filters = nullptr;
    if (os::SUCCEEDED(m->graph->EnumFilters(&filters))) {
        os::IBaseFilter* filter = nullptr;
        os::ULONG fetched = 0;
        while (filters->Next(1, &filter, &fetched) == os::S_OK && fetched == 1) {
            if (clock) filter->SetSyncSource(clock);
            TracePins(filter);
            filter->Release();
        }
        filters->Release();
    }
    if (clock) clock->Release();
}

os::HRESULT BuildGraph(CaptureGraphManager* m)
{
    // 1. The builder and the graph.
    os::HRESULT hr = Step(1, os::CoCreateInstance(os::CLSID_CaptureGraphBuilder, nullptr, os::CLSCTX_INPROC,
                                                  os::IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&m->builder)));
    if (os::SUCCEEDED(hr)) {
        hr = Step(1, os::CoCreateInstance(os::CLSID_FilterGraph, nullptr, os::CLSCTX_INPROC, os::IID_IGraphBuilder,
                                          reinterpret_cast<void**>(&m->graph)));
    }
    if (os::SUCCEEDED(hr)) hr = Step(1, m->builder->SetFiltergraph(m->graph));
    // 2. The camera.
    if (os::SUCCEEDED(hr)) {
        hr = Step(2, os::SmiCameraOpen(0, &m->camera, &m->videoCapture));
        m->cameraOpen = os::SUCCEEDED(hr);
    }
    if (os::SUCCEEDED(hr)) hr = Step(2, m->graph->AddFilter(m->videoCapture, "Video Capture"));
    // 3. The microphone, with its default properties.
    if (os::SUCCEEDED(hr)) hr = Step(3, CreateFilter(os::CLSID_AudioCapture, &m->audioCapture));
    if (os::SUCCEEDED(hr)) {
        os::IPersistPropertyBag* bag = nullptr;
        hr = Step(3, m->audioCapture->QueryInterface(os::IID_IPersistPropertyBag, reinterpret_cast<void**>(&bag)));
        if (os::SUCCEEDED(hr)) {
            hr = Step(3, bag->Load(nullptr, nullptr));
            bag->Release();
        }
    }
    if (os::SUCCEEDED(hr)) hr = Step(3, m->graph->AddFilter(m->audioCapture, "Audio Capture Filter"));
    // 4. The recording sink.
    if (os::SUCCEEDED(hr)) {
        hr = Step(4, AddSink(m, &m->recordSink, kNullRenderCapture, os::MEDIASUBTYPE_YV12, m->recordCallback,
                             "FileMux Filter"));
    }
    // 5. The capture format, 6. the picture into the recording sink.
    if (os::SUCCEEDED(hr)) hr = Step(5, SetCaptureFormat(m));
    if (os::SUCCEEDED(hr)) {
        hr = Step(6, m->builder->RenderStream(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Video, m->videoCapture,
                                              nullptr, m->recordSink));
    }
    // 7. The preview sink behind a Smart Tee.
    if (os::SUCCEEDED(hr)) {
        hr = Step(7, AddSink(m, &m->previewSink, kNullRenderPreview,
                             m->videoSize == 0 ? os::MEDIASUBTYPE_RGB565 : os::MEDIASUBTYPE_YV12, m->previewCallback,
                             "NullRender Filter"));
    }
    if (os::SUCCEEDED(hr)) {
        hr = Step(7, m->builder->RenderStream(&os::PIN_CATEGORY_PREVIEW, &os::MEDIATYPE_Video, m->videoCapture,
                                              nullptr, m->previewSink));
    }
    // 8. The sound into the recording sink, and the still chain.
    if (os::SUCCEEDED(hr)) {
        hr = Step(8, m->builder->RenderStream(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Audio, m->audioCapture,
                                              nullptr, m->recordSink));
    }
    if (os::SUCCEEDED(hr)) hr = Step(8, BuildStillChain(m));
    // 9. One clock for every filter.
    if (os::SUCCEEDED(hr)) SetClockOnAllFilters(m);
    // 10. Nothing reaches the recording sink until a recording starts.
    if (os::SUCCEEDED(hr)) {
        hr = Step(10, m->builder->ControlStream(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Video, m->videoCapture,
                                                &kNeverStart, nullptr, 0, 0));
    }
    if (os::SUCCEEDED(hr)) {
        hr = Step(10, m->builder->ControlStream(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Audio, m->audioCapture,
                                                &kNeverStart, nullptr, 0, 0));
    }
    // 11. Stopped, with its media events at hand.
    if (os::SUCCEEDED(hr)) hr = Step(11, ControlGraph(m, GraphState::Stop));
    if (os::SUCCEEDED(hr)) {
        hr = Step(11, m->graph->QueryInterface(os::IID_IMediaEventEx, reinterpret_cast<void**>(&m->mediaEvents)));
    }
    if (os::SUCCEEDED(hr)) {
        os::LONG_PTR handle = 0;
        hr = Step(11, m->mediaEvents->GetEventHandle(&handle));
        m->mediaEventHandle = reinterpret_cast<os::HANDLE>(handle);
    }
    if (os::FAILED(hr)) {
        TearDownGraph(m);
        return hr;
    }
    m->built = true;
    return hr;
}

os::HRESULT FinishGraph(CaptureGraphManager* m)
{
    os::HRESULT hr = m->builder->ControlStream(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Video, m->videoCapture,
                                               nullptr, nullptr, 0, 0);
    if (os::SUCCEEDED(hr)) {
        hr = m->builder->ControlStream(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Audio, m->audioCapture, nullptr,
                                       nullptr, 0, 0);
    }
    if (os::SUCCEEDED(hr)) hr = ControlGraph(m, GraphState::Run);
    return hr;
}

void TearDownGraph(CaptureGraphManager* m)
{
    if (m->graph) ControlGraph(m, GraphState::Stop);
    m->mediaEventHandle = nullptr;
    ReleaseInterface(&m->mediaEvents);
    ReleaseInterface(&m->stillFileSink);
    ReleaseInterface(&m->stillSink);
    ReleaseInterface(&m->imageEncoder);
    ReleaseInterface(&m->previewSink);
    ReleaseInterface(&m->recordSink);
    ReleaseInterface(&m->audioCapture);
    ReleaseInterface(&m->videoCapture);
    ReleaseInterface(&m->graph);
    ReleaseInterface(&m->builder);
    if (m->cameraOpen) {
        os::SmiCameraClose(m->camera);
        m->cameraOpen = false;
        m->camera = 0;
    }
    m->built = false;
    m->running = false;
}

os::HRESULT CaptureGraph_ChangeStillSize(CaptureGraphManager* m, std::uint32_t width, std::uint32_t height,
                                         const os::GUID& subtype)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    os::HRESULT hr = ControlGraph(m, GraphState::Stop);
    if (os::FAILED(hr)) return hr;
    os::IPin* still = FindGraphPin(m, m->videoCapture, os::PINDIR_OUTPUT, &os::PIN_CATEGORY_STILL,
                                   &os::MEDIATYPE_Video);
    os::IPin* sinkIn = FindGraphPin(m, m->stillSink, os::PINDIR_INPUT, nullptr, nullptr);
    if (IsJpegSubtype(m->stillSubtype)) {
        hr = DisconnectPins(m, {still, sinkIn});
    } else {
        os::IPin* encoderIn = NamedPin(m->imageEncoder, "In");
        os::IPin* encoderOut = NamedPin(m->imageEncoder, "Out");
        hr = DisconnectPins(m, {still, encoderIn, encoderOut, sinkIn});
        ReleasePins({encoderIn, encoderOut});
    }
    ReleasePins({still, sinkIn});
    if (os::SUCCEEDED(hr)) {
        m->stillWidth = width;
        m->stillHeight = height;
        m->stillSubtype = subtype;
        m->stillCompressed.store(IsJpegSubtype(subtype) ? 1 : 0);
        hr = SetStillFormat(m);
    }
    if (os::SUCCEEDED(hr)) hr = ConnectStillChain(m);
    if (os::SUCCEEDED(hr)) {
        SetClockOnAllFilters(m);
        hr = FinishGraph(m);
    }
    if (os::FAILED(hr)) os::Trace("ChangeStillSize failed 0x%08x", static_cast<unsigned>(hr));
    return hr;
}

os::HRESULT CaptureGraph_ChangePreviewSize(CaptureGraphManager* m, int videoSize)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    os::HRESULT hr = ControlGraph(m, GraphState::Stop);
    os::IPin* capture = FindGraphPin(m, m->videoCapture, os::PINDIR_OUTPUT, &os::PIN_CATEGORY_CAPTURE,
                                     &os::MEDIATYPE_Video);
    os::IPin* previewIn = NamedPin(m->previewSink, "VideoIn");
    os::IPin* recordIn = NamedPin(m->recordSink, "VideoIn");
    // The Smart Tee's ends are found as the peers of the capture pin and the
    // sinks. The recording branch is joined again too, so that the recording
    // sink learns the new picture size.
    os::IPin* teeIn = Peer(capture);
    os::IPin* teePreview = Peer(previewIn);
    os::IPin* teeCapture = Peer(recordIn);
    if (os::SUCCEEDED(hr)) hr = DisconnectPins(m, {capture, previewIn, teeIn, teePreview, teeCapture, recordIn});
    if (os::SUCCEEDED(hr)) {
        m->videoSize = videoSize;
        m->previewSink->SetVideoSubtype(videoSize == 0 ? os::MEDIASUBTYPE_RGB565 : os::MEDIASUBTYPE_YV12);
        hr = SetCaptureFormat(m);
    }
    if (os::SUCCEEDED(hr)) hr = m->graph->ConnectDirect(capture, teeIn, nullptr);
    if (os::SUCCEEDED(hr)) hr = m->graph->ConnectDirect(teePreview, previewIn, nullptr);
    if (os::SUCCEEDED(hr)) hr = m->graph->ConnectDirect(teeCapture, recordIn, nullptr);
    ReleasePins({capture, previewIn, recordIn, teeIn, teePreview, teeCapture});
    if (os::SUCCEEDED(hr)) {
        SetClockOnAllFilters(m);
        hr = FinishGraph(m);
    }
    if (os::FAILED(hr)) CaptureGraph_NotifyMessageId(m, 1, kestrava::res::IDS_GRAPH_BUILD_FAILED, -1);
    return hr;
}

namespace {

// Gives the microphone's capture pin a new format: it takes one only while
// unconnected, so the pin is taken off the recording sink and joined again.
os::HRESULT ReconnectMicrophone(CaptureGraphManager* m, os::IAMStreamConfig* config, os::IPin* mic, os::IPin* sinkIn,
                                const os::AM_MEDIA_TYPE* type)
{
    os::HRESULT hr = DisconnectPins(m, {mic, sinkIn});
    if (os::SUCCEEDED(hr)) hr = config->SetFormat(type);
    if (os::SUCCEEDED(hr)) hr = m->graph->ConnectDirect(mic, sinkIn, nullptr);
    return hr;
}

}  // namespace

os::HRESULT CaptureGraph_SetAudioSampleRate(CaptureGraphManager* m, int samplesPerSec)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    if (samplesPerSec <= 0) return os::E_INVALIDARG;
    const bool wasRunning = m->running;
    os::IAMStreamConfig* config = nullptr;
    os::AM_MEDIA_TYPE* type = nullptr;
    os::AM_MEDIA_TYPE* current = nullptr;
    os::IPin* mic =
        FindGraphPin(m, m->audioCapture, os::PINDIR_OUTPUT, &os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Audio);
    os::IPin* sinkIn = NamedPin(m->recordSink, "AudioIn");
    os::HRESULT hr = mic && sinkIn ? os::S_OK : os::VFW_E_NOT_FOUND;
    if (os::SUCCEEDED(hr)) {
        hr = m->builder->FindInterface(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Audio, m->audioCapture,
                                       os::IID_IAMStreamConfig, reinterpret_cast<void**>(&config));
    }
    os::STREAM_CONFIG_CAPS caps;
    if (os::SUCCEEDED(hr)) hr = config->GetStreamCaps(0, &type, &caps);
    if (os::SUCCEEDED(hr)) hr = config->GetFormat(&current);
    if (os::SUCCEEDED(hr)) {
        if (type->subtype == os::MEDIASUBTYPE_PCM && type->formattype == os::FORMAT_WaveFormatEx &&
            type->pbFormat != nullptr && type->cbFormat >= sizeof(os::WAVEFORMATEX)) {
            os::WAVEFORMATEX wave;
            std::memcpy(&wave, type->pbFormat, sizeof wave);
            wave.nSamplesPerSec = static_cast<os::DWORD>(samplesPerSec);
            wave.nAvgBytesPerSec = static_cast<os::DWORD>(samplesPerSec) * (wave.wBitsPerSample / 8u);
            std::memcpy(type->pbFormat, &wave, sizeof wave);
        } else {
            hr = os::VFW_E_INVALIDMEDIATYPE;
        }
    }
    if (os::SUCCEEDED(hr)) hr = ControlGraph(m, GraphState::Stop);
    if (os::SUCCEEDED(hr)) {
        hr = ReconnectMicrophone(m, config, mic, sinkIn, type);
        // A format the sink refuses leaves the microphone as it was.
        if (os::FAILED(hr) && os::FAILED(ReconnectMicrophone(m, config, mic, sinkIn, current))) {
            os::Trace("SetAudioSampleRate: the microphone could not be joined again");
        }
        if (wasRunning && os::FAILED(ControlGraph(m, GraphState::Run))) {
            os::Trace("SetAudioSampleRate: the graph did not run again");
        }
    }
    if (type) os::DeleteMediaType(type);
    if (current) os::DeleteMediaType(current);
    if (config) config->Release();
    ReleasePins({mic, sinkIn});
    if (os::FAILED(hr)) CaptureGraph_NotifyMessageId(m, 1, kestrava::res::IDS_AUDIO_RATE_FAILED, -1);
    return hr;
}

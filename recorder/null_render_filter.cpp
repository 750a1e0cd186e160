#include "recorder/null_render_filter.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/base/trace.h"

namespace {

// The filter's own class id; the graph only compares it.
constexpr os::CLSID CLSID_NullRenderFilter{0x6F1C2B57, 0x3D0E, 0x4C7A, {0x9B, 0x42, 0x51, 0x7E, 0x0A, 0x93, 0xC4, 0x2D}};

std::atomic<unsigned> g_filtersMade{0};

unsigned PointerWord(const void* p)
{
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p));
}

struct GuidWords4 {
    unsigned w[4];
};

GuidWords4 WordsOf(const os::GUID& id)
{
    GuidWords4 words{};
    std::memcpy(words.w, &id, sizeof words.w);
    return words;
}

// A height that cannot be made positive (the most negative value) has no
// meaning as a frame size; such a block is refused rather than mangled.
bool Absolute(os::LONG* v)
{
    if (*v == INT32_MIN) return false;
    if (*v < 0) *v = -*v;
    return true;
}

}  // namespace

// ---- Pins

CNullVideoInputPin::CNullVideoInputPin(CNullRenderFilter* filter, os::CCritSec* lock, os::HRESULT* hr)
    : os::CRenderedInputPin("CNullVideoInputPin", filter, lock, hr, "VideoIn"), owner_(filter)
{
}

os::HRESULT CNullVideoInputPin::CheckMediaType(const os::CMediaType* type)
{
    return owner_->CheckVideoType(type);
}

os::HRESULT CNullVideoInputPin::Receive(os::IMediaSample* sample)
{
    const os::HRESULT hr = os::CRenderedInputPin::Receive(sample);
    if (hr != os::S_OK) return hr;
    return owner_->ReceiveSample(sample, kSampleVideo);
}

os::HRESULT CNullVideoInputPin::ReceiveCanBlock()
{
    os::Trace("CNullVideoInputPin ReceiveCanBlock\r\n");
    return os::S_FALSE;
}

os::HRESULT CNullVideoInputPin::EndOfStream()
{
    os::Trace("CNullVideoInputPin Receive pFilter=0x%x\r\n", owner_->InstanceId());
    owner_->StreamEnded();
    return os::CRenderedInputPin::EndOfStream();
}

os::HRESULT CNullVideoInputPin::EndFlush()
{
    os::Trace("CNullVideoInputPin Receive pFilter=0x%x\r\n", owner_->InstanceId());
    owner_->FlushEnded();
    return os::CRenderedInputPin::EndFlush();
}

CNullAudioInputPin::CNullAudioInputPin(CNullRenderFilter* filter, os::CCritSec* lock, os::HRESULT* hr)
    : os::CRenderedInputPin("CNullAudioInputPin", filter, lock, hr, "AudioIn"), owner_(filter)
{
}

os::HRESULT CNullAudioInputPin::CheckMediaType(const os::CMediaType* type)
{
    return owner_->CheckAudioType(type);
}

os::HRESULT CNullAudioInputPin::Receive(os::IMediaSample* sample)
{
    const os::HRESULT hr = os::CRenderedInputPin::Receive(sample);
    if (hr != os::S_OK) return hr;
    return owner_->ReceiveSample(sample, kSampleAudio);
}

os::HRESULT CNullAudioInputPin::ReceiveCanBlock()
{
    os::Trace("CNullAudioInputPin ReceiveCanBlock\r\n");
    return os::S_FALSE;
}

os::HRESULT CNullAudioInputPin::EndOfStream()
{
    os::Trace("CNullAudioInputPin Receive pFilter=0x%x\r\n", owner_->InstanceId());
    owner_->StreamEnded();
    return os::CRenderedInputPin::EndOfStream();
}

os::HRESULT CNullAudioInputPin::EndFlush()
{
    os::Trace("CNullAudioInputPin Receive pFilter=0x%x\r\n", owner_->InstanceId());
    owner_->FlushEnded();
    return os::CRenderedInputPin::EndFlush();
}

// ---- Filter

CNullRenderFilter::CNullRenderFilter(os::IUnknown* outer, os::HRESULT* hr, int mode)
    : os::CBaseFilter("CNullRenderFilter", outer, &stateLock_, CLSID_NullRenderFilter),
      instanceId_(++g_filtersMade),
      mode_(mode)
{
    os::Trace("CNullRenderFilter Construct pUnk=0x%x\r\n", PointerWord(outer));
    os::HRESULT pinResult = os::S_OK;
    videoPin_.reset(new (std::nothrow) CNullVideoInputPin(this, &stateLock_, &pinResult));
    if (mode == kNullRenderCapture) {
        audioPin_.reset(new (std::nothrow) CNullAudioInputPin(this, &stateLock_, &pinResult));
    }
    if (!videoPin_ || (mode == kNullRenderCapture && !audioPin_) || os::FAILED(pinResult)) {
        *hr = os::E_OUTOFMEMORY;
    } else if (mode != kNullRenderPreview && mode != kNullRenderCapture) {
        *hr = os::E_INVALIDARG;
    }
}

CNullRenderFilter::~CNullRenderFilter()
{
    os::Trace("CNullRenderFilter DeConstruct this=0x%x\r\n", instanceId_);
}

os::HRESULT CNullRenderFilter::NonDelegatingQueryInterface(os::REFIID iid, void** out)
{
    if (iid == os::IID_IFileSinkFilter) return os::GetInterface(static_cast<os::IFileSinkFilter*>(this), out);
    return os::CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

int CNullRenderFilter::GetPinCount()
{
    return audioPin_ ? 2 : (videoPin_ ? 1 : 0);
}

os::CBasePin* CNullRenderFilter::GetPin(int n)
{
    if (n == 0) return videoPin_.get();
    if (n == 1) return audioPin_.get();
    return nullptr;
}

// The base filter takes the filter lock itself and lets it go before it
// tells the pins, so the lock here covers only this filter's own share.
os::HRESULT CNullRenderFilter::Stop()
{
    {
        os::CAutoLock lock(&stateLock_);
        os::Trace("CNullRenderFilter Stop \r\n");
        os::CAutoLock position(&positionLock_);
        if (position_) position_->Reset();
    }
    return os::CBaseFilter::Stop();
}

os::HRESULT CNullRenderFilter::Pause()
{
    {
        os::CAutoLock lock(&stateLock_);
        os::Trace("CNullRenderFilter Pause \r\n");
    }
    return os::CBaseFilter::Pause();
}

os::HRESULT CNullRenderFilter::Run(os::REFERENCE_TIME start)
{
    {
        os::CAutoLock lock(&stateLock_);
        os::Trace("CNullRenderFilter Run tStart\r\n");
    }
    return os::CBaseFilter::Run(start);
}

os::HRESULT CNullRenderFilter::SetFileName(const char* fileName, const os::AM_MEDIA_TYPE*)
{
    os::Trace("CAviWriterFilter SetFileName pwszFileName=%s\r\n", fileName ? fileName : "");
    return os::S_OK;
}

os::HRESULT CNullRenderFilter::GetCurFile(std::string*, os::AM_MEDIA_TYPE*)
{
    os::Trace("CAviWriterFilter GetCurFile\r\n");
    return os::S_OK;
}

void CNullRenderFilter::SetVideoSubtype(const os::GUID& subtype)
{
    os::CAutoLock lock(&stateLock_);
    videoSubtype_ = subtype;
}

void CNullRenderFilter::SetAudioSubtype(const os::GUID& subtype)
{
    os::CAutoLock lock(&stateLock_);
    audioSubtype_ = subtype;
}

void CNullRenderFilter::SetSampleCallback(SampleCallback callback, os::HWND context)
{
    os::CAutoLock lock(&receiveLock_);
    callback_ = callback;
    context_ = context;
}

void CNullRenderFilter::SetPositionObserver(SamplePositionObserver* observer)
{
    os::CAutoLock lock(&positionLock_);
    position_ = observer;
}

bool CNullRenderFilter::ReadVideoFormat(os::VIDEOINFOHEADER* out)
{
    os::CAutoLock lock(&stateLock_);
    if (!haveVideoFormat_) return false;
    *out = videoFormat_;
    return true;
}

bool CNullRenderFilter::ReadAudioFormat(os::WAVEFORMATEX* out)
{
    os::CAutoLock lock(&stateLock_);
    if (!haveAudioFormat_) return false;
    *out = audioFormat_;
    return true;
}

os::HRESULT CNullRenderFilter::CheckVideoType(const os::CMediaType* type)
{
    if (type == nullptr) return os::E_POINTER;
    os::Trace("CNullVideoInputPin CheckMediaType 0x%x, 0x%x \r\n", static_cast<unsigned>(type->subtype.Data1),
              static_cast<unsigned>(type->subtype.Data2));
    os::CAutoLock lock(&stateLock_);
    if (!(type->majortype == os::MEDIATYPE_Video) || !(type->subtype == videoSubtype_)) {
        return os::VFW_E_TYPE_NOT_ACCEPTED;
    }
    const os::VIDEOINFOHEADER* offered = type->FormatAs<os::VIDEOINFOHEADER>(os::FORMAT_VideoInfo);
    if (offered == nullptr) return os::VFW_E_TYPE_NOT_ACCEPTED;
    os::VIDEOINFOHEADER format;
    std::memcpy(&format, offered, sizeof format);
    if (!Absolute(&format.rcSource.bottom) || !Absolute(&format.rcTarget.bottom) ||
        !Absolute(&format.bmiHeader.biHeight)) {
        return os::VFW_E_TYPE_NOT_ACCEPTED;
    }
    videoFormat_ = format;
    haveVideoFormat_ = true;
    const GuidWords4 words = WordsOf(type->subtype);
    os::Trace("CNullVideoInputPin::CheckMediaType : bitcoutn=%d, 0x%x, 0x%x, 0x%x, 0x%x\r\n",
              static_cast<int>(format.bmiHeader.biBitCount), words.w[0], words.w[1], words.w[2], words.w[3]);
    return os::S_OK;
}

os::HRESULT CNullRenderFilter::CheckAudioType(const os::CMediaType* type)
{
    if (type == nullptr) return os::E_POINTER;
    os::CAutoLock lock(&stateLock_);
    const os::WAVEFORMATEX* offered = type->FormatAs<os::WAVEFORMATEX>(os::FORMAT_WaveFormatEx);
    // Only a block of the right type and size is read; anything else is
    // logged with empty fields.
    os::WAVEFORMATEX format;
    if (offered != nullptr) std::memcpy(&format, offered, sizeof format);
    const bool valid = offered != nullptr && type->majortype == os::MEDIATYPE_Audio && type->subtype == audioSubtype_ &&
                       format.wFormatTag == os::WAVE_FORMAT_PCM && format.nSamplesPerSec == 8000 &&
                       format.nChannels == 1;
    os::Trace("%s PCM wBitsPerSample=%d nSamplesPerSec=%d, nAvgBytesPerSec=%d, nChannels=%d, wFormatTag=0x%x, "
              "nBlockAlign=%d\r\n",
              valid ? "valid" : "invalid", static_cast<int>(format.wBitsPerSample),
              static_cast<int>(format.nSamplesPerSec), static_cast<int>(format.nAvgBytesPerSec),
              static_cast<int>(format.nChannels), static_cast<unsigned>(format.wFormatTag),
              static_cast<int>(format.nBlockAlign));
    if (!valid) return os::VFW_E_TYPE_NOT_ACCEPTED;
    audioFormat_ = format;
    haveAudioFormat_ = true;
    return os::S_OK;
}

os::HRESULT CNullRenderFilter::ReceiveSample(os::IMediaSample* sample, int kind)
{
    os::CAutoLock lock(&receiveLock_);
    {
        os::CAutoLock position(&positionLock_);
        os::LONGLONG mediaStart = 0;
        os::LONGLONG mediaStop = 0;
        if (position_ && sample->GetMediaTime(&mediaStart, &mediaStop) == os::S_OK) {
            position_->MediaTime(mediaStart, mediaStop);
        }
    }
    os::BYTE* data = nullptr;
    const os::HRESULT hr = sample->GetPointer(&data);
    if (os::FAILED(hr)) return hr;
    const os::LONG length = sample->GetActualDataLength();
    os::REFERENCE_TIME start = 0;
    os::REFERENCE_TIME stop = 0;
    if (os::FAILED(sample->GetTime(&start, &stop))) {
        start = 0;
        stop = 0;
    }
    if (callback_ == nullptr) return os::S_OK;
    return callback_(data, length, kind, start, stop, context_);
}

os::HRESULT CNullRenderFilter::StreamEnded()
{
    os::CAutoLock position(&positionLock_);
    os::Trace("CNullRenderFilter EndOfStream m_pPosition=%d\r\n", position_ != nullptr ? 1 : 0);
    if (position_) position_->EndOfStream();
    return os::S_OK;
}

os::HRESULT CNullRenderFilter::FlushEnded()
{
    os::Trace("CNullRenderFilter EndFlush this=0x%x\r\n", instanceId_);
    return os::S_OK;
}

// The microphone's capture filter (CLSID_AudioCapture). It must be loaded
// through IPersistPropertyBag before its pin exists, as the phone's driver
// is opened only then. Its one pin, "Capture", delivers PCM in buffers of
// 100 ms, each stamped with its place in the stream; its first capability
// is 8000 Hz mono 16-bit, which is also the format until one is set.
#include <cstring>

#include "platform/media/internal/live_source_pin.h"
#include "platform/media/internal/media_classes.h"
#include "platform/media/internal/media_faults.h"

namespace os::detail {

namespace {

constexpr int kBufferMs = 100;
constexpr DWORD kRates[] = {8000, 11025, 16000, 22050, 44100};

struct PcmFormat {
    DWORD rate = 8000;
    WORD channels = 1;
};

bool ParsePcm(const AM_MEDIA_TYPE* type, PcmFormat* format)
{
    if (!type || !(type->majortype == MEDIATYPE_Audio) || !(type->subtype == MEDIASUBTYPE_PCM) ||
        !(type->formattype == FORMAT_WaveFormatEx) || !type->pbFormat || type->cbFormat < sizeof(WAVEFORMATEX) - 2)
        return false;
    WAVEFORMATEX wf{};
    std::memcpy(static_cast<void*>(&wf), type->pbFormat, sizeof(WAVEFORMATEX) - 2);
    if (wf.wFormatTag != WAVE_FORMAT_PCM || wf.wBitsPerSample != 16 || (wf.nChannels != 1 && wf.nChannels != 2) ||
        wf.nBlockAlign != wf.nChannels * 2 || wf.nAvgBytesPerSec != wf.nSamplesPerSec * wf.nBlockAlign)
        return false;
    bool known = false;
    for (DWORD r : kRates) known |= r == wf.nSamplesPerSec;
    if (!known) return false;
    *format = {wf.nSamplesPerSec, wf.nChannels};
    return true;
}

class AudioCaptureFilter;

class MicrophonePin final : public LiveSourcePin, public IAMStreamConfig {
public:
    MicrophonePin(CBaseFilter* filter, CCritSec* lock, HRESULT* hr)
        : LiveSourcePin(filter, lock, hr, "Capture", PIN_CATEGORY_CAPTURE)
    {
    }
    // The streaming thread calls into this class: it ends before the class does.
    ~MicrophonePin() override { Inactive(); }
    DECLARE_PIN_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), out);
        return LiveSourcePin::NonDelegatingQueryInterface(iid, out);
    }

    HRESULT CheckMediaType(const CMediaType* type) override
    {
        PcmFormat f;
        CAutoLock lock(lock_);
        return ParsePcm(type, &f) && f.rate == format_.rate && f.channels == format_.channels ? S_OK
                                                                                              : VFW_E_TYPE_NOT_ACCEPTED;
    }

    HRESULT GetMediaType(int position, CMediaType* type) override
    {
        if (position != 0) return S_FALSE;
        CAutoLock lock(lock_);
        *type = PcmMediaType(static_cast<int>(format_.rate), format_.channels, 16);
        return S_OK;
    }

    HRESULT SetFormat(const AM_MEDIA_TYPE* type) override
    {
        PcmFormat f;
        if (!ParsePcm(type, &f)) return VFW_E_INVALIDMEDIATYPE;
        CAutoLock lock(lock_);
        if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
        format_ = f;
        return S_OK;
    }

    HRESULT GetFormat(AM_MEDIA_TYPE** type) override
    {
        if (!type) return E_POINTER;
        CMediaType mt;
        GetMediaType(0, &mt);
        *type = CreateMediaType(&mt);
        return *type ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT GetNumberOfCapabilities(int* count, int* size) override
    {
        if (!count || !size) return E_POINTER;
        *count = static_cast<int>(std::size(kRates)) * 2;
        *size = sizeof(STREAM_CONFIG_CAPS);
        return S_OK;
    }

    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, STREAM_CONFIG_CAPS* caps) override
    {
        if (!type) return E_POINTER;
        const int n = static_cast<int>(std::size(kRates));
        if (index < 0 || index >= 2 * n) return S_FALSE;
        if (caps) *caps = {FORMAT_WaveFormatEx, 1, 2};
        const CMediaType mt = PcmMediaType(static_cast<int>(kRates[index % n]), index < n ? 1 : 2, 16);
        *type = CreateMediaType(&mt);
        return *type ? S_OK : E_OUTOFMEMORY;
    }

protected:
    Period SamplePeriod() override { return {10000000LL * kBufferMs / 1000, 1}; }
    bool DeliverAtEnd() override { return true; }
    std::int64_t StalledUntilUs() override { return MicrophoneStalledUntilUs(); }
    std::size_t SampleBytes() override { return FramesPerBuffer() * format_.channels * 2; }

    bool Produce(std::uint64_t slot, std::int64_t, CMediaSample* sample) override
    {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const std::size_t frames = FramesPerBuffer();
        auto* pcm = reinterpret_cast<std::int16_t*>(data);
        CurrentSoundSource()->Fill(static_cast<std::int64_t>(slot * frames), static_cast<int>(format_.rate), pcm, frames);
        // The handset's microphone is mono: a stereo format carries it on both sides.
        if (format_.channels == 2)
            for (std::size_t i = frames; i-- > 0;) pcm[2 * i] = pcm[2 * i + 1] = pcm[i];
        sample->SetActualDataLength(static_cast<long>(SampleBytes()));
        return true;
    }

private:
    std::size_t FramesPerBuffer() const { return format_.rate * kBufferMs / 1000; }
    PcmFormat format_;
};

class AudioCaptureFilter final : public CBaseFilter, public IPersistPropertyBag {
public:
    AudioCaptureFilter() : CBaseFilter("Audio Capture", nullptr, &lock_, CLSID_AudioCapture) {}
    ~AudioCaptureFilter() override { delete pin_; }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IPersistPropertyBag) return GetInterface(static_cast<IPersistPropertyBag*>(this), out);
        return CBaseFilter::NonDelegatingQueryInterface(iid, out);
    }
    int GetPinCount() override { return pin_ ? 1 : 0; }
    CBasePin* GetPin(int n) override { return n == 0 ? pin_ : nullptr; }

    HRESULT Load(IPropertyBag*, void*) override
    {
        CAutoLock lock(&lock_);
        if (pin_) return VFW_E_WRONG_STATE;
        HRESULT hr = S_OK;
        auto* pin = new MicrophonePin(this, &lock_, &hr);
        if (FAILED(hr)) {
            delete pin;
            return hr;
        }
        pin_ = pin;
        return S_OK;
    }

private:
    CCritSec lock_;
    MicrophonePin* pin_ = nullptr;
};

}  // namespace

CUnknown* NewAudioCaptureFilter(HRESULT* hr)
{
    *hr = S_OK;
    return new AudioCaptureFilter();
}

}  // namespace os::detail

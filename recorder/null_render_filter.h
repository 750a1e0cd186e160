// The program's own sink filter at the ends of the capture graph. It renders
// nothing: every sample reaching one of its pins is handed with its times to
// the installed callback, whose result becomes the pin's Receive result.
// Mode 1 (preview) has the video pin "VideoIn" only; mode 2 (capture) adds
// the audio pin "AudioIn". A pin accepts exactly the configured subtype with
// a readable format block of the right type (video: VIDEOINFOHEADER, the
// heights stored positive; sound: PCM, 8000 Hz, mono) and keeps a copy of it.
// The file-sink face only logs.
//
// Locks: the filter lock guards state changes and the stored formats; the
// receive lock lets one sample at a time into the callback (both pins); the
// position lock guards the position observer.
#pragma once

#include <memory>

#include "platform/media/base_classes.h"

// What a sink hands on per sample: data, its length in bytes, the kind (0
// video, 1 audio), start and stop time (100 ns units) and the context the
// callback was installed with. 0 goes on; any other result is returned to the
// upstream pin (1 asks it to stop delivering).
constexpr int kSampleVideo = 0;
constexpr int kSampleAudio = 1;
using SampleCallback = int (*)(const os::BYTE* data, os::LONG length, int kind, os::REFERENCE_TIME start,
                               os::REFERENCE_TIME stop, os::HWND context);

constexpr int kNullRenderPreview = 1;
constexpr int kNullRenderCapture = 2;

// Told each sample's media time, the end of the stream, and a stop.
struct SamplePositionObserver {
    virtual void MediaTime(os::LONGLONG start, os::LONGLONG stop) = 0;
    virtual void EndOfStream() = 0;
    virtual void Reset() = 0;

protected:
    ~SamplePositionObserver() = default;
};

class CNullRenderFilter;

class CNullVideoInputPin final : public os::CRenderedInputPin {
public:
    CNullVideoInputPin(CNullRenderFilter* filter, os::CCritSec* lock, os::HRESULT* hr);
    os::HRESULT CheckMediaType(const os::CMediaType* type) override;
    os::HRESULT Receive(os::IMediaSample* sample) override;
    os::HRESULT ReceiveCanBlock() override;
    os::HRESULT EndOfStream() override;
    os::HRESULT EndFlush() override;

private:
    CNullRenderFilter* owner_;
};

class CNullAudioInputPin final : public os::CRenderedInputPin {
public:
    CNullAudioInputPin(CNullRenderFilter* filter, os::CCritSec* lock, os::HRESULT* hr);
    os::HRESULT CheckMediaType(const os::CMediaType* type) override;
    os::HRESULT Receive(os::IMediaSample* sample) override;
    os::HRESULT ReceiveCanBlock() override;
    os::HRESULT EndOfStream() override;
    os::HRESULT EndFlush() override;

private:
    CNullRenderFilter* owner_;
};

class CNullRenderFilter final : public os::CBaseFilter, public os::IFileSinkFilter {
public:
    // *hr becomes E_OUTOFMEMORY when a pin cannot be made, E_INVALIDARG for a
    // mode other than 1 or 2 (the filter then has its video pin only).
    CNullRenderFilter(os::IUnknown* outer, os::HRESULT* hr, int mode);
    ~CNullRenderFilter() override;
    DECLARE_IUNKNOWN
    os::HRESULT NonDelegatingQueryInterface(os::REFIID iid, void** out) override;

    int GetPinCount() override;
    os::CBasePin* GetPin(int n) override;

    os::HRESULT Stop() override;
    os::HRESULT Pause() override;
    os::HRESULT Run(os::REFERENCE_TIME start) override;

    os::HRESULT SetFileName(const char* fileName, const os::AM_MEDIA_TYPE* type) override;
    os::HRESULT GetCurFile(std::string* fileName, os::AM_MEDIA_TYPE* type) override;

    void SetVideoSubtype(const os::GUID& subtype);
    void SetAudioSubtype(const os::GUID& subtype);
    void SetSampleCallback(SampleCallback callback, os::HWND context);
    void SetPositionObserver(SamplePositionObserver* observer);
    // The negotiated formats; false while none was accepted.
    bool ReadVideoFormat(os::VIDEOINFOHEADER* out);
    bool ReadAudioFormat(os::WAVEFORMATEX* out);
    int Mode() const { return mode_; }

    // The pins' shares.
    os::HRESULT CheckVideoType(const os::CMediaType* type);
    os::HRESULT CheckAudioType(const os::CMediaType* type);
    os::HRESULT ReceiveSample(os::IMediaSample* sample, int kind);
    os::HRESULT StreamEnded();
    os::HRESULT FlushEnded();

    // The filter's number among those made by this process, from 1: what the
    // trace names it by, so that a run's trace repeats (addresses do not).
    unsigned InstanceId() const { return instanceId_; }

private:
    unsigned instanceId_;
    os::CCritSec stateLock_;
    os::CCritSec receiveLock_;
    os::CCritSec positionLock_;
    int mode_;
    std::unique_ptr<CNullVideoInputPin> videoPin_;
    std::unique_ptr<CNullAudioInputPin> audioPin_;
    os::GUID videoSubtype_ = os::GUID_NULL;
    os::GUID audioSubtype_ = os::GUID_NULL;
    bool haveVideoFormat_ = false;
    bool haveAudioFormat_ = false;
    os::VIDEOINFOHEADER videoFormat_{};
    os::WAVEFORMATEX audioFormat_{};
    SampleCallback callback_ = nullptr;
    os::HWND context_ = nullptr;
    SamplePositionObserver* position_ = nullptr;
};

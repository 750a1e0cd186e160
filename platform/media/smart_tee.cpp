// The Smart Tee: one picture stream in ("Smart Tee Input pin"), the same
// stream out twice: "Smart Tee Capture pin" (under stream control, with the
// samples' times) and "Smart Tee Preview pin" (every picture, converted to
// RGB565 when the preview's renderer takes that). The capture graph builder
// puts it in front of a camera that has no preview pin of its own. A branch
// whose receiver refuses a sample (anything but S_OK) gets nothing more
// until the tee runs again; the other branch goes on.
#include <cstring>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/media/internal/media_classes.h"
#include "platform/media/internal/stream_control.h"

namespace os::detail {

namespace {

class SmartTee;

bool VideoSize(const AM_MEDIA_TYPE& mt, int* w, int* h)
{
    return PictureSize(mt, w, h) && *w > 0 && *h > 0 && *w <= 4096 && *h <= 4096;
}

class TeeInputPin final : public CBaseInputPin {
public:
    TeeInputPin(SmartTee* tee, CCritSec* lock, HRESULT* hr);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT Receive(IMediaSample* sample) override;

private:
    SmartTee* tee_;
};

class TeeOutputPin final : public CBaseOutputPin, public IAMStreamControl, public IPinCategory {
public:
    TeeOutputPin(SmartTee* tee, CCritSec* lock, HRESULT* hr, const char* name, bool preview);
    ~TeeOutputPin() override;
    DECLARE_PIN_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IPinCategory) return GetInterface(static_cast<IPinCategory*>(this), out);
        if (iid == IID_IAMStreamControl && !preview_) return GetInterface(static_cast<IAMStreamControl*>(this), out);
        return CBaseOutputPin::NonDelegatingQueryInterface(iid, out);
    }
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT StartAt(const REFERENCE_TIME* start, DWORD cookie) override
    {
        control_.StartAt(start, cookie);
        return S_OK;
    }
    HRESULT StopAt(const REFERENCE_TIME* stop, BOOL, DWORD cookie) override
    {
        control_.StopAt(stop, cookie);
        return S_OK;
    }
    HRESULT GetCategory(GUID* category) override
    {
        if (!category) return E_POINTER;
        *category = preview_ ? PIN_CATEGORY_PREVIEW : PIN_CATEGORY_CAPTURE;
        return S_OK;
    }
    // Passes one input sample on (on the input's streaming thread).
    void Pass(IMediaSample* sample);
    HRESULT Run(REFERENCE_TIME start) override
    {
        refused_ = false;
        return CBaseOutputPin::Run(start);
    }

private:
    HRESULT PassConverted(IMediaSample* sample);
    SmartTee* tee_;
    bool preview_;
    StreamControl control_;
    SwsContext* scaler_ = nullptr;
    SampleRecycler converted_;  // the preview's RGB565 pictures, on the streaming thread
    std::atomic<bool> refused_{false};
};

class SmartTee final : public CBaseFilter {
public:
    explicit SmartTee(HRESULT* hr)
        : CBaseFilter("Smart Tee", nullptr, &lock_, CLSID_SmartTee),
          input_(this, &lock_, hr),
          capture_(this, &lock_, hr, "Smart Tee Capture pin", false),
          preview_(this, &lock_, hr, "Smart Tee Preview pin", true)
    {
    }
    DECLARE_IUNKNOWN
    int GetPinCount() override { return 3; }
    CBasePin* GetPin(int n) override
    {
        switch (n) {
        case 0: return &input_;
        case 1: return &capture_;
        case 2: return &preview_;
        default: return nullptr;
        }
    }
    const CMediaType& InputType() const { return input_.CurrentMediaType(); }
    bool InputConnected() const { return input_.IsConnected(); }
    void Pass(IMediaSample* sample)
    {
        capture_.Pass(sample);
        preview_.Pass(sample);
    }

private:
    CCritSec lock_;
    TeeInputPin input_;
    TeeOutputPin capture_;
    TeeOutputPin preview_;
};

TeeInputPin::TeeInputPin(SmartTee* tee, CCritSec* lock, HRESULT* hr)
    : CBaseInputPin("Smart Tee Input pin", tee, lock, hr, "Smart Tee Input pin"), tee_(tee)
{
}

HRESULT TeeInputPin::CheckMediaType(const CMediaType* type)
{
    int w, h;
    return type->majortype == MEDIATYPE_Video && VideoSize(*type, &w, &h) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TeeInputPin::Receive(IMediaSample* sample)
{
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    tee_->Pass(sample);
    // A downstream refusal stops one branch, never the camera feeding both.
    return S_OK;
}

TeeOutputPin::TeeOutputPin(SmartTee* tee, CCritSec* lock, HRESULT* hr, const char* name, bool preview)
    : CBaseOutputPin(name, tee, lock, hr, name), tee_(tee), preview_(preview)
{
}

TeeOutputPin::~TeeOutputPin() { sws_freeContext(scaler_); }

HRESULT TeeOutputPin::GetMediaType(int position, CMediaType* type)
{
    if (!tee_->InputConnected()) return S_FALSE;
    const CMediaType& in = tee_->InputType();
    if (position == 0) {
        *type = in;
        return S_OK;
    }
    int w, h;
    if (position == 1 && preview_ && in.subtype == MEDIASUBTYPE_YV12 && VideoSize(in, &w, &h)) {
        VIDEOINFOHEADER vih;
        ReadVideoInfo(in, &vih);
        *type = VideoMediaType(MEDIASUBTYPE_RGB565, w, h, vih.AvgTimePerFrame);
        return S_OK;
    }
    return S_FALSE;
}

HRESULT TeeOutputPin::CheckMediaType(const CMediaType* type)
{
    if (!tee_->InputConnected()) return VFW_E_NOT_CONNECTED;
    for (int i = 0;; ++i) {
        CMediaType offered;
        if (GetMediaType(i, &offered) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        int w1, h1, w2, h2;
        if (offered.majortype == type->majortype && offered.subtype == type->subtype && VideoSize(offered, &w1, &h1) &&
            VideoSize(*type, &w2, &h2) && w1 == w2 && h1 == h2)
            return S_OK;
    }
}

void TeeOutputPin::Pass(IMediaSample* sample)
{
    if (!input_ || refused_) return;
    HRESULT hr = S_OK;
    if (!preview_) {
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);
        if (control_.Admit(start, tee_, this)) hr = Deliver(sample);
    } else {
        hr = mt_.subtype == MEDIASUBTYPE_RGB565 ? PassConverted(sample) : Deliver(sample);
    }
    if (hr != S_OK) refused_ = true;
}

HRESULT TeeOutputPin::PassConverted(IMediaSample* sample)
{
    int w, h;
    if (!VideoSize(mt_, &w, &h)) return E_UNEXPECTED;
    BYTE* src = nullptr;
    if (FAILED(sample->GetPointer(&src)) || sample->GetActualDataLength() < w * h * 3 / 2) return E_UNEXPECTED;
    scaler_ = sws_getCachedContext(scaler_, w, h, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_RGB565LE, SWS_POINT, nullptr,
                                   nullptr, nullptr);
    if (!scaler_) return E_OUTOFMEMORY;
    CMediaSample* out = converted_.Next(static_cast<std::size_t>(w) * h * 2);
    BYTE* dst = nullptr;
    out->GetPointer(&dst);
    // YV12 keeps V before U: hand the planes over in the order the scaler reads them.
    const std::uint8_t* planes[3] = {src, src + w * h + (w / 2) * (h / 2), src + w * h};
    const int strides[3] = {w, w / 2, w / 2};
    std::uint8_t* dstPlanes[1] = {dst};
    const int dstStrides[1] = {w * 2};
    sws_scale(scaler_, planes, strides, 0, h, dstPlanes, dstStrides);
    out->SetActualDataLength(w * h * 2);
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) out->SetTime(&start, &stop);
    return Deliver(out);
}

}  // namespace

CUnknown* NewSmartTee(HRESULT* hr)
{
    *hr = S_OK;
    return new SmartTee(hr);
}

}  // namespace os::detail

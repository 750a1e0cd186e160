// The capture graph builder: finds the pins of a capture filter by
// category and type, connects them to renderers (putting a Smart Tee in for
// a preview from a camera without a preview pin), and sets the stream
// control of capture pins (through the Smart Tee's capture pin when one
// stands in front).
#include "platform/media/internal/media_classes.h"
#include "platform/media/internal/pin_walk.h"

namespace os::detail {

namespace {

bool PinCategoryIs(IPin* pin, const GUID* category)
{
    if (!category) return true;
    IPinCategory* cat = nullptr;
    if (FAILED(pin->QueryInterface(IID_IPinCategory, reinterpret_cast<void**>(&cat)))) return false;
    GUID value = GUID_NULL;
    cat->GetCategory(&value);
    cat->Release();
    return value == *category;
}

bool PinCarries(IPin* pin, const GUID* type)
{
    if (!type) return true;
    AM_MEDIA_TYPE mt{};
    if (SUCCEEDED(pin->ConnectionMediaType(&mt))) {
        const bool same = mt.majortype == *type;
        FreeMediaType(mt);
        return same;
    }
    std::vector<CMediaType> types;
    pin->EnumMediaTypes(&types);
    for (const CMediaType& t : types)
        if (t.majortype == *type) return true;
    return false;
}

IBaseFilter* FilterOf(IPin* pin)
{
    PIN_INFO info;
    return SUCCEEDED(pin->QueryPinInfo(&info)) ? info.pFilter : nullptr;
}

bool IsSmartTee(IBaseFilter* filter)
{
    IPin* pin = nullptr;
    if (FAILED(filter->FindPin("Smart Tee Input pin", &pin))) return false;
    pin->Release();
    return true;
}

// The Smart Tee fed by `pin`, with a reference; null when it feeds none.
IBaseFilter* TeeAfter(IPin* pin)
{
    IPin* peer = nullptr;
    if (FAILED(pin->ConnectedTo(&peer))) return nullptr;
    IBaseFilter* f = FilterOf(peer);
    peer->Release();
    if (f && IsSmartTee(f)) return f;
    if (f) f->Release();
    return nullptr;
}

class CaptureGraphBuilder final : public CUnknown, public ICaptureGraphBuilder2 {
public:
    CaptureGraphBuilder() : CUnknown(nullptr) {}
    ~CaptureGraphBuilder() override
    {
        if (graph_) graph_->Release();
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_ICaptureGraphBuilder2 || iid == IID_IUnknown)
            return GetInterface(static_cast<ICaptureGraphBuilder2*>(this), out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }

    HRESULT SetFiltergraph(IGraphBuilder* graph) override
    {
        if (!graph) return E_POINTER;
        if (graph_) return E_UNEXPECTED;
        graph_ = graph;
        graph_->AddRef();
        return S_OK;
    }

    HRESULT GetFiltergraph(IGraphBuilder** graph) override
    {
        if (!graph) return E_POINTER;
        *graph = graph_;
        if (!graph_) return E_UNEXPECTED;
        graph_->AddRef();
        return S_OK;
    }

    HRESULT FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID* type, BOOL unconnected,
                    int index, IPin** out) override
    {
        if (!source || !out) return E_POINTER;
        *out = nullptr;
        IPin* asPin = nullptr;
        if (SUCCEEDED(source->QueryInterface(IID_IPin, reinterpret_cast<void**>(&asPin)))) {
            if (Fits(asPin, dir, category, type, unconnected) && index == 0) {
                *out = asPin;
                return S_OK;
            }
            asPin->Release();
            return E_FAIL;
        }
        IBaseFilter* filter = nullptr;
        if (FAILED(source->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)))) return E_NOINTERFACE;
        int seen = 0;
        ForEachPin(filter, [&](IPin* pin) {
            if (!Fits(pin, dir, category, type, unconnected)) return true;
            if (seen++ != index) return true;
            pin->AddRef();
            *out = pin;
            return false;
        });
        filter->Release();
        return *out ? S_OK : E_FAIL;
    }

    HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid, void** out) override
    {
        if (!filter || !out) return E_POINTER;
        *out = nullptr;
        if (!category && !type && SUCCEEDED(filter->QueryInterface(iid, out))) return S_OK;
        IPin* pin = nullptr;
        if (FAILED(FindPin(filter, PINDIR_OUTPUT, category, type, FALSE, 0, &pin))) return E_NOINTERFACE;
        const HRESULT hr = pin->QueryInterface(iid, out);
        pin->Release();
        return hr;
    }

    HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* intermediate,
                         IBaseFilter* sink) override
    {
        if (!graph_) return E_UNEXPECTED;
        if (!source || !sink) return E_POINTER;
        IPin* out = nullptr;
        HRESULT hr = SourcePin(category, type, source, &out);
        if (FAILED(hr)) return hr;
        if (intermediate) {
            IPin* next = nullptr;
            hr = ConnectTo(out, intermediate, &next);
            out->Release();
            if (FAILED(hr)) return hr;
            out = next;
        }
        hr = ConnectTo(out, sink, nullptr);
        out->Release();
        return hr;
    }

    HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter, const REFERENCE_TIME* start,
                          const REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) override
    {
        if (!graph_) return E_UNEXPECTED;
        std::vector<IBaseFilter*> filters;
        if (filter) {
            filter->AddRef();
            filters.push_back(filter);
        } else {
            IEnumFilters* all = nullptr;
            if (FAILED(graph_->EnumFilters(&all))) return E_FAIL;
            IBaseFilter* f = nullptr;
            while (all->Next(1, &f, nullptr) == S_OK) filters.push_back(f);
            all->Release();
        }
        int controlled = 0;
        for (IBaseFilter* f : filters) {
            // A Smart Tee is reached through the filter in front of it.
            if (!IsSmartTee(f)) ControlPins(f, category, type, start, stop, startCookie, stopCookie, &controlled);
            f->Release();
        }
        return controlled ? S_OK : E_FAIL;
    }

private:
    void ControlPins(IBaseFilter* f, const GUID* category, const GUID* type, const REFERENCE_TIME* start,
                     const REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie, int* controlled)
    {
        ForEachPin(f, [&](IPin* pin) {
            if (!Fits(pin, PINDIR_OUTPUT, category, type, FALSE)) return true;
            IPin* target = pin;
            IPin* teePin = nullptr;
            if (category && *category == PIN_CATEGORY_CAPTURE) {
                if (IBaseFilter* tee = TeeAfter(pin)) {
                    tee->FindPin("Smart Tee Capture pin", &teePin);
                    tee->Release();
                    if (teePin) target = teePin;
                }
            }
            IAMStreamControl* control = nullptr;
            if (SUCCEEDED(target->QueryInterface(IID_IAMStreamControl, reinterpret_cast<void**>(&control)))) {
                control->StartAt(start, startCookie);
                control->StopAt(stop, FALSE, stopCookie);
                control->Release();
                ++*controlled;
            }
            if (teePin) teePin->Release();
            return true;
        });
    }

    static bool Fits(IPin* pin, PIN_DIRECTION dir, const GUID* category, const GUID* type, BOOL unconnected)
    {
        PIN_DIRECTION d;
        if (FAILED(pin->QueryDirection(&d)) || d != dir) return false;
        if (!PinCategoryIs(pin, category) || !PinCarries(pin, type)) return false;
        if (unconnected) {
            IPin* peer = nullptr;
            if (SUCCEEDED(pin->ConnectedTo(&peer))) {
                peer->Release();
                return false;
            }
        }
        return true;
    }

    // The output pin a stream of that category starts from: the source's own
    // pin, or the Smart Tee's pin of that category when a tee already
    // stands after the capture pin, or a new tee when a preview is asked of
    // a source without a preview pin.
    HRESULT SourcePin(const GUID* category, const GUID* type, IUnknown* source, IPin** out)
    {
        if (SUCCEEDED(FindPin(source, PINDIR_OUTPUT, category, type, TRUE, 0, out))) return S_OK;
        const bool preview = category && *category == PIN_CATEGORY_PREVIEW;
        const bool capture = category && *category == PIN_CATEGORY_CAPTURE;
        if (!preview && !capture) return E_FAIL;
        IPin* capturePin = nullptr;
        if (FAILED(FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, type, FALSE, 0, &capturePin)))
            return E_FAIL;
        IBaseFilter* tee = TeeAfter(capturePin);
        HRESULT hr = S_OK;
        if (!tee && preview) hr = InsertTee(capturePin, &tee);
        capturePin->Release();
        if (!tee) return FAILED(hr) ? hr : E_FAIL;
        hr = tee->FindPin(preview ? "Smart Tee Preview pin" : "Smart Tee Capture pin", out);
        tee->Release();
        if (SUCCEEDED(hr)) {
            IPin* peer = nullptr;
            if (SUCCEEDED((*out)->ConnectedTo(&peer))) {  // that branch is taken already
                peer->Release();
                (*out)->Release();
                *out = nullptr;
                return VFW_E_ALREADY_CONNECTED;
            }
        }
        return hr;
    }

    // Puts a Smart Tee after `capturePin`; what the pin fed before is fed from
    // the tee's capture pin.
    HRESULT InsertTee(IPin* capturePin, IBaseFilter** teeOut)
    {
        IBaseFilter* tee = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC, IID_IBaseFilter, reinterpret_cast<void**>(&tee));
        if (FAILED(hr)) return hr;
        hr = graph_->AddFilter(tee, "Smart Tee");
        if (FAILED(hr)) {
            tee->Release();
            return hr;
        }
        IPin* formerPeer = nullptr;
        if (SUCCEEDED(capturePin->ConnectedTo(&formerPeer))) {
            graph_->Disconnect(formerPeer);
            graph_->Disconnect(capturePin);
        }
        IPin* teeIn = nullptr;
        IPin* teeCapture = nullptr;
        tee->FindPin("Smart Tee Input pin", &teeIn);
        tee->FindPin("Smart Tee Capture pin", &teeCapture);
        hr = graph_->ConnectDirect(capturePin, teeIn, nullptr);
        if (SUCCEEDED(hr) && formerPeer) hr = graph_->ConnectDirect(teeCapture, formerPeer, nullptr);
        if (teeIn) teeIn->Release();
        if (teeCapture) teeCapture->Release();
        if (formerPeer) formerPeer->Release();
        if (FAILED(hr)) {
            graph_->RemoveFilter(tee);
            tee->Release();
            return hr;
        }
        *teeOut = tee;
        return S_OK;
    }

    // Connects `out` to the first free input pin of `filter` that takes it;
    // with `next`, gives that filter's first free output pin.
    HRESULT ConnectTo(IPin* out, IBaseFilter* filter, IPin** next)
    {
        HRESULT last = VFW_E_CANNOT_CONNECT;
        bool connected = false;
        ForEachPin(filter, [&](IPin* in) {
            if (!Fits(in, PINDIR_INPUT, nullptr, nullptr, TRUE)) return true;
            last = graph_->ConnectDirect(out, in, nullptr);
            connected = SUCCEEDED(last);
            return !connected;
        });
        if (!connected) return last == VFW_E_NO_ACCEPTABLE_TYPES ? VFW_E_CANNOT_CONNECT : last;
        if (next && FAILED(FindPin(filter, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, next))) return VFW_E_CANNOT_CONNECT;
        return S_OK;
    }

    IGraphBuilder* graph_ = nullptr;
};

}  // namespace

CUnknown* NewCaptureGraphBuilder(HRESULT* hr)
{
    *hr = S_OK;
    return new CaptureGraphBuilder();
}

}  // namespace os::detail

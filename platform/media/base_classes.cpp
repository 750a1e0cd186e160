#include "platform/media/base_classes.h"

#include <cstring>

#include "platform/media/internal/snapshot_enum.h"

namespace os {

namespace {

void CopyName(char (&dst)[128], const std::string& src)
{
    const std::size_t n = std::min(src.size(), sizeof dst - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

}  // namespace

// ---- CMediaSample

CMediaSample::CMediaSample(std::size_t size) : CUnknown(nullptr), buffer_(size) {}

void CMediaSample::Recycle()
{
    actual_ = 0;
    timeValid_ = false;
    start_ = stop_ = 0;
    sync_ = false;
}

CMediaSample* SampleRecycler::Next(std::size_t size)
{
    if (sample_ && sample_->References() == 1 && static_cast<std::size_t>(sample_->GetSize()) == size) {
        sample_->Recycle();
        return sample_;
    }
    Reset();
    sample_ = new CMediaSample(size);
    sample_->NonDelegatingAddRef();
    return sample_;
}

void SampleRecycler::Reset()
{
    if (sample_) sample_->NonDelegatingRelease();
    sample_ = nullptr;
}

HRESULT CMediaSample::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IMediaSample || iid == IID_IUnknown) return GetInterface(static_cast<IMediaSample*>(this), out);
    return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT CMediaSample::GetPointer(BYTE** buffer)
{
    if (!buffer) return E_POINTER;
    *buffer = buffer_.data();
    return S_OK;
}

long CMediaSample::GetSize() { return static_cast<long>(buffer_.size()); }

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    if (!start || !stop) return E_POINTER;
    if (!timeValid_) return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = start_;
    *stop = stop_;
    return S_OK;
}

HRESULT CMediaSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop)
{
    timeValid_ = start != nullptr;
    start_ = start ? *start : 0;
    stop_ = stop ? *stop : start_ + 1;
    return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() { return sync_ ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetSyncPoint(BOOL sync)
{
    sync_ = sync != FALSE;
    return S_OK;
}

long CMediaSample::GetActualDataLength() { return actual_; }

HRESULT CMediaSample::SetActualDataLength(long length)
{
    if (length < 0 || static_cast<std::size_t>(length) > buffer_.size()) return E_INVALIDARG;
    actual_ = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type)
{
    if (!type) return E_POINTER;
    *type = nullptr;
    return S_FALSE;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG*, LONGLONG*) { return VFW_E_SAMPLE_TIME_NOT_SET; }

// ---- CBaseFilter

CBaseFilter::CBaseFilter(const char* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(outer), filterLock_(lock), name_(name ? name : ""), clsid_(clsid)
{
}

CBaseFilter::~CBaseFilter()
{
    if (clock_) clock_->Release();
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IUnknown) return GetInterface(static_cast<IBaseFilter*>(this), out);
    return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT CBaseFilter::Stop()
{
    {
        CAutoLock lock(filterLock_);
        if (state_ == State_Stopped) return S_OK;
        state_ = State_Stopped;
    }
    // Pins end their streaming outside the filter lock: a streaming thread
    // may be inside a call that needs it.
    HRESULT result = S_OK;
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* pin = GetPin(i);
        if (pin && pin->IsConnected()) {
            const HRESULT hr = pin->Inactive();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    }
    return result;
}

HRESULT CBaseFilter::Pause()
{
    FILTER_STATE previous;
    {
        CAutoLock lock(filterLock_);
        previous = state_;
        state_ = State_Paused;
    }
    if (previous != State_Stopped) return S_OK;
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* pin = GetPin(i);
        if (pin && pin->IsConnected()) {
            const HRESULT hr = pin->Active();
            if (FAILED(hr)) {
                Stop();
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start)
{
    if (State() == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    {
        CAutoLock lock(filterLock_);
        start_ = start;
        if (state_ == State_Running) return S_OK;
        state_ = State_Running;
    }
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* pin = GetPin(i);
        if (pin && pin->IsConnected()) {
            const HRESULT hr = pin->Run(start);
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    *state = state_;
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock)
{
    CAutoLock lock(filterLock_);
    if (clock) clock->AddRef();
    if (clock_) clock_->Release();
    clock_ = clock;
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock)
{
    if (!clock) return E_POINTER;
    CAutoLock lock(filterLock_);
    *clock = clock_;
    if (clock_) clock_->AddRef();
    return S_OK;
}

bool CBaseFilter::ClockTime(REFERENCE_TIME* time)
{
    IReferenceClock* clock = nullptr;
    GetSyncSource(&clock);
    if (!clock) return false;
    const bool ok = SUCCEEDED(clock->GetTime(time));
    clock->Release();
    return ok;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins)
{
    if (!pins) return E_POINTER;
    std::vector<IPin*> list;
    for (int i = 0; i < GetPinCount(); ++i) {
        if (CBasePin* pin = GetPin(i)) {
            pin->AddRef();
            list.push_back(pin);
        }
    }
    return detail::CSnapshotEnum<IEnumPins, IPin, IID_IEnumPins>::Make(std::move(list), pins);
}

HRESULT CBaseFilter::FindPin(const char* id, IPin** pin)
{
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* p = GetPin(i);
        if (p && p->PinName() == id) {
            p->AddRef();
            *pin = p;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    CAutoLock lock(filterLock_);
    CopyName(info->achName, name_);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, const char* name)
{
    CAutoLock lock(filterLock_);
    graph_ = graph;
    sink_ = nullptr;
    if (graph) {
        // Held weakly: the graph holds the filter, not the other way round.
        IMediaEventSink* sink = nullptr;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
            sink_ = sink;
            sink->Release();
        }
        if (name) name_ = name;
    }
    return S_OK;
}

HRESULT CBaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    IMediaEventSink* sink;
    {
        CAutoLock lock(filterLock_);
        sink = sink_;
        if (sink) sink->AddRef();
    }
    if (!sink) return E_NOTIMPL;
    const HRESULT hr = sink->Notify(code, param1, param2);
    sink->Release();
    return hr;
}

// ---- CBasePin

CBasePin::CBasePin(const char*, CBaseFilter* filter, CCritSec* lock, HRESULT*, const char* pinName, PIN_DIRECTION dir)
    : CUnknown(nullptr), filter_(filter), lock_(lock), pinName_(pinName ? pinName : ""), dir_(dir)
{
}

CBasePin::~CBasePin()
{
    if (connected_) connected_->Release();
}

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IPin || iid == IID_IUnknown) return GetInterface(static_cast<IPin*>(this), out);
    return E_NOINTERFACE;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) { return S_FALSE; }

HRESULT CBasePin::SetMediaType(const CMediaType* type)
{
    mt_ = *type;
    return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT CBasePin::BreakConnect() { return S_OK; }
HRESULT CBasePin::Active() { return S_OK; }
HRESULT CBasePin::Inactive() { return S_OK; }
HRESULT CBasePin::Run(REFERENCE_TIME) { return S_OK; }

HRESULT CBasePin::AttemptConnection(IPin* receive, const CMediaType& type)
{
    if (CheckMediaType(&type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    connected_ = receive;
    connected_->AddRef();
    SetMediaType(&type);
    HRESULT hr = receive->ReceiveConnection(this, &type);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(receive);
        if (SUCCEEDED(hr)) return S_OK;
        receive->Disconnect();
    }
    BreakConnect();
    connected_->Release();
    connected_ = nullptr;
    mt_ = CMediaType();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

namespace {
// A partial type (null major type or subtype) matches any value there.
bool Matches(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE* partial)
{
    if (!partial) return true;
    if (!(partial->majortype == GUID_NULL) && !(partial->majortype == type.majortype)) return false;
    if (!(partial->subtype == GUID_NULL) && !(partial->subtype == type.subtype)) return false;
    return true;
}
}  // namespace

HRESULT CBasePin::Connect(IPin* receive, const AM_MEDIA_TYPE* type)
{
    if (!receive) return E_POINTER;
    CAutoLock lock(lock_);
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (filter_->IsActive()) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION peerDir;
    if (FAILED(receive->QueryDirection(&peerDir)) || peerDir == dir_) return VFW_E_INVALID_DIRECTION;
    if (type && !(type->majortype == GUID_NULL) && !(type->subtype == GUID_NULL) &&
        !(type->formattype == GUID_NULL))
        return AttemptConnection(receive, CMediaType(*type));
    std::vector<CMediaType> candidates;
    EnumMediaTypes(&candidates);
    std::vector<CMediaType> theirs;
    receive->EnumMediaTypes(&theirs);
    candidates.insert(candidates.end(), theirs.begin(), theirs.end());
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const CMediaType& candidate : candidates) {
        if (!Matches(candidate, type)) continue;
        const HRESULT hr = AttemptConnection(receive, candidate);
        if (SUCCEEDED(hr)) return hr;
        last = hr;
    }
    return last == VFW_E_TYPE_NOT_ACCEPTED ? VFW_E_NO_ACCEPTABLE_TYPES : last;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type)
{
    if (!connector || !type) return E_POINTER;
    CAutoLock lock(lock_);
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (filter_->IsActive()) return VFW_E_NOT_STOPPED;
    CMediaType mt(*type);
    const HRESULT check = CheckMediaType(&mt);
    if (check != S_OK) return FAILED(check) ? check : VFW_E_TYPE_NOT_ACCEPTED;
    connected_ = connector;
    connected_->AddRef();
    SetMediaType(&mt);
    const HRESULT hr = CompleteConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        connected_->Release();
        connected_ = nullptr;
        mt_ = CMediaType();
    }
    return hr;
}

HRESULT CBasePin::Disconnect()
{
    CAutoLock lock(lock_);
    if (!connected_) return S_FALSE;
    if (filter_->IsActive()) return VFW_E_NOT_STOPPED;
    BreakConnect();
    connected_->Release();
    connected_ = nullptr;
    mt_ = CMediaType();
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    CAutoLock lock(lock_);
    *pin = connected_;
    if (!connected_) return VFW_E_NOT_CONNECTED;
    connected_->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    CAutoLock lock(lock_);
    if (!connected_) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &mt_);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info)
{
    if (!info) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = dir_;
    CopyName(info->achName, pinName_);
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* dir)
{
    if (!dir) return E_POINTER;
    *dir = dir_;
    return S_OK;
}

HRESULT CBasePin::QueryId(std::string* id)
{
    if (!id) return E_POINTER;
    *id = pinName_;
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    const CMediaType mt(*type);
    return CheckMediaType(&mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(std::vector<CMediaType>* types)
{
    if (!types) return E_POINTER;
    types->clear();
    for (int i = 0;; ++i) {
        CMediaType mt;
        if (GetMediaType(i, &mt) != S_OK) break;
        types->push_back(mt);
    }
    return S_OK;
}

HRESULT CBasePin::EndOfStream() { return S_OK; }

HRESULT CBasePin::BeginFlush()
{
    flushing_ = true;
    return S_OK;
}

HRESULT CBasePin::EndFlush()
{
    flushing_ = false;
    return S_OK;
}

// ---- CBaseInputPin

CBaseInputPin::CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                             const char* pinName)
    : CBasePin(objectName, filter, lock, hr, pinName, PINDIR_INPUT)
{
}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), out);
    return CBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    if (!filter_->IsActive()) return VFW_E_WRONG_STATE;
    if (flushing_) return S_FALSE;
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) {
        const CMediaType mt(*changed);
        DeleteMediaType(changed);
        if (CheckMediaType(&mt) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    }
    return S_OK;
}

HRESULT CBaseInputPin::ReceiveCanBlock() { return S_FALSE; }

HRESULT CBaseInputPin::BeginFlush() { return CBasePin::BeginFlush(); }
HRESULT CBaseInputPin::EndFlush() { return CBasePin::EndFlush(); }
HRESULT CBaseInputPin::Inactive()
{
    flushing_ = false;
    return S_OK;
}

// ---- CRenderedInputPin

HRESULT CRenderedInputPin::EndOfStream()
{
    if (filter_->State() == State_Running && !completed_.exchange(true))
        filter_->NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(filter_)));
    return S_OK;
}

HRESULT CRenderedInputPin::EndFlush()
{
    completed_ = false;
    return CBaseInputPin::EndFlush();
}

HRESULT CRenderedInputPin::Active()
{
    completed_ = false;
    return CBaseInputPin::Active();
}

HRESULT CRenderedInputPin::Run(REFERENCE_TIME start) { return CBaseInputPin::Run(start); }

// ---- CBaseOutputPin

CBaseOutputPin::CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                               const char* pinName)
    : CBasePin(objectName, filter, lock, hr, pinName, PINDIR_OUTPUT)
{
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* receive)
{
    IMemInputPin* input = nullptr;
    const HRESULT hr = receive->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (FAILED(hr)) return hr;
    if (input_) input_->Release();
    input_ = input;
    return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect()
{
    if (input_) {
        input_->Release();
        input_ = nullptr;
    }
    return S_OK;
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample)
{
    // Connections change only while the filter is stopped, when no thread delivers.
    return input_ ? input_->Receive(sample) : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndOfStream()
{
    return connected_ ? connected_->EndOfStream() : VFW_E_NOT_CONNECTED;
}

}  // namespace os

// The filter graph: the filters of one graph, their connections, the
// graph's state and clock, and its queue of media events.
//
// Only one thread drives a graph (the recorder's command thread); the graph
// lock guards the filter list and the clock, the event lock the queue. State
// changes call the filters with no graph lock held, because stopping a
// filter waits for its streaming threads, which may be reporting events.
#include <algorithm>
#include <cstdio>
#include <deque>
#include <set>

#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/media/internal/media_classes.h"
#include "platform/media/internal/pin_walk.h"
#include "platform/media/internal/snapshot_enum.h"

namespace os {

namespace {

struct QueuedEvent {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
};

bool CarriesPin(LONG code) { return code == EC_STREAM_CONTROL_STARTED || code == EC_STREAM_CONTROL_STOPPED; }

class FilterGraph final : public CUnknown,
                          public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaEventSink,
                          public IMediaFilter {
public:
    FilterGraph() : CUnknown(nullptr), eventHandle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    ~FilterGraph() override
    {
        // Filters still report to the graph while they stop: their passing
        // references must not bring the count back to zero a second time.
        NonDelegatingAddRef();
        Stop();
        // Connected filters hold each other through their pins: breaking
        // every connection is what lets them go.
        while (!filters_.empty()) RemoveFilter(filters_.back().filter);
        if (clock_) clock_->Release();
        for (const QueuedEvent& e : events_) FreeEventParams(e.code, e.param1, e.param2);
        if (eventHandle_) CloseHandle(eventHandle_);
    }

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IGraphBuilder || iid == IID_IFilterGraph || iid == IID_IUnknown)
            return GetInterface(static_cast<IGraphBuilder*>(this), out);
        if (iid == IID_IMediaControl) return GetInterface(static_cast<IMediaControl*>(this), out);
        if (iid == IID_IMediaEventEx || iid == IID_IMediaEvent) return GetInterface(static_cast<IMediaEventEx*>(this), out);
        if (iid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink*>(this), out);
        if (iid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter*>(this), out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }

    // ---- IFilterGraph
    HRESULT AddFilter(IBaseFilter* filter, const char* name) override
    {
        if (!filter) return E_POINTER;
        std::string unique;
        IReferenceClock* clock;
        {
            CAutoLock lock(&lock_);
            if (Find(filter) != filters_.end()) return VFW_E_DUPLICATE_NAME;
            unique = name ? name : "";
            for (int n = 1; FindByName(unique); ++n) {
                char suffix[16];
                std::snprintf(suffix, sizeof suffix, " %04d", n);
                unique = std::string(name ? name : "").append(suffix);
            }
            filter->AddRef();
            filters_.push_back({filter, unique});
            clock = clock_;
            if (clock) clock->AddRef();
        }
        const HRESULT hr = filter->JoinFilterGraph(this, unique.c_str());
        if (clock) {
            filter->SetSyncSource(clock);
            clock->Release();
        }
        if (FAILED(hr)) {
            RemoveFilter(filter);
            return hr;
        }
        return unique == (name ? name : "") ? S_OK : VFW_S_DUPLICATE_NAME;
    }

    HRESULT RemoveFilter(IBaseFilter* filter) override
    {
        if (!filter) return E_POINTER;
        {
            CAutoLock lock(&lock_);
            if (Find(filter) == filters_.end()) return VFW_E_NOT_FOUND;
        }
        filter->Stop();
        detail::ForEachPin(filter, [](IPin* pin) {
            IPin* peer = nullptr;
            if (SUCCEEDED(pin->ConnectedTo(&peer))) {
                peer->Disconnect();
                peer->Release();
            }
            pin->Disconnect();
        });
        filter->JoinFilterGraph(nullptr, nullptr);
        filter->SetSyncSource(nullptr);
        {
            CAutoLock lock(&lock_);
            filters_.erase(Find(filter));
        }
        filter->Release();
        return S_OK;
    }

    HRESULT EnumFilters(IEnumFilters** out) override
    {
        if (!out) return E_POINTER;
        return detail::CSnapshotEnum<IEnumFilters, IBaseFilter, IID_IEnumFilters>::Make(Snapshot(), out);
    }

    HRESULT FindFilterByName(const char* name, IBaseFilter** filter) override
    {
        if (!name || !filter) return E_POINTER;
        CAutoLock lock(&lock_);
        *filter = FindByName(name);
        if (!*filter) return VFW_E_NOT_FOUND;
        (*filter)->AddRef();
        return S_OK;
    }

    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override
    {
        if (!out || !in) return E_POINTER;
        if (!InGraph(out) || !InGraph(in)) return VFW_E_NOT_IN_GRAPH;
        PIN_DIRECTION dir;
        if (FAILED(out->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
        return out->Connect(in, type);
    }

    HRESULT Connect(IPin* out, IPin* in) override { return ConnectDirect(out, in, nullptr); }

    HRESULT Disconnect(IPin* pin) override
    {
        if (!pin) return E_POINTER;
        return pin->Disconnect();
    }

    HRESULT SetDefaultSyncSource() override
    {
        IReferenceClock* clock = nullptr;
        const HRESULT hr = CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock,
                                            reinterpret_cast<void**>(&clock));
        if (FAILED(hr)) return hr;
        SetSyncSource(clock);
        clock->Release();
        return S_OK;
    }

    // ---- IMediaFilter (the graph's clock for all its filters)
    HRESULT SetSyncSource(IReferenceClock* clock) override
    {
        {
            CAutoLock lock(&lock_);
            if (clock) clock->AddRef();
            if (clock_) clock_->Release();
            clock_ = clock;
        }
        for (IBaseFilter* f : Snapshot()) {
            f->SetSyncSource(clock);
            f->Release();
        }
        return S_OK;
    }

    HRESULT GetSyncSource(IReferenceClock** clock) override
    {
        if (!clock) return E_POINTER;
        CAutoLock lock(&lock_);
        *clock = clock_;
        if (clock_) clock_->AddRef();
        return S_OK;
    }

    HRESULT GetState(DWORD, FILTER_STATE* state) override
    {
        if (!state) return E_POINTER;
        *state = state_;
        return S_OK;
    }

    // ---- IMediaControl
    HRESULT Run() override
    {
        if (state_ == State_Running) return S_OK;
        if (state_ == State_Stopped) {
            const HRESULT hr = Pause();
            if (FAILED(hr)) return hr;
        }
        REFERENCE_TIME now = 0;
        {
            CAutoLock lock(&lock_);
            if (!clock_) {
                IReferenceClock* clock = nullptr;
                if (SUCCEEDED(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock,
                                               reinterpret_cast<void**>(&clock))))
                    clock_ = clock;
            }
            if (clock_) clock_->GetTime(&now);
        }
        if (!clock_) return VFW_E_NO_CLOCK;
        return ChangeState(State_Running, now);
    }

    // The graph as a whole runs on its own clock's time.
    HRESULT Run(REFERENCE_TIME) override { return Run(); }
    HRESULT Pause() override { return ChangeState(State_Paused, 0); }
    HRESULT Stop() override { return ChangeState(State_Stopped, 0); }

    HRESULT GetState(LONG, LONG* state) override
    {
        if (!state) return E_POINTER;
        *state = state_;
        return S_OK;
    }

    // ---- IMediaEvent
    HRESULT GetEventHandle(LONG_PTR* event) override
    {
        if (!event) return E_POINTER;
        *event = reinterpret_cast<LONG_PTR>(eventHandle_);
        return S_OK;
    }

    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) override
    {
        if (!code || !param1 || !param2) return E_POINTER;
        if (WaitForSingleObject(eventHandle_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return E_ABORT;
        CAutoLock lock(&eventLock_);
        if (events_.empty()) {
            ResetEvent(eventHandle_);
            return E_ABORT;
        }
        const QueuedEvent e = events_.front();
        events_.pop_front();
        if (events_.empty()) ResetEvent(eventHandle_);
        *code = e.code;
        *param1 = e.param1;
        *param2 = e.param2;
        return S_OK;
    }

    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR) override
    {
        if (CarriesPin(code) && param1) reinterpret_cast<IPin*>(param1)->Release();
        return S_OK;
    }

    // ---- IMediaEventSink: events from the filters, any thread.
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override
    {
        if (CarriesPin(code) && param1) reinterpret_cast<IPin*>(param1)->AddRef();
        CAutoLock lock(&eventLock_);
        events_.push_back({code, param1, param2});
        SetEvent(eventHandle_);
        return S_OK;
    }

private:
    struct Entry {
        IBaseFilter* filter;
        std::string name;
    };

    std::vector<Entry>::iterator Find(IBaseFilter* f)
    {
        return std::find_if(filters_.begin(), filters_.end(), [f](const Entry& e) { return e.filter == f; });
    }

    IBaseFilter* FindByName(const std::string& name)
    {
        for (const Entry& e : filters_)
            if (e.name == name) return e.filter;
        return nullptr;
    }

    std::vector<IBaseFilter*> Snapshot()
    {
        CAutoLock lock(&lock_);
        std::vector<IBaseFilter*> list;
        for (const Entry& e : filters_) {
            e.filter->AddRef();
            list.push_back(e.filter);
        }
        return list;
    }

    bool InGraph(IPin* pin)
    {
        PIN_INFO info;
        if (FAILED(pin->QueryPinInfo(&info))) return false;
        CAutoLock lock(&lock_);
        const bool in = Find(info.pFilter) != filters_.end();
        info.pFilter->Release();
        return in;
    }

    // The filters fed by `filter` through its connected output pins.
    static std::set<IBaseFilter*> Downstream(IBaseFilter* filter)
    {
        std::set<IBaseFilter*> next;
        detail::ForEachPin(filter, [&](IPin* pin) {
            PIN_DIRECTION dir;
            IPin* peer = nullptr;
            if (FAILED(pin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT || FAILED(pin->ConnectedTo(&peer))) return;
            PIN_INFO info;
            if (SUCCEEDED(peer->QueryPinInfo(&info))) {
                next.insert(info.pFilter);
                info.pFilter->Release();
            }
            peer->Release();
        });
        return next;
    }

    // Renderers first: a filter comes after every filter it feeds, so that
    // nothing delivers to a filter that is not ready for it yet.
    std::vector<IBaseFilter*> DownstreamFirst(const std::vector<IBaseFilter*>& all)
    {
        std::vector<IBaseFilter*> order;
        std::set<IBaseFilter*> placed;
        while (order.size() < all.size()) {
            bool progress = false;
            for (IBaseFilter* f : all) {
                if (placed.count(f)) continue;
                const auto fed = Downstream(f);
                const bool ready = std::all_of(fed.begin(), fed.end(), [&](IBaseFilter* d) {
                    return placed.count(d) || std::find(all.begin(), all.end(), d) == all.end();
                });
                if (ready) {
                    order.push_back(f);
                    placed.insert(f);
                    progress = true;
                }
            }
            if (!progress) {  // a loop of connections: take the rest as they come
                for (IBaseFilter* f : all)
                    if (!placed.count(f)) order.push_back(f), placed.insert(f);
            }
        }
        return order;
    }

    HRESULT ChangeState(FILTER_STATE target, REFERENCE_TIME start)
    {
        std::vector<IBaseFilter*> all = Snapshot();
        std::vector<IBaseFilter*> order = DownstreamFirst(all);
        if (target == State_Stopped) std::reverse(order.begin(), order.end());
        HRESULT result = S_OK;
        for (IBaseFilter* f : order) {
            const HRESULT hr = target == State_Running ? f->Run(start)
                               : target == State_Paused ? f->Pause()
                                                        : f->Stop();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
        for (IBaseFilter* f : all) f->Release();
        if (FAILED(result) && target != State_Stopped) {
            ChangeState(State_Stopped, 0);
            return result;
        }
        state_ = target;
        return result;
    }

    CCritSec lock_;
    CCritSec eventLock_;
    std::vector<Entry> filters_;
    IReferenceClock* clock_ = nullptr;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    HANDLE eventHandle_;
    std::deque<QueuedEvent> events_;
};

class SystemClock final : public CUnknown, public IReferenceClock {
public:
    SystemClock() : CUnknown(nullptr) {}
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IReferenceClock || iid == IID_IUnknown) return GetInterface(static_cast<IReferenceClock*>(this), out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }
    HRESULT GetTime(REFERENCE_TIME* time) override
    {
        if (!time) return E_POINTER;
        *time = DeviceTimeUs() * 10;
        return S_OK;
    }
};

}  // namespace

CUnknown* detail::NewFilterGraph(HRESULT* hr)
{
    auto* graph = new FilterGraph();
    *hr = S_OK;
    return graph;
}

CUnknown* detail::NewSystemClock(HRESULT* hr)
{
    *hr = S_OK;
    return new SystemClock();
}

}  // namespace os

// Base classes for filters and pins, from which the platform's filters and
// the program's own sinks derive. CBaseFilter keeps the state, clock, graph
// and name; CBasePin the connection and its media type; CBaseInputPin adds
// sample delivery (Receive), CRenderedInputPin end-of-stream for renderers,
// CBaseOutputPin a pool-free delivery of samples it makes itself.
//
// Locking: the filter lock (given to the constructors) guards state and
// connections. Receive runs on the upstream filter's streaming thread and
// must not take the filter lock while waiting for anything.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/kernel/sync.h"
#include "platform/media/media_interfaces.h"

namespace os {

// A critical section of the platform with scope locking.
class CCritSec {
public:
    CCritSec() { InitializeCriticalSection(&cs_); }
    ~CCritSec() { DeleteCriticalSection(&cs_); }
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;
    void Lock() { EnterCriticalSection(&cs_); }
    void Unlock() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
    ~CAutoLock() { lock_->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* lock_;
};

// A sample with its own buffer, for the platform's sources.
class CMediaSample final : public CUnknown, public IMediaSample {
public:
    explicit CMediaSample(std::size_t size);
    // Back to a fresh sample of the same buffer, for a source that makes the
    // next sample in it.
    void Recycle();
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT GetPointer(BYTE** buffer) override;
    long GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(BOOL sync) override;
    long GetActualDataLength() override;
    HRESULT SetActualDataLength(long length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;

private:
    std::vector<BYTE> buffer_;
    long actual_ = 0;
    bool timeValid_ = false;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME stop_ = 0;
    bool sync_ = false;
};

// The sample a source makes its next sample in: the one it made last when
// every receiver has let it go, else a new one. Keeps a streaming thread
// from allocating (and clearing) a picture's worth of memory per frame.
class SampleRecycler {
public:
    SampleRecycler() = default;
    SampleRecycler(const SampleRecycler&) = delete;
    SampleRecycler& operator=(const SampleRecycler&) = delete;
    ~SampleRecycler() { Reset(); }
    // A sample of `size` bytes held by the recycler, valid until the next call.
    CMediaSample* Next(std::size_t size);
    void Reset();

private:
    CMediaSample* sample_ = nullptr;  // with the recycler's reference
};

// A pin shares its filter's life: a reference on any of its interfaces
// counts on the filter. Every pin class with interfaces of its own says so.
#define DECLARE_PIN_IUNKNOWN                                                                      \
    ::os::HRESULT QueryInterface(::os::REFIID iid, void** out) override                         \
    {                                                                                             \
        return NonDelegatingQueryInterface(iid, out);                                             \
    }                                                                                             \
    ::os::ULONG AddRef() override { return filter_->AddRef(); }                                  \
    ::os::ULONG Release() override { return filter_->Release(); }

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter {
public:
    // `lock` is the filter lock, owned by the derived filter.
    CBaseFilter(const char* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
    ~CBaseFilter() override;
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // The filter's pins; the pins live as long as the filter.
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int n) = 0;

    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(const char* id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) override;

    // Sends an event to the graph's event queue (nothing when not in a graph).
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    FILTER_STATE State() const { return state_.load(); }
    REFERENCE_TIME StartTime() const { return start_.load(); }
    // The graph clock's time; false without a clock.
    bool ClockTime(REFERENCE_TIME* time);
    bool IsActive() const { return state_.load() != State_Stopped; }
    const std::string& Name() const { return name_; }

protected:
    CCritSec* filterLock_;
    // Read without the lock by streaming threads.
    std::atomic<FILTER_STATE> state_{State_Stopped};
    std::atomic<REFERENCE_TIME> start_{0};
    IReferenceClock* clock_ = nullptr;  // with a reference
    IFilterGraph* graph_ = nullptr;     // weak: the graph holds the filter
    IMediaEventSink* sink_ = nullptr;   // weak, as the graph
    std::string name_;
    CLSID clsid_;
};

class CBasePin : public CUnknown, public IPin {
public:
    CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr, const char* pinName,
             PIN_DIRECTION dir);
    ~CBasePin() override;
    DECLARE_PIN_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // What the derived pin accepts and proposes.
    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    virtual HRESULT SetMediaType(const CMediaType* type);
    virtual HRESULT CompleteConnect(IPin* receive);
    virtual HRESULT BreakConnect();
    // State changes of the filter, with the filter lock not held.
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME start);

    HRESULT Connect(IPin* receive, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* dir) override;
    HRESULT QueryId(std::string* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(std::vector<CMediaType>* types) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    bool IsConnected() const { return connected_ != nullptr; }
    IPin* GetConnected() const { return connected_; }
    const CMediaType& CurrentMediaType() const { return mt_; }
    const std::string& PinName() const { return pinName_; }
    CBaseFilter* Filter() const { return filter_; }

protected:
    // Tries one type against the peer; on success both ends are connected.
    HRESULT AttemptConnection(IPin* receive, const CMediaType& type);

    CBaseFilter* filter_;
    CCritSec* lock_;
    std::string pinName_;
    PIN_DIRECTION dir_;
    IPin* connected_ = nullptr;  // with a reference
    CMediaType mt_;
    std::atomic<bool> flushing_{false};
};

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr, const char* pinName);
    DECLARE_PIN_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // Refuses samples while the filter is stopped or the pin flushing.
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT Inactive() override;

protected:
};

class CRenderedInputPin : public CBaseInputPin {
public:
    using CBaseInputPin::CBaseInputPin;
    // Renderers report the end of the stream to the graph once.
    HRESULT EndOfStream() override;
    HRESULT EndFlush() override;
    HRESULT Active() override;
    HRESULT Run(REFERENCE_TIME start) override;

private:
    std::atomic<bool> completed_{false};
};

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr, const char* pinName);
    HRESULT CompleteConnect(IPin* receive) override;
    HRESULT BreakConnect() override;
    // Hands a sample to the connected input pin; VFW_E_NOT_CONNECTED without one.
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();

protected:
    IMemInputPin* input_ = nullptr;  // the connected pin's delivery face, with a reference
};

}  // namespace os

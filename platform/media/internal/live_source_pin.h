// For the platform layer only: an output pin of a live capture source (the
// camera's, the microphone's). While its filter runs, a streaming thread of
// its own makes sample k when the stream clock reaches k sample periods
// after the run's start, stamps it [k, k + 1) periods in stream time (100 ns
// units, computed from k so that it never drifts) and delivers it through
// the pin's stream control. A thread that falls behind (a stall, a slow
// receiver) skips the samples whose time has passed, as a live device loses
// them; the slot counter still counts them, so a loss shows. A receiver
// that answers anything but S_OK asks the pin to stop delivering: it makes
// no more samples until the filter runs again.
#pragma once

#include <functional>

#include "platform/media/internal/stream_control.h"

namespace os::detail {

class LiveSourcePin : public CBaseOutputPin, public IAMStreamControl, public IPinCategory {
public:
    LiveSourcePin(CBaseFilter* filter, CCritSec* lock, HRESULT* hr, const char* name, const GUID& category);
    ~LiveSourcePin() override;
    DECLARE_PIN_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME start) override;

    HRESULT StartAt(const REFERENCE_TIME* start, DWORD cookie) override;
    HRESULT StopAt(const REFERENCE_TIME* stop, BOOL sendExtra, DWORD cookie) override;
    HRESULT GetCategory(GUID* category) override;

protected:
    // The sample period in 100 ns units as numerator / denominator (30 frames/s: 10 000 000 / 30).
    struct Period {
        std::int64_t num;
        std::int64_t den;
    };
    virtual Period SamplePeriod() = 0;
    // Delay between a sample's start and its delivery: a sound buffer is
    // delivered when it is full, a picture at once.
    virtual bool DeliverAtEnd() = 0;
    // Device time until which the source is stalled (0: not).
    virtual std::int64_t StalledUntilUs() = 0;
    // Makes sample `slot` (counted since the source opened); false when
    // nothing could be made.
    virtual bool Produce(std::uint64_t slot, std::int64_t deviceUs, CMediaSample* sample) = 0;
    virtual std::size_t SampleBytes() = 0;
    // Pins that are not paced (a still pin) override the loop.
    virtual void Stream();
    // Wakes the streaming thread early (a trigger, a stop).
    void Wake();
    bool Stopping() const { return stopping_.load(); }
    HANDLE WakeEvent() const { return wake_; }
    // Slots since the source opened.
    std::atomic<std::uint64_t> slotsSinceOpen_{0};
    StreamControl control_;
    // Used by the streaming thread only.
    SampleRecycler samples_;

private:
    static DWORD ThreadMain(void* param);
    REFERENCE_TIME SlotStart(std::int64_t k);
    GUID category_;
    HANDLE wake_ = nullptr;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> refused_{false};
    std::atomic<std::int64_t> runStartUs_{0};
};

}  // namespace os::detail

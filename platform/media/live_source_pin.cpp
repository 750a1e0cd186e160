#include "platform/media/internal/live_source_pin.h"

#include <algorithm>

#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"

namespace os::detail {

namespace {
// Whole milliseconds from `nowUs` until `targetUs` (later), rounded up and
// kept below INFINITE, so that a stall "for ever" is a long wait, not none.
DWORD MsUntil(std::int64_t targetUs, std::int64_t nowUs)
{
    const std::int64_t us = targetUs - nowUs;
    const std::int64_t ms = us / 1000 + (us % 1000 != 0);
    return static_cast<DWORD>(std::min<std::int64_t>(ms, 0x7FFFFFFF));
}
}  // namespace

LiveSourcePin::LiveSourcePin(CBaseFilter* filter, CCritSec* lock, HRESULT* hr, const char* name, const GUID& category)
    : CBaseOutputPin(name, filter, lock, hr, name), category_(category), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    if (!wake_ && hr) *hr = E_OUTOFMEMORY;
}

LiveSourcePin::~LiveSourcePin()
{
    Inactive();
    if (wake_) CloseHandle(wake_);
}

HRESULT LiveSourcePin::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IAMStreamControl) return GetInterface(static_cast<IAMStreamControl*>(this), out);
    if (iid == IID_IPinCategory) return GetInterface(static_cast<IPinCategory*>(this), out);
    return CBaseOutputPin::NonDelegatingQueryInterface(iid, out);
}

HRESULT LiveSourcePin::GetCategory(GUID* category)
{
    if (!category) return E_POINTER;
    *category = category_;
    return S_OK;
}

HRESULT LiveSourcePin::StartAt(const REFERENCE_TIME* start, DWORD cookie)
{
    control_.StartAt(start, cookie);
    return S_OK;
}

HRESULT LiveSourcePin::StopAt(const REFERENCE_TIME* stop, BOOL, DWORD cookie)
{
    control_.StopAt(stop, cookie);
    return S_OK;
}

HRESULT LiveSourcePin::Active()
{
    if (thread_) return S_OK;
    stopping_ = false;
    running_ = false;
    thread_ = CreateThread(nullptr, 0, &LiveSourcePin::ThreadMain, this, 0, nullptr);
    if (!thread_) return E_OUTOFMEMORY;
    SetThreadDescription(thread_, ("stream " + PinName()).c_str());
    return S_OK;
}

HRESULT LiveSourcePin::Run(REFERENCE_TIME start)
{
    runStartUs_ = start / 10;
    refused_ = false;
    running_ = true;
    Wake();
    return S_OK;
}

HRESULT LiveSourcePin::Inactive()
{
    if (!thread_) return S_OK;
    stopping_ = true;
    running_ = false;
    Wake();
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    samples_.Reset();
    return S_OK;
}

void LiveSourcePin::Wake()
{
    if (wake_) SetEvent(wake_);
}

DWORD LiveSourcePin::ThreadMain(void* param)
{
    static_cast<LiveSourcePin*>(param)->Stream();
    return 0;
}

REFERENCE_TIME LiveSourcePin::SlotStart(std::int64_t k)
{
    const Period p = SamplePeriod();
    return k * p.num / p.den;
}

void LiveSourcePin::Stream()
{
    std::int64_t k = 0;  // slot of this run
    std::int64_t runOf = -1;
    while (!stopping_) {
        if (!running_ || refused_ || filter_->State() != State_Running) {
            WaitForSingleObject(wake_, INFINITE);
            continue;
        }
        const std::int64_t startUs = runStartUs_;
        if (startUs != runOf) {  // a new run: its own stream time from 0
            runOf = startUs;
            k = 0;
        }
        const std::int64_t deliverSlot = DeliverAtEnd() ? k + 1 : k;
        const std::int64_t dueUs = startUs + (SlotStart(deliverSlot) + 9) / 10;
        std::int64_t now = DeviceTimeUs();
        if (now < dueUs) {
            WaitForSingleObject(wake_, MsUntil(dueUs, now));
            continue;
        }
        const std::int64_t stalledUntil = StalledUntilUs();
        if (stalledUntil > now) {
            WaitForSingleObject(wake_, MsUntil(stalledUntil, now));
            continue;
        }
        // Slots whose delivery time has passed by a whole period are lost.
        const Period p = SamplePeriod();
        const std::int64_t d = DeliverAtEnd() ? 1 : 0;
        std::int64_t latest = std::max(k, (now - startUs) * 10 * p.den / p.num - d - 2);
        while (startUs + (SlotStart(latest + 1 + d) + 9) / 10 <= now) ++latest;
        slotsSinceOpen_.fetch_add(static_cast<std::uint64_t>(latest - k));
        k = latest;

        CMediaSample* sample = samples_.Next(SampleBytes());
        REFERENCE_TIME start = SlotStart(k);
        REFERENCE_TIME stop = SlotStart(k + 1);
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        if (Produce(slotsSinceOpen_, now, sample) && control_.Admit(start, filter_, this) && Deliver(sample) != S_OK)
            refused_ = true;
        ++k;
        ++slotsSinceOpen_;
    }
}

}  // namespace os::detail

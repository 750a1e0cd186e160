#include "platform/media/internal/stream_control.h"

namespace os::detail {

void StreamControl::StartAt(const REFERENCE_TIME* start, DWORD cookie)
{
    std::lock_guard lk(mu_);
    start_ = start ? *start : kNow;
    startCookie_ = cookie;
    startPending_ = start_ != MAXLONGLONG;
    // A start after a stop that was reached opens the stream again.
    if (stop_ != MAXLONGLONG && !stopPending_ && start_ != MAXLONGLONG) stop_ = MAXLONGLONG;
}

void StreamControl::StopAt(const REFERENCE_TIME* stop, DWORD cookie)
{
    std::lock_guard lk(mu_);
    stop_ = stop ? *stop : kNow;
    stopCookie_ = cookie;
    stopPending_ = stop_ != MAXLONGLONG;
}

bool StreamControl::Admit(REFERENCE_TIME t, CBaseFilter* filter, IPin* pin)
{
    bool started = false;
    bool stopped = false;
    bool pass;
    DWORD startCookie;
    DWORD stopCookie;
    {
        std::lock_guard lk(mu_);
        const bool afterStart = start_ != MAXLONGLONG && (start_ == kNow || t >= start_);
        const bool beforeStop = stop_ == MAXLONGLONG || (stop_ != kNow && t < stop_);
        pass = afterStart && beforeStop;
        if (pass && startPending_) {
            startPending_ = false;
            started = true;
        }
        if (!beforeStop && stopPending_) {
            stopPending_ = false;
            stopped = true;
        }
        startCookie = startCookie_;
        stopCookie = stopCookie_;
    }
    const auto pinParam = reinterpret_cast<LONG_PTR>(pin);
    if (started) filter->NotifyEvent(EC_STREAM_CONTROL_STARTED, pinParam, static_cast<LONG_PTR>(startCookie));
    if (stopped) filter->NotifyEvent(EC_STREAM_CONTROL_STOPPED, pinParam, static_cast<LONG_PTR>(stopCookie));
    return pass;
}

}  // namespace os::detail

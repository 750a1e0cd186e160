// For the platform layer only: the start and stop times of one output pin
// (IAMStreamControl), shared by the capture sources and the Smart Tee.
// A null start means now and MAXLONGLONG never; a null stop means now and
// MAXLONGLONG never. "Now" takes effect at the next sample. The pin reports
// EC_STREAM_CONTROL_STARTED with the start cookie when the first sample
// passes after a start, and EC_STREAM_CONTROL_STOPPED with the stop cookie
// when the first sample reaches the stop time, so that every sample before
// the stop event has been delivered.
#pragma once

#include <mutex>

#include "platform/media/base_classes.h"

namespace os::detail {

class StreamControl {
public:
    void StartAt(const REFERENCE_TIME* start, DWORD cookie);
    void StopAt(const REFERENCE_TIME* stop, DWORD cookie);
    // Whether a sample starting at stream time `t` goes on; sends the events
    // through `filter` with `pin` as their first parameter.
    bool Admit(REFERENCE_TIME t, CBaseFilter* filter, IPin* pin);

private:
    static constexpr REFERENCE_TIME kNow = INT64_MIN;
    std::mutex mu_;
    REFERENCE_TIME start_ = kNow;  // a fresh pin streams
    REFERENCE_TIME stop_ = MAXLONGLONG;
    DWORD startCookie_ = 0;
    DWORD stopCookie_ = 0;
    bool startPending_ = false;
    bool stopPending_ = false;
};

}  // namespace os::detail

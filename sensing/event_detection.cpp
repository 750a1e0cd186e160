#include "sensing/event_detection.h"

#include "platform/base/trace.h"

int ApplyShockLevels(uint32_t, uint32_t, uint32_t)
{
    // Will convert the levels into shock thresholds for the G-sensor.
    os::Trace("ApplyShockLevels: event detection not built yet");
    return 0;
}

int EventPoll(os::HWND)
{
    // Will read the accelerometer and tag detected shocks.
    os::Trace("EventPoll: event detection not built yet");
    return 0;
}

int RequestManualEvent(os::HWND)
{
    // Will raise a manual event unless an event clip is being written.
    os::Trace("RequestManualEvent: event detection not built yet");
    return 0;
}

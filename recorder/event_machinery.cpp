#include "recorder/event_machinery.h"

#include <algorithm>
#include <cmath>

#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "platform/windows/window.h"
#include "recorder/event_clip.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"
#include "sensing/event_detection.h"
#include "sensing/gsensor_options.h"
#include "sensing/sensor_manager.h"

namespace {

// The sensor module the options of the GPS event source go to; no such
// module is registered on these handsets, so the options find nobody.
constexpr const char* kGpsSensorName = "GPS";
constexpr os::DWORD kWriterEndWaitMs = 1000;
// A clip being finished at a stop writes what it has within this time.
constexpr os::DWORD kClipFinishWaitMs = 10000;
constexpr std::uint32_t kMinNodes = 256;
constexpr std::uint32_t kMaxNodes = 1u << 16;
constexpr int kAudioBuffersPerSecond = 10;

// Nodes for twice the event time of pictures and sound, with room to spare.
std::uint32_t NodeCountFor(std::uint32_t eventTimeSec, int frameRate)
{
    const std::uint64_t perSecond = static_cast<std::uint64_t>(frameRate) + kAudioBuffersPerSecond;
    const std::uint64_t nodes = (2ull * eventTimeSec + 2) * perSecond * 2;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(nodes, kMinNodes, kMaxNodes));
}

os::DWORD EventWriterThread(void* param)
{
    auto* s = static_cast<RecorderState*>(param);
    while (s->alive.load()) {
        os::WaitForSingleObject(s->wakeWriter, os::INFINITE);
        if (!s->alive.load()) break;
        if (s->EventCaptureState.load() != kEventCaptureCapturing) continue;
        s->clipActive.store(true);
        RunEventClip(s);
        s->clipActive.store(false);
        // Done is told before the state leaves 3, so that an event taken in
        // between is held for the next clip rather than lost to this one.
        os::SetEvent(s->clipDone);
        s->EventCaptureState.store(kEventCaptureArmed);
        os::Sleep(5);
    }
    return 0;
}

// The distance step of one buffered sample from the live fix.
void DistanceDeltas(RecorderState* s, const GpsFix& fix, double* d1, double* d2)
{
    *d1 = 0;
    *d2 = 0;
    if (fix.body.signalLevel <= 3 || fix.body.speedKnots == -1.0f) return;
    const float latitude = fix.body.timePosition.latitude;
    const float longitude = fix.body.timePosition.longitude;
    if (s->bufferPreviousLatitude == 0 || s->bufferPreviousLongitude == 0) {
        s->bufferPreviousLatitude = latitude;
        s->bufferPreviousLongitude = longitude;
    }
    *d1 = static_cast<double>((latitude - s->bufferPreviousLatitude) * 92.0f);
    *d2 = static_cast<double>((longitude - s->bufferPreviousLongitude) * 114.0f);
    s->bufferPreviousLatitude = latitude;
    s->bufferPreviousLongitude = longitude;
}

}  // namespace

void ApplyShockSensitivity(RecorderState* s)
{
    const RecorderSettings& settings = *s->settings;
    ApplyShockLevels(settings.EventTagDetectLevelX, settings.EventTagDetectLevelY, settings.EventTagDetectLevelZ);
    const std::uint32_t x = settings.EventTagDetectLevelX;
    SensorSetOption(kGpsSensorName, 2, x <= 2 ? 40 : x <= 5 ? 30 : 20);
}

int StartEventMachinery(RecorderState* s)
{
    const std::uint32_t eventTimeSec = s->settings->EventTimeSec;
    const std::uint32_t capacity = PreEventBuffer_CapacityFor(eventTimeSec, s->videoKbps, s->audioKbps);
    if (!PreEventBuffer_Create(&s->preEvent, capacity, NodeCountFor(eventTimeSec, s->frameRate))) {
        s->alive.store(false);
        return 0;
    }
    SensorManagerCreate();
    SensorSetOption(kGSensorName, kGSensorOptSetSampling, 5);
    SensorSetOption(kGSensorName, kGSensorOptSetErrorCount, 1);
    SensorSetOption(kGpsSensorName, 1, 15);
    ApplyShockSensitivity(s);
    s->eventDeferred.store(false);
    s->EventCaptureState.store(0);
    s->sampleArrived = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    s->wakeWriter = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    s->clipDone = os::CreateEventW(nullptr, os::TRUE, os::TRUE, nullptr);
    if (s->sampleArrived == nullptr || s->wakeWriter == nullptr || s->clipDone == nullptr) return 0;
    s->alive.store(true);
    if (s->settings->EnableMovRecordAfterLaunch == 0) return EnsureEventWriter(s);
    return 1;
}

int EnsureEventWriter(RecorderState* s)
{
    if (s->writerThread != nullptr) return 1;
    if (!s->alive.load()) return 0;
    s->writerThread = os::CreateThread(nullptr, 0, EventWriterThread, s, 0, nullptr);
    if (s->writerThread == nullptr) return 0;
    os::SetThreadDescription(s->writerThread, "EventWriter");
    return 1;
}

bool StopEventMachinery(RecorderState* s)
{
    s->EventCaptureState.store(kEventCaptureIdle);
    s->armed.store(false);
    bool ended = true;
    if (s->alive.exchange(false) && s->writerThread != nullptr) {
        os::SetEvent(s->wakeWriter);
        os::SetEvent(s->sampleArrived);
        ended = os::WaitForSingleObject(s->writerThread, kWriterEndWaitMs) == os::WAIT_OBJECT_0;
    }
    if (!ended) {
        os::Trace("EventWriterThread did not end: its buffer and events are kept\r\n");
        return false;
    }
    if (s->writerThread != nullptr) os::CloseHandle(s->writerThread);
    s->writerThread = nullptr;
    for (os::HANDLE* event : {&s->sampleArrived, &s->wakeWriter, &s->clipDone}) {
        if (*event != nullptr) os::CloseHandle(*event);
        *event = nullptr;
    }
    SensorManagerDestroy();
    if (s->lockMade) os::EnterCriticalSection(&s->lock);
    PreEventBuffer_Destroy(&s->preEvent);
    if (s->lockMade) os::LeaveCriticalSection(&s->lock);
    return true;
}

int ArmEvents(RecorderState* s)
{
    if (!s->alive.load()) return 0;
    ApplyShockSensitivity(s);
    s->eventDeferred.store(false);
    s->postEvent.store(false);
    s->EventCaptureState.store(kEventCaptureArmed);
    s->armed.store(true);
    SensorManagerEnable();
    os::SetTimer(s->window, kEventPollTimerId, kEventPollPeriodMs, nullptr);
    return 1;
}

void DisarmEvents(RecorderState* s)
{
    if (s->armed.exchange(false)) {
        os::KillTimer(s->window, kEventPollTimerId);
        if (s->EventCaptureState.load() == kEventCaptureCapturing && s->clipDone != nullptr) {
            // The clip ends with what it has: its post-event wait sees the disarm.
            os::SetEvent(s->sampleArrived);
            if (os::WaitForSingleObject(s->clipDone, kClipFinishWaitMs) != os::WAIT_OBJECT_0) {
                os::Trace("The event clip did not finish within %u ms\r\n", kClipFinishWaitMs);
            }
        }
    }
    SensorManagerDisable();
}

int BufferSample(RecorderState* s, const os::BYTE* data, int size, int kind, std::int64_t start, std::int64_t stop)
{
    if (!s->armed.load()) return 1;
    os::EnterCriticalSection(&s->lock);
    const GpsFix fix = CopyGpsFix(s);
    int refused = 1;
    const std::uint8_t* payload = data;
    int payloadSize = size;
    EncodedFrame out;
    if (kind == 0) {
        payloadSize = EncodeCapture(s, data, 0, &out) ? out.size : 0;
        payload = out.data;
    }
    if (payloadSize > 0) {
        double d1 = 0;
        double d2 = 0;
        DistanceDeltas(s, fix, &d1, &d2);
        refused = !PreEventBuffer_Append(&s->preEvent, static_cast<std::uint32_t>(kind), os::GetTickCount(), start,
                                         stop, payload, static_cast<std::uint32_t>(payloadSize), fix, d1, d2);
    }
    os::LeaveCriticalSection(&s->lock);
    if (s->postEvent.load()) os::SetEvent(s->sampleArrived);
    return refused;
}

// The recording sink's callback: in continuous mode each sample is encoded
// (video) and written at once to the open file; in event-only mode it goes
// into the pre-event buffer.
#include "platform/kernel/clock.h"
#include "recorder/event_machinery.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"
#include "storage/volume_select.h"

namespace {

// The card cannot take the file any further: the room measured at the
// open less what the file took since is below the reserve.
bool BelowReserve(const RecorderState* s)
{
    const std::uint64_t written = s->timeline.bytesWritten;
    const std::uint64_t left = s->freeAtOpen > written ? s->freeAtOpen - written : 0;
    return left < FreeSpaceReserve(s->settings->MinFreeSpaceMB);
}

// A write failed: a full or missing card stops the recording like the guard.
bool CardFullOrGone(const RecorderState* s)
{
    std::uint64_t freeBytes = 0;
    if (!VolumeFreeBytes(s->filePath, &freeBytes)) return true;
    return freeBytes < FreeSpaceReserve(s->settings->MinFreeSpaceMB) + 65536;
}

bool AudioMuted(const RecorderState* s)
{
    const bool callMuted = s->phoneCall.load() != 0 && s->settings->EnableBgAudioRecordOnCall == 0;
    return callMuted || s->settings->DisableRecordAudio != 0;
}

// One sample of continuous recording, under the lock; true when the storage
// guard latched and the stop commands are to be posted.
bool WriteContinuous(RecorderState* s, const os::BYTE* data, int size, int kind, std::int64_t start,
                     std::int64_t stop)
{
    if (!s->timeline.fileOpen || s->status.paused || s->storageFullLatched) return false;
    if (BelowReserve(s)) return LatchStorageFull(s);
    TimelineSample sample;
    sample.kind = kind;
    sample.start = start;
    sample.stop = stop;
    sample.tick = os::GetTickCount();
    sample.drivesIndex = kind == 1 || s->StreamMode.load() == kStreamVideoOnly;
    AdvanceTimeline(s, sample);
    if (s->unattended.load() != 0) return false;
    GpsFix fix{};
    if (kind == 0) {
        EncodedFrame out;
        if (!EncodeCapture(s, data, s->timeline.videoFrames == 0, &out)) return false;
        sample.data = out.data;
        sample.size = out.size;
        sample.key = out.picType == 0;
        // The live fix is copied only for the picture that takes a GPS record.
        if (GpsRecordDue(s, sample.tick)) {
            fix = CopyGpsFix(s);
            sample.gps = &fix;
        }
    } else {
        sample.data = data;
        sample.size = size;
        sample.audioMuted = AudioMuted(s);
    }
    if (WriteTimelineSample(s, sample)) return false;
    return CardFullOrGone(s) && LatchStorageFull(s);
}

}  // namespace

int OnCapturedSample(const os::BYTE* data, os::LONG size, int kind, os::REFERENCE_TIME start, os::REFERENCE_TIME stop,
                     os::HWND hwnd)
{
    RecorderState* s = MOV_State(hwnd);
    // Only a missing recorder stops the stream: any other answer but 0 would
    // stop delivery until the graph runs again.
    if (s == nullptr) return 1;
    if (data == nullptr || size <= 0) return 0;
    if (kind == 0 && size < s->previewWidth * s->previewHeight * 3 / 2) return 0;
    if (s->RecordMode.load() == kRecordEventOnly) {
        BufferSample(s, data, static_cast<int>(size), kind, start, stop);
        return 0;
    }
    os::EnterCriticalSection(&s->lock);
    const bool latched = WriteContinuous(s, data, static_cast<int>(size), kind, start, stop);
    os::LeaveCriticalSection(&s->lock);
    if (latched) PostStorageFullCommands(hwnd);
    return 0;
}

// The recorder's share of an event the event poll decided on, and the
// status a display reads.
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "recorder/avi/avi_writer.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"

namespace {

std::uint32_t ElapsedSeconds(const RecorderState* s)
{
    os::SYSTEMTIME now;
    os::GetLocalTime(&now);
    const std::int64_t elapsed = FileTimeValue(now) - FileTimeValue(s->status.startTime);
    return elapsed > 0 ? static_cast<std::uint32_t>(elapsed / 10000000) : 0;
}

int StartClip(RecorderState* s)
{
    s->EventCaptureState.store(kEventCaptureCapturing);
    os::ResetEvent(s->clipDone);
    os::SetEvent(s->wakeWriter);
    return kEventClipStarted;
}

// Adds the tag to the open file with its frame position and sequence number.
int TagOpenFile(RecorderState* s, const EvtTagRecord* tag)
{
    os::EnterCriticalSection(&s->lock);
    int taken = 0;
    if (s->timeline.fileOpen) {
        EvtTagRecord record = *tag;
        record.videoFrame = s->timeline.videoFrames;
        record.sequence = s->timeline.eventTags;
        record.elapsedSec = ElapsedSeconds(s);
        ++s->timeline.eventTags;
        AVI_Writer_AddEventRecord(&record);
        taken = kEventTaggedFile;
    }
    os::LeaveCriticalSection(&s->lock);
    return taken;
}

}  // namespace

int MOV_TakeEvent(os::HWND hwnd, const EvtTagRecord* tag)
{
    RecorderState* s = MOV_State(hwnd);
    if (s == nullptr || tag == nullptr || !s->armed.load()) return 0;
    if (s->EventCaptureState.load() == kEventCaptureCapturing) {
        s->eventDeferred.store(true);
        return 0;
    }
    if (s->RecordMode.load() == kRecordEventOnly) return StartClip(s);
    if (s->settings->EnableMovRecordWidthEvtTag == 0) return 0;
    return TagOpenFile(s, tag);
}

int MOV_TakeDeferredEvent(os::HWND hwnd)
{
    RecorderState* s = MOV_State(hwnd);
    if (s == nullptr || !s->armed.load() || !s->eventDeferred.load()) return 0;
    if (s->EventCaptureState.load() == kEventCaptureCapturing) return 0;
    s->eventDeferred.store(false);
    return s->RecordMode.load() == kRecordEventOnly ? StartClip(s) : 0;
}

int MOV_ReadStatus(os::HWND hwnd, RecorderStatusView* view)
{
    RecorderState* s = MOV_State(hwnd);
    // Never waits: a reader that queued for the lock would change who gets
    // it next, and with it a virtual run.
    if (s == nullptr || !s->lockMade || !os::TryEnterCriticalSection(&s->lock)) return 0;
    view->recording = s->status.recording;
    view->paused = s->status.paused;
    view->filesOpened = s->filesOpened;
    view->clipsWritten = s->clipsWritten;
    os::LeaveCriticalSection(&s->lock);
    view->eventClip = s->clipActive.load() ? 1 : 0;
    view->armed = s->armed.load() ? 1 : 0;
    view->recordMode = s->RecordMode.load();
    view->storageFullCode = s->storageFullCode.load();
    return 1;
}

#include "recorder/event_clip.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/shell/resource.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"
#include "recorder/salvage/recording_format.h"
#include "sensing/record_sound.h"
#include "storage/folder_layout.h"

namespace {

constexpr os::UINT kClipProgressText = 76;
constexpr os::DWORD kNoSampleWaitMs = 1000;

bool NewerThan(std::uint32_t tick, std::uint32_t reference)
{
    return static_cast<std::int32_t>(tick - reference) > 0;
}

// One buffered node on the clip's timeline, under the lock.
void WriteNode(RecorderState* s, const BufferedSample& node)
{
    const bool video = node.kind == kBufferedVideo;
    const bool intra = video && IsIntraMpeg4Picture(node.payload, node.payloadSize);
    if (s->timeline.videoFrames == 0 && !intra) return;
    TimelineSample sample;
    sample.kind = video ? 0 : 1;
    sample.data = node.payload;
    sample.size = static_cast<int>(node.payloadSize);
    sample.start = node.start;
    sample.stop = node.stop;
    sample.key = intra;
    sample.gps = video ? &node.gps : nullptr;
    sample.tick = node.tick;
    sample.drivesIndex = !video;
    sample.audioMuted = (s->phoneCall.load() != 0 && s->settings->EnableBgAudioRecordOnCall == 0) ||
                        s->settings->DisableRecordAudio != 0;
    AdvanceTimeline(s, sample);
    if (WriteTimelineSample(s, sample)) {
        s->timeline.distanceKm +=
            static_cast<float>(std::sqrt(node.distanceDelta1 * node.distanceDelta1 +
                                         node.distanceDelta2 * node.distanceDelta2));
    }
}

// The language library's progress text is used only when it holds exactly
// one integer conversion, so that a broken translation cannot misread the
// argument.
bool IsOneNumberFormat(const std::string& format)
{
    int conversions = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        if (i + 1 >= format.size() || (format[i + 1] != 'd' && format[i + 1] != 'u')) return false;
        ++conversions;
    }
    return conversions == 1;
}

void ShowProgress(RecorderState* s, const std::string& format, std::uint32_t clipStartTick)
{
    char line[64];
    const unsigned seconds = (os::GetTickCount() - clipStartTick) / 1000;
    if (IsOneNumberFormat(format)) {
        std::snprintf(line, sizeof line, format.c_str(), seconds);
    } else {
        std::snprintf(line, sizeof line, "%u s", seconds);
    }
    os::EnterCriticalSection(&s->lock);
    s->clipProgress.Assign(line);
    os::LeaveCriticalSection(&s->lock);
}

// Names the clip, makes its folder and opens it; 1 when open.
int OpenClip(RecorderState* s)
{
    std::string path;
    if (!MakeRecordingPath(s->storage, s->storage->TimeFolder.View(), 4, "avi", &path, 1)) return 0;
    const std::string folder = path.substr(0, path.find_last_of('\\'));
    os::CreateDirectoryW(folder.c_str(), nullptr);
    CaptureGraph_SetBitrates(s->graph, s->videoKbps, s->audioKbps);
    PlayRecordSound(s->window, 1);
    const RecordingFormats formats = ReadRecordingFormats(s);
    os::EnterCriticalSection(&s->lock);
    const int opened = OpenRecordingFile(s, path.c_str(), formats);
    s->status.pauseStart = os::SYSTEMTIME{};
    s->status.pausedTotal = os::SYSTEMTIME{};
    os::GetLocalTime(&s->status.startTime);
    s->startTime = s->status.startTime;
    os::LeaveCriticalSection(&s->lock);
    if (!opened) os::Trace("Event clip not written: %s could not be opened\r\n", path.c_str());
    return opened;
}

// Writes and drops every buffered node up to `newest`, the newest when the
// clip began, keeping those within EventTimeSec of it; newer nodes stay for
// the post-event part.
void WritePreEvent(RecorderState* s, const std::string& format, std::uint32_t clipStart, std::uint32_t newest)
{
    const std::uint32_t eventTimeSec = s->settings->EventTimeSec;
    for (;;) {
        os::EnterCriticalSection(&s->lock);
        const BufferedSample* node = PreEventBuffer_Oldest(&s->preEvent);
        if (node == nullptr || NewerThan(node->tick, newest)) {
            os::LeaveCriticalSection(&s->lock);
            return;
        }
        // Compared in milliseconds: whole seconds would let the clip reach
        // almost a second further back than EventTimeSec.
        if (static_cast<std::uint64_t>(newest - node->tick) <= static_cast<std::uint64_t>(eventTimeSec) * 1000) {
            WriteNode(s, *node);
        }
        PreEventBuffer_RemoveOldest(&s->preEvent);
        os::LeaveCriticalSection(&s->lock);
        ShowProgress(s, format, clipStart);
        os::Sleep(5);
    }
}

// The node after the one with `serial`, or the oldest left when that one is gone.
const BufferedSample* NodeAfter(const PreEventBuffer* buffer, std::uint64_t nextSerial)
{
    for (const BufferedSample* n = PreEventBuffer_Oldest(buffer); n != nullptr; n = n->next) {
        if (PreEventBuffer_SerialOf(buffer, n) >= nextSerial) return n;
    }
    return nullptr;
}

// Writes the nodes after the event for EventTimeSec, leaving them buffered.
void WritePostEvent(RecorderState* s, const std::string& format, std::uint32_t clipStart)
{
    const std::uint32_t eventTimeSec = s->settings->EventTimeSec;
    bool haveStart = false;
    std::uint32_t startTick = 0;
    std::uint64_t nextSerial = 0;
    os::EnterCriticalSection(&s->lock);
    if (const BufferedSample* oldest = PreEventBuffer_Oldest(&s->preEvent)) {
        nextSerial = PreEventBuffer_SerialOf(&s->preEvent, oldest);
    } else {
        nextSerial = s->preEvent.nextSerial;
    }
    os::LeaveCriticalSection(&s->lock);
    for (;;) {
        os::EnterCriticalSection(&s->lock);
        const BufferedSample* node = NodeAfter(&s->preEvent, nextSerial);
        if (node == nullptr) {
            os::LeaveCriticalSection(&s->lock);
            if (!s->armed.load() || !s->alive.load()) return;
            if (os::WaitForSingleObject(s->sampleArrived, kNoSampleWaitMs) != os::WAIT_OBJECT_0) return;
            continue;
        }
        if (!haveStart) {
            startTick = node->tick;
            haveStart = true;
        }
        if (static_cast<std::uint64_t>(node->tick - startTick) >= static_cast<std::uint64_t>(eventTimeSec) * 1000) {
            os::LeaveCriticalSection(&s->lock);
            return;
        }
        WriteNode(s, *node);
        nextSerial = PreEventBuffer_SerialOf(&s->preEvent, node) + 1;
        os::LeaveCriticalSection(&s->lock);
        ShowProgress(s, format, clipStart);
        os::Sleep(5);
    }
}

}  // namespace

void RunEventClip(RecorderState* s)
{
    if (s->EventCaptureState.load() != kEventCaptureCapturing) return;
    std::string format;
    os::LoadStringW(s->resources, kClipProgressText, &format, 64);
    const std::uint32_t clipStart = os::GetTickCount();
    // The clip reaches back from the event, not from when its file is open:
    // the start sound in between keeps this thread for its length.
    std::uint32_t newest = 0;
    os::EnterCriticalSection(&s->lock);
    const bool buffered = PreEventBuffer_NewestTick(&s->preEvent, &newest) != 0;
    os::LeaveCriticalSection(&s->lock);
    if (!OpenClip(s)) return;
    if (buffered) WritePreEvent(s, format, clipStart, newest);
    s->postEvent.store(true);
    WritePostEvent(s, format, clipStart);
    s->postEvent.store(false);
    os::EnterCriticalSection(&s->lock);
    s->status.paused = 0;
    os::GetLocalTime(&s->status.stopTime);
    CloseRecordingFile(s, 1);
    s->status.startTime = os::SYSTEMTIME{};
    ++s->clipsWritten;
    s->clipProgress.Assign("");
    os::LeaveCriticalSection(&s->lock);
    PlayRecordSound(s->window, 0);
}

// The open file's timeline: the video frame count follows the sound clock.
// The base is the first audio start (or the first video start in a file
// without sound, or when the sound of a new file starts after its pictures); each audio sample says which video frame the clock has
// reached, and a video path that fell behind (a camera stall) is brought up
// to it with not-coded frames. Pauses move the base; a backward step or a
// jump of the sound clock (a graph restart) moves it too, without fillers;
// a short hole in the sound (a microphone stall) is filled with silence.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/base/trace.h"
#include "recorder/avi/avi_writer.h"
#include "recorder/recorder_internal.h"

namespace {

constexpr std::uint8_t kNotCodedVop[6] = {0x00, 0x00, 0x01, 0xB6, 0x50, 0x4F};
constexpr std::int64_t kHnsPerSecond = 10000000;
// Beyond this jump of the sound clock the graph has restarted: rebase.
constexpr std::int64_t kClockJumpHns = 2 * kHnsPerSecond;
// At most this many seconds of fillers for one gap; a longer gap rebases.
constexpr std::int64_t kMaxFillerSeconds = 30;
constexpr std::uint32_t kGpsRecordSpacingMs = 1000;

void Rebase(RecorderTimeline& t, std::int64_t start, std::int64_t frameDuration, const char* why)
{
    t.base = start - static_cast<std::int64_t>(t.videoFrames) * frameDuration;
    os::Trace("Timeline rebased at frame %u: %s\r\n", t.videoFrames, why);
}

// One leg of the distance step: the fix's position against the previous one.
void AddDistance(RecorderTimeline& t, const GpsFix& fix)
{
    const GpsTimePosition& p = fix.body.timePosition;
    if (fix.body.signalLevel <= 3 || fix.body.speedKnots == -1.0f) return;
    if (t.previousLatitude == 0 || t.previousLongitude == 0) {
        t.previousLatitude = p.latitude;
        t.previousLongitude = p.longitude;
    }
    const double d1 = static_cast<double>((p.latitude - t.previousLatitude) * 92.0f);
    const double d2 = static_cast<double>((p.longitude - t.previousLongitude) * 114.0f);
    t.previousLatitude = p.latitude;
    t.previousLongitude = p.longitude;
    t.distanceKm += static_cast<float>(std::sqrt(d1 * d1 + d2 * d2));
}

void AddGpsRecordIfDue(RecorderState* s, const TimelineSample& sample)
{
    RecorderTimeline& t = s->timeline;
    if (sample.gps == nullptr || !GpsRecordDue(s, sample.tick)) return;
    const GpsTrackRecord record = MakeGpsTrackRecord(*sample.gps, t.videoFrames - 1, t.gpsRecords);
    t.gpsTickSet = true;
    t.lastGpsTick = sample.tick;
    if (AVI_Writer_AddGpsRecord(&record) == 0) ++t.gpsRecords;
}

int WriteFillers(RecorderState* s)
{
    RecorderTimeline& t = s->timeline;
    const std::int64_t missing = t.expectedIndex - static_cast<std::int64_t>(t.videoFrames);
    if (missing <= 0) return 1;
    if (missing > kMaxFillerSeconds * s->frameRate) {
        Rebase(t, t.lastAudioTimestamp, s->frameDuration, "video gap too long to fill");
        t.expectedIndex = t.videoFrames;
        return 1;
    }
    for (std::int64_t i = 0; i < missing; ++i) {
        const int result = AVI_Writer_WriteFrame(kAviStreamVideo, kNotCodedVop, sizeof kNotCodedVop, t.videoFrames, 0);
        if (result == -1) {
            os::Trace("AVI_Writer_WriteFrame Video ret=%d\r\n", result);
            return 0;
        }
        t.bytesWritten += sizeof kNotCodedVop;
        ++t.videoFrames;
    }
    return 1;
}

int WriteVideo(RecorderState* s, const TimelineSample& sample)
{
    RecorderTimeline& t = s->timeline;
    const std::uint8_t* data = sample.data;
    int size = sample.size;
    int key = sample.key ? 1 : 0;
    if (t.videoFrames == 0) {
        size = JoinHeaderAndFrame(s, sample.data, sample.size, &data);
        if (size <= 0) return 0;
        key = 1;
    } else if (t.lastWasAudio && !WriteFillers(s)) {
        return 0;
    }
    const int result = AVI_Writer_WriteFrame(kAviStreamVideo, data, size, t.videoFrames, key);
    if (result == -1) {
        os::Trace("AVI_Writer_WriteFrame Video ret=%d\r\n", result);
        return 0;
    }
    t.bytesWritten += static_cast<std::uint64_t>(size);
    if (t.videoFrames == 0) t.firstVideoStart = sample.start;
    ++t.videoFrames;
    t.lastVideoTimestamp = sample.start;
    const std::uint32_t before = t.gpsRecords;
    AddGpsRecordIfDue(s, sample);
    if (t.gpsRecords != before && s->RecordMode.load() == 1) AddDistance(t, *sample.gps);
    return 1;
}

int WriteAudioChunk(RecorderState* s, const std::uint8_t* data, int size)
{
    RecorderTimeline& t = s->timeline;
    const int result = AVI_Writer_WriteFrame(kAviStreamAudio, data, size, t.audioFrames, 1);
    if (result == -1) {
        os::Trace("AVI_Writer_WriteFrame Audio ret=%d\r\n", result);
        return 0;
    }
    t.bytesWritten += static_cast<std::uint64_t>(size);
    ++t.audioFrames;
    return 1;
}

// Zeros in pieces of the silence buffer.
int WriteSilence(RecorderState* s, std::int64_t bytes)
{
    while (bytes > 0) {
        const int piece = static_cast<int>(std::min<std::int64_t>(bytes, s->silenceSize));
        if (piece <= 0 || !WriteAudioChunk(s, s->silence, piece)) return 0;
        bytes -= piece;
    }
    return 1;
}

int WriteAudio(RecorderState* s, const TimelineSample& sample)
{
    RecorderTimeline& t = s->timeline;
    if (t.silenceDue > 0) {
        const std::int64_t align = std::max<int>(s->audioFormat.nBlockAlign, 1);
        const std::int64_t bytes = t.silenceDue * s->audioFormat.nAvgBytesPerSec / kHnsPerSecond / align * align;
        t.silenceDue = 0;
        if (bytes > 0 && !WriteSilence(s, bytes)) return 0;
    }
    if (sample.audioMuted) {
        if (!WriteSilence(s, sample.size)) return 0;
    } else if (!WriteAudioChunk(s, sample.data, sample.size)) {
        return 0;
    }
    t.lastAudioTimestamp = sample.start;
    t.lastAudioStop = sample.stop;
    t.audioSeen = true;
    return 1;
}

}  // namespace

bool GpsRecordDue(const RecorderState* s, std::uint32_t tick)
{
    const RecorderTimeline& t = s->timeline;
    return !t.gpsTickSet || static_cast<std::uint32_t>(tick - t.lastGpsTick) > kGpsRecordSpacingMs;
}

void AdvanceTimeline(RecorderState* s, const TimelineSample& sample)
{
    RecorderTimeline& t = s->timeline;
    if (!sample.drivesIndex) return;
    const bool audio = sample.kind == 1;
    if (!t.baseSet) {
        t.base = sample.start;
        t.baseSet = true;
        if (audio && t.videoFrames > 0 && sample.start > t.firstVideoStart) {
            // Pictures came first (the sound was stalled when the file
            // opened): the sound starts with silence where they began.
            if (sample.start - t.firstVideoStart <= kClockJumpHns) {
                t.base = t.firstVideoStart;
                t.silenceDue = sample.start - t.firstVideoStart;
            } else {
                Rebase(t, sample.start, s->frameDuration, "the sound began long after the pictures");
            }
        }
    } else if (t.pauseSet) {
        t.base += (sample.start - t.pauseTimestamp) - s->frameDuration;
        t.pauseSet = false;
    } else if (audio && t.audioSeen) {
        if (sample.start < t.lastAudioTimestamp) {
            Rebase(t, sample.start, s->frameDuration, "the sound clock stepped back");
        } else if (sample.start - t.lastAudioStop > kClockJumpHns) {
            Rebase(t, sample.start, s->frameDuration, "the sound clock jumped");
        } else if (sample.start > t.lastAudioStop) {
            t.silenceDue = sample.start - t.lastAudioStop;
        }
    }
    t.expectedIndex = (sample.start - t.base) / s->frameDuration;
}

int WriteTimelineSample(RecorderState* s, const TimelineSample& sample)
{
    const int ok = sample.kind == 0 ? WriteVideo(s, sample) : WriteAudio(s, sample);
    if (ok) s->timeline.lastWasAudio = sample.kind == 1;
    return ok;
}

int JoinHeaderAndFrame(RecorderState* s, const std::uint8_t* frame, int size, const std::uint8_t** joined)
{
    const int header = MFC_ReadHeader(s->frameScratch, s->frameScratchSize);
    if (header < 0 || size > s->frameScratchSize - header) return 0;
    std::memcpy(s->frameScratch + header, frame, static_cast<std::size_t>(size));
    *joined = s->frameScratch;
    return header + size;
}

int EncodeCapture(RecorderState* s, const std::uint8_t* yv12, int forceIntra, EncodedFrame* out)
{
    if (s->inputFrame.virt == nullptr || !s->encoderOpen || s->encoderBuffersFreed) return 0;
    MFC_CopyCapture(yv12, s->previewWidth, s->previewHeight, &s->inputFrame);
    return MFC_EncodeFrame(&s->inputFrame, out, forceIntra);
}

#include "recorder/avi/avi_writer.h"

#include <cstring>

#include "platform/kernel/clock.h"
#include "platform/base/trace.h"
#include "recorder/avi/avi_codec_tags.h"
#include "recorder/avi/avi_journal.h"
#include "recorder/avi/avi_muxer.h"
#include "recorder/avi/avi_output.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace {

// The output format this writer offers; only its public descriptive fields.
AVOutputFormat MakeAviFormat()
{
    AVOutputFormat format{};
    format.name = "avi";
    format.long_name = "avi format";
    format.mime_type = "video/x-msvideo";
    format.extensions = "avi";
    format.video_codec = AV_CODEC_ID_MPEG4;
    format.audio_codec = AV_CODEC_ID_PCM_S16LE;
    return format;
}

const AVOutputFormat kAviFormat = MakeAviFormat();

struct Writer {
    AVFormatContext* ctx = nullptr;
    AviMuxer muxer;
    int videoStream = -1;
    int audioStream = -1;
    AVRational videoCodecTimeBase{0, 1};
    AVRational audioCodecTimeBase{0, 1};
    std::int64_t riffLimit = kAviRiffLimit;
    GpsTrackRecord gps[kAviMaxGpsRecords];
    int gpsCount = 0;
    EvtTagRecord events[kAviMaxEventRecords];
    int eventCount = 0;
    RecordingSummary summary{};
    AviJournal journal;
    bool durablePoints = true;
    os::DWORD openTick = 0;
    os::DWORD lastDurableTick = 0;
};

constexpr os::DWORD kDurableEveryMs = 1000;

static_assert(sizeof(GpsTrackRecord) == kJournalGpsBytes);
static_assert(kEvtTagStoredBytes == kJournalEventBytes);
static_assert(sizeof(RecordingSummary) == kJournalSummaryBytes);

Writer g_writer;

bool ValidVideo(AVCodecID codec, int width, int height, int frameRate, int kbps)
{
    return AviVideoCodecTag(codec) != 0 && width > 0 && width <= 0xFFFF && height > 0 && height <= 0xFFFF &&
           frameRate > 0 && kbps >= 0;
}

bool ValidAudio(AVCodecID codec, int sampleRate, int channels, int bits, int kbps)
{
    return AviAudioFormatTag(codec) != 0 && sampleRate > 0 && channels > 0 && channels <= 8 && bits == 16 &&
           kbps >= 0;
}

// The file's data up to here made durable, then the journal's record of it:
// a journal's durable point never names bytes the file may still lose.
void MakeDurable()
{
    g_writer.lastDurableTick = os::GetTickCount();
    if (!g_writer.durablePoints) return;
    std::int64_t bytes = 0;
    if (AviOutputMakeDurable(g_writer.ctx->pb, &bytes) < 0) return;
    RecordingSummary summary = g_writer.summary;
    os::GetLocalTime(&summary.closeTime);
    summary.lengthHns = static_cast<std::int64_t>(g_writer.lastDurableTick - g_writer.openTick) * 10000;
    // The distance is the recorder's to say at the close; a repair knows none.
    summary.distanceKm = 0;
    AviJournalAppend(&g_writer.journal, JournalDurablePoint(static_cast<std::uint64_t>(bytes), &summary));
    AviJournalMakeDurable(&g_writer.journal);
}

void FreeContext()
{
    AviJournalClose(&g_writer.journal, true);
    if (!g_writer.ctx) return;
    AviOutputClose(&g_writer.ctx->pb);
    avformat_free_context(g_writer.ctx);
    g_writer.ctx = nullptr;
    g_writer.videoStream = -1;
    g_writer.audioStream = -1;
}

int AddVideoStream(AVCodecID codec, int width, int height, int frameRate, int kbps)
{
    AVStream* st = avformat_new_stream(g_writer.ctx, nullptr);
    if (!st) {
        os::Trace("Could not alloc stream\n");
        return -1;
    }
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = codec;
    par->codec_tag = AviVideoCodecTag(codec);
    par->bit_rate = static_cast<std::int64_t>(kbps) * 1000;
    par->width = width;
    par->height = height;
    par->format = AV_PIX_FMT_YUV420P;
    st->time_base = AVRational{1, frameRate};
    st->avg_frame_rate = AVRational{frameRate, 1};
    g_writer.videoCodecTimeBase = AVRational{1, frameRate};
    g_writer.videoStream = st->index;
    return 0;
}

int AddAudioStream(AVCodecID codec, int sampleRate, int channels, int bits, int kbps)
{
    AVStream* st = avformat_new_stream(g_writer.ctx, nullptr);
    if (!st) {
        os::Trace("Could not alloc stream\n");
        return -1;
    }
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = codec;
    par->codec_tag = AviAudioFormatTag(codec);
    par->bit_rate = static_cast<std::int64_t>(kbps) * 1000;
    par->sample_rate = sampleRate;
    av_channel_layout_default(&par->ch_layout, channels);
    par->bits_per_coded_sample = bits;
    par->block_align = channels * bits / 8;
    g_writer.audioCodecTimeBase = AVRational{1, sampleRate};
    g_writer.audioStream = st->index;
    return 0;
}

}  // namespace

int AVI_Writer_Open(const char* path, AVCodecID videoCodec, int width, int height, int frameRate,
                    AVCodecID audioCodec, int sampleRate, int channels, int bitsPerSample, int videoKbps,
                    int audioKbps)
{
    if (!path || !*path) return -1;
    if (g_writer.ctx) {
        os::Trace("AVI writer: a file is already open\n");
        return -1;
    }
    if (!av_match_ext(path, kAviFormat.extensions)) {
        // The MPEG fallback of a general muxing library has no place here:
        // recordings are AVI only.
        os::Trace("Could not deduce output format from file extension: using MPEG.\n");
        os::Trace("Could not find suitable output format\n");
        return -1;
    }
    const bool video = videoCodec != AV_CODEC_ID_NONE;
    const bool audio = audioCodec != AV_CODEC_ID_NONE;
    if ((!video && !audio) || (video && !ValidVideo(videoCodec, width, height, frameRate, videoKbps)) ||
        (audio && !ValidAudio(audioCodec, sampleRate, channels, bitsPerSample, audioKbps))) {
        os::Trace("Invalid output format parameters\n");
        return -1;
    }
    g_writer.ctx = avformat_alloc_context();
    if (!g_writer.ctx) {
        os::Trace("Memory error\n");
        return -1;
    }
    g_writer.ctx->oformat = &kAviFormat;
    if ((video && AddVideoStream(videoCodec, width, height, frameRate, videoKbps) < 0) ||
        (audio && AddAudioStream(audioCodec, sampleRate, channels, bitsPerSample, audioKbps) < 0)) {
        FreeContext();
        return -1;
    }
    if (g_writer.durablePoints) AviJournalOpen(&g_writer.journal, path);
    g_writer.ctx->pb = AviOutputOpen(path);
    if (!g_writer.ctx->pb) {
        os::Trace("Could not open '%s'\n", path);
        FreeContext();
        return -1;
    }
    if (g_writer.durablePoints && !AviJournalIsOpen(g_writer.journal)) {
        os::Trace("AVI journal of '%s' cannot be made: the recording goes on without it\n", path);
    }
    if (g_writer.muxer.WriteHeader(g_writer.ctx, g_writer.riffLimit) < 0) {
        os::Trace("Could not write the header of '%s'\n", path);
        FreeContext();
        return -1;
    }
    os::GetLocalTime(&g_writer.summary.openTime);
    g_writer.openTick = os::GetTickCount();
    MakeDurable();
    return 0;
}

int AVI_Writer_WriteFrame(int kind, const std::uint8_t* data, int size, std::int64_t frameIndex, int keyFlag)
{
    const bool video = kind == kAviStreamVideo;
    const char* failure = video ? "Error while writing video frame\n" : "Error while writing audio frame\n";
    const int stream = video ? g_writer.videoStream : kind == kAviStreamAudio ? g_writer.audioStream : -1;
    if (!g_writer.ctx || stream < 0 || size < 0 || (size > 0 && !data)) {
        os::Trace("%s", failure);
        return -1;
    }
    const AVRational codecTimeBase = video ? g_writer.videoCodecTimeBase : g_writer.audioCodecTimeBase;
    const std::int64_t pts = av_rescale_q(frameIndex, codecTimeBase, g_writer.ctx->streams[stream]->time_base);
    if (g_writer.muxer.WritePacket(stream, data, size, pts, !video || keyFlag != 0) < 0) {
        os::Trace("%s", failure);
        return -1;
    }
    if (os::GetTickCount() - g_writer.lastDurableTick >= kDurableEveryMs) MakeDurable();
    return 0;
}

int AVI_Writer_AddGpsRecord(const GpsTrackRecord* record)
{
    if (g_writer.gpsCount >= kAviMaxGpsRecords) {
        os::Trace("GPS table full: record refused (%d records)\n", g_writer.gpsCount);
        return -1;
    }
    g_writer.gps[g_writer.gpsCount++] = *record;
    if (g_writer.ctx) AviJournalAppend(&g_writer.journal, JournalRecord(JournalRecordType::Gps, record, sizeof *record));
    return 0;
}

int AVI_Writer_AddEventRecord(const EvtTagRecord* record)
{
    if (g_writer.eventCount >= kAviMaxEventRecords) {
        os::Trace("Event table full: record refused (%d records)\n", g_writer.eventCount);
        return -1;
    }
    g_writer.events[g_writer.eventCount++] = *record;
    // An event is what a crash leaves: durable at once, not at the next second.
    if (g_writer.ctx) {
        AviJournalAppend(&g_writer.journal, JournalRecord(JournalRecordType::Event, record, kEvtTagStoredBytes));
        AviJournalMakeDurable(&g_writer.journal);
    }
    os::Trace("--EVT Data Count : %d\n", g_writer.eventCount);
    return 0;
}

void AVI_Writer_ResetTables()
{
    std::memset(g_writer.gps, 0, sizeof g_writer.gps);
    g_writer.gpsCount = 0;
    std::memset(g_writer.events, 0, sizeof g_writer.events);
    g_writer.eventCount = 0;
}

int AVI_Writer_Close(std::int64_t lengthHns, float distanceKm)
{
    if (!g_writer.ctx) return 0;
    os::GetLocalTime(&g_writer.summary.closeTime);
    g_writer.summary.lengthHns = lengthHns;
    g_writer.summary.distanceKm = distanceKm;
    AviInfoContent info;
    info.gps = g_writer.gps;
    info.gpsCount = static_cast<std::uint32_t>(g_writer.gpsCount);
    info.events = g_writer.events;
    info.eventCount = static_cast<std::uint32_t>(g_writer.eventCount);
    info.summary = &g_writer.summary;
    const int trailer = g_writer.muxer.WriteTrailer(info);
    const int close = AviOutputClose(&g_writer.ctx->pb);
    // A file that did not finish keeps its journal for the repair.
    if (trailer < 0 || close < 0) AviJournalClose(&g_writer.journal, false);
    FreeContext();
    if (trailer < 0 || close < 0) {
        os::Trace("Error while finishing the file\n");
        return -1;
    }
    return 0;
}

void AVI_Writer_GetEventTable(void* destination) { std::memcpy(destination, g_writer.events, sizeof g_writer.events); }

int AVI_Writer_GetEventCount() { return g_writer.eventCount; }

void AVI_Writer_SetRiffLimit(std::int64_t bytes) { g_writer.riffLimit = bytes; }

void AVI_Writer_SetDurablePoints(bool on) { g_writer.durablePoints = on; }

const RecordingSummary& AVI_Writer_Summary() { return g_writer.summary; }

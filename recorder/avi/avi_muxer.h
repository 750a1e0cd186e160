// The AVI muxer: writes the streams of a format context onto its AVIOContext
// as a RIFF AVI file with OpenDML support. It runs its own header, packet and
// trailer phases (FFmpeg offers no public way to plug in a muxer) and keeps
// every offset with avio_tell.
//
// Layout: RIFF "AVI " { LIST hdrl { avih, LIST strl { strh, strf, JUNK
// (room for the super index) } per stream, JUNK (room for LIST odml) },
// JUNK (1016 bytes), LIST movi { chunks }, idx1, LIST INFO }. When a RIFF
// grows past the limit, the next chunk opens RIFF "AVIX" { LIST movi };
// each RIFF's movi then ends with an "ix##" standard index per stream and
// the file ends without an INFO list.
//
// Results are 0 or a negative AVERROR; after a failed write the file holds
// what reached the disk and every later write fails too.
#pragma once

#include <cstdint>
#include <vector>

#include "recorder/avi/avi_index.h"
#include "recorder/avi/recording_summary.h"
#include "recorder/avi/gps_track_record.h"
#include "sensing/evt_tag_record.h"

extern "C" {
#include <libavformat/avformat.h>
}

constexpr std::int64_t kAviRiffLimit = 0x40000000;  // 1 GiB
constexpr int kAviMaxRiffs = 256;

// What the INFO list carries; the summary receives the first and last GPS
// positions when there are GPS records.
struct AviInfoContent {
    const GpsTrackRecord* gps = nullptr;
    std::uint32_t gpsCount = 0;
    const EvtTagRecord* events = nullptr;
    std::uint32_t eventCount = 0;
    RecordingSummary* summary = nullptr;
};

class AviMuxer {
public:
    // The streams of ctx must have their parameters and time bases set;
    // video streams are "vids", audio "auds" (PCM).
    int WriteHeader(AVFormatContext* ctx, std::int64_t riffLimit);
    // pts in the stream's time base; a video pts ahead of the stream's chunk
    // count first gets zero-length chunks until they agree.
    int WritePacket(int stream, const std::uint8_t* data, int size, std::int64_t pts, bool key);
    // Closes the lists, writes the indexes (and the INFO list in a one-RIFF
    // file), patches sizes and counts, and frees the index memory.
    int WriteTrailer(const AviInfoContent& info);

    std::size_t IndexBytes() const;

private:
    struct Stream {
        char chunkId[4];
        bool video = false;
        std::uint32_t sampleSize = 0;  // block align for audio, 0 for video
        std::int64_t lengthPos = 0;    // "strh" length field
        std::int64_t superIndex = 0;   // payload of the super index "JUNK"
        std::uint32_t chunks = 0;
        std::uint64_t audioBytes = 0;
        std::uint64_t audioBytesAtRiff = 0;
        AviStreamIndex index;
    };

    std::int64_t StartTag(const char* tag);
    void EndTag(std::int64_t start);
    void FourCC(const char* tag);
    void WriteAvih(int width, int height);
    void WriteStreamList(int i);
    void WriteSuperIndexRoom(Stream& s);
    int WriteChunk(Stream& s, const std::uint8_t* data, int size, bool key);
    int NextRiff();
    void WriteStandardIndexes();
    void WriteIdx1();
    void PatchCounters(bool withAvih);
    void WriteInfoList(const AviInfoContent& info);
    void WriteInfoChunk(const char* tag, const void* data, std::uint32_t size);
    int Error() const;

    AVFormatContext* ctx_ = nullptr;
    AVIOContext* pb_ = nullptr;
    std::vector<Stream> streams_;
    std::int64_t riffLimit_ = kAviRiffLimit;
    std::int64_t riffStart_ = 0;
    std::int64_t moviList_ = 0;
    std::int64_t totalFramesPos_ = 0;
    std::int64_t odmlJunk_ = 0;
    int riffs_ = 0;
};

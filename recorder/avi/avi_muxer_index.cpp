// The muxer's indexes and the INFO list written at the end of a RIFF.
#include <cstring>

#include "recorder/avi/avi_muxer.h"
#include "recorder/salvage/recording_format.h"

namespace {

constexpr std::uint32_t kNonKeyBit = 0x80000000u;

}  // namespace

// One "ix##" per stream at the end of the RIFF's movi list, and its entry in
// the stream's super index, which becomes a real "indx" chunk.
void AviMuxer::WriteStandardIndexes()
{
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        Stream& s = streams_[i];
        const char ixTag[4] = {'i', 'x', '0', static_cast<char>('0' + i)};
        const std::int64_t ix = avio_tell(pb_);
        const auto entries = static_cast<std::uint32_t>(s.index.Count());
        FourCC(ixTag);
        avio_wl32(pb_, entries * 8 + 24);
        avio_wl16(pb_, 2);  // longs per entry
        avio_w8(pb_, 0);    // sub type
        avio_w8(pb_, 1);    // index of chunks
        avio_wl32(pb_, entries);
        FourCC(s.chunkId);
        avio_wl64(pb_, static_cast<std::uint64_t>(moviList_));
        avio_wl32(pb_, 0);
        for (std::uint32_t k = 0; k < entries; ++k) {
            const AviIndexEntry& e = s.index.At(k);
            avio_wl32(pb_, e.offset + 8);
            avio_wl32(pb_, e.size | ((e.flags & kAviKeyFrameFlag) ? 0 : kNonKeyBit));
        }
        const std::int64_t end = avio_tell(pb_);

        const auto riff = static_cast<std::uint32_t>(riffs_);
        avio_seek(pb_, s.superIndex - 8, SEEK_SET);
        FourCC("indx");
        avio_seek(pb_, s.superIndex + 4, SEEK_SET);
        avio_wl32(pb_, riff);
        avio_seek(pb_, s.superIndex + 24 + 16 * (riff - 1), SEEK_SET);
        avio_wl64(pb_, static_cast<std::uint64_t>(ix));
        avio_wl32(pb_, static_cast<std::uint32_t>(end - ix));
        avio_wl32(pb_, s.video ? entries : static_cast<std::uint32_t>((s.audioBytes - s.audioBytesAtRiff) / s.sampleSize));
        avio_seek(pb_, end, SEEK_SET);
    }
}

// The streams' entries merged in file order.
void AviMuxer::WriteIdx1()
{
    const std::int64_t idx1 = StartTag("idx1");
    std::vector<std::size_t> next(streams_.size(), 0);
    for (;;) {
        int best = -1;
        for (std::size_t i = 0; i < streams_.size(); ++i) {
            if (next[i] >= streams_[i].index.Count()) continue;
            if (best < 0 || streams_[i].index.At(next[i]).offset < streams_[best].index.At(next[best]).offset) {
                best = static_cast<int>(i);
            }
        }
        if (best < 0) break;
        const AviIndexEntry& e = streams_[best].index.At(next[best]++);
        FourCC(streams_[best].chunkId);
        avio_wl32(pb_, e.flags);
        avio_wl32(pb_, e.offset);
        avio_wl32(pb_, e.size);
    }
    EndTag(idx1);
}

void AviMuxer::WriteInfoChunk(const char* tag, const void* data, std::uint32_t size)
{
    FourCC(tag);
    avio_wl32(pb_, size);
    avio_write(pb_, static_cast<const unsigned char*>(data), static_cast<int>(size));
    if (size & 1) avio_w8(pb_, 0);
}

void AviMuxer::WriteInfoList(const AviInfoContent& info)
{
    const std::int64_t list = StartTag("LIST");
    FourCC("INFO");
    if (info.gpsCount > 0) {
        FourCC("IGPS");
        avio_wl32(pb_, info.gpsCount * sizeof(GpsTrackRecord) + 4);
        avio_wl32(pb_, info.gpsCount);
        avio_write(pb_, reinterpret_cast<const unsigned char*>(info.gps),
                   static_cast<int>(info.gpsCount * sizeof(GpsTrackRecord)));
        info.summary->firstGps = info.gps[0].body.timePosition;
        info.summary->lastGps = info.gps[info.gpsCount - 1].body.timePosition;
    }
    FourCC("IEVT");
    avio_wl32(pb_, info.eventCount * kEvtTagStoredBytes + 4);
    avio_wl32(pb_, info.eventCount);
    for (std::uint32_t i = 0; i < info.eventCount; ++i) {
        avio_write(pb_, reinterpret_cast<const unsigned char*>(&info.events[i]), kEvtTagStoredBytes);
    }
    WriteInfoChunk("IFND", info.summary, sizeof(RecordingSummary));

    static constexpr struct {
        const char* tag;
        const char* key;
    } kTexts[] = {{"INAM", "title"},   {"IART", "author"}, {"ICOP", "copyright"},
                  {"ICMT", "comment"}, {"IPRD", "album"},  {"IGNR", "genre"}};
    for (const auto& text : kTexts) {
        const AVDictionaryEntry* entry = av_dict_get(ctx_->metadata, text.key, nullptr, 0);
        if (entry && entry->value[0]) {
            WriteInfoChunk(text.tag, entry->value, static_cast<std::uint32_t>(std::strlen(entry->value) + 1));
        }
    }
    if (!(ctx_->flags & AVFMT_FLAG_BITEXACT)) {
        WriteInfoChunk("ISFT", kRecordingSoftware, sizeof kRecordingSoftware);
    }
    EndTag(list);
}

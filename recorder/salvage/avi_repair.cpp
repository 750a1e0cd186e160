#include "recorder/salvage/avi_repair.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "recorder/avi/avi_index.h"
#include "recorder/avi/gps_track_record.h"
#include "recorder/avi/recording_summary.h"
#include "recorder/salvage/le_bytes.h"
#include "recorder/salvage/recording_format.h"

namespace {

// Where the writer's records keep what the summary is made of.
constexpr std::size_t kGpsTimePositionOffset = offsetof(GpsTrackRecord, body) + offsetof(GpsFixBody, timePosition);
constexpr std::size_t kGpsTimePositionBytes = sizeof(GpsTimePosition);
constexpr std::size_t kSummaryFirstGps = offsetof(RecordingSummary, firstGps);
constexpr std::size_t kSummaryLastGps = offsetof(RecordingSummary, lastGps);
constexpr std::size_t kSummaryLengthHns = offsetof(RecordingSummary, lengthHns);
constexpr std::size_t kKeyProbeBytes = 512;
constexpr std::size_t kCopyBlock = 1 << 20;

void SetU32(std::vector<std::uint8_t>* bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) (*bytes)[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutTag(std::vector<std::uint8_t>* out, const char* tag)
{
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<std::uint8_t>(tag[i]));
}

bool Is(const std::uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

struct StreamHeader {
    bool video = false;
    char chunkId[4] = {};
    std::size_t lengthAt = 0;  // of the "strh" length in the header
    std::uint32_t blockAlign = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint64_t chunks = 0;
    std::uint64_t bytes = 0;
};

struct Header {
    std::vector<StreamHeader> streams;
    std::size_t totalFramesAt = 0;
    std::uint64_t moviAt = 0;    // of the "movi" FourCC
    std::uint32_t moviSize = 0;  // as written: 0 until the close
    std::uint32_t riffSize = 0;
};

// The streams of the "hdrl" list in `h` (the list's payload).
bool ReadStreams(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to, Header* header,
                 std::string* why)
{
    std::size_t at = from;
    while (at + 8 <= to) {
        const std::uint8_t* p = bytes.data() + at;
        const std::uint32_t size = GetLe32(p + 4);
        if (at + 8 + size > to) break;
        if (Is(p, "avih") && size >= 20) {
            header->totalFramesAt = at + 8 + 16;
        } else if (Is(p, "LIST") && size >= 4 && Is(p + 8, "strl")) {
            StreamHeader s;
            bool hasStrh = false;
            std::size_t in = at + 12;
            const std::size_t end = at + 8 + size;
            while (in + 8 <= end) {
                const std::uint8_t* q = bytes.data() + in;
                const std::uint32_t n = GetLe32(q + 4);
                if (in + 8 + n > end) break;
                if (Is(q, "strh") && n >= 36) {
                    hasStrh = true;
                    s.video = Is(q + 8, "vids");
                    s.scale = GetLe32(q + 8 + 20);
                    s.rate = GetLe32(q + 8 + 24);
                    s.lengthAt = in + 8 + 32;
                } else if (Is(q, "strf") && !s.video && n >= 14) {
                    s.blockAlign = static_cast<std::uint32_t>(q[8 + 12] | q[8 + 13] << 8);
                }
                in += 8 + n + (n & 1);
            }
            if (!hasStrh || (!s.video && s.blockAlign == 0)) {
                *why = "stream " + std::to_string(header->streams.size()) + " has no usable stream header";
                return false;
            }
            const std::size_t index = header->streams.size();
            s.chunkId[0] = static_cast<char>('0' + index / 10);
            s.chunkId[1] = static_cast<char>('0' + index % 10);
            s.chunkId[2] = s.video ? 'd' : 'w';
            s.chunkId[3] = s.video ? 'c' : 'b';
            header->streams.push_back(s);
        }
        at += 8 + size + (size & 1);
    }
    if (header->totalFramesAt == 0 || header->streams.empty()) {
        *why = "the header list has no main header or no streams";
        return false;
    }
    return true;
}

// The header up to the "movi" FourCC inclusive.
bool ReadHeader(const AviRepairSource& source, std::vector<std::uint8_t>* bytes, Header* header, std::string* why)
{
    std::uint8_t head[24];
    if (source.size < sizeof head || !source.read(0, head, sizeof head) || !Is(head, "RIFF") ||
        !Is(head + 8, "AVI ") || !Is(head + 12, "LIST") || !Is(head + 20, "hdrl")) {
        *why = "no complete AVI header (RIFF \"AVI \" with its header list)";
        return false;
    }
    header->riffSize = GetLe32(head + 4);
    const std::uint64_t hdrlEnd = 20 + static_cast<std::uint64_t>(GetLe32(head + 16));
    // The header this writer makes is a few kilobytes; the "movi" list follows a padding chunk.
    constexpr std::uint64_t kMaxHeader = 1 << 20;
    std::uint64_t at = hdrlEnd + (hdrlEnd & 1);
    while (at + 12 <= std::min<std::uint64_t>(source.size, kMaxHeader)) {
        std::uint8_t tag[12];
        if (!source.read(at, tag, sizeof tag)) break;
        if (Is(tag, "LIST") && Is(tag + 8, "movi")) {
            header->moviAt = at + 8;
            header->moviSize = GetLe32(tag + 4);
            bytes->resize(static_cast<std::size_t>(at + 12));
            if (!source.read(0, bytes->data(), bytes->size())) break;
            return ReadStreams(*bytes, 24, static_cast<std::size_t>(hdrlEnd), header, why);
        }
        if (!Is(tag, "JUNK")) break;
        const std::uint32_t size = GetLe32(tag + 4);
        at += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
    *why = "no \"movi\" list after the header";
    return false;
}

const StreamHeader* StreamOf(const Header& header, const std::uint8_t* id)
{
    for (const StreamHeader& s : header.streams) {
        if (std::memcmp(s.chunkId, id, 4) == 0) return &s;
    }
    return nullptr;
}

// The chunks present up to `limit`, complete ones only.
bool ScanChunks(const AviRepairSource& source, Header* header, std::uint64_t limit, AviRepairPlan* plan)
{
    std::uint64_t at = header->moviAt + 4;
    std::vector<std::uint8_t> probe(kKeyProbeBytes);
    while (at + 8 <= limit) {
        std::uint8_t tag[8];
        if (!source.read(at, tag, sizeof tag)) return false;
        const StreamHeader* s = StreamOf(*header, tag);
        const std::uint32_t size = GetLe32(tag + 4);
        if (s == nullptr || at + 8 + size > limit) break;
        AviRepairChunk chunk;
        chunk.offset = at;
        std::memcpy(chunk.id, tag, 4);
        chunk.size = size;
        chunk.key = !s->video;
        if (s->video && size > 0) {
            const std::size_t n = std::min<std::size_t>(size, kKeyProbeBytes);
            if (!source.read(at + 8, probe.data(), n)) return false;
            chunk.key = IsIntraMpeg4Picture(probe.data(), n);
        }
        auto& stream = header->streams[static_cast<std::size_t>(s - header->streams.data())];
        ++stream.chunks;
        stream.bytes += size;
        plan->chunks.push_back(chunk);
        at += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
    return true;
}

// The file's own INFO chunks after its "movi" list, when a truncation left them.
void ReadOwnInfo(const AviRepairSource& source, const Header& header, JournalContent* out)
{
    if (header.moviSize == 0) return;
    std::uint64_t at = header.moviAt + header.moviSize;
    at += at & 1;
    while (at + 12 <= source.size) {
        std::uint8_t tag[12];
        if (!source.read(at, tag, sizeof tag)) return;
        const std::uint32_t size = GetLe32(tag + 4);
        if (Is(tag, "LIST") && Is(tag + 8, "INFO")) {
            // The list's size counts its "INFO" tag: one below that is no list.
            if (size < 4 || at + 8 + size > source.size) return;
            std::vector<std::uint8_t> list(size - 4);
            if (!source.read(at + 12, list.data(), list.size())) return;
            std::size_t in = 0;
            while (in + 8 <= list.size()) {
                const std::uint8_t* q = list.data() + in;
                const std::uint32_t n = GetLe32(q + 4);
                if (in + 8 + n > list.size()) return;
                const std::uint8_t* payload = q + 8;
                if (Is(q, "IGPS") && n >= 4 && (n - 4) % kJournalGpsBytes == 0) {
                    for (std::size_t k = 4; k < n; k += kJournalGpsBytes)
                        out->gps.emplace_back(payload + k, payload + k + kJournalGpsBytes);
                } else if (Is(q, "IEVT") && n >= 4 && (n - 4) % kJournalEventBytes == 0) {
                    for (std::size_t k = 4; k < n; k += kJournalEventBytes)
                        out->events.emplace_back(payload + k, payload + k + kJournalEventBytes);
                } else if (Is(q, "IFND") && n == kJournalSummaryBytes) {
                    out->summary = JournalBytes(payload, payload + n);
                }
                in += 8 + n + (n & 1);
            }
            return;
        }
        at += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
}

void PutChunk(std::vector<std::uint8_t>* out, const char* tag, const std::vector<std::uint8_t>& payload)
{
    PutTag(out, tag);
    PutLe32(out, static_cast<std::uint32_t>(payload.size()));
    out->insert(out->end(), payload.begin(), payload.end());
    if (payload.size() & 1) out->push_back(0);
}

// As the writer's close makes it: "IGPS" when there are GPS records, "IEVT",
// "IFND" with the first and last GPS positions, "ISFT".
std::vector<std::uint8_t> BuildInfo(const JournalContent& data, const Header& header, std::uint64_t videoChunks)
{
    std::vector<std::uint8_t> info;
    PutTag(&info, "LIST");
    PutLe32(&info, 0);
    PutTag(&info, "INFO");
    std::vector<std::uint8_t> summary = data.summary.value_or(JournalBytes(kJournalSummaryBytes, 0));
    if (!data.summary) {
        for (const StreamHeader& s : header.streams) {
            if (!s.video || s.rate == 0) continue;
            const auto hns = static_cast<std::int64_t>(videoChunks * s.scale * 10000000ull / s.rate);
            for (int i = 0; i < 8; ++i) summary[kSummaryLengthHns + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(hns >> (8 * i));
        }
    }
    if (!data.gps.empty()) {
        std::vector<std::uint8_t> gps;
        PutLe32(&gps, static_cast<std::uint32_t>(data.gps.size()));
        for (const JournalBytes& r : data.gps) gps.insert(gps.end(), r.begin(), r.end());
        PutChunk(&info, "IGPS", gps);
        std::memcpy(summary.data() + kSummaryFirstGps, data.gps.front().data() + kGpsTimePositionOffset, kGpsTimePositionBytes);
        std::memcpy(summary.data() + kSummaryLastGps, data.gps.back().data() + kGpsTimePositionOffset, kGpsTimePositionBytes);
    }
    std::vector<std::uint8_t> events;
    PutLe32(&events, static_cast<std::uint32_t>(data.events.size()));
    for (const JournalBytes& r : data.events) events.insert(events.end(), r.begin(), r.end());
    PutChunk(&info, "IEVT", events);
    PutChunk(&info, "IFND", summary);
    PutChunk(&info, "ISFT", std::vector<std::uint8_t>(std::begin(kRecordingSoftware), std::end(kRecordingSoftware)));
    SetU32(&info, 4, static_cast<std::uint32_t>(info.size() - 8));
    return info;
}

}  // namespace

AviRepairPlan PlanAviRepair(const AviRepairSource& source, const JournalContent* journal)
{
    AviRepairPlan plan;
    Header header;
    if (!ReadHeader(source, &plan.header, &header, &plan.why)) {
        plan.noHeader = true;
        return plan;
    }
    if (header.riffSize != 0 && static_cast<std::uint64_t>(header.riffSize) + 8 == source.size) {
        plan.verdict = AviRepairVerdict::Sound;
        return plan;
    }
    if (header.riffSize != 0 && static_cast<std::uint64_t>(header.riffSize) + 8 < source.size) {
        std::uint8_t next[12];
        const std::uint64_t at = static_cast<std::uint64_t>(header.riffSize) + 8;
        if (at + 12 <= source.size && source.read(at, next, sizeof next) && Is(next, "RIFF") && Is(next + 8, "AVIX")) {
            plan.why = "the recording outgrew its first RIFF (an OpenDML file), which this repair does not rebuild";
            return plan;
        }
    }
    std::uint64_t limit = source.size;
    if (header.moviSize != 0) limit = std::min(limit, header.moviAt + header.moviSize);
    if (journal && journal->durableBytes) limit = std::min(limit, *journal->durableBytes);
    if (!ScanChunks(source, &header, limit, &plan)) {
        plan.why = "the file cannot be read";
        return plan;
    }
    JournalContent data;
    if (journal) {
        data = *journal;
        plan.hadJournal = true;
    } else {
        ReadOwnInfo(source, header, &data);
    }
    std::uint64_t frames = 0;
    for (const StreamHeader& s : header.streams) {
        SetU32(&plan.header, s.lengthAt, static_cast<std::uint32_t>(s.video ? s.chunks : s.bytes / s.blockAlign));
        if (s.video) frames = std::max(frames, s.chunks);
        if (s.video) plan.hasVideo = true;
    }
    plan.videoChunks = frames;
    SetU32(&plan.header, header.totalFramesAt, static_cast<std::uint32_t>(frames));
    plan.info = BuildInfo(data, header, frames);
    plan.eventTagged = !data.events.empty();
    std::uint64_t moviBytes = 4;
    for (const AviRepairChunk& c : plan.chunks) moviBytes += 8 + c.size + (c.size & 1);
    const std::uint64_t idx1Bytes = 8 + 16 * static_cast<std::uint64_t>(plan.chunks.size());
    const std::uint64_t total = header.moviAt + moviBytes + idx1Bytes + plan.info.size();
    if (total - 8 > 0xFFFFFFFFull) {
        plan.why = "the recording is too large for one RIFF";
        return plan;
    }
    SetU32(&plan.header, 4, static_cast<std::uint32_t>(total - 8));
    SetU32(&plan.header, static_cast<std::size_t>(header.moviAt - 4), static_cast<std::uint32_t>(moviBytes));
    const std::uint64_t kept = header.moviAt + moviBytes;
    plan.droppedBytes = source.size > kept ? source.size - kept : 0;
    plan.verdict = AviRepairVerdict::Repairable;
    return plan;
}

bool WriteAviRepair(const AviRepairSource& source, const AviRepairPlan& plan,
                    const std::function<bool(const void*, std::size_t)>& write, std::string* why)
{
    if (plan.verdict != AviRepairVerdict::Repairable) {
        *why = "nothing to repair";
        return false;
    }
    if (!write(plan.header.data(), plan.header.size())) {
        *why = "cannot write the repaired file";
        return false;
    }
    const std::uint64_t moviAt = plan.header.size() - 4;
    std::vector<std::uint8_t> block;
    // Chunks lie back to back; the last one's pad byte may be missing.
    std::uint64_t from = plan.header.size();
    std::uint64_t end = from;
    for (const AviRepairChunk& c : plan.chunks) end = c.offset + 8 + c.size;
    const bool padMissing = !plan.chunks.empty() && (plan.chunks.back().size & 1);
    while (from < end) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, end - from));
        block.resize(n);
        if (!source.read(from, block.data(), n)) {
            *why = "cannot read the recording";
            return false;
        }
        if (!write(block.data(), n)) {
            *why = "cannot write the repaired file";
            return false;
        }
        from += n;
    }
    std::vector<std::uint8_t> tail;
    if (padMissing) tail.push_back(0);
    PutTag(&tail, "idx1");
    PutLe32(&tail, static_cast<std::uint32_t>(16 * plan.chunks.size()));
    for (const AviRepairChunk& c : plan.chunks) {
        tail.insert(tail.end(), c.id, c.id + 4);
        PutLe32(&tail, c.key ? kAviKeyFrameFlag : 0);
        PutLe32(&tail, static_cast<std::uint32_t>(c.offset - moviAt));
        PutLe32(&tail, c.size);
    }
    tail.insert(tail.end(), plan.info.begin(), plan.info.end());
    if (!write(tail.data(), tail.size())) {
        *why = "cannot write the repaired file";
        return false;
    }
    return true;
}

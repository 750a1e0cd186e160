#include "tools/avi_reader.h"

#include <algorithm>
#include <cstring>

namespace kinfo {
namespace {

constexpr std::size_t kMaxListedProblems = 100;
constexpr int kMaxMoviDepth = 4;
constexpr std::size_t kMaxStreams = 100;  // a chunk names its stream with two digits
constexpr std::size_t kMaxSoftwareBytes = 256;
constexpr std::size_t kAvihMinBytes = 40;
constexpr std::size_t kStrhMinBytes = 48;
constexpr std::size_t kBitmapHeaderBytes = 40;
constexpr std::size_t kWaveFormatBytes = 16;
constexpr std::size_t kIdx1EntryBytes = 16;
constexpr std::size_t kStdIndexHeaderBytes = 24;
constexpr std::size_t kTableBlockRecords = 64;

std::uint32_t U32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// A chunk as found: payload [begin, end), end clamped to the bytes present.
struct Chunk {
    std::string id;
    std::uint64_t at = 0;
    std::uint32_t declared = 0;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::uint64_t Length() const { return end - begin; }
};

class Reader {
public:
    Reader(ByteSource& source, AviFile* out) : source_(source), size_(source.Size()), out_(out) {}

    void ReadTopLevel();
    // "idx1" against the first "movi" list, once both were found.
    void CompareIndex();
    void Finish();
    bool Failed() const { return failed_; }

private:
    bool Load(std::uint64_t at, std::size_t n, void* into);
    std::uint32_t U32At(std::uint64_t at);
    std::string TagAt(std::uint64_t at);
    void Problem(std::uint64_t at, const std::string& text);

    template <class Visit>
    void Walk(std::uint64_t begin, std::uint64_t limit, Visit visit);
    // The chunks of a "movi" list and of the "rec " lists in it; index
    // chunks ("ix00") are checked, every other chunk goes to onChunk.
    template <class OnChunk>
    void WalkMovi(std::uint64_t begin, std::uint64_t end, int depth, OnChunk& onChunk);
    // The list type of a "LIST" chunk, or "" (with a problem) when it has none.
    std::string ListType(const Chunk& c);
    // The stream a data chunk belongs to, or -1 for other chunks.
    int StreamOf(const Chunk& c, std::size_t streams) const;

    void ReadRiff(const Chunk& c);
    void ReadHdrl(std::uint64_t begin, std::uint64_t end);
    void ReadAvih(const Chunk& c);
    void ReadStrl(std::uint64_t begin, std::uint64_t end);
    void ReadStrf(const Chunk& c, StreamInfo* s);
    void ReadOdml(std::uint64_t begin, std::uint64_t end);
    void ReadMovi(const Chunk& list, bool first);
    void CountChunk(const Chunk& c, bool first);
    void ReadStdIndex(const Chunk& c);
    void ReadIdx1(const Chunk& c);
    IndexEntry EntryAt(std::uint64_t i);
    void ReadInfo(std::uint64_t begin, std::uint64_t end);
    // Count-prefixed table of records, recordBytes each, stored in T.
    template <class T>
    std::vector<T> ReadTable(const Chunk& c, std::size_t recordBytes);

    ByteSource& source_;
    std::uint64_t size_;
    AviFile* out_;
    std::size_t unlisted_ = 0;
    bool failed_ = false;
    bool quiet_ = false;  // walking again what was read once: no problems twice
    std::optional<Chunk> firstMoviList_;
    std::size_t moviStreams_ = 0;  // streams declared when the first "movi" was read
    std::optional<MoviChunk> firstChunk_;
    std::optional<Chunk> idx1_;
};

bool Reader::Load(std::uint64_t at, std::size_t n, void* into)
{
    if (failed_) return false;
    if (!source_.Read(at, into, n)) failed_ = true;
    return !failed_;
}

std::uint32_t Reader::U32At(std::uint64_t at)
{
    std::uint8_t b[4] = {};
    Load(at, 4, b);
    return U32(b);
}

std::string Reader::TagAt(std::uint64_t at)
{
    std::uint8_t b[4] = {};
    Load(at, 4, b);
    return PrintableTag(b);
}

void Reader::Problem(std::uint64_t at, const std::string& text)
{
    if (quiet_) return;
    if (out_->problems.size() >= kMaxListedProblems) {
        ++unlisted_;
        return;
    }
    out_->problems.push_back("at " + std::to_string(at) + ": " + text);
}

void Reader::Finish()
{
    if (!out_->header) Problem(0, "no main header (\"avih\")");
    if (!out_->firstMovi) Problem(0, "no \"movi\" list");
    if (unlisted_ > 0) out_->problems.push_back(std::to_string(unlisted_) + " further problems not listed");
}

template <class Visit>
void Reader::Walk(std::uint64_t begin, std::uint64_t limit, Visit visit)
{
    std::uint64_t at = begin;
    while (at < limit && !failed_) {
        if (limit - at < 8) {
            Problem(at, "truncated chunk header (" + std::to_string(limit - at) + " bytes left)");
            return;
        }
        std::uint8_t header[8];
        if (!Load(at, sizeof header, header)) return;
        Chunk c;
        c.id = PrintableTag(header);
        c.at = at;
        c.declared = U32(header + 4);
        c.begin = at + 8;
        const std::uint64_t room = limit - c.begin;
        if (c.declared > room) {
            Problem(at, "chunk \"" + c.id + "\" declares " + std::to_string(c.declared) + " bytes, only " +
                            std::to_string(room) + " present");
            c.end = limit;
        } else {
            c.end = c.begin + c.declared;
        }
        visit(c);
        if (c.declared > room) return;
        const std::uint64_t padded = c.declared + (c.declared & 1u);
        if (padded > room) {
            Problem(at, "chunk \"" + c.id + "\" lacks its pad byte");
            return;
        }
        at = c.begin + padded;
    }
}

std::string Reader::ListType(const Chunk& c)
{
    if (c.Length() < 4) {
        Problem(c.at, "\"" + c.id + "\" too short for its type");
        return "";
    }
    return TagAt(c.begin);
}

int Reader::StreamOf(const Chunk& c, std::size_t streams) const
{
    const char* id = c.id.c_str();
    const bool data = c.id.size() == 4 && id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9';
    if (!data) return -1;
    const int index = (id[0] - '0') * 10 + (id[1] - '0');
    return static_cast<std::size_t>(index) < streams ? index : -1;
}

void Reader::ReadTopLevel()
{
    Walk(0, size_, [this](const Chunk& c) {
        if (c.id != "RIFF") {
            Problem(c.at, "unexpected chunk \"" + c.id + "\" after the RIFFs");
            return;
        }
        ReadRiff(c);
    });
}

void Reader::ReadRiff(const Chunk& c)
{
    const std::string form = ListType(c);
    if (form.empty()) return;
    const bool first = out_->riffs == 0;
    if (first ? form != "AVI " : form != "AVIX") {
        Problem(c.at, "unexpected RIFF form \"" + form + "\"");
        return;
    }
    ++out_->riffs;
    Walk(c.begin + 4, c.end, [this, first](const Chunk& inner) {
        if (inner.id == "idx1" && first) {
            ReadIdx1(inner);
            return;
        }
        if (inner.id != "LIST") return;
        const std::string type = ListType(inner);
        if (type == "hdrl" && first) {
            ReadHdrl(inner.begin + 4, inner.end);
        } else if (type == "movi") {
            ReadMovi(inner, first);
        } else if (type == "INFO" && first) {
            out_->hasInfo = true;
            ReadInfo(inner.begin + 4, inner.end);
        }
    });
}

void Reader::ReadHdrl(std::uint64_t begin, std::uint64_t end)
{
    Walk(begin, end, [this](const Chunk& c) {
        if (c.id == "avih") {
            ReadAvih(c);
        } else if (c.id == "LIST") {
            const std::string type = ListType(c);
            if (type == "strl") ReadStrl(c.begin + 4, c.end);
            if (type == "odml") ReadOdml(c.begin + 4, c.end);
        }
    });
}

void Reader::ReadAvih(const Chunk& c)
{
    if (c.Length() < kAvihMinBytes) {
        Problem(c.at, "\"avih\" holds " + std::to_string(c.Length()) + " bytes, needs " + std::to_string(kAvihMinBytes));
        return;
    }
    std::uint8_t b[kAvihMinBytes];
    if (!Load(c.begin, sizeof b, b)) return;
    MainHeader h;
    h.microSecPerFrame = U32(b);
    h.maxBytesPerSec = U32(b + 4);
    h.flags = U32(b + 12);
    h.totalFrames = U32(b + 16);
    h.streams = U32(b + 24);
    h.width = U32(b + 32);
    h.height = U32(b + 36);
    out_->header = h;
}

void Reader::ReadStrl(std::uint64_t begin, std::uint64_t end)
{
    if (out_->streams.size() >= kMaxStreams) {
        Problem(begin, "more than " + std::to_string(kMaxStreams) + " stream lists; this one is not read");
        return;
    }
    StreamInfo s;
    bool haveStrh = false;
    Walk(begin, end, [&](const Chunk& c) {
        if (c.id == "strh") {
            if (c.Length() < kStrhMinBytes) {
                Problem(c.at, "\"strh\" holds " + std::to_string(c.Length()) + " bytes, needs " +
                                  std::to_string(kStrhMinBytes));
                return;
            }
            std::uint8_t b[kStrhMinBytes];
            if (!Load(c.begin, sizeof b, b)) return;
            haveStrh = true;
            s.type = PrintableTag(b);
            s.handler = PrintableTag(b + 4);
            s.scale = U32(b + 20);
            s.rate = U32(b + 24);
            s.length = U32(b + 32);
            s.sampleSize = U32(b + 44);
        } else if (c.id == "strf") {
            ReadStrf(c, &s);
        }
    });
    if (!haveStrh) Problem(begin, "stream list without a usable \"strh\"");
    out_->streams.push_back(s);
}

void Reader::ReadStrf(const Chunk& c, StreamInfo* s)
{
    if (s->type == "vids") {
        if (c.Length() < kBitmapHeaderBytes) {
            Problem(c.at, "video \"strf\" holds " + std::to_string(c.Length()) + " bytes, needs 40");
            return;
        }
        std::uint8_t b[kBitmapHeaderBytes];
        if (!Load(c.begin, sizeof b, b)) return;
        s->width = static_cast<std::int32_t>(U32(b + 4));
        s->height = static_cast<std::int32_t>(U32(b + 8));
        s->compression = PrintableTag(b + 16);
    } else if (s->type == "auds") {
        if (c.Length() < kWaveFormatBytes) {
            Problem(c.at, "audio \"strf\" holds " + std::to_string(c.Length()) + " bytes, needs 16");
            return;
        }
        std::uint8_t b[kWaveFormatBytes];
        if (!Load(c.begin, sizeof b, b)) return;
        s->formatTag = U16(b);
        s->channels = U16(b + 2);
        s->sampleRate = U32(b + 4);
        s->blockAlign = U16(b + 12);
        s->bitsPerSample = U16(b + 14);
    }
}

void Reader::ReadOdml(std::uint64_t begin, std::uint64_t end)
{
    Walk(begin, end, [this](const Chunk& c) {
        if (c.id != "dmlh") return;
        if (c.Length() < 4) {
            Problem(c.at, "\"dmlh\" too short");
            return;
        }
        out_->odmlFrames = U32At(c.begin);
    });
}

template <class OnChunk>
void Reader::WalkMovi(std::uint64_t begin, std::uint64_t end, int depth, OnChunk& onChunk)
{
    Walk(begin, end, [&](const Chunk& c) {
        if (c.id == "LIST") {
            if (ListType(c) != "rec ") return;
            if (depth >= kMaxMoviDepth) {
                Problem(c.at, "\"rec \" lists nested too deep");
                return;
            }
            WalkMovi(c.begin + 4, c.end, depth + 1, onChunk);
        } else if (c.id.size() == 4 && c.id.compare(0, 2, "ix") == 0) {
            if (!quiet_) ReadStdIndex(c);
        } else {
            onChunk(c);
        }
    });
}

void Reader::ReadMovi(const Chunk& list, bool first)
{
    if (first && out_->firstMovi) {
        Problem(list.at, "a second \"movi\" list in the first RIFF");
        first = false;
    }
    if (first) {
        out_->firstMovi = list.begin;
        firstMoviList_ = list;
        moviStreams_ = out_->streams.size();
    }
    auto count = [this, first](const Chunk& c) { CountChunk(c, first); };
    WalkMovi(list.begin + 4, list.end, 0, count);
}

void Reader::CountChunk(const Chunk& c, bool first)
{
    const char* id = c.id.c_str();
    if (c.id.size() != 4 || id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9') return;
    const int index = StreamOf(c, out_->streams.size());
    if (index < 0) {
        Problem(c.at, "chunk \"" + c.id + "\" of a stream the header does not declare");
        return;
    }
    StreamInfo& s = out_->streams[static_cast<std::size_t>(index)];
    ++s.chunks;
    if (c.declared == 0) ++s.emptyChunks;
    s.bytes += c.Length();
    if (!first) return;
    ++out_->firstMoviChunks;
    if (!firstChunk_) firstChunk_ = MoviChunk{c.id, c.at, c.declared};
}

void Reader::ReadStdIndex(const Chunk& c)
{
    if (c.Length() < kStdIndexHeaderBytes) {
        Problem(c.at, "index \"" + c.id + "\" too short for its header");
        return;
    }
    const std::uint64_t entries = U32At(c.begin + 4);
    const std::uint64_t room = (c.Length() - kStdIndexHeaderBytes) / 8;
    if (entries > room) {
        Problem(c.at, "index \"" + c.id + "\" declares " + std::to_string(entries) + " entries, room for " +
                          std::to_string(room));
    }
}

void Reader::ReadIdx1(const Chunk& c)
{
    if (c.declared % kIdx1EntryBytes != 0) {
        Problem(c.at, "\"idx1\" size " + std::to_string(c.declared) + " is no multiple of 16");
    }
    idx1_ = c;
}

IndexEntry Reader::EntryAt(std::uint64_t i)
{
    std::uint8_t b[kIdx1EntryBytes] = {};
    Load(idx1_->begin + i * kIdx1EntryBytes, sizeof b, b);
    return IndexEntry{PrintableTag(b), U32(b + 4), U32(b + 8), U32(b + 12)};
}

// idx1 offsets count from the "movi" list type, or in some writers from the
// start of the file; the first entry tells which.
void Reader::CompareIndex()
{
    if (!idx1_ || failed_) return;
    IndexMatch match;
    match.entries = idx1_->Length() / kIdx1EntryBytes;
    if (match.entries > 0 && firstChunk_ && firstMoviList_) {
        const std::uint64_t base = EntryAt(0).offset == firstChunk_->offset ? 0 : *out_->firstMovi;
        std::uint64_t i = 0;
        auto compare = [&](const Chunk& c) {
            if (StreamOf(c, moviStreams_) < 0) return;
            if (i < match.entries) {
                const IndexEntry e = EntryAt(i);
                if (e.id != c.id || e.size != c.declared || base + e.offset != c.at) {
                    if (match.differing++ == 0) {
                        match.firstDiffering = i;
                        match.entry = e;
                        match.chunk = MoviChunk{c.id, c.at, c.declared};
                    }
                }
            }
            ++i;
        };
        quiet_ = true;
        WalkMovi(firstMoviList_->begin + 4, firstMoviList_->end, 0, compare);
        quiet_ = false;
    }
    out_->idx1 = match;
}

template <class T>
std::vector<T> Reader::ReadTable(const Chunk& c, std::size_t recordBytes)
{
    std::vector<T> records;
    if (c.Length() < 4) {
        Problem(c.at, "\"" + c.id + "\" too short for its count");
        return records;
    }
    const std::uint64_t count = U32At(c.begin);
    const std::uint64_t room = (c.Length() - 4) / recordBytes;
    if (count * recordBytes + 4 != c.declared) {
        Problem(c.at, "\"" + c.id + "\" counts " + std::to_string(count) + " records but its size " +
                          std::to_string(c.declared) + " is not 4 + " + std::to_string(recordBytes) + " x count");
    }
    std::uint64_t n = std::min(count, room);
    if (n > kMaxTableRecords) {
        Problem(c.at, "\"" + c.id + "\" holds " + std::to_string(n) + " records; only the first " +
                          std::to_string(kMaxTableRecords) + " are read");
        n = kMaxTableRecords;
    }
    records.resize(static_cast<std::size_t>(n));
    std::vector<std::uint8_t> block(kTableBlockRecords * recordBytes);
    for (std::size_t i = 0; i < records.size(); i += kTableBlockRecords) {
        const std::size_t inBlock = std::min(kTableBlockRecords, records.size() - i);
        if (!Load(c.begin + 4 + i * recordBytes, inBlock * recordBytes, block.data())) return {};
        for (std::size_t k = 0; k < inBlock; ++k) std::memcpy(&records[i + k], block.data() + k * recordBytes, recordBytes);
    }
    return records;
}

void Reader::ReadInfo(std::uint64_t begin, std::uint64_t end)
{
    Walk(begin, end, [this](const Chunk& c) {
        if (c.id == "IGPS") {
            out_->gps = ReadTable<GpsTrackRecord>(c, sizeof(GpsTrackRecord));
        } else if (c.id == "IEVT") {
            out_->events = ReadTable<EvtTagRecord>(c, kEvtTagStoredBytes);
        } else if (c.id == "IFND") {
            if (c.declared != sizeof(RecordingSummary)) {
                Problem(c.at, "\"IFND\" is " + std::to_string(c.declared) + " bytes, not 128");
            }
            if (c.Length() < sizeof(RecordingSummary)) return;
            RecordingSummary summary;
            if (Load(c.begin, sizeof summary, &summary)) out_->summary = summary;
        } else if (c.id == "ISFT") {
            char text[kMaxSoftwareBytes];
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(c.Length(), sizeof text));
            if (Load(c.begin, n, text)) out_->software = std::string(text, strnlen(text, n));
        }
    });
}

}  // namespace

std::string PrintableTag(const std::uint8_t* p)
{
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (p[i] >= 32 && p[i] < 127) {
            text += static_cast<char>(p[i]);
        } else {
            text += "\\x";
            text += kHex[p[i] >> 4];
            text += kHex[p[i] & 15];
        }
    }
    return text;
}

int ReadAvi(ByteSource& source, AviFile* out, std::string* error)
{
    *out = AviFile{};
    const std::uint64_t size = source.Size();
    out->fileSize = size;
    std::uint8_t head[12] = {};
    if (!source.Read(0, head, static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof head)))) {
        *error = source.Error();
        return 0;
    }
    if (size < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "AVI ", 4) != 0) {
        *error = size >= 4 && std::memcmp(head, "RIFF", 4) == 0 && size < 12
                     ? "truncated: " + std::to_string(size) + " bytes, too short for a RIFF header"
                     : "not an AVI file (no \"RIFF\" ... \"AVI \" header)";
        return 0;
    }
    Reader reader(source, out);
    reader.ReadTopLevel();
    reader.CompareIndex();
    reader.Finish();
    if (reader.Failed()) {
        *error = source.Error();
        return 0;
    }
    return 1;
}

int ReadAvi(const std::uint8_t* data, std::size_t size, AviFile* out, std::string* error)
{
    MemorySource source(data, size);
    return ReadAvi(source, out, error);
}

}  // namespace kinfo

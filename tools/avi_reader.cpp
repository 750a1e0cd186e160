#include "tools/avi_reader.h"

#include <cstring>

namespace kinfo {
namespace {

constexpr std::size_t kMaxListedProblems = 100;
constexpr int kMaxMoviDepth = 4;
constexpr std::size_t kAvihMinBytes = 40;
constexpr std::size_t kStrhMinBytes = 48;
constexpr std::size_t kBitmapHeaderBytes = 40;
constexpr std::size_t kWaveFormatBytes = 16;
constexpr std::size_t kIdx1EntryBytes = 16;
constexpr std::size_t kStdIndexHeaderBytes = 24;

// A chunk as found: payload [begin, end), end clamped to the bytes present.
struct Chunk {
    std::string id;
    std::size_t at = 0;
    std::uint32_t declared = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t Length() const { return end - begin; }
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size, AviFile* out) : data_(data), size_(size), out_(out) {}

    void ReadTopLevel();
    void Finish();

private:
    std::uint32_t U32(std::size_t at) const
    {
        const std::uint8_t* p = data_ + at;
        return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(data_[at] | data_[at + 1] << 8); }
    std::string Tag(std::size_t at) const { return PrintableTag(data_ + at); }
    void Problem(std::size_t at, const std::string& text);

    template <class Visit>
    void Walk(std::size_t begin, std::size_t limit, Visit visit);
    // The list type of a "LIST" chunk, or "" (with a problem) when it has none.
    std::string ListType(const Chunk& c);

    void ReadRiff(const Chunk& c);
    void ReadHdrl(std::size_t begin, std::size_t end);
    void ReadAvih(const Chunk& c);
    void ReadStrl(std::size_t begin, std::size_t end);
    void ReadStrf(const Chunk& c, StreamInfo* s);
    void ReadOdml(std::size_t begin, std::size_t end);
    void ReadMovi(std::size_t begin, std::size_t end, bool first, int depth);
    void ReadMoviChunk(const Chunk& c, bool first);
    void ReadStdIndex(const Chunk& c);
    void ReadIdx1(const Chunk& c);
    void ReadInfo(std::size_t begin, std::size_t end);
    // Count-prefixed table of records, recordBytes each, stored in T.
    template <class T>
    std::vector<T> ReadTable(const Chunk& c, std::size_t recordBytes);

    const std::uint8_t* data_;
    std::size_t size_;
    AviFile* out_;
    std::size_t unlisted_ = 0;
};

void Reader::Problem(std::size_t at, const std::string& text)
{
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
void Reader::Walk(std::size_t begin, std::size_t limit, Visit visit)
{
    std::size_t at = begin;
    while (at < limit) {
        if (limit - at < 8) {
            Problem(at, "truncated chunk header (" + std::to_string(limit - at) + " bytes left)");
            return;
        }
        Chunk c;
        c.id = Tag(at);
        c.at = at;
        c.declared = U32(at + 4);
        c.begin = at + 8;
        const std::size_t room = limit - c.begin;
        if (c.declared > room) {
            Problem(at, "chunk \"" + c.id + "\" declares " + std::to_string(c.declared) + " bytes, only " +
                            std::to_string(room) + " present");
            c.end = limit;
        } else {
            c.end = c.begin + c.declared;
        }
        visit(c);
        if (c.declared > room) return;
        const std::size_t padded = c.declared + (c.declared & 1u);
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
    return Tag(c.begin);
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
            if (first) out_->firstMovi = inner.begin;
            ReadMovi(inner.begin + 4, inner.end, first, 0);
        } else if (type == "INFO" && first) {
            out_->hasInfo = true;
            ReadInfo(inner.begin + 4, inner.end);
        }
    });
}

void Reader::ReadHdrl(std::size_t begin, std::size_t end)
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
    MainHeader h;
    h.microSecPerFrame = U32(c.begin);
    h.maxBytesPerSec = U32(c.begin + 4);
    h.flags = U32(c.begin + 12);
    h.totalFrames = U32(c.begin + 16);
    h.streams = U32(c.begin + 24);
    h.width = U32(c.begin + 32);
    h.height = U32(c.begin + 36);
    out_->header = h;
}

void Reader::ReadStrl(std::size_t begin, std::size_t end)
{
    StreamInfo s;
    bool haveStrh = false;
    Walk(begin, end, [&](const Chunk& c) {
        if (c.id == "strh") {
            if (c.Length() < kStrhMinBytes) {
                Problem(c.at, "\"strh\" holds " + std::to_string(c.Length()) + " bytes, needs " +
                                  std::to_string(kStrhMinBytes));
                return;
            }
            haveStrh = true;
            s.type = Tag(c.begin);
            s.handler = Tag(c.begin + 4);
            s.scale = U32(c.begin + 20);
            s.rate = U32(c.begin + 24);
            s.length = U32(c.begin + 32);
            s.sampleSize = U32(c.begin + 44);
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
        s->width = static_cast<std::int32_t>(U32(c.begin + 4));
        s->height = static_cast<std::int32_t>(U32(c.begin + 8));
        s->compression = Tag(c.begin + 16);
    } else if (s->type == "auds") {
        if (c.Length() < kWaveFormatBytes) {
            Problem(c.at, "audio \"strf\" holds " + std::to_string(c.Length()) + " bytes, needs 16");
            return;
        }
        s->formatTag = U16(c.begin);
        s->channels = U16(c.begin + 2);
        s->sampleRate = U32(c.begin + 4);
        s->blockAlign = U16(c.begin + 12);
        s->bitsPerSample = U16(c.begin + 14);
    }
}

void Reader::ReadOdml(std::size_t begin, std::size_t end)
{
    Walk(begin, end, [this](const Chunk& c) {
        if (c.id != "dmlh") return;
        if (c.Length() < 4) {
            Problem(c.at, "\"dmlh\" too short");
            return;
        }
        out_->odmlFrames = U32(c.begin);
    });
}

void Reader::ReadMovi(std::size_t begin, std::size_t end, bool first, int depth)
{
    Walk(begin, end, [&](const Chunk& c) {
        if (c.id == "LIST") {
            if (ListType(c) != "rec ") return;
            if (depth >= kMaxMoviDepth) {
                Problem(c.at, "\"rec \" lists nested too deep");
                return;
            }
            ReadMovi(c.begin + 4, c.end, first, depth + 1);
        } else if (c.id.size() == 4 && c.id.compare(0, 2, "ix") == 0) {
            ReadStdIndex(c);
        } else {
            ReadMoviChunk(c, first);
        }
    });
}

void Reader::ReadMoviChunk(const Chunk& c, bool first)
{
    const char* id = c.id.c_str();
    const bool stream = c.id.size() == 4 && id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9';
    if (!stream) return;
    const std::size_t index = static_cast<std::size_t>((id[0] - '0') * 10 + (id[1] - '0'));
    if (index >= out_->streams.size()) {
        Problem(c.at, "chunk \"" + c.id + "\" of a stream the header does not declare");
        return;
    }
    StreamInfo& s = out_->streams[index];
    ++s.chunks;
    if (c.declared == 0) ++s.emptyChunks;
    s.bytes += c.Length();
    if (first) out_->firstMoviChunks.push_back(MoviChunk{c.id, c.at, c.declared});
}

void Reader::ReadStdIndex(const Chunk& c)
{
    if (c.Length() < kStdIndexHeaderBytes) {
        Problem(c.at, "index \"" + c.id + "\" too short for its header");
        return;
    }
    const std::uint64_t entries = U32(c.begin + 4);
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
    std::vector<IndexEntry> entries;
    entries.reserve(c.Length() / kIdx1EntryBytes);
    for (std::size_t at = c.begin; at + kIdx1EntryBytes <= c.end; at += kIdx1EntryBytes) {
        entries.push_back(IndexEntry{Tag(at), U32(at + 4), U32(at + 8), U32(at + 12)});
    }
    out_->idx1 = std::move(entries);
}

template <class T>
std::vector<T> Reader::ReadTable(const Chunk& c, std::size_t recordBytes)
{
    std::vector<T> records;
    if (c.Length() < 4) {
        Problem(c.at, "\"" + c.id + "\" too short for its count");
        return records;
    }
    const std::uint64_t count = U32(c.begin);
    const std::uint64_t room = (c.Length() - 4) / recordBytes;
    if (count * recordBytes + 4 != c.declared) {
        Problem(c.at, "\"" + c.id + "\" counts " + std::to_string(count) + " records but its size " +
                          std::to_string(c.declared) + " is not 4 + " + std::to_string(recordBytes) + " x count");
    }
    const std::uint64_t n = count < room ? count : room;
    records.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::memcpy(&records[i], data_ + c.begin + 4 + i * recordBytes, recordBytes);
    }
    return records;
}

void Reader::ReadInfo(std::size_t begin, std::size_t end)
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
            std::memcpy(&summary, data_ + c.begin, sizeof summary);
            out_->summary = summary;
        } else if (c.id == "ISFT") {
            const auto* text = reinterpret_cast<const char*>(data_ + c.begin);
            out_->software = std::string(text, strnlen(text, c.Length()));
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

int ReadAvi(const std::uint8_t* data, std::size_t size, AviFile* out, std::string* error)
{
    *out = AviFile{};
    out->fileSize = size;
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "AVI ", 4) != 0) {
        *error = size >= 4 && std::memcmp(data, "RIFF", 4) == 0 && size < 12
                     ? "truncated: " + std::to_string(size) + " bytes, too short for a RIFF header"
                     : "not an AVI file (no \"RIFF\" ... \"AVI \" header)";
        return 0;
    }
    Reader reader(data, size, out);
    reader.ReadTopLevel();
    reader.Finish();
    return 1;
}

}  // namespace kinfo

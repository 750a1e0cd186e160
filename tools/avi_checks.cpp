#include "tools/avi_checks.h"

#include <cstring>

namespace kinfo {
namespace {

constexpr std::uint32_t kAvihHasIndex = 0x10;

std::string Num(std::uint64_t n) { return std::to_string(n); }

void CheckStreams(const AviFile& file, std::vector<std::string>* problems)
{
    if (!file.header) return;
    if (file.header->streams != file.streams.size()) {
        problems->push_back("\"avih\" declares " + Num(file.header->streams) + " streams, the file has " +
                            Num(file.streams.size()));
    }
    for (std::size_t i = 0; i < file.streams.size(); ++i) {
        const StreamInfo& s = file.streams[i];
        const std::string name = "stream " + Num(i) + " (" + s.type + ")";
        if (s.type == "vids" && s.length != s.chunks) {
            problems->push_back(name + ": \"strh\" length " + Num(s.length) + ", " + Num(s.chunks) + " chunks");
        }
        if (s.type == "auds" && s.sampleSize > 0 && s.length != s.bytes / s.sampleSize) {
            problems->push_back(name + ": \"strh\" length " + Num(s.length) + ", the chunks hold " +
                                Num(s.bytes / s.sampleSize) + " samples");
        }
    }
}

void CheckFrameCounts(const AviFile& file, std::vector<std::string>* problems)
{
    if (!file.header) return;
    std::uint64_t videoChunks = 0;
    bool video = false;
    for (const StreamInfo& s : file.streams) {
        if (s.type != "vids") continue;
        video = true;
        if (s.chunks > videoChunks) videoChunks = s.chunks;
    }
    if (!video) return;
    if (file.riffs == 1 && file.header->totalFrames != videoChunks) {
        problems->push_back("\"avih\" counts " + Num(file.header->totalFrames) + " frames, the file has " +
                            Num(videoChunks) + " video chunks");
    }
    if (file.riffs > 1 && (!file.odmlFrames || *file.odmlFrames != videoChunks)) {
        problems->push_back("\"dmlh\" frame count " + (file.odmlFrames ? Num(*file.odmlFrames) : "missing") +
                            ", the file has " + Num(videoChunks) + " video chunks");
    }
}

// idx1 offsets count from the "movi" list type, or in some writers from the
// start of the file; the first entry tells which.
void CheckIdx1(const AviFile& file, std::vector<std::string>* problems)
{
    if (!file.idx1) {
        if (file.header && (file.header->flags & kAvihHasIndex)) {
            problems->push_back("\"avih\" announces an index, there is no \"idx1\"");
        }
        return;
    }
    const std::vector<IndexEntry>& index = *file.idx1;
    const std::vector<MoviChunk>& chunks = file.firstMoviChunks;
    if (index.size() != chunks.size()) {
        problems->push_back("\"idx1\" has " + Num(index.size()) + " entries, the first \"movi\" list " +
                            Num(chunks.size()) + " chunks");
    }
    if (index.empty() || chunks.empty() || !file.firstMovi) return;
    const std::uint64_t base = index[0].offset == chunks[0].offset ? 0 : *file.firstMovi;
    std::size_t wrong = 0;
    std::string firstWrong;
    const std::size_t n = index.size() < chunks.size() ? index.size() : chunks.size();
    for (std::size_t i = 0; i < n; ++i) {
        const IndexEntry& e = index[i];
        const MoviChunk& c = chunks[i];
        if (e.id == c.id && e.size == c.size && base + e.offset == c.offset) continue;
        if (wrong++ == 0) {
            firstWrong = "\"idx1\" entry " + Num(i) + " (" + e.id + ", size " + Num(e.size) + ", offset " +
                         Num(e.offset) + ") does not match chunk " + c.id + " of size " + Num(c.size) + " at " +
                         Num(c.offset);
        }
    }
    if (wrong > 0) problems->push_back(firstWrong + (wrong > 1 ? " (" + Num(wrong) + " entries differ)" : ""));
}

void CheckSequences(const AviFile& file, std::vector<std::string>* problems)
{
    if (file.gps) {
        for (std::size_t i = 0; i < file.gps->size(); ++i) {
            if ((*file.gps)[i].sequence == i) continue;
            problems->push_back("GPS record " + Num(i) + " is numbered " + Num((*file.gps)[i].sequence));
            break;
        }
    }
    if (file.events) {
        for (std::size_t i = 0; i < file.events->size(); ++i) {
            if ((*file.events)[i].sequence == i) continue;
            problems->push_back("event record " + Num(i) + " is numbered " + Num((*file.events)[i].sequence));
            break;
        }
    }
}

void CheckRecordingData(const AviFile& file, std::vector<std::string>* problems)
{
    if (!CarriesRecordingData(file)) return;
    if (file.riffs > 1) {
        problems->push_back("recording data in a file of " + Num(file.riffs) + " RIFFs, which carries none");
        return;
    }
    if (!file.events) problems->push_back("no \"IEVT\" chunk");
    if (!file.summary) problems->push_back("no \"IFND\" summary");
    CheckSequences(file, problems);
    if (!file.summary || !file.gps || file.gps->empty()) return;
    const GpsTimePosition& first = file.gps->front().body.timePosition;
    const GpsTimePosition& last = file.gps->back().body.timePosition;
    if (std::memcmp(&file.summary->firstGps, &first, sizeof first) != 0 ||
        std::memcmp(&file.summary->lastGps, &last, sizeof last) != 0) {
        problems->push_back("the \"IFND\" summary's first and last GPS positions are not those of \"IGPS\"");
    }
}

}  // namespace

bool CarriesRecordingData(const AviFile& file)
{
    return file.gps.has_value() || file.events.has_value() || file.summary.has_value();
}

std::vector<std::string> CheckAvi(const AviFile& file)
{
    std::vector<std::string> problems = file.problems;
    CheckStreams(file, &problems);
    CheckFrameCounts(file, &problems);
    CheckIdx1(file, &problems);
    CheckRecordingData(file, &problems);
    return problems;
}

}  // namespace kinfo

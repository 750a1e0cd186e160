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

void CheckIdx1(const AviFile& file, std::vector<std::string>* problems)
{
    if (!file.idx1) {
        if (file.header && (file.header->flags & kAvihHasIndex)) {
            problems->push_back("\"avih\" announces an index, there is no \"idx1\"");
        }
        return;
    }
    const IndexMatch& index = *file.idx1;
    if (index.entries != file.firstMoviChunks) {
        problems->push_back("\"idx1\" has " + Num(index.entries) + " entries, the first \"movi\" list " +
                            Num(file.firstMoviChunks) + " chunks");
    }
    if (index.differing == 0) return;
    const IndexEntry& e = index.entry;
    const MoviChunk& c = index.chunk;
    problems->push_back("\"idx1\" entry " + Num(index.firstDiffering) + " (" + e.id + ", size " + Num(e.size) +
                        ", offset " + Num(e.offset) + ") does not match chunk " + c.id + " of size " + Num(c.size) +
                        " at " + Num(c.offset) +
                        (index.differing > 1 ? " (" + Num(index.differing) + " entries differ)" : ""));
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

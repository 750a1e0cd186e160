// What the reader finds in one AVI file: its main header, its streams, the
// chunks of every "movi" list counted per stream, "idx1" compared entry by
// entry with the first "movi" list, and the recording data of the INFO list
// ("IGPS", "IEVT", "IFND", "ISFT").
//
// Everything is plain data copied out of the file, of a size bounded whatever
// the file's size; the structural problems met while reading (sizes past the
// end, short chunks, counts that do not fit, tables too large to read) are
// listed in problems, in file order, with their offsets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recorder/avi/recording_summary.h"
#include "recorder/avi/gps_track_record.h"
#include "sensing/evt_tag_record.h"

namespace kinfo {

struct MainHeader {
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t maxBytesPerSec = 0;
    std::uint32_t flags = 0;
    std::uint32_t totalFrames = 0;
    std::uint32_t streams = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

struct StreamInfo {
    std::string type;     // "vids", "auds", ...
    std::string handler;  // the codec tag of "strh"
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t length = 0;
    std::uint32_t sampleSize = 0;
    // "strf": the bitmap header of video, the wave format of audio.
    std::string compression;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    // Counted in the "movi" lists of every RIFF.
    std::uint64_t chunks = 0;
    std::uint64_t emptyChunks = 0;
    std::uint64_t bytes = 0;
};

// A data chunk of a "movi" list: offset of its header in the file.
struct MoviChunk {
    std::string id;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

struct IndexEntry {
    std::string id;
    std::uint32_t flags = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// "idx1" against the stream chunks of the first "movi" list, in order.
struct IndexMatch {
    std::uint64_t entries = 0;
    std::uint64_t differing = 0;  // of the entries that have a chunk to compare with
    std::uint64_t firstDiffering = 0;
    IndexEntry entry;  // the first entry that differs, and the chunk in its place
    MoviChunk chunk;
};

struct AviFile {
    std::uint64_t fileSize = 0;
    int riffs = 0;  // "AVI " and "AVIX" RIFFs read
    std::optional<MainHeader> header;
    std::vector<StreamInfo> streams;
    std::optional<std::uint32_t> odmlFrames;  // "dmlh" of a real "odml" list
    // The first RIFF's "movi": offset of its list type, and its stream chunks.
    std::optional<std::uint64_t> firstMovi;
    std::uint64_t firstMoviChunks = 0;
    std::optional<IndexMatch> idx1;
    bool hasInfo = false;
    std::optional<std::vector<GpsTrackRecord>> gps;
    std::optional<std::vector<EvtTagRecord>> events;  // elapsedSec is 0: the file does not keep it
    std::optional<RecordingSummary> summary;
    std::optional<std::string> software;
    std::vector<std::string> problems;
};

}  // namespace kinfo

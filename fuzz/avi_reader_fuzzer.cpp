// The AVI and GPS log readers of kestrava-info on any bytes. Checked for
// every input:
// - whatever the reader keeps was present in the input: chunk counts and
//   bytes, "idx1" entries and the INFO records fit in its size, the chunk
//   an entry was compared with lies inside it;
// - what it keeps stays bounded: problems, streams, table records;
// - the checks run on whatever was read, and a file read as sound no longer
//   is once a stray byte follows it;
// - a GPS log keeps only whole records that lie inside the input, and its
//   first and last records are those of the whole list.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "tools/avi_checks.h"
#include "tools/avi_reader.h"
#include "tools/gps_log_reader.h"

namespace {

constexpr std::size_t kMaxProblems = 101;
constexpr std::size_t kMaxStreams = 100;

void CheckAviRead(const std::uint8_t* data, std::size_t size)
{
    kinfo::AviFile file;
    std::string error;
    if (!kinfo::ReadAvi(data, size, &file, &error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(file.fileSize == size);
    FUZZ_CHECK(file.problems.size() <= kMaxProblems);
    std::uint64_t chunks = 0;
    std::uint64_t bytes = 0;
    for (const kinfo::StreamInfo& s : file.streams) {
        chunks += s.chunks;
        bytes += s.bytes;
        FUZZ_CHECK(s.emptyChunks <= s.chunks);
    }
    FUZZ_CHECK(chunks * 8 + bytes <= size);
    FUZZ_CHECK(file.firstMoviChunks <= chunks);
    FUZZ_CHECK(file.streams.size() <= kMaxStreams);
    if (file.idx1) {
        const kinfo::IndexMatch& m = *file.idx1;
        FUZZ_CHECK(m.entries * 16 <= size);
        FUZZ_CHECK(m.differing <= m.entries && m.differing <= file.firstMoviChunks);
        if (m.differing > 0) FUZZ_CHECK(m.firstDiffering < m.entries && m.chunk.offset + 8 <= size);
    }
    if (file.gps) FUZZ_CHECK(file.gps->size() * sizeof(GpsTrackRecord) <= size && file.gps->size() <= kinfo::kMaxTableRecords);
    if (file.events) FUZZ_CHECK(file.events->size() * kEvtTagStoredBytes <= size && file.events->size() <= kinfo::kMaxTableRecords);

    const std::vector<std::string> problems = kinfo::CheckAvi(file);
    if (!problems.empty()) return;
    std::vector<std::uint8_t> longer(data, data + size);
    longer.push_back(0);
    kinfo::AviFile again;
    FUZZ_CHECK(kinfo::ReadAvi(longer.data(), longer.size(), &again, &error) == 1);
    FUZZ_CHECK(!kinfo::CheckAvi(again).empty());
}

void CheckLogRead(const std::uint8_t* data, std::size_t size)
{
    kinfo::GpsLog log;
    std::string error;
    const int read = kinfo::ReadGpsLog(data, size, &log, &error);
    FUZZ_CHECK(read == (kinfo::LooksLikeGpsLog(data, size) && size >= 196));
    if (!read) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(196 + log.records.size() * sizeof(GpsFix) <= size);
    FUZZ_CHECK(log.records.size() == log.present);
    FUZZ_CHECK(log.first.has_value() == !log.records.empty() && log.last.has_value() == !log.records.empty());
    if (log.first) {
        FUZZ_CHECK(std::memcmp(&*log.first, &log.records.front(), sizeof(GpsFix)) == 0);
        FUZZ_CHECK(std::memcmp(&*log.last, &log.records.back(), sizeof(GpsFix)) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckAviRead(data, size);
    CheckLogRead(data, size);
    return 0;
}

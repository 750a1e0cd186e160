#include "tools/gps_log_reader.h"

#include <cstring>

namespace kinfo {
namespace {

constexpr char kStartMark[] = "PGPSSTRT";
constexpr char kEndMark[] = "PGPSFEND";
constexpr std::size_t kMarkBytes = 8;
constexpr std::size_t kSummaryOffset = 64;
constexpr std::size_t kCountOffset = 192;
constexpr std::size_t kRecordsOffset = 196;
constexpr std::size_t kTrailerBytes = 64;

}  // namespace

bool LooksLikeGpsLog(const std::uint8_t* data, std::size_t size)
{
    return size >= kMarkBytes && std::memcmp(data, kStartMark, kMarkBytes) == 0;
}

int ReadGpsLog(const std::uint8_t* data, std::size_t size, GpsLog* out, std::string* error)
{
    *out = GpsLog{};
    if (!LooksLikeGpsLog(data, size)) {
        *error = "not a GPS log (no \"PGPSSTRT\" header)";
        return 0;
    }
    if (size < kRecordsOffset) {
        *error = "truncated GPS log: " + std::to_string(size) + " bytes, the header needs 196";
        return 0;
    }
    std::memcpy(&out->summary, data + kSummaryOffset, sizeof out->summary);
    std::memcpy(&out->count, data + kCountOffset, sizeof out->count);
    std::size_t end = size;
    if (size >= kRecordsOffset + kTrailerBytes && std::memcmp(data + size - kMarkBytes, kEndMark, kMarkBytes) == 0) {
        end = size - kTrailerBytes;
    } else {
        out->problems.push_back("no \"PGPSFEND\" end marker: the log was not stopped");
    }
    const std::size_t n = (end - kRecordsOffset) / sizeof(GpsFix);
    if ((end - kRecordsOffset) % sizeof(GpsFix) != 0) {
        out->problems.push_back("the records end in a partial record of " +
                                std::to_string((end - kRecordsOffset) % sizeof(GpsFix)) + " bytes");
    }
    out->records.resize(n);
    bool marked = true;
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(&out->records[i], data + kRecordsOffset + i * sizeof(GpsFix), sizeof(GpsFix));
        if (marked && (out->records[i].mark != kGpsFixLogMark || out->records[i].index != i)) {
            out->problems.push_back("record " + std::to_string(i) + " lacks its log mark or index");
            marked = false;
        }
    }
    const std::size_t expected = n == 0 ? 1 : n;
    if (end != size && out->count != expected) {
        out->problems.push_back("the header counts " + std::to_string(out->count) + " records, the log holds " +
                                std::to_string(n));
    }
    return 1;
}

}  // namespace kinfo

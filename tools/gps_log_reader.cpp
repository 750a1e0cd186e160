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

bool LooksLikeGpsLog(ByteSource& source)
{
    char mark[kMarkBytes];
    return source.Size() >= kMarkBytes && source.Read(0, mark, kMarkBytes) &&
           std::memcmp(mark, kStartMark, kMarkBytes) == 0;
}

bool LooksLikeGpsLog(const std::uint8_t* data, std::size_t size)
{
    MemorySource source(data, size);
    return LooksLikeGpsLog(source);
}

int ReadGpsLog(ByteSource& source, GpsLog* out, std::string* error, const std::function<void(const GpsFix&)>& each)
{
    *out = GpsLog{};
    const std::uint64_t size = source.Size();
    if (!LooksLikeGpsLog(source)) {
        *error = source.Error().empty() ? "not a GPS log (no \"PGPSSTRT\" header)" : source.Error();
        return 0;
    }
    if (size < kRecordsOffset) {
        *error = "truncated GPS log: " + std::to_string(size) + " bytes, the header needs 196";
        return 0;
    }
    const auto fail = [&]() {
        *error = source.Error();
        return 0;
    };
    if (!source.Read(kSummaryOffset, &out->summary, sizeof out->summary) ||
        !source.Read(kCountOffset, &out->count, sizeof out->count)) {
        return fail();
    }
    std::uint64_t end = size;
    if (size >= kRecordsOffset + kTrailerBytes) {
        char mark[kMarkBytes];
        if (!source.Read(size - kMarkBytes, mark, kMarkBytes)) return fail();
        out->stopped = std::memcmp(mark, kEndMark, kMarkBytes) == 0;
    }
    if (out->stopped) {
        end = size - kTrailerBytes;
    } else {
        out->problems.push_back("no \"PGPSFEND\" end marker: the log was not stopped");
    }
    const std::uint64_t n = (end - kRecordsOffset) / sizeof(GpsFix);
    if ((end - kRecordsOffset) % sizeof(GpsFix) != 0) {
        out->problems.push_back("the records end in a partial record of " +
                                std::to_string((end - kRecordsOffset) % sizeof(GpsFix)) + " bytes");
    }
    out->present = n;
    GpsFix record;
    if (n > 0) {
        if (!source.Read(kRecordsOffset, &record, sizeof record)) return fail();
        out->first = record;
        if (!source.Read(kRecordsOffset + (n - 1) * sizeof(GpsFix), &record, sizeof record)) return fail();
        out->last = record;
    }
    // Past the first record out of order, the rest need reading only for each.
    bool marked = true;
    for (std::uint64_t i = 0; i < n && (marked || each); ++i) {
        if (!source.Read(kRecordsOffset + i * sizeof(GpsFix), &record, sizeof record)) return fail();
        if (marked && (record.mark != kGpsFixLogMark || record.index != i)) {
            out->problems.push_back("record " + std::to_string(i) + " lacks its log mark or index");
            marked = false;
        }
        if (each) each(record);
    }
    const std::uint64_t expected = n == 0 ? 1 : n;
    if (out->stopped && out->count != expected) {
        out->problems.push_back("the header counts " + std::to_string(out->count) + " records, the log holds " +
                                std::to_string(n));
    }
    return 1;
}

int ReadGpsLog(const std::uint8_t* data, std::size_t size, GpsLog* out, std::string* error)
{
    MemorySource source(data, size);
    std::vector<GpsFix> records;
    if (!ReadGpsLog(source, out, error, [&](const GpsFix& fix) { records.push_back(fix); })) return 0;
    out->records = std::move(records);
    return 1;
}

}  // namespace kinfo

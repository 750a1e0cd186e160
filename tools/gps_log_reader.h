// Reader of the phone's GPS log files (".gps"): "PGPSSTRT", 56 zero bytes,
// the 128-byte summary, the record count, the 316-byte GpsFix records and,
// once the log was stopped, 56 zero bytes and "PGPSFEND". A log whose end
// marker is missing (the phone stopped while logging) still gives its whole
// records, with a problem noted.
//
// The records are read one at a time, so a log of any size is read in
// bounded memory; only the in-memory form keeps them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "recorder/avi/recording_summary.h"
#include "sensing/gps_fix.h"
#include "tools/host_file.h"

namespace kinfo {

struct GpsLog {
    RecordingSummary summary{};  // written when the log is stopped; zero before
    std::uint32_t count = 0;     // as the header says
    bool stopped = false;        // ends in "PGPSFEND"
    std::uint64_t present = 0;   // whole records in the log
    std::optional<GpsFix> first;
    std::optional<GpsFix> last;
    std::vector<GpsFix> records;  // every record; filled by the in-memory form only
    std::vector<std::string> problems;
};

// Whether the bytes start as a GPS log.
bool LooksLikeGpsLog(ByteSource& source);
bool LooksLikeGpsLog(const std::uint8_t* data, std::size_t size);

// 1 with the log's header, first and last records and problems, every
// record handed to each (when given) in order; 0 with a message when the
// source is no GPS log or cannot be read.
int ReadGpsLog(ByteSource& source, GpsLog* out, std::string* error,
               const std::function<void(const GpsFix&)>& each = nullptr);
// The same on bytes in memory, every record kept in records.
int ReadGpsLog(const std::uint8_t* data, std::size_t size, GpsLog* out, std::string* error);

}  // namespace kinfo

// Reader of the phone's GPS log files (".gps"): "PGPSSTRT", 56 zero bytes,
// the 128-byte summary, the record count, the 316-byte GpsFix records and,
// once the log was stopped, 56 zero bytes and "PGPSFEND". A log whose end
// marker is missing (the phone stopped while logging) still gives its whole
// records, with a problem noted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/avi/recording_summary.h"
#include "sensing/gps_fix.h"

namespace kinfo {

struct GpsLog {
    RecordingSummary summary{};
    std::uint32_t count = 0;  // as the header says
    std::vector<GpsFix> records;
    std::vector<std::string> problems;
};

// Whether the bytes start as a GPS log.
bool LooksLikeGpsLog(const std::uint8_t* data, std::size_t size);

// 1 with the log's records; 0 with a message when the bytes are no GPS log.
int ReadGpsLog(const std::uint8_t* data, std::size_t size, GpsLog* out, std::string* error);

}  // namespace kinfo

// The trip summary of one recording (the "IFND" chunk) and of one GPS log:
// 128 bytes, little-endian, packed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/types.h"
#include "sensing/gps_fix.h"

#pragma pack(push, 1)

struct RecordingSummary {
    os::SYSTEMTIME openTime;   // local
    os::SYSTEMTIME closeTime;  // local
    std::int64_t lengthHns;    // stop - start, 100 ns units
    GpsTimePosition firstGps;  // of the first GPS record of the file
    GpsTimePosition lastGps;   // of the last one
    float distanceKm;
    std::uint8_t zero[52];
};

#pragma pack(pop)

static_assert(sizeof(os::SYSTEMTIME) == 16);
static_assert(sizeof(RecordingSummary) == 128);
static_assert(offsetof(RecordingSummary, closeTime) == 16);
static_assert(offsetof(RecordingSummary, lengthHns) == 32);
static_assert(offsetof(RecordingSummary, firstGps) == 40);
static_assert(offsetof(RecordingSummary, lastGps) == 56);
static_assert(offsetof(RecordingSummary, distanceKm) == 72);

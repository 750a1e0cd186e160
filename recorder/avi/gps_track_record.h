// A GPS record numbered for one recording file: the live GpsFix with its two
// leading words replaced by the video frame it belongs to and its place in
// the file's GPS table. Same 316-byte layout as the fix.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sensing/gps_fix.h"

#pragma pack(push, 1)

struct GpsTrackRecord {
    std::uint32_t videoFrame;  // index of the last video frame written
    std::uint32_t sequence;    // from 0 within the file
    GpsFixBody body;
};

#pragma pack(pop)

static_assert(sizeof(GpsTrackRecord) == sizeof(GpsFix));
static_assert(offsetof(GpsTrackRecord, body) == kGpsFixBodyOffset);

inline GpsTrackRecord MakeGpsTrackRecord(const GpsFix& fix, std::uint32_t videoFrame, std::uint32_t sequence)
{
    return GpsTrackRecord{videoFrame, sequence, fix.body};
}

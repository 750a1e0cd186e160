// The GPS track of one recording or of a whole trip: recordings (AVI files
// with "IGPS") and GPS logs, ordered by their open time, turned into track
// segments of valid fixes, event waypoints and, for subtitles, one sample
// per GPS record on the trip's video timeline.
//
// A segment ends where the fix is lost or where the next position is more
// than kJoinSeconds away in time (files that do not join). The track's
// times strictly increase: a fix no later than the one before it (a silent
// receiver repeats its last fix) is left out, and a subtitle sample shows
// it as no fix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/host_file.h"

namespace kinfo {

constexpr std::int64_t kJoinSeconds = 5;

struct TrackPoint {
    bool valid = false;    // fix valid: position and time below are meaningful
    std::int64_t utc = 0;  // seconds since 1970-01-01 UTC
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double speedKmh = -1;  // -1 when not known
    double courseDeg = -1;
    double videoTime = -1;  // seconds into the trip's video; -1 for GPS logs
};

struct Waypoint {
    std::int64_t utc = 0;
    double latitude = 0;
    double longitude = 0;
    std::string kind;  // "shock" or "manual"
    std::string name;
};

struct Trip {
    std::vector<std::vector<TrackPoint>> segments;
    std::vector<Waypoint> waypoints;
    std::vector<TrackPoint> samples;  // every record of the recordings, valid or not
    std::vector<std::string> notes;   // what was left out, and why
    std::vector<FileIdentity> inputs;  // every file opened
};

// Reads the files (folders: their ".avi" and ".gps" files). 1 with the trip;
// 0 with a message when a file cannot be read or is neither kind, or when
// nothing but skipped files was found. An empty file (0 bytes, as a power
// loss leaves) is skipped with a note; a file without GPS records gets one.
int LoadTrip(const std::vector<std::string>& paths, Trip* trip, std::string* error);

// "2009-03-03T07:59:01Z"
std::string IsoUtc(std::int64_t utc);

}  // namespace kinfo

// The export formats of a trip's track: GPX 1.1 (one track, a segment per
// run of valid fixes, events as waypoints), KML, CSV (one row per valid fix)
// and SRT subtitles (time, speed and position once a second on the video's
// timeline). Times are UTC.
#pragma once

#include <ostream>

#include "tools/trip_track.h"

namespace kinfo {

void WriteGpx(const Trip& trip, std::ostream& out);
void WriteKml(const Trip& trip, std::ostream& out);
void WriteCsv(const Trip& trip, std::ostream& out);
void WriteSrt(const Trip& trip, std::ostream& out);

}  // namespace kinfo

// The satellite systems of NMEA talkers, for joining the GSA and GSV series
// that a receiver of several systems sends each second.
#pragma once

#include <cstdint>

namespace nmea {

enum SatelliteSystem : uint8_t {
    kSystemUnknown,  // "GN" (combined) or a talker that names no single system
    kSystemGps,
    kSystemGlonass,
    kSystemGalileo,
    kSystemBeiDou,
    kSystemQzss,
    kSystemNavic,
    kSystemOther,
};

// The system of a sentence's talker ("GP" GPS, "GL" GLONASS, "GA" Galileo,
// "GB"/"BD" BeiDou, "GQ" QZSS, "GI" NavIC; "GN" unknown).
uint8_t TalkerSystem(const char* address);

}  // namespace nmea

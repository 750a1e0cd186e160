// The sentences a simulated GPS receiver sends each second: GGA, GSA, GSV,
// RMC and VTG (NMEA 0183, talker "GP", checksummed, CR LF ended), for a fix
// or, when the sky is out of sight (a tunnel), for no fix at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct SkySatellite {
    int prn = 0;
    int elevation = 0;  // degrees
    int azimuth = 0;    // degrees
    int snr = 0;        // dB-Hz
};

struct ReceiverReport {
    int hour = 0, minute = 0, second = 0;  // UTC
    int day = 1, month = 1, year = 2000;
    bool fix = true;   // false: no position, nothing in view
    double latitude = 0;   // decimal degrees, south negative
    double longitude = 0;  // decimal degrees, west negative
    double altitude = 0;   // metres above mean sea level
    double speedKnots = 0;
    double courseDeg = 0;  // true course
    // Satellites in view; the first `used` take part in the fix (3: 2D, 4 or more: 3D).
    std::vector<SkySatellite> inView;
    int used = 0;
};

// "$" body "*" checksum CR LF.
std::string NmeaSentence(std::string_view body);

// One second of the receiver: GGA, GSA, the GSV messages, RMC, VTG.
std::string ReportSentences(const ReceiverReport& report);

// The receiver's sky with `used` satellites in the fix (0 to 12) and three
// more in view, up to twelve.
std::vector<SkySatellite> SkyWithSatellites(int used);

}  // namespace sim

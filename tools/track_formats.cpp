#include "tools/track_formats.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace kinfo {
namespace {

std::string Fixed(double value, int decimals)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Coordinate(double value) { return Fixed(value, 7); }

// "00:01:02,345"
std::string SrtTime(double seconds)
{
    const long long ms = std::llround(seconds * 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

std::string Hemisphere(double value, char positive, char negative)
{
    return Fixed(std::fabs(value), 6) + " " + (value < 0 ? negative : positive);
}

}  // namespace

void WriteGpx(const Trip& trip, std::ostream& out)
{
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"kestrava-info\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (const Waypoint& w : trip.waypoints) {
        out << "  <wpt lat=\"" << Coordinate(w.latitude) << "\" lon=\"" << Coordinate(w.longitude) << "\">\n"
            << "    <time>" << IsoUtc(w.utc) << "</time>\n"
            << "    <name>" << w.name << "</name>\n"
            << "    <type>" << w.kind << "</type>\n"
            << "  </wpt>\n";
    }
    out << "  <trk>\n    <name>kestrava trip</name>\n";
    for (const auto& segment : trip.segments) {
        out << "    <trkseg>\n";
        for (const TrackPoint& p : segment) {
            out << "      <trkpt lat=\"" << Coordinate(p.latitude) << "\" lon=\"" << Coordinate(p.longitude) << "\">"
                << "<ele>" << Fixed(p.altitude, 1) << "</ele><time>" << IsoUtc(p.utc) << "</time></trkpt>\n";
        }
        out << "    </trkseg>\n";
    }
    out << "  </trk>\n</gpx>\n";
}

void WriteKml(const Trip& trip, std::ostream& out)
{
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n  <name>kestrava trip</name>\n";
    out << "  <Placemark>\n    <name>track</name>\n    <MultiGeometry>\n";
    for (const auto& segment : trip.segments) {
        out << "      <LineString><coordinates>\n";
        for (const TrackPoint& p : segment) {
            out << "        " << Coordinate(p.longitude) << "," << Coordinate(p.latitude) << "," << Fixed(p.altitude, 1)
                << "\n";
        }
        out << "      </coordinates></LineString>\n";
    }
    out << "    </MultiGeometry>\n  </Placemark>\n";
    for (const Waypoint& w : trip.waypoints) {
        out << "  <Placemark>\n    <name>" << w.name << "</name>\n    <TimeStamp><when>" << IsoUtc(w.utc)
            << "</when></TimeStamp>\n    <Point><coordinates>" << Coordinate(w.longitude) << ","
            << Coordinate(w.latitude) << "</coordinates></Point>\n  </Placemark>\n";
    }
    out << "</Document>\n</kml>\n";
}

void WriteCsv(const Trip& trip, std::ostream& out)
{
    out << "time_utc,latitude,longitude,altitude,speed_kmh,course_deg,segment\n";
    for (std::size_t s = 0; s < trip.segments.size(); ++s) {
        for (const TrackPoint& p : trip.segments[s]) {
            out << IsoUtc(p.utc) << "," << Coordinate(p.latitude) << "," << Coordinate(p.longitude) << ","
                << Fixed(p.altitude, 1) << "," << (p.speedKmh >= 0 ? Fixed(p.speedKmh, 1) : "") << ","
                << (p.courseDeg >= 0 ? Fixed(p.courseDeg, 1) : "") << "," << s + 1 << "\n";
        }
    }
}

// One cue per second of video: a record less than a second after the last
// cue's start is skipped, and a cue shows for at most one second.
void WriteSrt(const Trip& trip, std::ostream& out)
{
    std::vector<const TrackPoint*> cues;
    for (const TrackPoint& p : trip.samples) {
        if (cues.empty() || p.videoTime >= cues.back()->videoTime + 1.0) cues.push_back(&p);
    }
    for (std::size_t i = 0; i < cues.size(); ++i) {
        const TrackPoint& p = *cues[i];
        const double next = i + 1 < cues.size() ? cues[i + 1]->videoTime : p.videoTime + 1.0;
        const double end = next < p.videoTime + 1.0 ? next : p.videoTime + 1.0;
        out << i + 1 << "\n" << SrtTime(p.videoTime) << " --> " << SrtTime(end) << "\n";
        if (p.valid) {
            std::string time = IsoUtc(p.utc);
            time[10] = ' ';
            time.pop_back();
            out << time << " UTC\n"
                << (p.speedKmh >= 0 ? Fixed(p.speedKmh, 0) + " km/h  " : "") << Hemisphere(p.latitude, 'N', 'S')
                << "  " << Hemisphere(p.longitude, 'E', 'W') << "\n\n";
        } else {
            out << "no GPS fix\n\n";
        }
    }
}

}  // namespace kinfo

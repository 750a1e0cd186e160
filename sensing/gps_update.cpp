#include "sensing/gps_update.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "sensing/gps_log.h"
#include "sensing/nmea_parser.h"

namespace {

constexpr float kKnotsToKmh = 1.852f;
// Kilometres per degree of latitude and of longitude, as the trip distance
// has always been reckoned.
constexpr double kKmPerDegreeLatitude = 92.0;
constexpr double kKmPerDegreeLongitude = 114.0;
constexpr float kNoSpeed = -1.0f;

// What the record needs of the parser, copied out under the parser lock.
struct ParserValues {
    NmeaGga gga;
    NmeaGsa gsa;
    NmeaGsv gsv;
    NmeaRmc rmc;
    NmeaVtg vtg;
};

ParserValues CopyParser(GpsState* gps)
{
    os::EnterCriticalSection(&gps->parserLock);
    const CNMEAParser& p = *gps->parser;
    ParserValues values{p.Gga(), p.Gsa(), p.Gsv(), p.Rmc(), p.Vtg()};
    os::LeaveCriticalSection(&gps->parserLock);
    return values;
}

// The table in view holds every system of the second; the used list keeps
// the first 12 used satellites of it, whichever system they belong to.
void FillSatellites(const NmeaGsv& gsv, GpsFixBody* b)
{
    const int walked = std::min<int>(std::size(gsv.slot), gsv.inView);
    uint32_t used = 0;
    for (int i = 0; i < walked && used < kGpsSatelliteSlots; ++i) {
        if (gsv.slot[i].used) b->usedPrn[used++] = gsv.slot[i].prn;
    }
    b->usedCount = used;
    b->satellitesInView = gsv.inView;
    for (int i = 0; i < kGpsSatelliteSlots; ++i) {
        b->slotPrn[i] = gsv.slot[i].prn;
        b->slotSnr[i] = gsv.slot[i].snr;
        b->slotAzimuth[i] = gsv.slot[i].azimuth;
        b->slotElevation[i] = gsv.slot[i].elevation;
    }
}

void FillFix(const ParserValues& p, GpsFix* fix)
{
    fix->mark = kGpsFixLiveMark;
    fix->index = kGpsFixLiveMark;
    GpsFixBody& b = fix->body;
    b.timePosition = GpsTimePosition{p.gga.hour,
                                     p.gga.minute,
                                     p.gga.second,
                                     static_cast<float>(p.gga.longitude),
                                     static_cast<float>(p.gga.latitude),
                                     static_cast<float>(p.gga.altitude),
                                     p.gga.fixQuality};
    b.gsaFixType = p.gsa.fixType;
    b.vdop = static_cast<float>(p.gsa.vdop);
    b.hdop = static_cast<float>(p.gsa.hdop);
    b.pdop = static_cast<float>(p.gsa.pdop);
    FillSatellites(p.gsv, &b);
    b.rmcStatus = static_cast<uint8_t>(p.rmc.status);
    if (b.rmcStatus != 0) {
        b.year = p.rmc.year;
        b.month = p.rmc.month;
        b.day = p.rmc.day;
        b.speedKnots = static_cast<float>(p.rmc.speedKnots);
        b.courseDeg = static_cast<float>(p.rmc.course);
    }
    b.vtgSeen = p.vtg.vtgSeen;
    if (b.vtgSeen) {
        b.vtgTrueCourse = static_cast<float>(p.vtg.trueCourse);
        b.vtgTrueReference = static_cast<uint8_t>(p.vtg.trueReference);
        b.vtgMagneticCourse = static_cast<float>(p.vtg.magneticCourse);
        b.vtgMagneticReference = static_cast<uint8_t>(p.vtg.magneticReference);
    }
    b.signalLevel = GradeSignalLevel(b.gsaFixType, b.pdop, b.usedCount);
}

// Levels 2 and 3 keep what was shown: a weak fix's speed is not trusted.
void UpdateDisplayedSpeed(GpsState* gps, float rmcSpeedKnots)
{
    const uint8_t level = gps->fix.body.signalLevel;
    if (level == 1) {
        gps->displayedSpeedKmh = 0;
    } else if (level > 3) {
        gps->displayedSpeedKmh = rmcSpeedKnots < 0 ? 0 : rmcSpeedKnots * kKnotsToKmh;
    }
}

void CountDistance(GpsState* gps, float rmcSpeedKnots)
{
    if (gps->fix.body.signalLevel <= 3 || rmcSpeedKnots == kNoSpeed) return;
    const float latitude = gps->fix.body.timePosition.latitude;
    const float longitude = gps->fix.body.timePosition.longitude;
    if (gps->previousLatitude == 0 || gps->previousLongitude == 0) {
        gps->previousLatitude = latitude;
        gps->previousLongitude = longitude;
    }
    const double dLatitude = static_cast<double>(latitude - gps->previousLatitude) * kKmPerDegreeLatitude;
    const double dLongitude = static_cast<double>(longitude - gps->previousLongitude) * kKmPerDegreeLongitude;
    gps->logDistanceKm += static_cast<float>(std::sqrt(dLatitude * dLatitude + dLongitude * dLongitude));
    gps->previousLatitude = latitude;
    gps->previousLongitude = longitude;
}

}  // namespace

uint8_t GradeSignalLevel(uint8_t fixType, float pdop, uint32_t usedCount)
{
    if (fixType < 2 || pdop == 0) return 1;
    if (usedCount < 3) return pdop <= 22 ? 2 : 1;
    if (usedCount == 3) return pdop <= 22 ? 3 : 1;
    if (pdop <= 11 && usedCount == 4) return 4;
    if (usedCount == 4) return pdop <= 22 ? 3 : 1;
    if (pdop <= 3) return 6;
    if (pdop <= 6) return 5;
    if (pdop <= 11) return 4;
    return pdop <= 22 ? 3 : 1;
}

void GpsUpdate(GpsState* gps)
{
    if (gps->parser == nullptr) return;
    const ParserValues values = CopyParser(gps);
    const float rmcSpeedKnots = static_cast<float>(values.rmc.speedKnots);
    os::EnterCriticalSection(&gps->lock);
    FillFix(values, &gps->fix);
    UpdateDisplayedSpeed(gps, rmcSpeedKnots);
    if (gps->logging) CountDistance(gps, rmcSpeedKnots);
    if (gps->logFile != nullptr) GpsLogAppendFix(gps);
    os::LeaveCriticalSection(&gps->lock);
}

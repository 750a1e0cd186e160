// The GPS record: one fixed 316-byte image of the receiver's state, held live
// by the application, written to GPS logs and copied into every recording.
//
// The layout is the file format: little-endian, packed, multi-byte fields
// unaligned. Floats are the parser's doubles narrowed to single precision;
// satellite values are the parser's 16-bit values widened with zero.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "records are stored as laid out in memory");

constexpr std::uint32_t kGpsFixLiveMark = 0xFFFFFFFFu;
constexpr std::uint32_t kGpsFixLogMark = 0xFFFFFFFEu;
constexpr int kGpsSatelliteSlots = 12;

#pragma pack(push, 1)

// UTC time of day and position of a GGA sentence: the 16 bytes that a
// recording's summary keeps of its first and last GPS record.
struct GpsTimePosition {
    std::uint8_t utcHour;
    std::uint8_t utcMinute;
    std::uint8_t utcSecond;
    float longitude;  // decimal degrees, west negative
    float latitude;   // decimal degrees, south negative
    float altitude;   // as received
    std::uint8_t fixQuality;  // GGA fix quality; 0 is no fix
};

// Bytes 8 to 315 of the record: everything but its two leading words, which
// a GPS log and a recording number differently.
struct GpsFixBody {
    std::uint8_t rmcStatus;  // 'A' valid, 'V' void
    std::uint16_t year;
    std::uint8_t month;
    std::uint8_t day;
    float speedKnots;  // -1 when the field was empty
    float courseDeg;   // -1 when the field was empty
    std::uint8_t zero1[3];
    GpsTimePosition timePosition;
    std::uint8_t vtgSeen;
    std::uint8_t vtgTrueReference;
    float vtgTrueCourse;
    std::uint8_t vtgMagneticReference;
    float vtgMagneticCourse;
    std::uint8_t zero2;
    std::uint8_t gsaFixType;  // 1 no fix, 2 2D, 3 3D
    float vdop;
    float hdop;
    float pdop;
    std::uint32_t usedCount;
    std::uint32_t usedPrn[kGpsSatelliteSlots];  // entries at usedCount and beyond are stale
    std::uint8_t signalLevel;                    // 1 to 6
    std::uint8_t zero3[2];
    std::uint32_t satellitesInView;
    std::uint32_t slotPrn[kGpsSatelliteSlots];
    std::uint32_t slotSnr[kGpsSatelliteSlots];
    std::uint32_t slotAzimuth[kGpsSatelliteSlots];
    std::uint32_t slotElevation[kGpsSatelliteSlots];
};

struct GpsFix {
    std::uint32_t mark;   // kGpsFixLiveMark, or kGpsFixLogMark in a GPS log
    std::uint32_t index;  // 0xFFFFFFFF live; the record's index in a GPS log
    GpsFixBody body;
};

#pragma pack(pop)

constexpr std::size_t kGpsFixBodyOffset = offsetof(GpsFix, body);

static_assert(sizeof(GpsTimePosition) == 16);
static_assert(sizeof(GpsFix) == 316);
static_assert(kGpsFixBodyOffset == 8);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, year) == 9);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, speedKnots) == 13);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, timePosition) == 24);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, timePosition) + offsetof(GpsTimePosition, longitude) == 27);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, timePosition) + offsetof(GpsTimePosition, fixQuality) == 39);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, vtgTrueCourse) == 42);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, vtgMagneticCourse) == 47);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, gsaFixType) == 52);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, usedCount) == 65);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, usedPrn) == 69);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, signalLevel) == 117);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, satellitesInView) == 120);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, slotPrn) == 124);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, slotSnr) == 172);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, slotAzimuth) == 220);
static_assert(kGpsFixBodyOffset + offsetof(GpsFixBody, slotElevation) == 268);

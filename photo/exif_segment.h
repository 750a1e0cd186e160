// The EXIF APP1 segment a finished photo carries: 393 bytes from its FF E1
// marker on (the length field says 391), a little-endian TIFF body with IFD0
// (Make, Model, DateTime, the GPS IFD pointer) and a GPS IFD of seven
// entries. Every offset and count is fixed, so readers that compare photos
// byte for byte see the same layout in every file: the GPS version is one
// byte (2), the altitude reference one ASCII character, the date 21 bytes.
//
// Coordinates become degrees, minutes and hundredths of seconds, each
// truncated toward zero; the altitude becomes hundredths of a unit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/types.h"

constexpr std::size_t kExifSegmentSize = 393;
constexpr std::size_t kExifTextSize = 64;  // Make and Model fields, terminator included
constexpr std::size_t kGpsIfdSize = 172;   // from the GPS IFD's entry count to the end of the segment

struct ExifRational {
    uint32_t numerator = 0;
    uint32_t denominator = 1;
    bool operator==(const ExifRational&) const = default;
};

// Degrees/1, minutes/1, seconds*100/100 of |value| in decimal degrees.
struct ExifDms {
    ExifRational degrees, minutes, seconds;
    bool operator==(const ExifDms&) const = default;
};

ExifDms ExifDegrees(double value);
ExifRational ExifAltitude(double altitude);

// The maker and model texts: at most 63 bytes each, zero-terminated.
struct ExifIdentity {
    char make[kExifTextSize] = "Samsung";
    char model[kExifTextSize] = "M480";
};

// Replaces make and model with what the platform reports for the manufacturer
// and the OEM information; a text the platform cannot give (or that does not
// fit 63 bytes) leaves the stored one.
void RefreshExifIdentity(ExifIdentity* identity);

// A bounded byte writer whose 16- and 32-bit values follow its byte order.
// A write that would pass the end sets overflow and writes nothing.
struct ExifWriter {
    uint8_t* data = nullptr;
    std::size_t capacity = 0;
    std::size_t at = 0;
    bool littleEndian = false;  // the segment's markers are big-endian, its TIFF body little-endian
    bool overflow = false;
};

void ExifPut8(ExifWriter* w, uint8_t value);
void ExifPut16(ExifWriter* w, uint16_t value);
void ExifPut32(ExifWriter* w, uint32_t value);
void ExifPutBytes(ExifWriter* w, const void* bytes, std::size_t count);

// Writes the GPS IFD at the writer's position (which must be TIFF offset 211)
// or, with w null, only reports its size. Returns the size, kGpsIfdSize.
std::size_t WriteGpsIfd(ExifWriter* w, double latitude, double longitude, double altitude);

// Builds the whole segment into out. Positions must be finite numbers;
// 0 (out untouched) otherwise.
int BuildExifSegment(const ExifIdentity& identity, const os::SYSTEMTIME& time, double latitude, double longitude,
                     double altitude, uint8_t out[kExifSegmentSize]);

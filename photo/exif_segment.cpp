#include "photo/exif_segment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/devices/device.h"

namespace {

constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;

// TIFF offsets (from the "II"), fixed by the layout.
constexpr uint32_t kMakeOffset = 62;
constexpr uint32_t kModelOffset = 126;
constexpr uint32_t kDateOffset = 190;
constexpr uint32_t kDateCount = 21;
constexpr uint32_t kGpsIfdOffset = 211;
constexpr uint32_t kLatitudeOffset = 303;
constexpr uint32_t kLongitudeOffset = 327;
constexpr uint32_t kAltitudeOffset = 351;
constexpr std::size_t kTiffStart = 10;  // FF E1, the length, "Exif" and two zeros

// Truncation toward zero into 32 bits; values beyond the range saturate
// instead of being undefined.
uint32_t TruncateU32(double value)
{
    if (!(value > 0)) return 0;
    if (value >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(value);
}

void PutEntry(ExifWriter* w, uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    ExifPut16(w, tag);
    ExifPut16(w, type);
    ExifPut32(w, count);
    ExifPut32(w, value);
}

// An entry whose value is up to four bytes kept in the entry itself.
void PutInlineEntry(ExifWriter* w, uint16_t tag, uint16_t type, uint32_t count, const char (&value)[4])
{
    ExifPut16(w, tag);
    ExifPut16(w, type);
    ExifPut32(w, count);
    ExifPutBytes(w, value, 4);
}

void PutRational(ExifWriter* w, ExifRational r)
{
    ExifPut32(w, r.numerator);
    ExifPut32(w, r.denominator);
}

void PutDms(ExifWriter* w, const ExifDms& dms)
{
    PutRational(w, dms.degrees);
    PutRational(w, dms.minutes);
    PutRational(w, dms.seconds);
}

void PutZeros(ExifWriter* w, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) ExifPut8(w, 0);
}

void PutText(ExifWriter* w, const char* text, std::size_t field)
{
    const std::size_t length = strnlen(text, field - 1);
    ExifPutBytes(w, text, length);
    PutZeros(w, field - length);
}

}  // namespace

ExifDms ExifDegrees(double value)
{
    const double v = std::fabs(value);
    ExifDms dms;
    const double degrees = std::trunc(v);
    const double m = (v - degrees) * 0.6 * 100;
    const double minutes = std::trunc(m);
    dms.degrees = {TruncateU32(degrees), 1};
    dms.minutes = {TruncateU32(minutes), 1};
    dms.seconds = {TruncateU32((m - minutes) * 0.6 * 10000), 100};
    return dms;
}

ExifRational ExifAltitude(double altitude)
{
    return {TruncateU32(std::fabs(altitude) * 100), 100};
}

void RefreshExifIdentity(ExifIdentity* identity)
{
    std::string text;
    const auto take = [&text](os::UINT action, char* field) {
        if (!os::SystemParametersInfoW(action, kExifTextSize, &text, 0)) return;
        const std::size_t length = std::min(text.size(), kExifTextSize - 1);
        std::memset(field, 0, kExifTextSize);
        std::memcpy(field, text.data(), length);
    };
    take(os::SPI_GETPLATFORMMANUFACTURER, identity->make);
    take(os::SPI_GETOEMINFO, identity->model);
}

void ExifPut8(ExifWriter* w, uint8_t value)
{
    ExifPutBytes(w, &value, 1);
}

void ExifPut16(ExifWriter* w, uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    const uint8_t swapped[2] = {bytes[1], bytes[0]};
    ExifPutBytes(w, w->littleEndian ? bytes : swapped, 2);
}

void ExifPut32(ExifWriter* w, uint32_t value)
{
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = w->littleEndian ? 8 * i : 8 * (3 - i);
        bytes[i] = static_cast<uint8_t>(value >> shift);
    }
    ExifPutBytes(w, bytes, 4);
}

void ExifPutBytes(ExifWriter* w, const void* bytes, std::size_t count)
{
    if (w->overflow || count > w->capacity - w->at) {
        w->overflow = true;
        return;
    }
    std::memcpy(w->data + w->at, bytes, count);
    w->at += count;
}

std::size_t WriteGpsIfd(ExifWriter* w, double latitude, double longitude, double altitude)
{
    if (w == nullptr) return kGpsIfdSize;
    ExifPut16(w, 7);
    PutInlineEntry(w, 0, kTypeByte, 1, {2, 0, 0, 0});
    PutInlineEntry(w, 1, kTypeAscii, 2, {latitude < 0 ? 'S' : 'N', 0, 0, 0});
    PutEntry(w, 2, kTypeRational, 3, kLatitudeOffset);
    PutInlineEntry(w, 3, kTypeAscii, 2, {longitude < 0 ? 'W' : 'E', 0, 0, 0});
    PutEntry(w, 4, kTypeRational, 3, kLongitudeOffset);
    PutInlineEntry(w, 5, kTypeAscii, 1, {altitude < 0 ? '1' : '0', 0, 0, 0});
    PutEntry(w, 6, kTypeRational, 1, kAltitudeOffset);
    ExifPut32(w, 0);
    PutZeros(w, 2);
    PutDms(w, ExifDegrees(latitude));
    PutDms(w, ExifDegrees(longitude));
    PutRational(w, ExifAltitude(altitude));
    PutZeros(w, 24);
    return kGpsIfdSize;
}

int BuildExifSegment(const ExifIdentity& identity, const os::SYSTEMTIME& time, double latitude, double longitude,
                     double altitude, uint8_t out[kExifSegmentSize])
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || !std::isfinite(altitude)) return 0;
    uint8_t buffer[512] = {};
    ExifWriter w{buffer, sizeof buffer, 0, false, false};
    ExifPut16(&w, 0xFFE1);
    ExifPut16(&w, 0);  // the length, once the size is known
    ExifPutBytes(&w, "Exif\0\0", 6);
    ExifPutBytes(&w, "II", 2);
    w.littleEndian = true;
    ExifPut16(&w, 42);
    ExifPut32(&w, 8);
    ExifPut16(&w, 4);
    PutEntry(&w, 0x010F, kTypeAscii, kExifTextSize, kMakeOffset);
    PutEntry(&w, 0x0110, kTypeAscii, kExifTextSize, kModelOffset);
    PutEntry(&w, 0x0132, kTypeAscii, kDateCount, kDateOffset);
    PutEntry(&w, 0x8825, kTypeLong, 1, kGpsIfdOffset);
    ExifPut32(&w, 0);
    PutText(&w, identity.make, kExifTextSize);
    PutText(&w, identity.model, kExifTextSize);
    char date[48];
    std::snprintf(date, sizeof date, "%04d:%02d:%02d %02d:%02d:%02d", time.wYear % 10000, time.wMonth % 100,
                  time.wDay % 100, time.wHour % 100, time.wMinute % 100, time.wSecond % 100);
    PutText(&w, date, kDateCount);
    if (w.at - kTiffStart != kGpsIfdOffset) return 0;
    WriteGpsIfd(&w, latitude, longitude, altitude);
    w.littleEndian = false;
    if (w.overflow || w.at != kExifSegmentSize) return 0;
    const std::size_t total = w.at;
    w.at = 2;
    ExifPut16(&w, static_cast<uint16_t>((total - 2) & 0xFFFF));
    std::memcpy(out, buffer, kExifSegmentSize);
    return 1;
}

// The EXIF segment's numbers and layout, read back the way a TIFF reader
// walks it: from the IFD0 entries to the GPS IFD and the values they point at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "photo/exif_segment.h"
#include "platform/devices/device.h"

namespace {

constexpr std::size_t kTiffStart = 10;

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

struct IfdEntry {
    uint32_t tag = 0, type = 0, count = 0, value = 0;
    const uint8_t* raw = nullptr;  // the four value bytes of the entry
};

// The entry with `tag` in the IFD at TIFF offset `ifd`; tag 0xFFFF when absent.
IfdEntry FindEntry(const uint8_t* segment, uint32_t ifd, uint32_t tag)
{
    const uint8_t* t = segment + kTiffStart;
    const uint32_t count = Le16(t + ifd);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = t + ifd + 2 + 12 * i;
        if (Le16(e) == tag) return {Le16(e), Le16(e + 2), Le32(e + 4), Le32(e + 8), e + 8};
    }
    return {0xFFFF, 0, 0, 0, nullptr};
}

struct DmsCase {
    double latitude, longitude, altitude;
    uint32_t lat[3], lon[3];  // degrees/1, minutes/1, seconds/100 numerators
    uint32_t altitudeHundredths;
    char latRef, lonRef, altRef;
};

TEST(ExifSegment, PositionsBecomeTruncatedRationalsInAFixedLayout)
{
    const DmsCase cases[] = {
        {37.123456, 127.5, 35.27, {37, 7, 2444}, {127, 30, 0}, 3527, 'N', 'E', '0'},
        {-33.5, -70.25, -12.5, {33, 30, 0}, {70, 15, 0}, 1250, 'S', 'W', '1'},
        {0.0, 179.999999, 0.0, {0, 0, 0}, {179, 59, 5999}, 0, 'N', 'E', '0'},
        {89.99999, -0.000001, 8848.86, {89, 59, 5996}, {0, 0, 0}, 884886, 'N', 'W', '0'},
    };
    ExifIdentity identity;
    std::strcpy(identity.make, "Maker");
    std::strcpy(identity.model, "Model X");
    os::SYSTEMTIME time;
    time.wYear = 2009;
    time.wMonth = 3;
    time.wDay = 1;
    time.wHour = 8;
    time.wMinute = 5;
    time.wSecond = 9;
    for (const DmsCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.latitude << ", " << c.longitude << ", " << c.altitude);
        uint8_t s[kExifSegmentSize];
        ASSERT_EQ(BuildExifSegment(identity, time, c.latitude, c.longitude, c.altitude, s), 1);
        EXPECT_EQ(s[0], 0xFF);
        EXPECT_EQ(s[1], 0xE1);
        EXPECT_EQ((s[2] << 8) | s[3], 391);
        EXPECT_EQ(std::memcmp(s + 4, "Exif\0\0II*\0\x08\0\0\0", 14), 0);
        const uint8_t* t = s + kTiffStart;
        EXPECT_EQ(Le16(t + 8), 4u);
        const IfdEntry make = FindEntry(s, 8, 0x010F);
        EXPECT_EQ(make.type, 2u);
        EXPECT_EQ(make.count, 64u);
        EXPECT_STREQ(reinterpret_cast<const char*>(t + make.value), "Maker");
        const IfdEntry model = FindEntry(s, 8, 0x0110);
        EXPECT_EQ(model.count, 64u);
        EXPECT_STREQ(reinterpret_cast<const char*>(t + model.value), "Model X");
        const IfdEntry date = FindEntry(s, 8, 0x0132);
        EXPECT_EQ(date.count, 21u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(t + date.value), 21),
                  std::string("2009:03:01 08:05:09\0\0", 21));
        const IfdEntry gpsPointer = FindEntry(s, 8, 0x8825);
        ASSERT_EQ(gpsPointer.type, 4u);
        const uint32_t gps = gpsPointer.value;
        ASSERT_EQ(gps, 211u);
        EXPECT_EQ(Le16(t + gps), 7u);
        EXPECT_EQ(Le32(t + 8 + 2 + 4 * 12), 0u);             // IFD0 ends the chain
        EXPECT_EQ(Le32(t + gps + 2 + 7 * 12), 0u);           // so does the GPS IFD

        const IfdEntry version = FindEntry(s, gps, 0);
        EXPECT_EQ(version.type, 1u);
        EXPECT_EQ(version.count, 1u);
        EXPECT_EQ(version.raw[0], 2);
        EXPECT_EQ(FindEntry(s, gps, 1).raw[0], c.latRef);
        EXPECT_EQ(FindEntry(s, gps, 3).raw[0], c.lonRef);
        const IfdEntry altRef = FindEntry(s, gps, 5);
        EXPECT_EQ(altRef.type, 2u);
        EXPECT_EQ(altRef.count, 1u);
        EXPECT_EQ(altRef.raw[0], c.altRef);
        for (const auto& [tag, expected] : {std::pair{2u, c.lat}, std::pair{4u, c.lon}}) {
            const IfdEntry e = FindEntry(s, gps, tag);
            EXPECT_EQ(e.type, 5u);
            ASSERT_EQ(e.count, 3u);
            ASSERT_LE(e.value + 24, kExifSegmentSize - kTiffStart);
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(Le32(t + e.value + 8 * i), expected[i]) << "tag " << tag << " part " << i;
                EXPECT_EQ(Le32(t + e.value + 8 * i + 4), i == 2 ? 100u : 1u);
            }
        }
        const IfdEntry alt = FindEntry(s, gps, 6);
        ASSERT_EQ(alt.count, 1u);
        EXPECT_EQ(Le32(t + alt.value), c.altitudeHundredths);
        EXPECT_EQ(Le32(t + alt.value + 4), 100u);
        EXPECT_EQ(WriteGpsIfd(nullptr, 0, 0, 0), kExifSegmentSize - kTiffStart - gps);
    }

    // A position that is not a number gives no segment at all.
    uint8_t s[kExifSegmentSize] = {};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(BuildExifSegment(identity, time, nan, 1, 1, s), 0);
    EXPECT_EQ(BuildExifSegment(identity, time, 1, inf, 1, s), 0);
    EXPECT_EQ(BuildExifSegment(identity, time, 1, 1, -inf, s), 0);
    EXPECT_EQ(s[0], 0);
}

TEST(ExifSegment, IdentityComesFromThePlatformWithinSixtyThreeBytes)
{
    const os::sim::DeviceProfile saved = os::sim::CurrentDeviceProfile();
    os::sim::DeviceProfile profile = saved;
    profile.manufacturer = "SAMSUNG Electronics";
    profile.oemInfo = "SGH-i900";
    ASSERT_TRUE(os::sim::ConfigureDevice(profile));
    ExifIdentity identity;
    EXPECT_STREQ(identity.make, "Samsung");
    EXPECT_STREQ(identity.model, "M480");
    RefreshExifIdentity(&identity);
    EXPECT_STREQ(identity.make, "SAMSUNG Electronics");
    EXPECT_STREQ(identity.model, "SGH-i900");

    // 63 bytes fit with the terminator; 64 do not, and the stored text stays.
    profile.manufacturer = std::string(63, 'm');
    profile.oemInfo = std::string(64, 'o');
    ASSERT_TRUE(os::sim::ConfigureDevice(profile));
    RefreshExifIdentity(&identity);
    EXPECT_EQ(std::string(identity.make), std::string(63, 'm'));
    EXPECT_STREQ(identity.model, "SGH-i900");
    uint8_t s[kExifSegmentSize];
    ASSERT_EQ(BuildExifSegment(identity, os::SYSTEMTIME{}, 1, 1, 1, s), 1);
    EXPECT_EQ(s[kTiffStart + 62 + 62], 'm');
    EXPECT_EQ(s[kTiffStart + 62 + 63], 0);
    ASSERT_TRUE(os::sim::ConfigureDevice(saved));
}

}  // namespace

// The live GpsFix as the update step builds it from the parser: the copied
// values, the list of satellites used, the signal level and the speed shown.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sensing/gps_update.h"
#include "tests/sensing/gps_fixture.h"

namespace {

struct GradeCase {
    uint8_t fixType;
    float pdop;
    uint32_t used;
    uint8_t level;
};

TEST(GpsSignalLevel, FollowsFixTypePdopAndSatellitesUsed)
{
    const std::vector<GradeCase> cases = {
        // No fix, or no dilution reported.
        {1, 2.0f, 8, 1}, {0, 2.0f, 8, 1}, {3, 0.0f, 8, 1},
        // Fewer than three satellites.
        {2, 22.0f, 0, 2}, {2, 22.0f, 2, 2}, {2, 22.5f, 2, 1},
        // Three.
        {3, 1.0f, 3, 3}, {3, 22.0f, 3, 3}, {3, 22.5f, 3, 1},
        // Four.
        {3, 11.0f, 4, 4}, {3, 11.5f, 4, 3}, {3, 22.0f, 4, 3}, {3, 23.0f, 4, 1},
        // Five or more.
        {3, 3.0f, 5, 6}, {3, 3.1f, 5, 5}, {3, 6.0f, 5, 5}, {3, 6.5f, 5, 4}, {3, 11.0f, 12, 4},
        {3, 12.0f, 12, 3}, {3, 22.0f, 7, 3}, {3, 22.1f, 7, 1},
        {3, 2.5f, 6, 6}, {3, 25.0f, 6, 1},
    };
    for (const GradeCase& c : cases) {
        EXPECT_EQ(GradeSignalLevel(c.fixType, c.pdop, c.used), c.level)
            << "fix type " << int(c.fixType) << ", PDOP " << c.pdop << ", " << c.used << " used";
    }
}

class GpsUpdateTest : public gps_test::GpsFixture {
protected:
    void SetUp() override
    {
        GpsFixture::SetUp();
        InitWithoutReceiver();
    }

    // Eight satellites in view, six of them used, PDOP as given.
    void FeedConstellation(const std::string& pdop)
    {
        FeedSentence("GPGSA,A,3,29,24,12,09,05,04,,,,,,," + pdop + ",1.3,2.1");
        FeedSentence("GPGSV,2,1,08,04,40,083,46,05,17,308,41,07,07,344,39,09,63,218,45");
        FeedSentence("GPGSV,2,2,08,12,25,115,40,24,35,160,38,29,14,047,35,31,05,260,00");
    }

    void FeedSpeed(const std::string& knots)
    {
        FeedSentence("GPRMC,123519,A,4807.038,N,01131.000,E," + knots + ",084.4,230394,003.1,W");
    }

    float ShownSpeed() { return Gps().displayedSpeedKmh; }
};

TEST_F(GpsUpdateTest, RecordTakesEverySentenceGroup)
{
    EXPECT_EQ(+Fix().mark, 0u) << "the live record stays zero until the first update";
    FeedSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    FeedConstellation("2.5");
    FeedSpeed("022.4");
    FeedSentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
    GpsUpdate(&Gps());

    const GpsFix fix = Fix();
    EXPECT_EQ(+fix.mark, 0xFFFFFFFFu);
    EXPECT_EQ(+fix.index, 0xFFFFFFFFu);
    const GpsFixBody& b = fix.body;
    const GpsTimePosition tp = b.timePosition;
    EXPECT_EQ(tp.utcHour, 12);
    EXPECT_EQ(tp.utcMinute, 35);
    EXPECT_EQ(tp.utcSecond, 19);
    EXPECT_FLOAT_EQ(+tp.latitude, 48.1173f);
    EXPECT_FLOAT_EQ(+tp.longitude, 11.516666f);
    EXPECT_FLOAT_EQ(+tp.altitude, 545.4f);
    EXPECT_EQ(tp.fixQuality, 1);
    EXPECT_EQ(b.gsaFixType, 3);
    EXPECT_FLOAT_EQ(+b.pdop, 2.5f);
    EXPECT_FLOAT_EQ(+b.hdop, 1.3f);
    EXPECT_FLOAT_EQ(+b.vdop, 2.1f);
    // Used satellites in the order of the satellites-in-view table, not of GSA.
    ASSERT_EQ(+b.usedCount, 6u);
    uint32_t usedPrn[6];
    std::memcpy(usedPrn, b.usedPrn, sizeof usedPrn);  // the record's fields are not aligned
    const std::vector<uint32_t> used(usedPrn, usedPrn + 6);
    EXPECT_EQ(used, (std::vector<uint32_t>{4, 5, 9, 12, 24, 29}));
    EXPECT_EQ(+b.satellitesInView, 8u);
    EXPECT_EQ(+b.slotPrn[0], 4u);
    EXPECT_EQ(+b.slotElevation[0], 40u);
    EXPECT_EQ(+b.slotAzimuth[0], 83u);
    EXPECT_EQ(+b.slotSnr[0], 46u);
    EXPECT_EQ(+b.slotPrn[7], 31u);
    EXPECT_EQ(+b.slotAzimuth[7], 260u);
    EXPECT_EQ(+b.slotPrn[8], 0u);
    EXPECT_EQ(b.signalLevel, 6);
    EXPECT_EQ(b.rmcStatus, 'A');
    EXPECT_EQ(+b.year, 2094);
    EXPECT_EQ(b.month, 3);
    EXPECT_EQ(b.day, 23);
    EXPECT_FLOAT_EQ(+b.speedKnots, 22.4f);
    EXPECT_FLOAT_EQ(+b.courseDeg, 84.4f);
    EXPECT_EQ(b.vtgSeen, 1);
    EXPECT_EQ(b.vtgTrueReference, 'T');
    EXPECT_FLOAT_EQ(+b.vtgTrueCourse, 54.7f);
    EXPECT_EQ(b.vtgMagneticReference, 'M');
    EXPECT_FLOAT_EQ(+b.vtgMagneticCourse, 34.4f);
    EXPECT_EQ(b.zero1[0] | b.zero1[1] | b.zero1[2] | b.zero2 | b.zero3[0] | b.zero3[1], 0);
}

TEST_F(GpsUpdateTest, SouthernAndWesternPositionsAreNegative)
{
    FeedSentence("GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,");
    GpsUpdate(&Gps());
    EXPECT_NEAR(+Fix().body.timePosition.latitude, -45.457633, 1e-5);
    EXPECT_NEAR(+Fix().body.timePosition.longitude, 167.152750, 1e-4);

    FeedSentence("GPGGA,011516,3723.247,N,12203.432,W,1,07,1.0,10.0,M,,M,,");
    GpsUpdate(&Gps());
    EXPECT_NEAR(+Fix().body.timePosition.latitude, 37.387450, 1e-5);
    EXPECT_NEAR(+Fix().body.timePosition.longitude, -122.057200, 1e-4);
}

TEST_F(GpsUpdateTest, SignalLevelFollowsThePdopOfTheFix)
{
    FeedConstellation("2.5");
    GpsUpdate(&Gps());
    EXPECT_EQ(Fix().body.signalLevel, 6);
    FeedConstellation("25.0");
    GpsUpdate(&Gps());
    EXPECT_EQ(Fix().body.signalLevel, 1);
}

TEST_F(GpsUpdateTest, UsedListEndsAtTheSatellitesInView)
{
    FeedConstellation("2.5");
    // A later cycle with two satellites in view: the slots after them keep
    // their old values, used flags included, and must not be counted.
    FeedSentence("GPGSV,1,1,02,04,40,083,46,05,17,308,41");
    GpsUpdate(&Gps());
    const GpsFixBody b = Fix().body;
    EXPECT_EQ(+b.satellitesInView, 2u);
    EXPECT_EQ(+b.usedCount, 2u);
    EXPECT_EQ(+b.slotPrn[4], 12u) << "slots beyond those in view are copied as the parser holds them";
    EXPECT_EQ(b.signalLevel, 2);
}

TEST_F(GpsUpdateTest, DisplayedSpeedTrustsOnlyAStrongFix)
{
    // Level 6: knots become km/h.
    FeedConstellation("2.5");
    FeedSpeed("022.4");
    GpsUpdate(&Gps());
    EXPECT_FLOAT_EQ(ShownSpeed(), 22.4f * 1.852f);

    // Level 3 (PDOP 15) and level 2 (one satellite used) keep what was shown.
    FeedConstellation("15.0");
    FeedSpeed("050.0");
    GpsUpdate(&Gps());
    EXPECT_EQ(Fix().body.signalLevel, 3);
    EXPECT_FLOAT_EQ(ShownSpeed(), 22.4f * 1.852f);
    FeedSentence("GPGSA,A,2,04,,,,,,,,,,,,15.0,1.3,2.1");
    FeedSentence("GPGSV,1,1,01,04,40,083,46");
    GpsUpdate(&Gps());
    EXPECT_EQ(Fix().body.signalLevel, 2);
    EXPECT_FLOAT_EQ(ShownSpeed(), 22.4f * 1.852f);

    // Level 4 (PDOP 8) takes the new speed; an empty speed field shows 0.
    FeedConstellation("8.0");
    GpsUpdate(&Gps());
    EXPECT_EQ(Fix().body.signalLevel, 4);
    EXPECT_FLOAT_EQ(ShownSpeed(), 50.0f * 1.852f);
    FeedSpeed("");
    GpsUpdate(&Gps());
    EXPECT_FLOAT_EQ(ShownSpeed(), 0.0f);

    // Level 1 shows 0 whatever the receiver says.
    FeedSpeed("030.0");
    GpsUpdate(&Gps());
    EXPECT_FLOAT_EQ(ShownSpeed(), 30.0f * 1.852f);
    FeedSentence("GPGSA,A,1,,,,,,,,,,,,,8.0,1.3,2.1");
    GpsUpdate(&Gps());
    EXPECT_EQ(Fix().body.signalLevel, 1);
    EXPECT_FLOAT_EQ(ShownSpeed(), 0.0f);
}

}  // namespace

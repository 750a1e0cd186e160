// Fields, fallbacks and derived values of the seven decoded sentence types,
// whatever their talker.
#include <gtest/gtest.h>

#include <string>

#include "sensing/nmea_parser.h"
#include "tests/sensing/nmea_test_support.h"

namespace {

using nmea_test::Feed;
using nmea_test::Sentence;

TEST(NmeaGetField, CopiesOneFieldOrReportsItMissing)
{
    char out[CNMEAParser::kFieldCapacity] = "junk";
    const char* data = "123519,4807.038,N,,E*47";
    EXPECT_EQ(CNMEAParser::GetField(data, out, 0), 1);
    EXPECT_STREQ(out, "123519");
    EXPECT_EQ(CNMEAParser::GetField(data, out, 1), 1);
    EXPECT_STREQ(out, "4807.038");
    EXPECT_EQ(CNMEAParser::GetField(data, out, 3), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(CNMEAParser::GetField(data, out, 4), 1);
    EXPECT_STREQ(out, "E");
    EXPECT_EQ(CNMEAParser::GetField(data, out, 5), 0);
    EXPECT_EQ(CNMEAParser::GetField("A,", out, 1), 0);
    EXPECT_EQ(CNMEAParser::GetField("", out, 0), 0);
    EXPECT_EQ(CNMEAParser::GetField("*12", out, 0), 0);

    const std::string longField(40, '7');
    EXPECT_EQ(CNMEAParser::GetField(longField.c_str(), out, 0), 1);
    EXPECT_EQ(std::string(out), std::string(24, '7'));
    char small[4];
    EXPECT_EQ(CNMEAParser::GetField("abcdef", small, 0, sizeof(small)), 1);
    EXPECT_STREQ(small, "abc");
}

TEST(NmeaTalkers, SevenTypesAreDecodedWhateverTheTalker)
{
    for (const char* talker : {"GP", "GN", "GL", "GA", "GB", "BD", "QZ"}) {
        CNMEAParser parser;
        const std::string t = talker;
        Feed(parser, Sentence(t + "GGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
        Feed(parser, Sentence(t + "GSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"));
        Feed(parser, Sentence(t + "GSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,"));
        Feed(parser, Sentence(t + "RMB,A,0.66,L,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5,V"));
        Feed(parser, Sentence(t + "RMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"));
        Feed(parser, Sentence(t + "ZDA,160012.71,11,03,2004,-1,00"));
        Feed(parser, Sentence(t + "VTG,054.7,T,034.4,M,005.5,N,010.2,K"));
        EXPECT_EQ(parser.Gga().ggaCount, 1u) << talker;
        EXPECT_EQ(parser.Gsa().gsaCount, 1u) << talker;
        EXPECT_EQ(parser.Gsv().gsvCount, 1u) << talker;
        EXPECT_EQ(parser.Rmb().rmbCount, 1u) << talker;
        EXPECT_EQ(parser.Rmc().rmcCount, 1u) << talker;
        EXPECT_EQ(parser.Zda().zdaCount, 1u) << talker;
        EXPECT_EQ(parser.Vtg().vtgSeen, 1) << talker;
        EXPECT_EQ(parser.Framing().sentenceCount, 7u) << talker;
    }
}

TEST(NmeaTalkers, OtherAddressesAreCountedButNotDecoded)
{
    // Proprietary ("P..."), lower case, a one-letter talker, a longer address.
    CNMEAParser parser;
    for (const char* address : {"PGRMC", "gpRMC", "GPrmc", "G1RMC", "GRMC", "GPRMCX", "GPGLL"}) {
        Feed(parser, Sentence(std::string(address) + ",225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"));
    }
    EXPECT_EQ(parser.Framing().sentenceCount, 7u);
    EXPECT_EQ(parser.Rmc().rmcCount, 0u);
    EXPECT_EQ(parser.Rmc().status, 'V');
}

TEST(NmeaGga, HemispheresAndEmptyFields)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPGGA,184353.07,1929.045,S,02410.506,W,2,12,2.6,-100.00,M,-33.9,M,,0000"));
    EXPECT_NEAR(parser.Gga().latitude, -19.484083333, 1e-9);
    EXPECT_NEAR(parser.Gga().longitude, -24.175100000, 1e-9);
    EXPECT_EQ(parser.Gga().fixQuality, 2);
    EXPECT_EQ(parser.Gga().satellitesUsed, 12);
    EXPECT_DOUBLE_EQ(parser.Gga().altitude, -100);
    // No position: the last one stays, as do the other empty fields.
    Feed(parser, Sentence("GPGGA,201716.684,,,,,0,00,,,M,0.0,M,,0000"));
    EXPECT_NEAR(parser.Gga().latitude, -19.484083333, 1e-9);
    EXPECT_DOUBLE_EQ(parser.Gga().hdop, 2.6);
    EXPECT_EQ(parser.Gga().fixQuality, 0);
    EXPECT_EQ(parser.Gga().satellitesUsed, 0);
    EXPECT_EQ(parser.Gga().hour, 20);
    EXPECT_EQ(parser.Gga().ggaCount, 2u);
    // Only the first two digits of the satellite count are read.
    Feed(parser, Sentence("GPGGA,201717,,,,,1,123,,,M,0.0,M,,0000"));
    EXPECT_EQ(parser.Gga().satellitesUsed, 12);
}

TEST(NmeaGga, VerticalSpeedInAltitudeUnitsPerMinute)
{
    CNMEAParser parser;
    const auto gga = [&](const char* time, const char* altitude) {
        Feed(parser, Sentence(std::string("GPGGA,") + time + ",4807.038,N,01131.000,E,1,08,0.9," + altitude + ",M,,M,,"));
    };
    gga("120010", "100.0");  // the first: from 0 m at second 0 of the hour
    EXPECT_DOUBLE_EQ(parser.Gga().verticalSpeed, 600);
    gga("120040", "105.0");
    EXPECT_DOUBLE_EQ(parser.Gga().verticalSpeed, 10);
    EXPECT_EQ(parser.Gga().lastGgaSeconds, 40u);
    EXPECT_DOUBLE_EQ(parser.Gga().previousAltitude, 105);
    // The same second, and a new hour: no speed, but the reference moves on.
    gga("120040", "200.0");
    EXPECT_DOUBLE_EQ(parser.Gga().verticalSpeed, 10);
    gga("130005", "90.0");
    EXPECT_DOUBLE_EQ(parser.Gga().verticalSpeed, 10);
    EXPECT_EQ(parser.Gga().lastGgaSeconds, 5u);
    gga("130035", "80.0");
    EXPECT_DOUBLE_EQ(parser.Gga().verticalSpeed, -20);
}

TEST(NmeaGsa, EmptyFieldsAndLongPrns)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"));
    EXPECT_EQ(parser.IsSatelliteUsed(24), 1);
    EXPECT_EQ(parser.IsSatelliteUsed(6), 0);
    EXPECT_EQ(parser.IsSatelliteUsed(0), 0);

    // Empty DOPs store 0 and PRNs keep their first two digits; an empty mode
    // and fix type keep the old ones.
    Feed(parser, Sentence("GPGSA,,,133,,,,,,,,,,,,,,"));
    EXPECT_EQ(parser.Gsa().usedPrn[0], 13);
    EXPECT_EQ(parser.Gsa().usedPrn[1], 0);
    EXPECT_EQ(parser.IsSatelliteUsed(24), 0);
    EXPECT_EQ(parser.Gsa().pdop, 0);
    EXPECT_EQ(parser.Gsa().hdop, 0);
    EXPECT_EQ(parser.Gsa().mode, 'A');
    EXPECT_EQ(parser.Gsa().fixType, 3);
    EXPECT_EQ(parser.Gsa().gsaCount, 2u);
}

TEST(NmeaGsv, SlotsFollowTheMessageNumber)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPGSA,A,3,22,27,,,,,,,,,,,1.0,1.0,1.0"));
    Feed(parser, Sentence("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,"));
    const NmeaGsv& gsv = parser.Gsv();
    EXPECT_EQ(gsv.inView, 11);
    EXPECT_EQ(gsv.slot[8], (NmeaSatellite{22, 42, 1, 67, 42}));
    EXPECT_EQ(gsv.slot[9], (NmeaSatellite{24, 43, 0, 311, 14}));
    EXPECT_EQ(gsv.slot[10], (NmeaSatellite{27, 0, 1, 244, 5}));
    EXPECT_EQ(gsv.slot[11], NmeaSatellite{});
    EXPECT_EQ(gsv.slot[0], NmeaSatellite{});

    // A last message with one satellite clears the three slots after it;
    // a decimal SNR keeps its integer part.
    Feed(parser, Sentence("GPGSV,3,1,11,09,57,333,29.0,07,54,227,,04,49,043,24.5,03,43,129,,1"));
    EXPECT_EQ(gsv.slot[0].snr, 29);
    EXPECT_EQ(gsv.slot[2].snr, 24);
    EXPECT_EQ(gsv.slot[1].snr, 0);
    Feed(parser, Sentence("GPGSV,3,3,09,24,03,046,"));
    EXPECT_EQ(gsv.slot[8], (NmeaSatellite{24, 0, 0, 46, 3}));
    EXPECT_EQ(gsv.slot[9], NmeaSatellite{});
    EXPECT_EQ(gsv.inView, 9);
    EXPECT_EQ(gsv.gsvCount, 3u);

    // Message 9 of 9 reaches the last slots.
    Feed(parser, Sentence("GPGSV,8,9,36,01,10,100,40,02,20,200,41,03,30,300,42,04,40,040,43"));
    EXPECT_EQ(gsv.slot[35], (NmeaSatellite{4, 43, 0, 40, 40}));
}

TEST(NmeaGsv, OutOfRangeNumbersAreIgnored)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPGSV,3,10,11,22,42,067,42"));
    Feed(parser, Sentence("GPGSV,0,1,11,22,42,067,42"));
    Feed(parser, Sentence("GPGSV,,,11,22,42,067,42"));
    EXPECT_EQ(parser.Gsv(), CNMEAParser().Gsv());
    EXPECT_EQ(parser.Framing().sentenceCount, 3u);
    // Message number 0 takes the number in view but stores no satellite.
    Feed(parser, Sentence("GPGSV,3,0,11,22,42,067,42"));
    EXPECT_EQ(parser.Gsv().inView, 11);
    EXPECT_EQ(parser.Gsv().gsvCount, 1u);
    for (const NmeaSatellite& slot : parser.Gsv().slot) EXPECT_EQ(slot, NmeaSatellite{});
}

TEST(NmeaRmb, FieldsAndFallbacks)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPRMB,A,0.66,L,003,004,4917.24,S,12309.57,W,001.3,052.5,000.5,A"));
    const NmeaRmb& rmb = parser.Rmb();
    EXPECT_EQ(rmb.status, 'A');
    EXPECT_DOUBLE_EQ(rmb.crossTrackError, 0.66);
    EXPECT_EQ(rmb.steer, 'L');
    EXPECT_STREQ(rmb.originId, "003");
    EXPECT_STREQ(rmb.destinationId, "004");
    EXPECT_NEAR(rmb.destinationLatitude, -(49 + 17.24 / 60), 1e-12);
    EXPECT_NEAR(rmb.destinationLongitude, -(123 + 9.57 / 60), 1e-12);
    EXPECT_DOUBLE_EQ(rmb.range, 1.3);
    EXPECT_DOUBLE_EQ(rmb.bearing, 52.5);
    EXPECT_DOUBLE_EQ(rmb.closingVelocity, 0.5);
    EXPECT_EQ(rmb.arrivalStatus, 'A');

    // The Garmin simulator's empty RMB.
    Feed(parser, "$GPRMB,V,,,,,,,,,,,,A,S*0E\r\n");
    EXPECT_EQ(rmb.rmbCount, 2u);
    EXPECT_EQ(rmb.status, 'V');
    EXPECT_EQ(rmb.crossTrackError, 0);
    EXPECT_EQ(rmb.steer, '?');
    EXPECT_EQ(rmb.range, 0);
    EXPECT_EQ(rmb.bearing, 0);
    EXPECT_EQ(rmb.closingVelocity, 0);
    EXPECT_STREQ(rmb.originId, "003");
    EXPECT_LT(rmb.destinationLatitude, -49);
    EXPECT_EQ(rmb.arrivalStatus, 'A');
    Feed(parser, Sentence("GPRMB,A,,,7,,,,,,,,,V"));
    EXPECT_STREQ(rmb.originId, "7");
    EXPECT_EQ(rmb.arrivalStatus, 'V');
}

TEST(NmeaRmc, WesternVariationAndFallbacks)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPRMC,081836.75,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,W"));
    const NmeaRmc& rmc = parser.Rmc();
    EXPECT_DOUBLE_EQ(rmc.magneticVariation, -11.3);
    EXPECT_DOUBLE_EQ(rmc.courseCopy, 360);

    // Cold start: every field empty.
    Feed(parser, Sentence("GPRMC,,,,,,,,,,,,N"));
    EXPECT_EQ(rmc.rmcCount, 2u);
    EXPECT_EQ(rmc.status, 'V');
    EXPECT_EQ(rmc.speedKnots, -1);
    EXPECT_EQ(rmc.course, -1);
    EXPECT_EQ(rmc.magneticVariation, 0);
    EXPECT_EQ(rmc.hour, 8);
    EXPECT_EQ(rmc.day, 13);
    EXPECT_NEAR(rmc.latitude, -37.860833333, 1e-9);
}

TEST(NmeaZda, FieldsAndFallbacks)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPZDA,160012.71,11,03,2004,01,30"));
    const NmeaZda& zda = parser.Zda();
    EXPECT_EQ(zda.hour, 16);
    EXPECT_EQ(zda.minute, 0);
    EXPECT_EQ(zda.second, 12);
    EXPECT_EQ(zda.day, 11);
    EXPECT_EQ(zda.month, 3);
    EXPECT_EQ(zda.year, 2004);
    EXPECT_EQ(zda.zoneHours, 1);
    EXPECT_EQ(zda.zoneMinutes, 30);
    // Integers are digits only: a signed zone reads as 0.
    Feed(parser, Sentence("GPZDA,010203.05,06,07,2008,-08,30"));
    EXPECT_EQ(zda.zoneHours, 0);
    EXPECT_EQ(zda.zoneMinutes, 30);
    Feed(parser, Sentence("GPZDA,,,,,,"));
    EXPECT_EQ(zda.day, 1);
    EXPECT_EQ(zda.month, 1);
    EXPECT_EQ(zda.year, 2008);
    EXPECT_EQ(zda.hour, 1);
    EXPECT_EQ(zda.zoneMinutes, 0);
    EXPECT_EQ(zda.zdaCount, 3u);
}

TEST(NmeaVtg, EmptyAndMissingFieldsKeepTheOldValues)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"));
    Feed(parser, "$GPVTG,,T,,M,0.00,N*1B\r\n");
    const NmeaVtg& vtg = parser.Vtg();
    EXPECT_DOUBLE_EQ(vtg.trueCourse, 54.7);
    EXPECT_EQ(vtg.trueReference, 'T');
    EXPECT_DOUBLE_EQ(vtg.magneticCourse, 34.4);
    EXPECT_EQ(vtg.speedKnots, 0);
    EXPECT_DOUBLE_EQ(vtg.speedKmh, 10.2);
    EXPECT_EQ(vtg.kmhUnit, 'K');
}

TEST(NmeaPosition, ValidOnlyWithACoordinatePairAndAFix)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_EQ(parser.IsPositionValid(), 0);  // GSA still says no fix
    Feed(parser, Sentence("GPGSA,A,2,04,05,,,,,,,,,,,2.5,1.3,2.1"));
    EXPECT_EQ(parser.IsPositionValid(), 1);
    Feed(parser, Sentence("GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99"));
    EXPECT_EQ(parser.IsPositionValid(), 0);
    Feed(parser, Sentence("GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1"));
    Feed(parser, Sentence("GPGGA,123520,0000.000,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_EQ(parser.IsPositionValid(), 0);  // on the equator counts as no position
}

}  // namespace

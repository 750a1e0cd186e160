// The parser's defaults and the reference examples of its behaviour.
#include <gtest/gtest.h>

#include "sensing/nmea_parser.h"
#include "tests/sensing/nmea_test_support.h"

namespace {

using nmea_test::Feed;
using nmea_test::Sentence;

constexpr const char* kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

// Every group of a parser still holds what a fresh parser holds.
void ExpectUntouched(const CNMEAParser& parser)
{
    const CNMEAParser fresh;
    EXPECT_EQ(parser.Gga(), fresh.Gga());
    EXPECT_EQ(parser.Gsa(), fresh.Gsa());
    EXPECT_EQ(parser.Gsv(), fresh.Gsv());
    EXPECT_EQ(parser.Rmb(), fresh.Rmb());
    EXPECT_EQ(parser.Rmc(), fresh.Rmc());
    EXPECT_EQ(parser.Zda(), fresh.Zda());
    EXPECT_EQ(parser.Vtg(), fresh.Vtg());
}

TEST(NmeaParser, StartsWithTheDefaultsOfEveryGroup)
{
    const CNMEAParser parser;
    EXPECT_EQ(parser.Framing().state, 0);
    EXPECT_EQ(parser.Framing().sentenceCount, 0u);
    EXPECT_EQ(parser.Gsa().mode, 'M');
    EXPECT_EQ(parser.Gsa().fixType, 1);
    EXPECT_EQ(parser.Rmb().status, 'V');
    EXPECT_EQ(parser.Rmb().steer, '?');
    EXPECT_EQ(parser.Rmc().status, 'V');
    EXPECT_EQ(parser.Rmc().speedKnots, -1);
    EXPECT_EQ(parser.Rmc().course, -1);
    EXPECT_EQ(parser.Rmc().courseCopy, -1);
    EXPECT_EQ(parser.Rmc().day, 1);
    EXPECT_EQ(parser.Rmc().month, 1);
    EXPECT_EQ(parser.Rmc().year, 2000);
    EXPECT_EQ(parser.Zda().day, 1);
    EXPECT_EQ(parser.Zda().month, 1);
    EXPECT_EQ(parser.Zda().year, 2000);
    EXPECT_EQ(parser.Gga().latitude, 0);
    EXPECT_EQ(parser.Gga().ggaCount, 0u);
    EXPECT_EQ(parser.Gsv().slot[35].prn, 0);
    EXPECT_EQ(parser.Vtg().vtgSeen, 0);
    EXPECT_EQ(parser.IsPositionValid(), 0);
}

TEST(NmeaParser, DecodesTheTextbookGga)
{
    CNMEAParser parser;
    Feed(parser, kGga);
    const NmeaGga& gga = parser.Gga();
    EXPECT_EQ(gga.hour, 12);
    EXPECT_EQ(gga.minute, 35);
    EXPECT_EQ(gga.second, 19);
    EXPECT_DOUBLE_EQ(gga.latitude, 48.1173);
    EXPECT_DOUBLE_EQ(gga.longitude, 11 + 31.0 / 60);
    EXPECT_NEAR(gga.longitude, 11.516666, 1e-6);
    EXPECT_EQ(gga.fixQuality, 1);
    EXPECT_EQ(gga.satellitesUsed, 8);
    EXPECT_DOUBLE_EQ(gga.hdop, 0.9);
    EXPECT_DOUBLE_EQ(gga.altitude, 545.4);
    EXPECT_EQ(gga.ggaCount, 1u);
    EXPECT_EQ(parser.Framing().sentenceCount, 1u);
    EXPECT_EQ(parser.Framing().state, 0);
}

TEST(NmeaParser, WrongChecksumChangesNothingAndIsNotCounted)
{
    CNMEAParser parser;
    Feed(parser, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48\r\n");
    ExpectUntouched(parser);
    EXPECT_EQ(parser.Framing().sentenceCount, 0u);

    // Nor does it overwrite what an earlier sentence gave.
    Feed(parser, kGga);
    Feed(parser, "$GPGGA,000000,1111.111,S,02222.222,W,2,03,5.0,1.0,M,46.9,M,,*47\r\n");
    EXPECT_DOUBLE_EQ(parser.Gga().latitude, 48.1173);
    EXPECT_EQ(parser.Gga().ggaCount, 1u);
    EXPECT_EQ(parser.Framing().sentenceCount, 1u);
}

TEST(NmeaParser, SentenceEndedByCarriageReturnIsDecodedWithoutChecksum)
{
    CNMEAParser parser;
    Feed(parser, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n");
    EXPECT_DOUBLE_EQ(parser.Gga().latitude, 48.1173);
    EXPECT_DOUBLE_EQ(parser.Gga().altitude, 545.4);
    EXPECT_EQ(parser.Framing().sentenceCount, 1u);
}

TEST(NmeaParser, EmptyRmcSpeedAndCourseFallBackToMinusOne)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"));
    EXPECT_DOUBLE_EQ(parser.Rmc().speedKnots, 0.5);
    EXPECT_DOUBLE_EQ(parser.Rmc().course, 54.7);
    Feed(parser, Sentence("GPRMC,225447,A,4916.45,N,12311.12,W,,,191194,020.3,E"));
    EXPECT_EQ(parser.Rmc().speedKnots, -1);
    EXPECT_EQ(parser.Rmc().course, -1);
    EXPECT_EQ(parser.Rmc().courseCopy, -1);
    EXPECT_EQ(parser.Rmc().second, 47);
}

TEST(NmeaParser, GsaPdopFollowsFromHdopAndVdopWhenEmpty)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,,3,4"));
    EXPECT_DOUBLE_EQ(parser.Gsa().pdop, 5);
    EXPECT_DOUBLE_EQ(parser.Gsa().hdop, 3);
    EXPECT_DOUBLE_EQ(parser.Gsa().vdop, 4);
    // A PDOP that is sent is kept as sent.
    Feed(parser, Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,3,4"));
    EXPECT_DOUBLE_EQ(parser.Gsa().pdop, 2.5);
}

TEST(NmeaParser, GsvOfNineMessagesIsIgnored)
{
    CNMEAParser parser;
    Feed(parser, Sentence("GPGSV,9,1,36,01,10,100,40,02,20,200,41,03,30,300,42,04,40,040,43"));
    ExpectUntouched(parser);
    EXPECT_EQ(parser.Framing().sentenceCount, 1u);
    // The same with 8 messages fills the slots.
    Feed(parser, Sentence("GPGSV,8,1,36,01,10,100,40,02,20,200,41,03,30,300,42,04,40,040,43"));
    EXPECT_EQ(parser.Gsv().inView, 36);
    EXPECT_EQ(parser.Gsv().slot[3].prn, 4);
    EXPECT_EQ(parser.Gsv().gsvCount, 1u);
}

}  // namespace

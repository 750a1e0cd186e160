// Framing: the checksum rule, the address and body limits, and input that is
// not NMEA at all.
#include <gtest/gtest.h>

#include <string>

#include "sensing/nmea_parser.h"
#include "tests/sensing/nmea_test_support.h"

namespace {

using nmea_test::ChecksumOf;
using nmea_test::Feed;
using nmea_test::Sentence;

uint32_t CountAfter(const std::string& bytes)
{
    CNMEAParser parser;
    Feed(parser, bytes);
    return parser.Framing().sentenceCount;
}

TEST(NmeaFraming, ChecksumDigitsAreUpperCaseHex)
{
    // XOR of "GPTXT,I" is 0x2A.
    ASSERT_EQ(ChecksumOf("GPTXT,I"), "2A");
    EXPECT_EQ(CountAfter("$GPTXT,I*2A\r\n"), 1u);
    EXPECT_EQ(CountAfter("$GPTXT,I*2a\r\n"), 0u);
    EXPECT_EQ(CountAfter("$GPTXT,I*2B\r\n"), 0u);
    // A letter counts as character - 55, so "0a" reads as 0x2A: the rule is
    // applied as it stands, not as a case-insensitive hex reading.
    EXPECT_EQ(CountAfter("$GPTXT,I*0a\r\n"), 1u);
    EXPECT_EQ(CountAfter("$GPXTE,A,A,0.67,L,N*6F\r\n"), 1u);
    EXPECT_EQ(CountAfter("$GPXTE,A,A,0.67,L,N*6f\r\n"), 0u);
    EXPECT_EQ(CountAfter("$GPXTE,A,A,0.67,L,N*6g\r\n"), 0u);
}

TEST(NmeaFraming, ChecksumCoversAddressAndBodyOnly)
{
    // A line ending after the digits does not matter; a third digit is
    // outside the sentence and ignored.
    EXPECT_EQ(CountAfter("$GPRMC,,V,,,,,,,,,,N*53"), 1u);
    EXPECT_EQ(CountAfter("$GPRMC,,V,,,,,,,,,,N*532\r\n"), 1u);
    // A checksum cut short by the line end fails.
    EXPECT_EQ(CountAfter("$GPRMC,,V,,,,,,,,,,N*5\r\n"), 0u);
    // Without the first comma's XOR the checksum would be 0x7F.
    EXPECT_EQ(CountAfter("$GPRMC,,V,,,,,,,,,,N*7F\r\n"), 0u);
}

TEST(NmeaFraming, AddressOfEightCharactersIsDropped)
{
    EXPECT_EQ(CountAfter(Sentence("GPGGAXY,1")), 1u);
    EXPECT_EQ(CountAfter(Sentence("GPGGAXYZ,1")), 0u);
    EXPECT_EQ(CountAfter(Sentence("GPGGAXYZ") + Sentence("GPZDA,010203,06,07,2008,00,00")), 1u);
    // Framing waits for the next "$": the rest of the dropped line is not read.
    CNMEAParser parser;
    Feed(parser, "$GPGGAXYZ,123519,4807.038,N\r\n" + Sentence("GPZDA,010203,06,07,2008,00,00"));
    EXPECT_EQ(parser.Zda().year, 2008);
    EXPECT_EQ(parser.Framing().sentenceCount, 1u);
}

TEST(NmeaFraming, BodyOf256CharactersIsDropped)
{
    const std::string longest = "GPTXT," + std::string(255, 'x');
    const std::string overlong = "GPTXT," + std::string(256, 'x');
    EXPECT_EQ(CountAfter(Sentence(longest)), 1u);
    EXPECT_EQ(CountAfter(Sentence(overlong)), 0u);
    EXPECT_EQ(CountAfter("$" + overlong + "\r\n"), 0u);

    // Framing starts again at the first "$" after the limit.
    CNMEAParser parser;
    Feed(parser, "$" + overlong + Sentence("GPZDA,010203,06,07,2008,00,00"));
    EXPECT_EQ(parser.Zda().year, 2008);
    EXPECT_EQ(parser.Framing().sentenceCount, 1u);
}

TEST(NmeaFraming, GarbageAndBinaryBetweenSentencesIsSkipped)
{
    std::string noise;
    for (int i = 0; i < 512; ++i) {
        const char byte = static_cast<char>((i * 37) & 0xFF);
        if (byte != '$') noise += byte;
    }
    CNMEAParser parser;
    Feed(parser, noise + Sentence("GPZDA,010203,06,07,2008,00,00") + noise + std::string(3, '\0') +
                     Sentence("GPRMC,081836,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E") + noise);
    EXPECT_EQ(parser.Framing().sentenceCount, 2u);
    EXPECT_EQ(parser.Zda().zdaCount, 1u);
    EXPECT_NEAR(parser.Rmc().latitude, -37.860833333, 1e-9);
}

TEST(NmeaFraming, SentencesSplitAcrossBuffersGiveTheSameResult)
{
    const std::string stream = Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
                               "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1\r\n" + Sentence("GPZDA,160012.71,11,03,2004,-1,00");
    CNMEAParser whole;
    Feed(whole, stream);
    ASSERT_EQ(whole.Framing().sentenceCount, 3u);
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        CNMEAParser split;
        Feed(split, stream.substr(0, cut));
        Feed(split, stream.substr(cut));
        EXPECT_EQ(split.Framing().sentenceCount, 3u) << "cut at " << cut;
        EXPECT_EQ(split.Gga(), whole.Gga()) << "cut at " << cut;
        EXPECT_EQ(split.Gsa(), whole.Gsa()) << "cut at " << cut;
        EXPECT_EQ(split.Zda(), whole.Zda()) << "cut at " << cut;
    }
}

TEST(NmeaFraming, TruncatedSentences)
{
    // Ended by a carriage return: decoded from the fields that arrived.
    CNMEAParser parser;
    Feed(parser, "$GNRMC,001053.00,A,4404.14083,N,12118.85886,W,0.\r\n");
    EXPECT_EQ(parser.Rmc().rmcCount, 1u);
    EXPECT_DOUBLE_EQ(parser.Rmc().speedKnots, 0);
    EXPECT_EQ(parser.Rmc().course, -1);
    EXPECT_EQ(parser.Rmc().year, 2000);
    EXPECT_EQ(parser.Rmc().second, 53);

    // Ended by a line feed only: the line feed drops the cut sentence, and
    // the next one is read whole.
    CNMEAParser dropped;
    Feed(dropped, "$GPRMC,081836,A,37\n" + Sentence("GPZDA,010203,06,07,2008,00,00") +
                      Sentence("GPZDA,010203,06,07,2009,00,00"));
    EXPECT_EQ(dropped.Framing().sentenceCount, 2u);
    EXPECT_EQ(dropped.Zda().year, 2009);
    EXPECT_EQ(dropped.Rmc().rmcCount, 0u);

    // Cut off inside the address or the checksum: nothing, and the parser
    // waits in the middle of the sentence.
    CNMEAParser cut;
    Feed(cut, "$GPGG");
    EXPECT_EQ(cut.Framing().state, 1);
    Feed(cut, "A,1*4");
    EXPECT_EQ(cut.Framing().state, 4);
    EXPECT_EQ(cut.Framing().sentenceCount, 0u);
}

TEST(NmeaFraming, FieldsOfAnyLengthAreCutToTheFieldCapacity)
{
    // A 60-digit latitude: only the first 24 characters are converted.
    const std::string latitude = "4807.038" + std::string(52, '0');
    CNMEAParser parser;
    Feed(parser, Sentence("GPGGA,123519," + latitude + ",N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_DOUBLE_EQ(parser.Gga().latitude, 48.1173);
    // An overlong time: only its first six characters matter.
    Feed(parser, Sentence("GPGGA," + std::string(200, '1') + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_EQ(parser.Gga().hour, 11);
    EXPECT_EQ(parser.Gga().second, 11);
    // Waypoint names longer than the field capacity.
    Feed(parser, Sentence("GPRMB,A,0.66,L," + std::string(40, 'O') + "," + std::string(40, 'D') +
                          ",4917.24,N,12309.57,W,001.3,052.5,000.5,V"));
    EXPECT_EQ(std::string(parser.Rmb().originId), std::string(24, 'O'));
    EXPECT_EQ(std::string(parser.Rmb().destinationId), std::string(24, 'D'));
    EXPECT_EQ(parser.Framing().sentenceCount, 3u);
}

}  // namespace

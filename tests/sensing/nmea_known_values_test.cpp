// The shared table of single sentences with known values, read from its file
// and checked case by case against what this parser makes of each (fed with
// CR LF after it). Where other parsers decide otherwise, the comment says
// why this one differs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "sensing/nmea_parser.h"
#include "tests/sensing/nmea_test_support.h"

namespace {

using nmea_test::Feed;

struct KnownCase {
    std::string_view sentence;  // as the file writes it, escapes and all
    uint32_t counted;
    void (*check)(const CNMEAParser&);
};

void NothingDecoded(const CNMEAParser& p)
{
    const CNMEAParser fresh;
    EXPECT_EQ(p.Gga(), fresh.Gga());
    EXPECT_EQ(p.Gsa(), fresh.Gsa());
    EXPECT_EQ(p.Gsv(), fresh.Gsv());
    EXPECT_EQ(p.Rmb(), fresh.Rmb());
    EXPECT_EQ(p.Rmc(), fresh.Rmc());
    EXPECT_EQ(p.Zda(), fresh.Zda());
    EXPECT_EQ(p.Vtg(), fresh.Vtg());
}

void ExpectRmcDate(const CNMEAParser& p, int day, int month, int year)
{
    EXPECT_EQ(p.Rmc().day, day);
    EXPECT_EQ(p.Rmc().month, month);
    EXPECT_EQ(p.Rmc().year, year);
}

void ExpectUsedPrns(const CNMEAParser& p, const std::vector<uint16_t>& prns)
{
    for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(p.Gsa().usedPrn[i], i < prns.size() ? prns[i] : 0) << i;
}

void TextbookRmcPosition(const CNMEAParser& p)
{
    EXPECT_NEAR(p.Rmc().latitude, 48.1173, 1e-9);
    EXPECT_NEAR(p.Rmc().longitude, 11.516666667, 1e-9);
    EXPECT_EQ(p.Rmc().speedKnots, -1);
    EXPECT_EQ(p.Rmc().course, -1);
    // Two-digit years are 2000 + yy.
    ExpectRmcDate(p, 23, 3, 2094);
}

void MelbourneRmc(const CNMEAParser& p)
{
    EXPECT_EQ(p.Rmc().hour, 8);
    EXPECT_EQ(p.Rmc().minute, 18);
    EXPECT_EQ(p.Rmc().second, 36);
    EXPECT_EQ(p.Rmc().status, 'A');
    EXPECT_NEAR(p.Rmc().latitude, -37.860833333, 1e-9);
    EXPECT_NEAR(p.Rmc().longitude, 145.122666667, 1e-9);
    EXPECT_EQ(p.Rmc().speedKnots, 0);
    EXPECT_DOUBLE_EQ(p.Rmc().course, 360);
    ExpectRmcDate(p, 13, 9, 2098);
    EXPECT_DOUBLE_EQ(p.Rmc().magneticVariation, 11.3);
}

const KnownCase kCases[] = {
    {"$GPGGA,184353.07,1929.045,S,02410.506,E,1,04,2.6,100.00,M,-33.9,M,,0000*6D", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gga().hour, 18);
         EXPECT_EQ(p.Gga().minute, 43);
         EXPECT_EQ(p.Gga().second, 53);
         EXPECT_NEAR(p.Gga().latitude, -19.484083333, 1e-9);
         EXPECT_NEAR(p.Gga().longitude, 24.1751, 1e-9);
         EXPECT_EQ(p.Gga().fixQuality, 1);
         EXPECT_EQ(p.Gga().satellitesUsed, 4);
         EXPECT_DOUBLE_EQ(p.Gga().hdop, 2.6);
         EXPECT_DOUBLE_EQ(p.Gga().altitude, 100);
         CNMEAParser zeroSum;
         Feed(zeroSum, "$GPGGA,184353.07,1929.045,S,02410.506,E,1,04,2.6,100.00,M,-33.9,M,,0000*00\r\n");
         EXPECT_EQ(zeroSum.Framing().sentenceCount, 0u);
     }},
    {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().status, 'A');
         EXPECT_EQ(p.Rmc().hour, 22);
         EXPECT_EQ(p.Rmc().second, 46);
         EXPECT_NEAR(p.Rmc().latitude, 49.274166667, 1e-9);
         EXPECT_NEAR(p.Rmc().longitude, -123.185333333, 1e-9);
         EXPECT_DOUBLE_EQ(p.Rmc().speedKnots, 0.5);
         EXPECT_DOUBLE_EQ(p.Rmc().course, 54.7);
         ExpectRmcDate(p, 19, 11, 2094);
         EXPECT_DOUBLE_EQ(p.Rmc().magneticVariation, 20.3);
     }},
    // Integers are read from their digits only, so a signed zone reads 0.
    {"$GPZDA,010203.05,06,07,2008,-08,30", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Zda().hour, 1);
         EXPECT_EQ(p.Zda().minute, 2);
         EXPECT_EQ(p.Zda().second, 3);
         EXPECT_EQ(p.Zda().day, 6);
         EXPECT_EQ(p.Zda().month, 7);
         EXPECT_EQ(p.Zda().year, 2008);
         EXPECT_EQ(p.Zda().zoneHours, 0);
         EXPECT_EQ(p.Zda().zoneMinutes, 30);
     }},
    {"$GPGLL,4916.45,N,12311.12,W,225444,A,*1D", 1, NothingDecoded},
    {"$GPGSA,A,3,02,,,07,,09,24,26,,,,,1.6,1.6,1.0*3D", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gsa().mode, 'A');
         EXPECT_EQ(p.Gsa().fixType, 3);
         ExpectUsedPrns(p, {2, 0, 0, 7, 0, 9, 24, 26});
         EXPECT_DOUBLE_EQ(p.Gsa().pdop, 1.6);
         EXPECT_DOUBLE_EQ(p.Gsa().hdop, 1.6);
         EXPECT_DOUBLE_EQ(p.Gsa().vdop, 1.0);
     }},
    {"$GPVTG,108.53,T,,M,0.04,N,0.07,K,A*31", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Vtg().vtgSeen, 1);
         EXPECT_DOUBLE_EQ(p.Vtg().trueCourse, 108.53);
         EXPECT_EQ(p.Vtg().magneticCourse, 0);
         EXPECT_EQ(p.Vtg().magneticReference, 'M');
         EXPECT_DOUBLE_EQ(p.Vtg().speedKnots, 0.04);
         EXPECT_DOUBLE_EQ(p.Vtg().speedKmh, 0.07);
     }},
    {"$GPVTG,,T,,M,0.00,N*1B", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Vtg().vtgSeen, 1);
         EXPECT_EQ(p.Vtg().knotsUnit, 'N');
         EXPECT_EQ(p.Vtg().kmhUnit, 0);
     }},
    {"$GPGSV,3,3,09,24,03,046,*47", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gsv().inView, 9);
         EXPECT_EQ(p.Gsv().slot[8], (NmeaSatellite{24, 0, 0, 46, 3}));
     }},
    // No position: the parser keeps none, and no valid position comes of it.
    {"$GPGGA,201716.684,,,,,0,00,,,M,0.0,M,,0000*5F", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gga().hour, 20);
         EXPECT_EQ(p.Gga().second, 16);
         EXPECT_EQ(p.Gga().latitude, 0);
         EXPECT_EQ(p.Gga().fixQuality, 0);
         EXPECT_EQ(p.IsPositionValid(), 0);
     }},
    // No checksum, but the line's carriage return hands it over unchecked;
    // "0.D" converts as far as it can.
    {"$GPRMC,172142.00,A,4805.30256324,N,11629.09084774,W,0.D", 1,
     [](const CNMEAParser& p) {
         EXPECT_NEAR(p.Rmc().latitude, 48.088376054, 1e-9);
         EXPECT_NEAR(p.Rmc().longitude, -116.484847462, 1e-9);
         EXPECT_EQ(p.Rmc().speedKnots, 0);
         EXPECT_EQ(p.Rmc().course, -1);
     }},
    {"$GNTXT,01,01,02,ROM BASE 2.01 (75331) Oct 29 2013 13:28:17*44", 1, NothingDecoded},
    {"$GPRMC,123519.00,A,4807.038,N,01131.000,E,,,230394,,*33", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().status, 'A');
         TextbookRmcPosition(p);
     }},
    {"$GPRMC,123519.00,V,4807.038,N,01131.000,E,,,230394,,*24", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().status, 'V');
         TextbookRmcPosition(p);
     }},
    // The mode and navigational status fields after field 10 are not read:
    // validity is the status field's alone.
    {"$GPRMC,123519.00,A,4807.038,N,01131.000,E,,,230394,,,N*51", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().status, 'A');
         TextbookRmcPosition(p);
     }},
    {"$GPRMC,123519.00,A,4807.038,N,01131.000,E,,,230394,,,S,V*36", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().status, 'A');
         TextbookRmcPosition(p);
     }},
    {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 1,
     [](const CNMEAParser& p) {
         EXPECT_NEAR(p.Gga().latitude, 48.1173, 1e-9);
         EXPECT_NEAR(p.Gga().longitude, 11.516666667, 1e-9);
         EXPECT_EQ(p.Gga().satellitesUsed, 8);
         EXPECT_DOUBLE_EQ(p.Gga().altitude, 545.4);
     }},
    {"$GPRMC,081836.75,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E", 1, MelbourneRmc},
    {"$GPRMC,081836,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E*62", 1, MelbourneRmc},
    // Empty time and date keep the defaults; the position is taken.
    {"$GPRMC,,A,3751.65,N,14507.36,W,,,,,", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().hour, 0);
         ExpectRmcDate(p, 1, 1, 2000);
         EXPECT_NEAR(p.Rmc().latitude, 37.860833333, 1e-9);
         EXPECT_NEAR(p.Rmc().longitude, -145.122666667, 1e-9);
     }},
    {"$GPRMC,123205.00,A,5106.94085,N,01701.51689,E,0.016,,280214,,,A*7B", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().hour, 12);
         EXPECT_EQ(p.Rmc().minute, 32);
         EXPECT_EQ(p.Rmc().second, 5);
         ExpectRmcDate(p, 28, 2, 2014);
         EXPECT_NEAR(p.Rmc().latitude, 51.115680833, 1e-9);
         EXPECT_NEAR(p.Rmc().longitude, 17.0252815, 1e-9);
         EXPECT_DOUBLE_EQ(p.Rmc().speedKnots, 0.016);
         EXPECT_EQ(p.Rmc().course, -1);
     }},
    {"$GPRMC,,V,,,,,,,,,,N*53", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Rmc().rmcCount, 1u);
         EXPECT_EQ(p.Rmc().status, 'V');
         EXPECT_EQ(p.Rmc().latitude, 0);
     }},
    {"$GPGGA,,,,,,0,00,99.99,,,,,,*48", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gga().ggaCount, 1u);
         EXPECT_DOUBLE_EQ(p.Gga().hdop, 99.99);
         EXPECT_EQ(p.Gga().fixQuality, 0);
     }},
    {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39", 1,
     [](const CNMEAParser& p) {
         ExpectUsedPrns(p, {4, 5, 0, 9, 12, 0, 0, 24});
         EXPECT_DOUBLE_EQ(p.Gsa().pdop, 2.5);
         EXPECT_DOUBLE_EQ(p.Gsa().vdop, 2.1);
     }},
    {"$GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99*30", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gsa().fixType, 1);
         ExpectUsedPrns(p, {});
         EXPECT_DOUBLE_EQ(p.Gsa().pdop, 99.99);
     }},
    {"$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,*4D", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gsv().inView, 11);
         EXPECT_EQ(p.Gsv().slot[8], (NmeaSatellite{22, 42, 0, 67, 42}));
         EXPECT_EQ(p.Gsv().slot[9], (NmeaSatellite{24, 43, 0, 311, 14}));
         EXPECT_EQ(p.Gsv().slot[10], (NmeaSatellite{27, 0, 0, 244, 5}));
         EXPECT_EQ(p.Gsv().slot[11], NmeaSatellite{});
     }},
    {"$GPGSV,4,4,13*7B", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gsv().inView, 13);
         EXPECT_EQ(p.Gsv().gsvCount, 1u);
     }},
    // Decimal SNRs keep their integer part; the trailing signal id is not read.
    {"$GPGSV,3,1,11,09,57,333,29.0,07,54,227,,04,49,043,24.5,03,43,129,,1*67", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Gsv().slot[0], (NmeaSatellite{9, 29, 0, 333, 57}));
         EXPECT_EQ(p.Gsv().slot[1], (NmeaSatellite{7, 0, 0, 227, 54}));
         EXPECT_EQ(p.Gsv().slot[2], (NmeaSatellite{4, 24, 0, 43, 49}));
         EXPECT_EQ(p.Gsv().slot[3], (NmeaSatellite{3, 0, 0, 129, 43}));
     }},
    {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48", 1,
     [](const CNMEAParser& p) {
         EXPECT_DOUBLE_EQ(p.Vtg().trueCourse, 54.7);
         EXPECT_DOUBLE_EQ(p.Vtg().magneticCourse, 34.4);
         EXPECT_DOUBLE_EQ(p.Vtg().speedKnots, 5.5);
         EXPECT_DOUBLE_EQ(p.Vtg().speedKmh, 10.2);
     }},
    {"$GPVTG,188.36,T,,M,0.820,N,1.519,K,A*3F", 1,
     [](const CNMEAParser& p) {
         EXPECT_DOUBLE_EQ(p.Vtg().trueCourse, 188.36);
         EXPECT_EQ(p.Vtg().magneticCourse, 0);
         EXPECT_DOUBLE_EQ(p.Vtg().speedKnots, 0.82);
         EXPECT_DOUBLE_EQ(p.Vtg().speedKmh, 1.519);
     }},
    {"$GNVTG,,,,,,,,,N*2E", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Vtg().vtgSeen, 1);
         EXPECT_EQ(p.Vtg().trueReference, 0);
         EXPECT_EQ(p.Vtg().speedKnots, 0);
     }},
    {"$GPZDA,160012.71,11,03,2004,-1,00*7D", 1,
     [](const CNMEAParser& p) {
         EXPECT_EQ(p.Zda().hour, 16);
         EXPECT_EQ(p.Zda().second, 12);
         EXPECT_EQ(p.Zda().day, 11);
         EXPECT_EQ(p.Zda().month, 3);
         EXPECT_EQ(p.Zda().year, 2004);
         EXPECT_EQ(p.Zda().zoneHours, 0);
     }},
    // Checksum digits are upper case only.
    {"$GPXTE,A,A,0.67,L,N*6f", 0, NothingDecoded},

    {"$GPTXT,01,01,02,ANTSTATUS=INIT*26", 0, NothingDecoded},
    // The sentence ends after two digits; the third is not part of it.
    {"$GPRMC,,V,,,,,,,,,,N*532", 1, [](const CNMEAParser& p) { EXPECT_EQ(p.Rmc().rmcCount, 1u); }},
    {"$GPVTG,,,,\\xff,,,,,N*30", 0, NothingDecoded},
    // The second "$" is read as part of the address.
    {"$$GPGGA,,,,,,0,00,99.99,,,,,,*48", 0, NothingDecoded},
    {"GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99*30", 0, NothingDecoded},
    // Text before "$" is skipped; the carriage return ends an unchecked GLL.
    {"gps: $GPGLL,,,,,,V,N", 1, NothingDecoded},
    {"$GPXTE,A,A,0.67,L,N*6e", 0, NothingDecoded},
    {"$GPXTE,A,A,0.67,L,N*6g", 0, NothingDecoded},
    // A line feed is not printable: the sentence holding it is dropped.
    {"$GPTXT,hello\\n ", 0, NothingDecoded},
    {"$GPTXT,hello\\r*24", 1, NothingDecoded},
    // The "$" after the sentence opens another, which the line end drops.
    {"$GPTXT,hello\\r\\n$", 1, [](const CNMEAParser& p) { EXPECT_EQ(p.Framing().state, 0); }},
};

// "\xff", "\n" and "\r" as the file writes them.
std::string Unescape(std::string_view text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'x' && i + 3 < text.size()) {
            bytes += static_cast<char>(std::strtol(std::string(text.substr(i + 2, 2)).c_str(), nullptr, 16));
            i += 3;
        } else if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 'r')) {
            bytes += text[i + 1] == 'n' ? '\n' : '\r';
            ++i;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// Every line followed by an indented "expect:" or "reject:" line.
std::vector<std::string> SentencesOfTheFile()
{
    std::istringstream file(nmea_test::ReadDataFile("known_values/nmea_known_values.txt"));
    std::vector<std::string> sentences;
    std::string previous;
    for (std::string line; std::getline(file, line); previous = line) {
        if (line.starts_with("    expect:") || line.starts_with("    reject:")) sentences.push_back(previous);
    }
    return sentences;
}

const KnownCase* FindCase(const std::string& sentence)
{
    for (const KnownCase& known : kCases) {
        if (known.sentence == sentence) return &known;
    }
    return nullptr;
}

TEST(NmeaKnownValues, EveryCaseOfTheFile)
{
    SKIP_WITHOUT_SHARED_DATA("nmea/known_values");
    const std::vector<std::string> sentences = SentencesOfTheFile();
    ASSERT_EQ(sentences.size(), std::size(kCases));
    std::set<const KnownCase*> seen;
    for (const std::string& sentence : sentences) {
        SCOPED_TRACE(sentence);
        const KnownCase* known = FindCase(sentence);
        ASSERT_NE(known, nullptr);
        seen.insert(known);
        CNMEAParser parser;
        Feed(parser, Unescape(sentence) + "\r\n");
        EXPECT_EQ(parser.Framing().sentenceCount, known->counted);
        known->check(parser);
    }
    EXPECT_EQ(seen.size(), std::size(kCases));
}

}  // namespace

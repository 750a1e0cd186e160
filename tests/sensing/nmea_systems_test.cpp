// Receivers of several satellite systems: the GSA and GSV series of one second
// are joined, and sentences carrying bytes that are not printable are dropped.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sensing/gps_update.h"
#include "sensing/nmea_parser.h"
#include "tests/sensing/gps_fixture.h"
#include "tests/sensing/nmea_test_support.h"

namespace {

using nmea_test::Feed;
using nmea_test::Sentence;

// One second of a receiver reporting GPS, GLONASS and Galileo with the system
// ids of newer receivers. Galileo's 5 and 11 share their numbers with GPS
// satellites: GPS 5 is used and GPS 11 is not.
std::string SecondOfThreeSystems(const std::string& time)
{
    return Sentence("GNGGA," + time + ",4807.038,N,01131.000,E,1,07,0.9,545.4,M,46.9,M,,") +
           Sentence("GNGSA,A,3,01,03,05,,,,,,,,,,1.8,1.0,1.5,1") +
           Sentence("GNGSA,A,3,65,70,,,,,,,,,,,1.8,1.0,1.5,2") +
           Sentence("GNGSA,A,3,05,11,,,,,,,,,,,1.8,1.0,1.5,3") +
           Sentence("GPGSV,2,1,06,01,40,083,46,03,17,308,41,05,07,344,39,07,63,218,45") +
           Sentence("GPGSV,2,2,06,09,25,115,40,11,35,160,38") +
           Sentence("GLGSV,1,1,03,65,14,047,35,70,05,260,30,72,44,120,33") +
           Sentence("GAGSV,1,1,02,05,33,233,24,11,31,038,19");
}

struct SlotView {
    std::vector<uint16_t> prns;
    std::vector<bool> used;
};

SlotView SlotsInView(const CNMEAParser& parser)
{
    SlotView view;
    for (int i = 0; i < parser.Gsv().inView && i < 36; ++i) {
        view.prns.push_back(parser.Gsv().slot[i].prn);
        view.used.push_back(parser.Gsv().slot[i].used != 0);
    }
    return view;
}

TEST(NmeaSatelliteSystems, TheSystemsOfOneSecondAreJoinedAndEachSecondStartsAfresh)
{
    CNMEAParser parser;
    const std::vector<uint16_t> prns = {1, 3, 5, 7, 9, 11, 65, 70, 72, 5, 11};
    const std::vector<bool> used = {true, true, true, false, false, false, true, true, false, true, true};
    for (const char* time : {"120000", "120001", "120002"}) {
        Feed(parser, SecondOfThreeSystems(time));
        const SlotView view = SlotsInView(parser);
        EXPECT_EQ(view.prns, prns) << time;
        EXPECT_EQ(view.used, used) << time;
        const std::multiset<uint16_t> usedList(std::begin(parser.Gsa().usedPrn), std::end(parser.Gsa().usedPrn));
        EXPECT_EQ(usedList, (std::multiset<uint16_t>{0, 0, 0, 0, 0, 1, 3, 5, 5, 11, 65, 70})) << time;
    }
    // A receiver that goes on with GPS alone, in the same second and without
    // a time, replaces the joined second as a single system always has.
    Feed(parser, Sentence("GPGSA,A,3,07,09,,,,,,,,,,,2.0,1.2,1.6") +
                     Sentence("GPGSV,1,1,02,07,63,218,45,09,25,115,40"));
    EXPECT_EQ(SlotsInView(parser).prns, (std::vector<uint16_t>{7, 9}));
    EXPECT_EQ(SlotsInView(parser).used, (std::vector<bool>{true, true}));
    EXPECT_EQ(parser.Gsa().usedPrn[0], 7);
    EXPECT_EQ(parser.IsSatelliteUsed(65), 0);
}

// gpsd's last sky view of a log: satellites in view and how many are used.
std::pair<size_t, size_t> GpsdLastSky(const std::string& name)
{
    std::istringstream check(nmea_test::ReadDataFile(name + ".chk"));
    std::pair<size_t, size_t> last{0, 0};
    for (std::string line; std::getline(check, line);) {
        const nlohmann::json report = nlohmann::json::parse(line, nullptr, false);
        if (!report.is_object() || report.value("class", "") != "SKY" || !report.contains("satellites")) continue;
        last = {report["satellites"].size(), 0};
        for (const nlohmann::json& satellite : report["satellites"]) last.second += satellite.value("used", false);
    }
    return last;
}

class NmeaSystemsRecord : public gps_test::GpsFixture {};

TEST_F(NmeaSystemsRecord, AGpsAndGlonassReceiverCountsBothAsGpsdDoes)
{
    SKIP_WITHOUT_SHARED_DATA("nmea");
    InitWithoutReceiver();
    const auto [inView, used] = GpsdLastSky("ublox-8.log");
    ASSERT_GT(inView, 16u) << "the log's GPS satellites alone are 16";
    Feed(nmea_test::ReadDataFile("ublox-8.log"));
    GpsUpdate(&Gps());
    const GpsFixBody b = Fix().body;
    EXPECT_EQ(+b.satellitesInView, inView);
    // The record's used list holds 12; gpsd counts past it.
    EXPECT_EQ(+b.usedCount, std::min<size_t>(used, kGpsSatelliteSlots));
    EXPECT_GT(used, 8u) << "more than the log's GPS satellites are used";
    std::set<uint32_t> usedPrns;
    for (uint32_t i = 0; i < b.usedCount && i < kGpsSatelliteSlots; ++i) usedPrns.insert(+b.usedPrn[i]);
    EXPECT_TRUE(usedPrns.count(69) || usedPrns.count(70)) << "GLONASS satellites take part in the fix";
}

TEST(NmeaFraming, SentencesHoldingBytesThatAreNotPrintableAreDropped)
{
    // A reboot's NULs inside a sentence whose checksum covers them, one ended
    // by a carriage return only, and a stray byte in the checksum digits.
    const std::string withNul = std::string("GPRMC,081836,A,3751.65,S,14507.36,E,000.0,") + '\0' +
                                "360.0,130998,011.3,E";
    const std::string highByte = std::string("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,5\xB5") + "45.4,M,46.9,M,,";
    CNMEAParser parser;
    Feed(parser, Sentence(withNul) + "$" + highByte + "\r\n" + "$GPZDA,010203,06,07,2008,00,00*" + '\x01' + "B\r\n" +
                     Sentence("GPZDA,010203,06,07,2008,00,00"));
    EXPECT_EQ(parser.Framing().sentenceCount, 1u);
    EXPECT_EQ(parser.Rmc().rmcCount, 0u);
    EXPECT_EQ(parser.Gga().ggaCount, 0u);
    EXPECT_EQ(parser.Zda().zdaCount, 1u) << "framing goes on with the next sentence";
}

}  // namespace

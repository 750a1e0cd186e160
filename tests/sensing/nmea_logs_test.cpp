// Logs of real receivers: positions against gpsd's own decoding of the same
// logs (the ".chk" files), and the sentences counted in logs with damage.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "sensing/nmea_parser.h"
#include "tests/sensing/nmea_test_support.h"

namespace {

using nmea_test::ReadDataFile;
using Position = std::pair<double, double>;

// Feeds a log byte by byte and keeps, for every GGA or RMC sentence that the
// parser decoded, the position it then held, keyed by the sentence's text.
std::map<std::string, Position> DecodedPositions(const std::string& log, CNMEAParser& parser)
{
    std::map<std::string, Position> positions;
    std::string sentence;
    for (char byte : log) {
        if (byte == '$') sentence.clear();
        sentence += byte;
        const uint32_t gga = parser.Gga().ggaCount;
        const uint32_t rmc = parser.Rmc().rmcCount;
        parser.ProcessByte(static_cast<uint8_t>(byte));
        if (!sentence.empty() && sentence.back() == '\r') sentence.pop_back();
        if (parser.Gga().ggaCount != gga) positions[sentence] = {parser.Gga().latitude, parser.Gga().longitude};
        if (parser.Rmc().rmcCount != rmc) positions[sentence] = {parser.Rmc().latitude, parser.Rmc().longitude};
    }
    return positions;
}

struct LogCase {
    const char* name;
    int gpsdPositions;  // TPV reports with a position in the ".chk" file
};

class NmeaLogPositions : public testing::TestWithParam<LogCase> {};

// gpsd reports the position of the cycle after some of its sentences; each
// report must equal the position of the last GGA or RMC that both decoded.
TEST_P(NmeaLogPositions, MatchGpsd)
{
    SKIP_WITHOUT_SHARED_DATA("nmea");
    const LogCase& log = GetParam();
    CNMEAParser parser;
    const std::map<std::string, Position> decoded = DecodedPositions(ReadDataFile(log.name), parser);
    ASSERT_FALSE(decoded.empty()) << log.name;

    std::istringstream check(ReadDataFile(std::string(log.name) + ".chk"));
    const Position* last = nullptr;
    int compared = 0;
    int unmatched = 0;
    for (std::string line; std::getline(check, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("$")) {
            if (const auto it = decoded.find(line); it != decoded.end()) last = &it->second;
            continue;
        }
        const nlohmann::json report = nlohmann::json::parse(line, nullptr, false);
        if (!report.is_object() || report.value("class", "") != "TPV" || !report.contains("lat")) continue;
        if (last == nullptr) {
            ++unmatched;
            continue;
        }
        EXPECT_NEAR(last->first, report["lat"].get<double>(), 1e-6) << log.name << " before: " << line;
        EXPECT_NEAR(last->second, report["lon"].get<double>(), 1e-6) << log.name << " before: " << line;
        ++compared;
    }
    EXPECT_EQ(compared, log.gpsdPositions) << log.name;
    EXPECT_EQ(unmatched, 0) << log.name;
}

INSTANTIATE_TEST_SUITE_P(SharedLogs, NmeaLogPositions,
                         testing::Values(LogCase{"GPSmap-76S.log", 2}, LogCase{"bu353s4.log", 27},
                                         LogCase{"firefly-II.log", 23}, LogCase{"garmin48.log", 15},
                                         LogCase{"mt3339.log", 32}, LogCase{"ublox-8.log", 76},
                                         LogCase{"venus634lp.log", 8}),
                         [](const testing::TestParamInfo<LogCase>& info) {
                             std::string name = info.param.name;
                             name = name.substr(0, name.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

struct Counts {
    uint32_t sentences, gga, gsa, gsv, rmb, rmc, zda;
};

Counts CountsOf(const std::string& name)
{
    CNMEAParser parser;
    nmea_test::Feed(parser, ReadDataFile(name));
    return {parser.Framing().sentenceCount, parser.Gga().ggaCount, parser.Gsa().gsaCount, parser.Gsv().gsvCount,
            parser.Rmb().rmbCount,          parser.Rmc().rmcCount, parser.Zda().zdaCount};
}

void ExpectCounts(const std::string& name, const Counts& expected)
{
    const Counts got = CountsOf(name);
    EXPECT_EQ(got.sentences, expected.sentences) << name;
    EXPECT_EQ(got.gga, expected.gga) << name;
    EXPECT_EQ(got.gsa, expected.gsa) << name;
    EXPECT_EQ(got.gsv, expected.gsv) << name;
    EXPECT_EQ(got.rmb, expected.rmb) << name;
    EXPECT_EQ(got.rmc, expected.rmc) << name;
    EXPECT_EQ(got.zda, expected.zda) << name;
}

TEST(NmeaLogCounts, DamagedLogs)
{
    SKIP_WITHOUT_SHARED_DATA("nmea");
    // 69 sentences; every one of the 23 GGAs fails its checksum.
    ExpectCounts("firefly-II.log", {46, 0, 0, 0, 0, 23, 23});
    // 92 sentences; one GSV ends "*7" and a carriage return.
    ExpectCounts("garmin48.log", {91, 7, 7, 21, 7, 7, 0});
    // Three "$" lines that are not NMEA come first; ended by a carriage
    // return, they are counted like the 48 sentences with checksums.
    ExpectCounts("venus634lp.log", {51, 6, 6, 18, 0, 6, 0});
    // Binary bytes before the first sentence; the last RMC is cut off after
    // its speed, and its carriage return hands it over unchecked.
    ExpectCounts("ublox-8.log", {1009, 72, 144, 504, 0, 73, 72});
}

TEST(NmeaLogCounts, CleanLogs)
{
    SKIP_WITHOUT_SHARED_DATA("nmea");
    ExpectCounts("GPSmap-76S.log", {151, 12, 12, 36, 12, 12, 0});
    // Line feeds only: the checksum ends each sentence.
    ExpectCounts("bu353s4.log", {90, 25, 25, 15, 0, 25, 0});
    ExpectCounts("mt3339.log", {138, 30, 30, 18, 0, 30, 30});
}

TEST(NmeaLogState, MultiSystemReceiverGivesAValidPosition)
{
    SKIP_WITHOUT_SHARED_DATA("nmea");
    CNMEAParser parser;
    nmea_test::Feed(parser, ReadDataFile("ublox-8.log"));
    EXPECT_EQ(parser.IsPositionValid(), 1);
    EXPECT_NEAR(parser.Gga().latitude, 44.0690135, 1e-6);
    EXPECT_NEAR(parser.Gga().longitude, -121.3143157, 1e-6);
    EXPECT_EQ(parser.Gsa().fixType, 3);
    // The cut-off last RMC: speed "0." read, course empty, date kept.
    EXPECT_EQ(parser.Rmc().second, 53);
    EXPECT_EQ(parser.Rmc().speedKnots, 0);
    EXPECT_EQ(parser.Rmc().course, -1);
    EXPECT_EQ(parser.Rmc().year, 2017);
    EXPECT_EQ(parser.Rmc().day, 10);
    EXPECT_EQ(parser.Zda().year, 2017);
    EXPECT_EQ(parser.Vtg().vtgSeen, 1);
}

}  // namespace

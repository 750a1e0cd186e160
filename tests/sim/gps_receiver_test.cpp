// What the simulated receiver says: its sentences as the program's parser
// reads them, where the route puts it, and when a replayed log is due.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "sensing/nmea_parser.h"
#include "sim/gps_route.h"
#include "sim/nmea_replay.h"
#include "sim/nmea_sentences.h"
#include "tests/sensing/nmea_test_support.h"

namespace {

int Lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

sim::ReceiverReport Report()
{
    sim::ReceiverReport r;
    r.hour = 8;
    r.minute = 59;
    r.second = 45;
    r.day = 3;
    r.month = 3;
    r.year = 2009;
    r.latitude = -33.856784;
    r.longitude = -151.215297;
    r.altitude = 38.0;
    r.speedKnots = 21.6;
    r.courseDeg = 271.5;
    r.inView = sim::SkyWithSatellites(8);
    r.used = 8;
    return r;
}

TEST(SimulatedReceiverSentences, AFixReadsBackThroughTheParser)
{
    const std::string text = sim::ReportSentences(Report());
    CNMEAParser parser;
    nmea_test::Feed(parser, text);
    EXPECT_EQ(parser.Framing().sentenceCount, static_cast<uint32_t>(Lines(text))) << "every checksum holds";
    EXPECT_EQ(Lines(text), 1 + 1 + 3 + 1 + 1);
    EXPECT_EQ(parser.Gga().hour, 8);
    EXPECT_EQ(parser.Gga().second, 45);
    EXPECT_NEAR(parser.Gga().latitude, -33.856784, 2e-6);
    EXPECT_NEAR(parser.Gga().longitude, -151.215297, 2e-6);
    EXPECT_EQ(parser.Gga().fixQuality, 1);
    EXPECT_EQ(parser.Gga().satellitesUsed, 8);
    EXPECT_DOUBLE_EQ(parser.Gga().altitude, 38.0);
    EXPECT_EQ(parser.Gsa().fixType, 3);
    EXPECT_GT(parser.Gsa().pdop, 0);
    EXPECT_LE(parser.Gsa().pdop, 3) << "eight satellites make a strong fix";
    EXPECT_EQ(parser.Gsv().inView, 11);
    EXPECT_EQ(parser.Gsv().slot[10].prn, 29);
    int used = 0;
    for (const NmeaSatellite& s : parser.Gsv().slot) used += s.used ? 1 : 0;
    EXPECT_EQ(used, 8);
    EXPECT_EQ(parser.Rmc().status, 'A');
    EXPECT_DOUBLE_EQ(parser.Rmc().speedKnots, 21.6);
    EXPECT_DOUBLE_EQ(parser.Rmc().course, 271.5);
    EXPECT_EQ(parser.Rmc().day, 3);
    EXPECT_EQ(parser.Rmc().year, 2009);
    EXPECT_EQ(parser.Vtg().vtgSeen, 1);
    EXPECT_NEAR(parser.Vtg().speedKmh, 40.0, 0.05);
}

TEST(SimulatedReceiverSentences, NoSkyMeansNoFix)
{
    sim::ReceiverReport r = Report();
    r.fix = false;
    CNMEAParser parser;
    nmea_test::Feed(parser, sim::ReportSentences(r));
    EXPECT_EQ(parser.Framing().sentenceCount, 5u);
    EXPECT_EQ(parser.Gga().fixQuality, 0);
    EXPECT_EQ(parser.Gga().latitude, 0.0) << "no position is sent";
    EXPECT_EQ(parser.Gsa().fixType, 1);
    EXPECT_EQ(parser.Gsv().inView, 0);
    EXPECT_EQ(parser.Rmc().status, 'V');
    EXPECT_EQ(parser.Rmc().speedKnots, -1.0);
    EXPECT_EQ(parser.Rmc().year, 2009) << "the receiver's clock runs on";

    // Fewer than three satellites give no fix either; three give a 2D one.
    r = Report();
    r.inView = sim::SkyWithSatellites(2);
    r.used = 2;
    nmea_test::Feed(parser, sim::ReportSentences(r));
    EXPECT_EQ(parser.Gsa().fixType, 1);
    r.inView = sim::SkyWithSatellites(3);
    r.used = 3;
    nmea_test::Feed(parser, sim::ReportSentences(r));
    EXPECT_EQ(parser.Gsa().fixType, 2);
}

TEST(SimulatedReceiverSentences, MinutesRoundIntoTheNextDegree)
{
    sim::ReceiverReport r = Report();
    r.latitude = 37.999999999;
    r.longitude = 126.99999999;
    const std::string text = sim::ReportSentences(r);
    EXPECT_NE(text.find(",3800.0000,N,12700.0000,E,"), std::string::npos) << text;
}

TEST(SimulatedRoute, DrivesEachLegAtItsSpeed)
{
    // About 1.11 km north at 40 km/h (100 s), then about 0.88 km east at 60 km/h.
    const std::vector<sim::GpsWaypoint> route = {{37.0, 127.0, 40}, {37.01, 127.0, 60}, {37.01, 127.01, 30}};
    const double northMs = sim::LegKm(route[0], route[1]) / 40 * 3'600'000;
    const double eastMs = sim::LegKm(route[1], route[2]) / 60 * 3'600'000;
    EXPECT_NEAR(sim::LegKm(route[0], route[1]), 1.112, 0.001);
    EXPECT_NEAR(sim::LegKm(route[1], route[2]), 0.888, 0.001);

    sim::RoutePosition at = sim::PositionOnRoute(route, false, 0);
    EXPECT_DOUBLE_EQ(at.latitude, 37.0);
    EXPECT_DOUBLE_EQ(at.speedKmh, 40);
    EXPECT_NEAR(at.courseDeg, 0, 1e-9);
    at = sim::PositionOnRoute(route, false, static_cast<std::int64_t>(northMs / 2));
    EXPECT_NEAR(at.latitude, 37.005, 1e-6);
    at = sim::PositionOnRoute(route, false, static_cast<std::int64_t>(northMs + eastMs / 4));
    EXPECT_NEAR(at.latitude, 37.01, 1e-9);
    EXPECT_NEAR(at.longitude, 127.0025, 1e-6);
    EXPECT_NEAR(at.courseDeg, 90, 0.01);
    EXPECT_DOUBLE_EQ(at.speedKmh, 60);

    // Once driven it stands at the end; looped it drives back to the start.
    at = sim::PositionOnRoute(route, false, 3'600'000);
    EXPECT_DOUBLE_EQ(at.latitude, 37.01);
    EXPECT_DOUBLE_EQ(at.longitude, 127.01);
    EXPECT_EQ(at.speedKmh, 0);
    const double backMs = sim::LegKm(route[2], route[0]) / 30 * 3'600'000;
    const auto lap = static_cast<std::int64_t>(northMs + eastMs + backMs);
    at = sim::PositionOnRoute(route, true, static_cast<std::int64_t>(northMs + eastMs + backMs / 2));
    EXPECT_NEAR(at.latitude, 37.005, 1e-6);
    EXPECT_NEAR(at.longitude, 127.005, 1e-6);
    // South-west back to the start: a degree east is cos(latitude) of a degree north.
    EXPECT_NEAR(at.courseDeg, 180 + std::atan(std::cos(37.005 * M_PI / 180)) * 180 / M_PI, 0.01);
    at = sim::PositionOnRoute(route, true, lap + static_cast<std::int64_t>(northMs / 2));
    EXPECT_NEAR(at.latitude, 37.005, 1e-5);
    EXPECT_NEAR(at.longitude, 127.0, 1e-9);

    at = sim::PositionOnRoute({{-45.5, 170.1, 20}}, true, 99'000);
    EXPECT_DOUBLE_EQ(at.latitude, -45.5) << "a route of one point stands still";
    EXPECT_EQ(at.speedKmh, 0);
}

TEST(SimulatedReplay, LinesAreDueAtTheirUtcTimes)
{
    const std::string log =
        "# a comment line\n"
        "$GPGGA,235958.50,x*00\r\n"
        "$GPGSA,A,3*00\r\n"
        "$GNRMC,235958.50,A*00\r\n"
        "$GPGLL,4527.458,S,16709.165,E,235959,A*3E\r\n"
        "$GPGGA,235959.00,x*00\r\n"
        "$GPZDA,235957,late*00\r\n"
        "$GPGGA,000001.00,x*00\r\n"
        "$GPGGA,003001.00,x*00\r\n"
        "garbage without an end";
    const std::vector<sim::ReplayChunk> chunks = sim::PlanReplay(log);
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].atMs, 0);
    EXPECT_EQ(chunks[0].bytes,
              "$GPGGA,235958.50,x*00\r\n$GPGSA,A,3*00\r\n$GNRMC,235958.50,A*00\r\n"
              "$GPGLL,4527.458,S,16709.165,E,235959,A*3E\r\n");
    EXPECT_EQ(chunks[1].atMs, 500);
    EXPECT_EQ(chunks[1].bytes, "$GPGGA,235959.00,x*00\r\n$GPZDA,235957,late*00\r\n") << "a late time is due at once";
    EXPECT_EQ(chunks[2].atMs, 2500) << "over midnight";
    EXPECT_EQ(chunks[3].atMs, 3500) << "a half-hour jump counts one second";
    EXPECT_EQ(chunks[3].bytes, "$GPGGA,003001.00,x*00\r\ngarbage without an end");
}

}  // namespace

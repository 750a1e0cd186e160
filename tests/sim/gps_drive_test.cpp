// The whole GPS road in virtual time: the profile's receiver on its port,
// the program's serial reader and update worker, and the GPS log they
// write, one record a second.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/kernel/clock.h"
#include "platform/base/trace.h"
#include "sensing/gps_log.h"
#include "sim/gps_setup.h"
#include "sim/profile.h"
#include "sim/scenario_runner.h"
#include "tests/sensing/gps_fixture.h"
#include "tools/gps_log_reader.h"

namespace {

constexpr const char* kLogPath = "\\Storage Card\\drive.gps";

class GpsDriveTest : public gps_test::GpsFixture {
protected:
    void TearDown() override
    {
        GpsDeinit(window_);
        sim::DisconnectGps();
        GpsFixture::TearDown();
    }

    void Connect()
    {
        std::string error;
        ASSERT_TRUE(sim::ConnectGps(profile_, &error)) << error;
    }

    // Runs GPS for a moment, then for `ms` of device time with a log, and
    // reads the log back.
    std::vector<GpsFix> LogFor(os::DWORD ms, void (*during)(os::DWORD) = nullptr)
    {
        EXPECT_EQ(GpsInit(window_), 1);
        os::Sleep(2500);
        EXPECT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
        if (during != nullptr) {
            during(ms);
        } else {
            os::Sleep(ms);
        }
        EXPECT_EQ(GpsLogStop(window_, 0), 1);
        const std::string bytes = ReadDeviceFile(kLogPath);
        std::string error;
        EXPECT_EQ(kinfo::ReadGpsLog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &log_, &error), 1)
            << error;
        EXPECT_TRUE(log_.problems.empty()) << testing::PrintToString(log_.problems);
        return log_.records;
    }

    // Device milliseconds at the record's UTC time (the receiver's clock is
    // the phone's, which starts at 08:59:30).
    static std::int64_t DeviceMsOf(const GpsFix& fix)
    {
        const GpsTimePosition& t = fix.body.timePosition;
        return ((t.utcHour * 60 + t.utcMinute) * 60 + t.utcSecond - (8 * 3600 + 59 * 60 + 30)) * 1000LL;
    }

    void ExpectOnRoute(const GpsFix& fix)
    {
        const sim::RoutePosition at = sim::PositionOnRoute(profile_.gps->route, profile_.gps->loop, DeviceMsOf(fix));
        EXPECT_NEAR(+fix.body.timePosition.latitude, at.latitude, 1e-5) << DeviceMsOf(fix);
        EXPECT_NEAR(+fix.body.timePosition.longitude, at.longitude, 1e-5) << DeviceMsOf(fix);
        EXPECT_NEAR(+fix.body.speedKnots * 1.852, at.speedKmh, 0.2);
    }

    sim::DeviceProfile profile_ = sim::DefaultProfile();
    kinfo::GpsLog log_;
};

TEST_F(GpsDriveTest, TheBuiltInReceiverLeavesAMovingTrackOneRecordASecond)
{
    Connect();
    const std::vector<GpsFix> records = LogFor(20'000);
    ASSERT_GE(records.size(), 19u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        ExpectOnRoute(records[i]);
        EXPECT_EQ(records[i].body.signalLevel, 6);
        EXPECT_EQ(+records[i].body.usedCount, 8u);
        if (i > 0) {
            EXPECT_EQ(DeviceMsOf(records[i]) - DeviceMsOf(records[i - 1]), 1000) << "record " << i;
        }
    }
    EXPECT_NE(+records.front().body.timePosition.latitude, +records.back().body.timePosition.latitude);
    EXPECT_GT(+log_.summary.distanceKm, 0.1f);
    EXPECT_GT(Gps().displayedSpeedKmh, 30.0f);
}

void ThroughATunnelWithNoise(os::DWORD)
{
    sim::ScenarioEvent e;
    os::Sleep(5000);
    e.kind = sim::EventKind::GpsFixLost;
    sim::PerformScenarioEvent(e);
    os::Sleep(6000);
    e.kind = sim::EventKind::GpsGarbage;
    e.garbageBytes = 700;
    sim::PerformScenarioEvent(e);
    e.kind = sim::EventKind::GpsFixBack;
    sim::PerformScenarioEvent(e);
    os::Sleep(6000);
}

TEST_F(GpsDriveTest, ATunnelLosesTheFixAndTheDriveGoesOnBehindIt)
{
    Connect();
    const std::vector<GpsFix> records = LogFor(0, ThroughATunnelWithNoise);
    std::size_t before = 0, inside = 0, after = 0;
    for (const GpsFix& r : records) {
        const bool fix = r.body.timePosition.fixQuality == 1;
        if (!fix) {
            EXPECT_EQ(r.body.signalLevel, 1);
            ++inside;
        } else {
            ExpectOnRoute(r);
            ++(inside == 0 ? before : after);
        }
    }
    EXPECT_GE(before, 3u);
    EXPECT_GE(inside, 4u);
    EXPECT_GE(after, 3u) << "the fix comes back through the noise";
    EXPECT_GT(Gps().displayedSpeedKmh, 0.0f);
}

// gpsd's positions of a log by UTC time of day ("03:07:19").
std::map<std::string, std::pair<double, double>> GpsdPositions(const std::string& name)
{
    std::map<std::string, std::pair<double, double>> positions;
    std::istringstream check(nmea_test::ReadDataFile(name + ".chk"));
    for (std::string line; std::getline(check, line);) {
        const nlohmann::json report = nlohmann::json::parse(line, nullptr, false);
        if (!report.is_object() || report.value("class", "") != "TPV" || !report.contains("time") ||
            !report.contains("lat"))
            continue;
        positions[report["time"].get<std::string>().substr(11, 8)] = {report["lat"], report["lon"]};
    }
    return positions;
}

TEST_F(GpsDriveTest, AReplayedLogGivesTheFixesGpsdDecoded)
{
    SKIP_WITHOUT_SHARED_DATA("nmea");
    profile_.gps->replay = nmea_test::kNmeaDataDir + "bu353s4.log";
    profile_.gps->loop = false;
    Connect();
    const auto gpsd = GpsdPositions("bu353s4.log");
    ASSERT_GE(gpsd.size(), 20u);
    const std::vector<GpsFix> records = LogFor(40'000);
    std::set<std::string> times;
    for (const GpsFix& r : records) {
        const GpsTimePosition& t = r.body.timePosition;
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.utcHour, t.utcMinute, t.utcSecond);
        const auto it = gpsd.find(time);
        ASSERT_NE(it, gpsd.end()) << time;
        EXPECT_NEAR(+t.latitude, it->second.first, 2e-5) << time;
        EXPECT_NEAR(+t.longitude, it->second.second, 2e-5) << time;
        times.insert(time);
    }
    EXPECT_GE(times.size(), 20u) << "the log's fixes come one a second, as recorded";
    EXPECT_EQ(records.back().body.timePosition.utcSecond, 43) << "the log ends at 03:07:43";
}

TEST_F(GpsDriveTest, AHandsetWithoutGpsAsksTheUser)
{
    profile_.gps.reset();
    Connect();
    os::sim::QueueMessageBoxAnswer(os::IDNO);
    EXPECT_EQ(GpsInit(window_), 0);
    EXPECT_EQ(os::sim::MessageBoxHistory().size(), 1u);
    sim::ScenarioEvent e;
    e.kind = sim::EventKind::GpsFixLost;
    os::TraceCapture trace;
    sim::PerformScenarioEvent(e);
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_EQ(trace.Lines()[0], "[os] scenario event 0: GPS sky refused");
}

TEST_F(GpsDriveTest, AReplayThatCannotBeReadNamesItsField)
{
    profile_.gps->replay = "/nonexistent/drive.log";
    std::string error;
    EXPECT_FALSE(sim::ConnectGps(profile_, &error));
    EXPECT_EQ(error, "gps.replay: /nonexistent/drive.log: cannot open: No such file or directory");
}

}  // namespace

// The GPS screen's log on the built-in phone, driven by a scenario through
// the whole program in virtual time: the file lands in the run's "GPS"
// folder and its records follow the simulated drive, one a second.
#include <gtest/gtest.h>

#include <string>

#include "app/winmain.h"
#include "platform/files/file.h"
#include "platform/registry/registry_sim.h"
#include "sim/gps_route.h"
#include "sim/launcher.h"
#include "sim/scenario.h"
#include "sim/scenario_runner.h"
#include "tests/support/device_file.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"
#include "tools/gps_log_reader.h"

namespace {

using testing_support::ReadDeviceFile;

constexpr const char* kGpsFolder = "\\Storage Card\\Ardvane\\20090303\\085930\\GPS";

class GpsLogScenario : public testing_support::PlatformTest {
protected:
    void TearDown() override
    {
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }
};

// Device milliseconds at a record's UTC time: the receiver keeps the phone's clock, which starts at 08:59:30.
std::int64_t DeviceMsOf(const GpsFix& fix)
{
    const GpsTimePosition& t = fix.body.timePosition;
    return ((t.utcHour * 60 + t.utcMinute) * 60 + t.utcSecond - (8 * 3600 + 59 * 60 + 30)) * 1000LL;
}

TEST_F(GpsLogScenario, TheGpsScreenLogsTheDriveIntoTheRunsGpsFolder)
{
    testing_support::TempFolder folder;
    const sim::DeviceProfile profile = sim::DefaultProfile();
    sim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(sim::LoadScenario(std::string(KESTRAVA_SOURCE_DIR) + "/sim/scenarios/gps_log.json", &scenario, &error))
        << error;
    ASSERT_TRUE(sim::PreparePhone(profile, folder.Path(), &error)) << error;
    ASSERT_TRUE(sim::StartScenarioRunner(scenario, std::nullopt));
    EXPECT_EQ(WinMain(nullptr, "", 1), 0);
    sim::StopScenarioRunner();

    os::WIN32_FIND_DATAW found;
    os::HANDLE find = os::FindFirstFileW((std::string(kGpsFolder) + "\\*.gps").c_str(), &found);
    ASSERT_NE(find, os::INVALID_HANDLE_VALUE);
    os::FindClose(find);
    EXPECT_EQ(found.cFileName, "085933_20090303.gps") << "named when the log started, 3 s into the run";
    const std::string bytes = ReadDeviceFile(std::string(kGpsFolder) + "\\" + found.cFileName);
    kinfo::GpsLog log;
    ASSERT_EQ(kinfo::ReadGpsLog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &log, &error), 1)
        << error;
    EXPECT_TRUE(log.problems.empty()) << testing::PrintToString(log.problems);
    ASSERT_GE(log.records.size(), 59u);
    ASSERT_LE(log.records.size(), 61u);
    EXPECT_EQ(log.count, log.records.size());
    for (std::size_t i = 0; i < log.records.size(); ++i) {
        const GpsFix& fix = log.records[i];
        EXPECT_EQ(+fix.index, i);
        const sim::RoutePosition at = sim::PositionOnRoute(profile.gps->route, profile.gps->loop, DeviceMsOf(fix));
        EXPECT_NEAR(+fix.body.timePosition.latitude, at.latitude, 1e-5) << "record " << i;
        EXPECT_NEAR(+fix.body.timePosition.longitude, at.longitude, 1e-5) << "record " << i;
        if (i > 0) {
            EXPECT_EQ(DeviceMsOf(fix) - DeviceMsOf(log.records[i - 1]), 1000) << "record " << i;
        }
    }
    EXPECT_GT(+log.summary.distanceKm, 0.3f) << "a minute of driving";
}

}  // namespace

// The accelerometer section of the profile, its replay files, the example
// profile replaying a real drive, and the scenario's shock, as the program
// reads them through "ACC1:".
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/devices/accelerometer_sim.h"
#include "platform/devices/device_io.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "sim/accelerometer_setup.h"
#include "sim/profile.h"
#include "sim/scenario.h"
#include "sim/scenario_runner.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_runner.h"
#include "tests/support/shared_data.h"
#include "tests/support/temp_folder.h"

namespace {

using os::sim::AccelerometerCounts;
using os::sim::AccelerometerFailure;
using sim::AccelerometerUnits;

sim::AccelerometerProfile MustParseSection(const std::string& section)
{
    sim::DeviceProfile p;
    std::string error;
    EXPECT_TRUE(sim::ParseProfile(R"({"accelerometer": )" + section + "}", "p.json", &p, &error)) << error;
    return p.accelerometer;
}

TEST(AccelerometerProfile, SectionSetsEachFieldAndGravityFollowsTheScale)
{
    const sim::AccelerometerProfile defaults = sim::DefaultProfile().accelerometer;
    EXPECT_EQ(defaults.resting, (AccelerometerCounts{0, 0, 1024}));
    EXPECT_EQ(defaults.countsPerG, 1024);
    EXPECT_EQ(defaults.noise, 8);
    EXPECT_EQ(defaults.fail, AccelerometerFailure::None);

    // Without "resting", 1 g on z at the scale given, wherever the scale stands.
    EXPECT_EQ(MustParseSection(R"({"noise": 0, "countsPerG": 256})").resting, (AccelerometerCounts{0, 0, 256}));
    const sim::AccelerometerProfile full = MustParseSection(
        R"({"resting": {"x": -32768, "y": 5, "z": 32767}, "countsPerG": 64, "noise": 32767, "fail": "read",
            "replay": "a.csv", "units": "m/s2", "readLog": "/tmp/reads.csv"})");
    EXPECT_EQ(full, (sim::AccelerometerProfile{{-32768, 5, 32767}, 32767, 64, AccelerometerFailure::Read, "a.csv",
                                               AccelerometerUnits::MetresPerSecondSquared, "/tmp/reads.csv"}));
    EXPECT_EQ(MustParseSection(R"({"fail": "open", "replay": "a.csv", "units": "g"})").units, AccelerometerUnits::G);
}

TEST(AccelerometerProfile, BadValuesAreRefusedNamingTheFieldAndChangeNothing)
{
    struct Case {
        const char* section;
        const char* field;
    };
    const Case cases[] = {
        {R"({"resting": {"x": 0, "y": 0}})", "accelerometer.resting"},
        {R"({"resting": {"x": 0, "y": 0, "z": 32768}})", "accelerometer.resting.z"},
        {R"({"resting": {"x": -32769, "y": 0, "z": 0}})", "accelerometer.resting.x"},
        {R"({"resting": {"x": 0, "y": 0.5, "z": 0}})", "accelerometer.resting.y"},
        {R"({"resting": [0, 0, 1024]})", "accelerometer.resting"},
        {R"({"noise": -1})", "accelerometer.noise"},
        {R"({"noise": 32768})", "accelerometer.noise"},
        {R"({"countsPerG": 0})", "accelerometer.countsPerG"},
        {R"({"countsPerG": "1024"})", "accelerometer.countsPerG"},
        {R"({"fail": "write"})", "accelerometer.fail"},
        {R"({"fail": true})", "accelerometer.fail"},
        {R"({"replay": ""})", "accelerometer.replay"},
        {R"({"replay": "a.csv", "units": "mg"})", "accelerometer.units"},
        {R"({"units": "g"})", "accelerometer.units"},  // no replay to apply them to
        {R"({"readLog": 3})", "accelerometer.readLog"},
        {R"({"gain": 2})", "accelerometer.gain"},
        {R"(null)", "accelerometer"},
    };
    for (const Case& c : cases) {
        sim::DeviceProfile p;
        p.accelerometer.readLog = "untouched";
        std::string error;
        EXPECT_FALSE(sim::ParseProfile(std::string(R"({"accelerometer": )") + c.section + "}", "p.json", &p, &error))
            << c.section;
        EXPECT_EQ(p.accelerometer.readLog, "untouched") << c.section;
        const std::string prefix = std::string("p.json: ") + c.field + ": ";
        EXPECT_TRUE(error.starts_with(prefix) && error.size() > prefix.size()) << c.section << " gave " << error;
    }
}

std::int16_t FromLittleEndian(const os::BYTE* bytes)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
}

// Reads at device time `ms` as the program does: open, one read, close.
AccelerometerCounts ReadAt(std::int64_t ms)
{
    const std::int64_t now = os::DeviceTimeUs() / 1000;
    if (ms > now) os::Sleep(static_cast<os::DWORD>(ms - now));
    os::HANDLE device = os::CreateFileW("ACC1:", 0, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, os::INVALID_HANDLE_VALUE) << "at " << ms << " ms";
    os::BYTE bytes[6] = {};
    os::DWORD returned = 0;
    EXPECT_TRUE(os::DeviceIoControl(device, os::IOCTL_ACCELEROMETER_READ_XYZ, nullptr, 0, bytes, 6, &returned, nullptr));
    os::CloseHandle(device);
    return {FromLittleEndian(bytes), FromLittleEndian(bytes + 2), FromLittleEndian(bytes + 4)};
}

class AccelerometerConnection : public testing_support::PlatformTest {
protected:
    testing_support::TempFolder temp;

    // Writes the replay file and loads a profile naming it relative to the profile's folder.
    sim::DeviceProfile ProfileReplaying(const std::string& csv, const std::string& units)
    {
        std::ofstream(temp / "drive.csv") << csv;
        std::ofstream(temp / "phone.json") << R"({"accelerometer": {"countsPerG": 1000, "replay": "drive.csv", "units": ")"
                                           << units << R"("}})";
        sim::DeviceProfile p;
        std::string error;
        EXPECT_TRUE(sim::LoadProfile(temp / "phone.json", &p, &error)) << error;
        EXPECT_EQ(p.accelerometer.replay, temp / "drive.csv");
        return p;
    }
};

TEST_F(AccelerometerConnection, AReplayAnswersItsLatestRowAtOrBeforeEachRead)
{
    std::string error;
    ASSERT_TRUE(sim::ConnectAccelerometer(ProfileReplaying("time_ms,x,y,z\n"
                                                           "100,1,-2,3\r\n"
                                                           "\n"
                                                           "300, 4 ,5,-6.6\n"
                                                           "300,7,8,9\n"
                                                           "500,40000,-40000,0\n",
                                                           "counts"),
                                          &error))
        << error;
    EXPECT_EQ(ReadAt(0), (AccelerometerCounts{1, -2, 3}));  // before the first row: the first row
    EXPECT_EQ(ReadAt(100), (AccelerometerCounts{1, -2, 3}));
    EXPECT_EQ(ReadAt(299), (AccelerometerCounts{1, -2, 3}));
    EXPECT_EQ(ReadAt(300), (AccelerometerCounts{7, 8, 9}));  // the later of two rows at one time
    EXPECT_EQ(ReadAt(499), (AccelerometerCounts{7, 8, 9}));
    EXPECT_EQ(ReadAt(500), (AccelerometerCounts{32767, -32768, 0}));
    EXPECT_EQ(ReadAt(60'000), (AccelerometerCounts{32767, -32768, 0}));
}

TEST_F(AccelerometerConnection, MetresPerSecondSquaredBecomeCountsAtTheProfilesScale)
{
    std::string error;
    ASSERT_TRUE(sim::ConnectAccelerometer(ProfileReplaying("Time since start in ms ,X (m/s²),Y (m/s²),Z (m/s²)\n"
                                                           "0,0,4.903325,9.80665\n"
                                                           "250,-19.6133,0.0049,1e3\n",
                                                           "m/s2"),
                                          &error))
        << error;
    EXPECT_EQ(ReadAt(10), (AccelerometerCounts{0, 500, 1000}));
    EXPECT_EQ(ReadAt(250), (AccelerometerCounts{-2000, 0, 32767}));
}

TEST_F(AccelerometerConnection, BadFilesAreRefusedNamingFieldFileAndReasonAndChangeNothing)
{
    const os::sim::AccelerometerConfig before = os::sim::CurrentAccelerometer();
    struct Case {
        std::string csv;   // written to drive.csv; empty: no file
        std::string profile;
        std::string starts;
        std::string mentions;
    };
    const std::string missing = temp / "gone.csv";
    const Case cases[] = {
        {"", R"({"replay": ")" + missing + R"("})", "accelerometer.replay: " + missing + ": ", "No such file"},
        {"t,x,y,z\n", R"({"replay": "drive.csv"})", "accelerometer.replay: ", "no rows"},
        {"0,1,2,3\n1,2,3\n", R"({"replay": "drive.csv"})", "accelerometer.replay: ", "line 2"},
        {"0,1,2,3\nt,x,y,z\n", R"({"replay": "drive.csv"})", "accelerometer.replay: ", "line 2"},
        {"5,1,2,3\n4,1,2,3\n", R"({"replay": "drive.csv"})", "accelerometer.replay: ", "line 2"},
        {"0.5,1,2,3\n", R"({"replay": "drive.csv"})", "accelerometer.replay: ", "line 1"},
        {"-1,1,2,3\n", R"({"replay": "drive.csv"})", "accelerometer.replay: ", "line 1"},
        {"", R"({"readLog": ")" + temp / "no folder/reads.csv" + R"("})", "accelerometer.readLog: " + temp / "no folder/reads.csv",
         "No such file"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(temp / "drive.csv");
        if (!c.csv.empty()) std::ofstream(temp / "drive.csv") << c.csv;
        std::ofstream(temp / "phone.json") << R"({"accelerometer": )" << c.profile << "}";
        sim::DeviceProfile p;
        std::string error;
        ASSERT_TRUE(sim::LoadProfile(temp / "phone.json", &p, &error)) << error;
        EXPECT_FALSE(sim::ConnectAccelerometer(p, &error)) << c.profile;
        EXPECT_TRUE(error.starts_with(c.starts)) << error;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
        EXPECT_EQ(os::sim::CurrentAccelerometer(), before) << c.profile;
    }
}

TEST_F(AccelerometerConnection, TheExampleProfileReplaysARealDrive)
{
    SKIP_WITHOUT_SHARED_DATA("accel/quat-orient_accel.2020-10-15-21.csv");
    sim::DeviceProfile p;
    std::string error;
    ASSERT_TRUE(sim::LoadProfile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/real_drive_accel.json", &p, &error))
        << error;
    ASSERT_TRUE(sim::ConnectAccelerometer(p, &error)) << error;
    const int g = p.accelerometer.countsPerG;
    // The recording's first rows: "18,-0.096,-0.287,9.95", "78,-0.259,-0.287,9.787".
    const auto counts = [g](double x, double y, double z) {
        auto c = [g](double v) { return static_cast<std::int16_t>(std::lround(v / 9.80665 * g)); };
        return AccelerometerCounts{c(x), c(y), c(z)};
    };
    EXPECT_EQ(ReadAt(0), counts(-0.096, -0.287, 9.95));
    EXPECT_EQ(ReadAt(77), counts(-0.096, -0.287, 9.95));
    EXPECT_EQ(ReadAt(78), counts(-0.259, -0.287, 9.787));
    // Lying in a mount, the phone feels about 1 g all along the drive.
    for (std::int64_t ms = 1000; ms <= 300'000; ms += 7000) {
        const AccelerometerCounts c = ReadAt(ms);
        const double magnitude = std::sqrt(double(c.x) * c.x + double(c.y) * c.y + double(c.z) * c.z);
        EXPECT_GT(magnitude, 0.5 * g) << ms;
        EXPECT_LT(magnitude, 2.0 * g) << ms;
    }
}

TEST_F(AccelerometerConnection, AScenarioShockJoltsTheRestingSensor)
{
    sim::DeviceProfile p;
    std::string error;
    ASSERT_TRUE(sim::ParseProfile(R"({"accelerometer": {"noise": 0, "fail": "none"}})", "p.json", &p, &error)) << error;
    ASSERT_TRUE(sim::ConnectAccelerometer(p, &error)) << error;
    sim::Scenario s;
    ASSERT_TRUE(sim::ParseScenario(R"({"events": [{"at": "2s", "do": "shock", "x": 0, "y": -3000, "z": 4000,
                                                   "duration": "200ms"}]})",
                                   "s.json", &s, &error))
        << error;
    os::Sleep(2000);
    sim::PerformScenarioEvent(s.events[0]);
    EXPECT_EQ(ReadAt(2000), (AccelerometerCounts{0, 0, 1024}));
    EXPECT_EQ(ReadAt(2100), (AccelerometerCounts{0, -3000, 5024}));
    EXPECT_EQ(ReadAt(2200), (AccelerometerCounts{0, 0, 1024}));
}

TEST(AccelerometerLaunch, AReplayThatCannotBeUsedStopsTheRunAndShocksRunToTheEnd)
{
    using testing_support::RunProgram;
    testing_support::TempFolder folder;
    std::ofstream(folder / "profile.json") << R"({"accelerometer": {"replay": "missing.csv"}})";
    const auto refused = RunProgram({"--root", folder / "device", "--clock", "virtual", "--for", "10s", "--profile",
                                     folder / "profile.json"},
                                    folder, "refused");
    EXPECT_EQ(refused.exitCode, 1) << refused.out;
    EXPECT_NE(refused.err.find("accelerometer.replay: " + folder / "missing.csv" + ": "), std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out.find("ran "), std::string::npos) << "nothing runs: " << refused.out;

    std::ofstream(folder / "profile.json") << R"({"accelerometer": {"fail": "read", "readLog": ")" << folder / "reads.csv"
                                           << R"("}})";
    std::ofstream(folder / "scenario.json") << R"({"events": [
        {"at": "2s", "do": "shock", "x": 2000, "y": 0, "z": -500, "duration": "300ms"},
        {"at": "5s", "do": "end"}
    ]})";
    const auto ran = RunProgram({"--root", folder / "device", "--clock", "virtual", "--profile", folder / "profile.json",
                                 "--scenario", folder / "scenario.json"},
                                folder, "ran");
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_TRUE(std::filesystem::exists(folder / "reads.csv")) << "the read log is created at start";
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/devices/accelerometer_sim.h"
#include "platform/devices/comm.h"
#include "platform/devices/device_io.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

using os::sim::AccelerometerConfig;
using os::sim::AccelerometerCounts;

struct Read {
    std::int64_t ms = 0;
    AccelerometerCounts counts;
    bool operator==(const Read&) const = default;
};

std::int16_t FromLittleEndian(const os::BYTE* bytes)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
}

// One poll as the program makes it: open, one read, close.
bool Poll(AccelerometerCounts* out)
{
    os::HANDLE device = os::CreateFileW("ACC1:", 0, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    if (device == os::INVALID_HANDLE_VALUE) return false;
    os::BYTE bytes[6] = {};
    os::DWORD returned = 0;
    const bool ok = os::DeviceIoControl(device, os::IOCTL_ACCELEROMETER_READ_XYZ, nullptr, 0, bytes, sizeof bytes,
                                        &returned, nullptr) != os::FALSE;
    EXPECT_TRUE(os::CloseHandle(device));
    if (!ok) return false;
    EXPECT_EQ(returned, 6u);
    *out = AccelerometerCounts{FromLittleEndian(bytes), FromLittleEndian(bytes + 2), FromLittleEndian(bytes + 4)};
    return true;
}

// Polls every `everyMs` from now until device time `untilMs`.
std::vector<Read> PollUntil(std::int64_t untilMs, os::DWORD everyMs)
{
    std::vector<Read> reads;
    while (os::DeviceTimeUs() / 1000 <= untilMs) {
        Read read{os::DeviceTimeUs() / 1000, {}};
        EXPECT_TRUE(Poll(&read.counts)) << "at " << read.ms << " ms, error " << os::GetLastError();
        reads.push_back(read);
        os::Sleep(everyMs);
    }
    return reads;
}

std::vector<Read> ReadLog(const std::string& path)
{
    std::vector<Read> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Read read;
        int x = 0, y = 0, z = 0;
        char c1 = 0, c2 = 0, c3 = 0;
        fields >> read.ms >> c1 >> x >> c2 >> y >> c3 >> z;
        EXPECT_TRUE(fields && c1 == ',' && c2 == ',' && c3 == ',' && fields.peek() == EOF) << line;
        read.counts = AccelerometerCounts{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                          static_cast<std::int16_t>(z)};
        lines.push_back(read);
    }
    return lines;
}

class AccelerometerTest : public testing_support::PlatformTest {
protected:
    testing_support::TempFolder temp;

    void Configure(const AccelerometerConfig& config)
    {
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureAccelerometer(config, &error)) << error;
    }
};

TEST_F(AccelerometerTest, RestingNoiseRepeatsRunForRunAndEveryAnsweredReadIsLogged)
{
    AccelerometerConfig config;
    config.resting = {40, -300, 1000};
    config.noise = 8;
    auto run = [&](const std::string& log) {
        config.readLog = log;
        Configure(config);
        os::Sleep(37);
        return PollUntil(10'000, 200);
    };
    const std::vector<Read> first = run(temp / "first.csv");
    // A fresh boot, the same configuration: the same values at the same times.
    TearDown();
    SetUp();
    const std::vector<Read> second = run(temp / "second.csv");
    ASSERT_EQ(first.size(), 50u);
    EXPECT_EQ(first, second);

    std::vector<int> seen;
    for (const Read& r : first) {
        EXPECT_LE(std::abs(r.counts.x - 40), 8);
        EXPECT_LE(std::abs(r.counts.y + 300), 8);
        EXPECT_LE(std::abs(r.counts.z - 1000), 8);
        seen.push_back(r.counts.x);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_GE(std::unique(seen.begin(), seen.end()) - seen.begin(), 8) << "the noise hardly moves";

    EXPECT_EQ(ReadLog(temp / "first.csv"), first);
    EXPECT_EQ(ReadLog(temp / "second.csv"), second);
}

TEST_F(AccelerometerTest, AShockRisesAndFallsAsAHalfSineOverItsDuration)
{
    AccelerometerConfig config;
    config.noise = 0;
    config.resting = {0, 0, 1024};
    Configure(config);
    EXPECT_FALSE(os::sim::ShockAccelerometer({1000, 0, {100, 0, 0}}));
    EXPECT_FALSE(os::sim::ShockAccelerometer({-1, 100, {100, 0, 0}}));
    ASSERT_TRUE(os::sim::ShockAccelerometer({1000, 400, {2000, -1000, 32000}}));
    const std::vector<Read> reads = PollUntil(1600, 10);

    Read peak;
    for (const Read& r : reads) {
        const bool during = r.ms > 1000 && r.ms < 1400;
        if (!during) {
            EXPECT_EQ(r.counts, (AccelerometerCounts{0, 0, 1024})) << "at " << r.ms << " ms";
            continue;
        }
        EXPECT_GT(r.counts.x, 0) << r.ms;
        EXPECT_LT(r.counts.y, 0) << r.ms;
        EXPECT_GT(r.counts.z, 1024) << r.ms;
        // Rising to the middle, falling after it.
        const Read& before = (&r)[-1];
        if (r.ms <= 1200) {
            EXPECT_GT(r.counts.x, before.counts.x) << r.ms;
        } else {
            EXPECT_LT(r.counts.x, before.counts.x) << r.ms;
        }
        if (r.counts.x > peak.counts.x) peak = r;
    }
    EXPECT_EQ(peak.ms, 1200);
    // The sum is clamped to what 16 bits hold.
    EXPECT_EQ(peak.counts, (AccelerometerCounts{2000, -1000, 32767}));
    // A half-sine: a quarter of the way in, sin(pi/4) of the peak.
    const auto quarter = std::find_if(reads.begin(), reads.end(), [](const Read& r) { return r.ms == 1100; });
    ASSERT_NE(quarter, reads.end());
    EXPECT_NEAR(quarter->counts.x, 2000 * 0.7071, 1);
}

TEST_F(AccelerometerTest, AFailingSensorAndBadRequestsAreRefusedAndNotLogged)
{
    AccelerometerConfig config;
    config.readLog = temp / "reads.csv";
    config.failure = os::sim::AccelerometerFailure::Open;
    Configure(config);
    EXPECT_EQ(os::CreateFileW("acc1:", 0, 0, nullptr, os::OPEN_EXISTING, 0, nullptr), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_GEN_FAILURE));

    config.failure = os::sim::AccelerometerFailure::Read;
    Configure(config);
    // Device names compare without case.
    os::HANDLE device = os::CreateFileW("acc1:", 0, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, os::INVALID_HANDLE_VALUE);
    os::BYTE bytes[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    os::DWORD returned = 99;
    auto control = [&](os::HANDLE h, os::DWORD code, os::DWORD size) {
        returned = 99;
        return os::DeviceIoControl(h, code, nullptr, 0, bytes, size, &returned, nullptr);
    };
    EXPECT_FALSE(control(device, os::IOCTL_ACCELEROMETER_READ_XYZ, 6));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_GEN_FAILURE));
    EXPECT_EQ(returned, 0u);

    config.failure = os::sim::AccelerometerFailure::None;
    Configure(config);
    // The same handle reads once the sensor works again.
    EXPECT_TRUE(control(device, os::IOCTL_ACCELEROMETER_READ_XYZ, 8));
    EXPECT_EQ(returned, 6u);
    EXPECT_EQ(bytes[6], 1);
    EXPECT_FALSE(control(device, os::IOCTL_ACCELEROMETER_READ_XYZ + 4, 6));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(control(device, os::IOCTL_ACCELEROMETER_READ_XYZ, 5));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(os::DeviceIoControl(device, os::IOCTL_ACCELEROMETER_READ_XYZ, nullptr, 0, nullptr, 6, &returned,
                                     nullptr));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 0u);

    // Handles that are not driver instances: an event, a closed instance.
    os::HANDLE event = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    EXPECT_FALSE(control(event, os::IOCTL_ACCELEROMETER_READ_XYZ, 6));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_HANDLE));
    os::CloseHandle(event);
    EXPECT_TRUE(os::CloseHandle(device));
    EXPECT_FALSE(os::CloseHandle(device));
    EXPECT_FALSE(control(device, os::IOCTL_ACCELEROMETER_READ_XYZ, 6));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_HANDLE));

    // Only the one answered read reached the log.
    ASSERT_EQ(ReadLog(temp / "reads.csv").size(), 1u);
}

TEST_F(AccelerometerTest, ABadConfigurationChangesNothingAndAFreshBootRestoresTheDefaults)
{
    AccelerometerConfig good;
    good.noise = 0;
    good.replay = {{0, {1, 2, 3}}, {100, {4, 5, 6}}};
    Configure(good);
    std::vector<AccelerometerConfig> bad(5, good);
    bad[0].noise = -1;
    bad[1].countsPerG = 0;
    bad[2].replay = {{100, {1, 2, 3}}, {99, {4, 5, 6}}};
    bad[3].replay = {{-1, {1, 2, 3}}};
    bad[4].readLog = temp / "no such folder/reads.csv";
    for (const AccelerometerConfig& config : bad) {
        std::string error;
        EXPECT_FALSE(os::sim::ConfigureAccelerometer(config, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(os::sim::CurrentAccelerometer(), good);
    }
    ASSERT_TRUE(os::sim::ShockAccelerometer({0, 100'000, {500, 500, 500}}));
    os::HANDLE device = os::CreateFileW("ACC1:", 0, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, os::INVALID_HANDLE_VALUE);

    TearDown();
    SetUp();
    EXPECT_EQ(os::sim::CurrentAccelerometer(), AccelerometerConfig{});
    os::BYTE bytes[6] = {};
    EXPECT_FALSE(os::DeviceIoControl(device, os::IOCTL_ACCELEROMETER_READ_XYZ, nullptr, 0, bytes, 6, nullptr, nullptr));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_HANDLE));
    // No shock survives either: the default resting counts within the default noise.
    os::Sleep(50);
    AccelerometerCounts counts;
    ASSERT_TRUE(Poll(&counts));
    EXPECT_LE(std::abs(counts.z - os::sim::kDefaultCountsPerG), os::sim::kDefaultAccelerometerNoise);
}

TEST_F(AccelerometerTest, SerialPortsOpenByNameBesideTheSensor)
{
    auto line = std::make_shared<os::sim::CommLine>();
    ASSERT_TRUE(os::sim::AttachCommPort("COM3:", line));
    os::HANDLE accel = os::CreateFileW("ACC1:", 0, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    os::HANDLE port = os::CreateFileW("com3:", os::GENERIC_READ | os::GENERIC_WRITE, 0, nullptr, os::OPEN_EXISTING,
                                      0, nullptr);
    ASSERT_NE(accel, os::INVALID_HANDLE_VALUE);
    ASSERT_NE(port, os::INVALID_HANDLE_VALUE);
    EXPECT_NE(accel, port);
    os::DWORD done = 0;
    EXPECT_TRUE(os::WriteFile(port, "$GP", 3, &done, nullptr));
    EXPECT_EQ(line->TakeWritten(), "$GP");
    line->Feed("ok", 2);
    char got[2] = {};
    EXPECT_TRUE(os::ReadFile(port, got, 2, &done, nullptr));
    EXPECT_EQ(std::string(got, done), "ok");
    // A port is a device, but answers no control code.
    os::BYTE bytes[6] = {};
    EXPECT_FALSE(os::DeviceIoControl(port, os::IOCTL_ACCELEROMETER_READ_XYZ, nullptr, 0, bytes, 6, nullptr, nullptr));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(os::DeviceIoControl(accel, os::IOCTL_ACCELEROMETER_READ_XYZ, nullptr, 0, bytes, 6, nullptr, nullptr));
    EXPECT_TRUE(os::CloseHandle(port));
    EXPECT_FALSE(os::detail::IsCommHandle(port));
    EXPECT_TRUE(line->Feed("x", 1) == 0);
    EXPECT_TRUE(os::CloseHandle(accel));
    // Still a port while the line is attached, and only then.
    os::sim::DetachCommPort("COM3:");
    EXPECT_EQ(os::CreateFileW("COM3:", os::GENERIC_READ, 0, nullptr, os::OPEN_EXISTING, 0, nullptr),
              os::INVALID_HANDLE_VALUE);
}

}  // namespace

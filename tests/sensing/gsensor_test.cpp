// The G-sensor through the sensor framework, reading the simulated
// accelerometer behind "ACC1:" in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/devices/accelerometer_sim.h"
#include "platform/kernel/clock.h"
#include "sensing/gsensor.h"
#include "sensing/gsensor_options.h"
#include "sensing/sensor_manager.h"
#include "tests/support/platform_fixture.h"

namespace {

class GSensorTest : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        ASSERT_EQ(SensorManagerCreate(), 0);
        ASSERT_EQ(SensorManagerEnable(), 0);
        const float thresholds[3] = {900, 900, 900};
        ASSERT_EQ(SensorSetOption(kGSensorName, kGSensorOptSetThreshold, reinterpret_cast<std::intptr_t>(thresholds)), 0);
    }

    void TearDown() override
    {
        SensorManagerDestroy();
        PlatformTest::TearDown();
    }

    // The device answers `a` and `b` by turns, 200 ms each, for a minute.
    static void Alternate(os::sim::AccelerometerCounts a, os::sim::AccelerometerCounts b)
    {
        os::sim::AccelerometerConfig config;
        for (int i = 0; i < 300; ++i) config.replay.push_back({i * 200, i % 2 == 0 ? a : b});
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureAccelerometer(config, &error)) << error;
    }

    static int Poll()
    {
        const int result = SensorManagerPoll();
        os::Sleep(200);
        return result;
    }

    static AccelSample Get(int selector) { return *SensorFind(kGSensorName)->get(selector); }
};

TEST_F(GSensorTest, DetectionStartsWithTheSecondReadAndJudgesTheFirstFullWindowOnTheSixth)
{
    Alternate({0, 0, 1024}, {3000, 1500, 1024});  // every pair of reads is a shock
    EXPECT_EQ(Poll(), 0);
    EXPECT_EQ(Get(0).x, 0.0f) << "the first read never reaches the detector";
    EXPECT_EQ(Get(1).z, 1024.0f);
    std::vector<int> results;
    for (int i = 0; i < 10; ++i) results.push_back(Poll());
    EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0, 1, 0, 0, 0, 0, 1})) << "an event empties the window";
    EXPECT_EQ(GSensorReadCount(), 11u);
    EXPECT_EQ(Get(0).x, Get(1).x) << "the last read was the last judged";
}

TEST_F(GSensorTest, AFailedReadRepeatsTheLastAxesAndOptionsOutOfRangeAreRefused)
{
    Alternate({100, -200, 1024}, {100, -200, 1024});
    Poll();
    os::sim::AccelerometerConfig failing = os::sim::CurrentAccelerometer();
    failing.failure = os::sim::AccelerometerFailure::Read;
    std::string error;
    ASSERT_TRUE(os::sim::ConfigureAccelerometer(failing, &error)) << error;
    const std::uint32_t before = Get(1).tick;
    Poll();
    EXPECT_EQ(Get(1).x, 100.0f);
    EXPECT_EQ(Get(1).y, -200.0f);
    EXPECT_GT(Get(1).tick, before) << "a new sample all the same";

    EXPECT_EQ(SensorSetOption(kGSensorName, kGSensorOptSetSampling, 1), -1);
    EXPECT_EQ(SensorSetOption(kGSensorName, kGSensorOptSetErrorCount, 0), -1);
    EXPECT_EQ(SensorSetOption(kGSensorName, kGSensorOptSetThreshold, 0), -1);
    EXPECT_EQ(SensorSetOption(kGSensorName, 99, 0), 0) << "an unknown option is ignored";

    // A window of two judges every new read with the one before.
    Alternate({0, 0, 1024}, {3000, 1500, 1024});
    ASSERT_EQ(SensorSetOption(kGSensorName, kGSensorOptSetSampling, 2), 0);
    EXPECT_EQ(Poll(), 0) << "the window restarted empty";
    EXPECT_EQ(Poll(), 1);
}

}  // namespace

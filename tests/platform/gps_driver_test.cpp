#include <gtest/gtest.h>

#include "platform/devices/gps_driver.h"

namespace {

class GpsDriverTest : public testing::Test {
protected:
    void TearDown() override { os::sim::ConfigureGpsDevice(os::sim::GpsDeviceConfig{}); }
};

os::GPS_DEVICE Query(os::DWORD* result, os::DWORD version = os::GPS_VERSION_1, os::DWORD size = 216)
{
    os::GPS_DEVICE device;
    device.dwVersion = version;
    device.dwSize = size;
    *result = os::GPSGetDeviceState(&device);
    return device;
}

TEST_F(GpsDriverTest, DeviceStateNamesTheMultiplexerPort)
{
    os::sim::GpsDeviceConfig config;
    config.present = true;
    config.multiplexPort = "COM4:";
    config.friendlyName = "SiRF Star III";
    ASSERT_TRUE(os::sim::ConfigureGpsDevice(config));
    os::DWORD result = 1;
    const os::GPS_DEVICE device = Query(&result);
    ASSERT_EQ(result, 0u);
    EXPECT_EQ(os::GpsDeviceText(device.szGPSMultiplexPrefix, os::GPS_MAX_PREFIX_NAME), "COM4:");
    EXPECT_EQ(os::GpsDeviceText(device.szGPSDriverPrefix, os::GPS_MAX_PREFIX_NAME), "GPD0:");
    EXPECT_EQ(os::GpsDeviceText(device.szGPSFriendlyName, os::GPS_MAX_FRIENDLY_NAME), "SiRF Star III");
    EXPECT_EQ(device.dwDeviceState, os::SERVICE_STATE_ON);
}

TEST_F(GpsDriverTest, QueriesFailWithoutAReceiverOrWithAnotherRecord)
{
    os::DWORD result = 0;
    Query(&result);
    EXPECT_EQ(result, static_cast<os::DWORD>(os::ERROR_DEVICE_NOT_AVAILABLE));
    os::sim::GpsDeviceConfig config;
    config.present = true;
    ASSERT_TRUE(os::sim::ConfigureGpsDevice(config));
    Query(&result, 2);
    EXPECT_EQ(result, static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    Query(&result, os::GPS_VERSION_1, 212);
    EXPECT_EQ(result, static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    EXPECT_EQ(os::GPSGetDeviceState(nullptr), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
}

TEST_F(GpsDriverTest, NamesMustFitTheirFields)
{
    os::sim::GpsDeviceConfig config;
    config.present = true;
    config.multiplexPort = "COM4567890123456:";  // 17 characters and no room for the terminator
    EXPECT_FALSE(os::sim::ConfigureGpsDevice(config));
    config.multiplexPort = "COM\xC3\xA9:";
    EXPECT_FALSE(os::sim::ConfigureGpsDevice(config));
    EXPECT_FALSE(os::sim::CurrentGpsDevice().present) << "a refused profile changes nothing";
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/devices/device.h"
#include "platform/devices/display.h"

namespace {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(os::sim::ConfigureDevice(os::sim::DeviceProfile{})); }
    void TearDown() override { os::sim::ConfigureDevice(os::sim::DeviceProfile{}); }
};

TEST_F(DeviceTest, SystemParametersGiveTheProfilesTexts)
{
    os::sim::DeviceProfile profile;
    profile.oemInfo = "SGH-i900";
    profile.manufacturer = "Samsung";
    ASSERT_TRUE(os::sim::ConfigureDevice(profile));

    std::string text;
    ASSERT_TRUE(os::SystemParametersInfoW(os::SPI_GETOEMINFO, 256, &text, 0));
    EXPECT_EQ(text, "SGH-i900");
    ASSERT_TRUE(os::SystemParametersInfoW(os::SPI_GETPLATFORMMANUFACTURER, 64, &text, 0));
    EXPECT_EQ(text, "Samsung");

    // The size counts the terminator: "SGH-i900" needs 9.
    EXPECT_FALSE(os::SystemParametersInfoW(os::SPI_GETOEMINFO, 8, &text, 0));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(text, "Samsung");  // untouched
    EXPECT_TRUE(os::SystemParametersInfoW(os::SPI_GETOEMINFO, 9, &text, 0));
    EXPECT_FALSE(os::SystemParametersInfoW(0x0030, 256, &text, 0));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
}

TEST_F(DeviceTest, MemoryStatusFollowsTheSimulator)
{
    os::sim::DeviceProfile profile;
    profile.totalPhysicalMemory = 100u * 1024 * 1024;
    profile.availablePhysicalMemory = 25u * 1024 * 1024;
    ASSERT_TRUE(os::sim::ConfigureDevice(profile));
    os::MEMORYSTATUS status;
    os::GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwTotalPhys, 100u * 1024 * 1024);
    EXPECT_EQ(status.dwAvailPhys, 25u * 1024 * 1024);
    EXPECT_EQ(status.dwMemoryLoad, 75u);

    ASSERT_TRUE(os::sim::SetAvailablePhysicalMemory(0xA00000 - 1));
    os::GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwAvailPhys, 0xA00000u - 1);
    EXPECT_FALSE(os::sim::SetAvailablePhysicalMemory(101u * 1024 * 1024));
    os::GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwAvailPhys, 0xA00000u - 1);
}

TEST_F(DeviceTest, BadProfilesChangeNothing)
{
    os::sim::DeviceProfile bad;
    bad.oemInfo = "changed";
    bad.orientation = 3;
    EXPECT_FALSE(os::sim::ConfigureDevice(bad));
    bad.orientation = os::DMDO_0;
    bad.screenWidth = 0;
    EXPECT_FALSE(os::sim::ConfigureDevice(bad));
    bad.screenWidth = 480;
    bad.availablePhysicalMemory = bad.totalPhysicalMemory + 1;
    EXPECT_FALSE(os::sim::ConfigureDevice(bad));
    EXPECT_EQ(os::sim::CurrentDeviceProfile().oemInfo, os::sim::DeviceProfile{}.oemInfo);
}

TEST_F(DeviceTest, TurningTheDisplaySwapsTheScreenSize)
{
    os::sim::DeviceProfile profile;
    profile.screenWidth = 480;
    profile.screenHeight = 800;
    profile.orientation = os::DMDO_0;
    ASSERT_TRUE(os::sim::ConfigureDevice(profile));
    EXPECT_EQ(os::GetSystemMetrics(os::SM_CXSCREEN), 480);
    EXPECT_EQ(os::GetSystemMetrics(os::SM_CYSCREEN), 800);

    os::DEVMODEW mode;
    mode.dmFields = os::DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = os::DMDO_270;
    ASSERT_EQ(os::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr), os::DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(os::GetSystemMetrics(os::SM_CXSCREEN), 800);
    EXPECT_EQ(os::GetSystemMetrics(os::SM_CYSCREEN), 480);

    os::DEVMODEW query;
    query.dmFields = os::DM_DISPLAYORIENTATION | os::DM_PELSWIDTH;
    ASSERT_EQ(os::ChangeDisplaySettingsEx(nullptr, &query, nullptr, os::CDS_TEST, nullptr), os::DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(query.dmDisplayOrientation, os::DMDO_270);
    EXPECT_EQ(query.dmPelsWidth, 800u);
    EXPECT_EQ(os::sim::OrientationChangeCount(), 1);

    // The user turns the handset upside down: still portrait.
    ASSERT_TRUE(os::sim::RotateDisplay(os::DMDO_180));
    EXPECT_EQ(os::GetSystemMetrics(os::SM_CXSCREEN), 480);
    EXPECT_FALSE(os::sim::RotateDisplay(3));
    EXPECT_EQ(os::sim::CurrentOrientation(), os::DMDO_180);
    EXPECT_EQ(os::GetSystemMetrics(42), 0);
}

TEST_F(DeviceTest, DisplayChangesOtherThanOrientationAreRefused)
{
    os::DEVMODEW mode;
    mode.dmFields = os::DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = 3;
    EXPECT_EQ(os::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr), os::DISP_CHANGE_BADMODE);
    mode.dmDisplayOrientation = os::DMDO_90;
    mode.dmFields |= os::DM_PELSWIDTH;
    EXPECT_EQ(os::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr), os::DISP_CHANGE_BADMODE);
    mode.dmFields = os::DM_DISPLAYORIENTATION;
    mode.dmSize = 3;
    EXPECT_EQ(os::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr), os::DISP_CHANGE_BADPARAM);
    EXPECT_EQ(os::ChangeDisplaySettingsEx(nullptr, nullptr, nullptr, 0, nullptr), os::DISP_CHANGE_BADPARAM);
    EXPECT_EQ(os::sim::CurrentOrientation(), os::sim::DeviceProfile{}.orientation);
    EXPECT_EQ(os::sim::OrientationChangeCount(), 0);
}

}  // namespace

// A start of the platform begins every stand-in as on a fresh boot, whatever
// the run before it left behind.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/base/com.h"
#include "platform/base/platform.h"
#include "platform/devices/comm.h"
#include "platform/devices/device.h"
#include "platform/devices/display.h"
#include "platform/devices/gps_driver.h"
#include "platform/devices/power.h"
#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/kernel/sync.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/windows/message_box.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr os::DWORD kGenericWrite = 0x40000000;

// What a run sees of the stand-ins from its first step.
struct FirstSight {
    os::DWORD firstThreadId = 0;
    os::HANDLE firstHandle = nullptr;
    std::string model;
    int screenWidth = 0;
    bool gpsPresent = false;
    int comCount = 0;
    std::size_t powerRequests = 0;
    int powerNotifications = 0;
    std::size_t messageBoxes = 0;
    int messageBoxAnswer = 0;
    bool filesReachable = false;
    bool registryOpen = false;
    bool portNameFree = false;
    bool eventNameFree = false;
    bool queueEmpty = false;
};

os::DWORD Nothing(void*) { return 0; }

FirstSight Look()
{
    FirstSight sight;
    os::HANDLE thread = os::CreateThread(nullptr, 0, Nothing, nullptr, 0, &sight.firstThreadId);
    sight.firstHandle = thread;
    os::WaitForSingleObject(thread, os::INFINITE);
    os::CloseHandle(thread);
    sight.model = os::sim::CurrentDeviceProfile().oemInfo;
    sight.screenWidth = os::GetSystemMetrics(os::SM_CXSCREEN);
    sight.gpsPresent = os::sim::CurrentGpsDevice().present;
    sight.comCount = os::sim::ComInitCount();
    sight.powerRequests = os::sim::PowerStateRequests().size();
    sight.powerNotifications = os::sim::ActivePowerNotifications();
    sight.messageBoxes = os::sim::MessageBoxHistory().size();
    sight.messageBoxAnswer = os::MessageBoxW(nullptr, "probe", "probe", os::MB_YESNO);
    os::sim::ClearMessageBoxHistory();
    os::HANDLE file = os::CreateFileW("\\probe.txt", kGenericWrite, 0, nullptr, os::CREATE_ALWAYS,
                                      os::FILE_ATTRIBUTE_NORMAL, nullptr);
    sight.filesReachable = file != os::INVALID_HANDLE_VALUE;
    if (sight.filesReachable) os::CloseHandle(file);
    os::HKEY key = nullptr;
    sight.registryOpen = os::RegOpenKeyExW(os::HKEY_CURRENT_USER, "", 0, 0, &key) == os::ERROR_SUCCESS;
    if (sight.registryOpen) os::RegCloseKey(key);
    auto line = std::make_shared<os::sim::CommLine>();
    sight.portNameFree = os::sim::AttachCommPort("COM7:", line);
    if (sight.portNameFree) os::sim::DetachCommPort("COM7:");
    os::HANDLE event = os::CreateEventW(nullptr, os::TRUE, os::FALSE, "left-behind");
    sight.eventNameFree = os::GetLastError() == os::ERROR_SUCCESS;
    os::CloseHandle(event);
    os::MSGQUEUEOPTIONS options;
    options.cbMaxMessage = 8;
    os::HANDLE queue = os::CreateMsgQueue("left-behind", &options);
    char byte = 0;
    os::DWORD size = 0;
    os::DWORD flags = 0;
    sight.queueEmpty = !os::ReadMsgQueue(queue, &byte, 1, &size, 0, &flags);
    os::CloseMsgQueue(queue);
    return sight;
}

void ExpectSame(const FirstSight& a, const FirstSight& b)
{
    EXPECT_EQ(a.firstThreadId, b.firstThreadId);
    EXPECT_EQ(a.firstHandle, b.firstHandle);
    EXPECT_EQ(a.model, b.model);
    EXPECT_EQ(a.screenWidth, b.screenWidth);
    EXPECT_EQ(a.gpsPresent, b.gpsPresent);
    EXPECT_EQ(a.comCount, b.comCount);
    EXPECT_EQ(a.powerRequests, b.powerRequests);
    EXPECT_EQ(a.powerNotifications, b.powerNotifications);
    EXPECT_EQ(a.messageBoxes, b.messageBoxes);
    EXPECT_EQ(a.messageBoxAnswer, b.messageBoxAnswer);
    EXPECT_EQ(a.filesReachable, b.filesReachable);
    EXPECT_EQ(a.registryOpen, b.registryOpen);
    EXPECT_EQ(a.portNameFree, b.portNameFree);
    EXPECT_EQ(a.eventNameFree, b.eventNameFree);
    EXPECT_EQ(a.queueEmpty, b.queueEmpty);
}

class FreshStartTest : public testing_support::PlatformTest {
protected:
    testing_support::TempFolder folder;

    // Changes every stand-in and leaves its handles open, as a run that
    // ended badly would.
    void LeaveEverythingBehind()
    {
        std::string error;
        os::sim::FileSystemConfig files;
        files.deviceRoot = folder.Path();
        ASSERT_TRUE(os::sim::ConfigureFileSystem(files, &error)) << error;
        os::CreateFileW("\\open.txt", kGenericWrite, 0, nullptr, os::CREATE_ALWAYS, os::FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        ASSERT_EQ(os::sim::OpenRegistry(folder.Path(), &error), os::sim::RegistryOpenResult::Loaded) << error;
        os::HKEY key = nullptr;
        os::RegCreateKeyExW(os::HKEY_CURRENT_USER, "\\Left", 0, nullptr, 0, 0, nullptr, &key, nullptr);
        ASSERT_TRUE(os::sim::AttachCommPort("COM7:", std::make_shared<os::sim::CommLine>()));
        os::CreateFileW("COM7:", kGenericWrite, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
        os::sim::DeviceProfile device;
        device.oemInfo = "Leftover";
        device.screenWidth = 240;
        device.screenHeight = 320;
        ASSERT_TRUE(os::sim::ConfigureDevice(device));
        os::sim::GpsDeviceConfig gps;
        gps.present = true;
        ASSERT_TRUE(os::sim::ConfigureGpsDevice(gps));
        os::CoInitializeEx(nullptr, 0);
        os::SetSystemPowerState("left", 0, 0);
        os::MSGQUEUEOPTIONS options;
        options.cbMaxMessage = 8;
        os::HANDLE queue = os::CreateMsgQueue("left-behind", &options);
        os::WriteMsgQueue(queue, "x", 1, 0, 0);
        os::RequestPowerNotifications(queue, os::PBT_POWERINFOCHANGE);
        os::MessageBoxW(nullptr, "left", "left", os::MB_OK);
        os::sim::QueueMessageBoxAnswer(os::IDNO);
        os::CreateEventW(nullptr, os::TRUE, os::FALSE, "left-behind");
        for (int i = 0; i < 3; ++i) os::CreateThread(nullptr, 0, Nothing, nullptr, 0, nullptr);
        os::Sleep(1);
    }
};

TEST_F(FreshStartTest, NothingOfAnEarlierRunIsLeftForTheNext)
{
    const FirstSight fresh = Look();
    os::sim::StopPlatform();
    SetUp();
    LeaveEverythingBehind();
    os::sim::StopPlatform();
    SetUp();
    ExpectSame(Look(), fresh);
}

}  // namespace

// Inserting and removing a card is announced to the program's top-level
// windows.
#include "platform/window.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/platform_fixture.h"

namespace kestrava_test {
namespace {

using os::sim::VolumeConfig;

class FileDeviceChangeTest : public DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        os::ClockConfig clock;
        clock.mode = os::ClockMode::Virtual;
        clock.start = testing_support::TestStartTime();
        os::sim::StartPlatform(clock);
        os::WNDCLASSW wc;
        wc.lpfnWndProc = os::DefWindowProcW;
        wc.lpszClassName = "CardWatch";
        ASSERT_NE(os::RegisterClassW(&wc), 0);
        window_ = os::CreateWindowExW(0, "CardWatch", "watch", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override
    {
        os::DestroyWindow(window_);
        os::sim::StopPlatform();
        DeviceRootTest::TearDown();
    }

    // The WM_DEVICECHANGE wParams waiting in the queue, in order.
    std::vector<os::WPARAM> DeviceChanges()
    {
        std::vector<os::WPARAM> changes;
        os::MSG msg;
        while (os::PeekMessageW(&msg, nullptr, os::WM_DEVICECHANGE, os::WM_DEVICECHANGE, os::PM_REMOVE)) {
            EXPECT_EQ(msg.hwnd, window_);
            EXPECT_EQ(msg.lParam, 0);
            changes.push_back(msg.wParam);
        }
        return changes;
    }

    os::HWND window_ = nullptr;
};

TEST_F(FileDeviceChangeTest, MountAndUnmountAreBroadcast)
{
    Configure({VolumeConfig{"Storage Card", 0, true, ""}});
    EXPECT_TRUE(DeviceChanges().empty());

    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_EQ(DeviceChanges(), std::vector<os::WPARAM>{os::DBT_DEVICEREMOVECOMPLETE});
    // The volume is already gone when the message arrives.
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card"), os::INVALID_FILE_ATTRIBUTES);

    EXPECT_FALSE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_FALSE(os::sim::MountVolume("Other"));
    EXPECT_TRUE(DeviceChanges().empty());

    ASSERT_TRUE(os::sim::MountVolume("Storage Card"));
    EXPECT_EQ(DeviceChanges(), std::vector<os::WPARAM>{os::DBT_DEVICEARRIVAL});
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card"), kVolumeRoot);
}

}  // namespace
}  // namespace kestrava_test

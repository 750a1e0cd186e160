// The file system with the platform running: device-change messages to the
// program's windows, and writers on several threads sharing one card.
#include "platform/windows/window.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/platform_fixture.h"

namespace kestrava_test {
namespace {

using os::sim::VolumeConfig;

class FilePlatformTest : public DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        os::ClockConfig clock;
        clock.mode = os::ClockMode::Real;
        clock.start = testing_support::TestStartTime();
        os::sim::StartPlatform(clock);
    }

    void TearDown() override
    {
        os::sim::StopPlatform();
        DeviceRootTest::TearDown();
    }
};

class FileDeviceChangeTest : public FilePlatformTest {
protected:
    void SetUp() override
    {
        FilePlatformTest::SetUp();
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
        FilePlatformTest::TearDown();
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

struct Writer {
    const char* path;
    os::DWORD written = 0;
    os::DWORD refused = 0;  // writes that failed with ERROR_DISK_FULL
    os::DWORD otherErrors = 0;
};

os::DWORD WriteUntilFull(void* param)
{
    auto* writer = static_cast<Writer*>(param);
    const os::HANDLE file =
        os::CreateFileW(writer->path, os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return 1;
    const std::string block(1000, 'w');
    for (int i = 0; i < 40; ++i) {
        os::DWORD count = 0;
        if (!os::WriteFile(file, block.data(), 1000, &count, nullptr)) {
            ++(os::GetLastError() == static_cast<os::DWORD>(os::ERROR_DISK_FULL) ? writer->refused : writer->otherErrors);
        }
        writer->written += count;
    }
    os::CloseHandle(file);
    return 0;
}

TEST_F(FilePlatformTest, ConcurrentWritersNeverOverfillACard)
{
    Configure({VolumeConfig{"Storage Card", 50000, true, ""}});
    Writer writers[3] = {{"\\Storage Card\\a.bin"}, {"\\Storage Card\\b.bin"}, {"\\Storage Card\\c.bin"}};
    std::vector<os::HANDLE> threads;
    for (Writer& writer : writers) threads.push_back(os::CreateThread(nullptr, 0, WriteUntilFull, &writer, 0, nullptr));
    ASSERT_EQ(os::WaitForMultipleObjects(3, threads.data(), os::TRUE, 60000), os::WAIT_OBJECT_0);
    os::DWORD total = 0;
    os::DWORD refused = 0;
    for (int i = 0; i < 3; ++i) {
        os::DWORD exitCode = 1;
        EXPECT_TRUE(os::GetExitCodeThread(threads[i], &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(writers[i].otherErrors, 0u);
        EXPECT_EQ(SizeOf(writers[i].path), writers[i].written);
        total += writers[i].written;
        refused += writers[i].refused;
        os::CloseHandle(threads[i]);
    }
    EXPECT_EQ(total, 50000u);
    EXPECT_EQ(refused, 3u * 40u - 50u);
    EXPECT_EQ(FreeBytes("\\Storage Card"), 0u);
}

}  // namespace
}  // namespace kestrava_test

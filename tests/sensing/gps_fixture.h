// The GPS module on a started platform: a main window whose user data is
// the application state, a storage card for log files, the English resource
// library for the module's message, and helpers to feed the NMEA parser as
// the serial worker does and to read the files back.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/devices/gps_driver.h"
#include "platform/windows/message_box.h"
#include "platform/shell/resource.h"
#include "platform/windows/window.h"
#include "sensing/gps_acquisition.h"
#include "sensing/gps_update.h"
#include "tests/sensing/nmea_test_support.h"
#include "tests/support/device_file.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace gps_test {

inline os::LRESULT PlainWindowProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class GpsFixture : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::FileSystemConfig config;
        config.deviceRoot = folder_.Path();
        config.programHostFolder = KESTRAVA_BINARY_DIR;
        config.volumes.push_back(os::sim::VolumeConfig{"Storage Card", CardBytes(), true, ""});
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
        g_hResourceLibrary = os::LoadLibraryW("\\Program Files\\Kestrava\\res\\kestrava-res-English.dll");
        ASSERT_NE(g_hResourceLibrary, nullptr);
        os::sim::ConfigureGpsDevice(os::sim::GpsDeviceConfig{});
        os::sim::ClearMessageBoxAnswers();
        os::sim::ClearMessageBoxHistory();
        os::WNDCLASSW wc;
        wc.lpfnWndProc = PlainWindowProc;
        wc.lpszClassName = "GpsTest";
        os::RegisterClassW(&wc);
        window_ = os::CreateWindowExW(0, "GpsTest", "Ardvane", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        app_ = std::make_unique<EventRecorderApp>();
        os::SetWindowLongW(window_, os::GWL_USERDATA, reinterpret_cast<os::LONG_PTR>(app_.get()));
    }

    void TearDown() override
    {
        GpsDeinit(window_);
        os::DestroyWindow(window_);
        os::UnregisterClassW("GpsTest", nullptr);
        os::FreeLibrary(g_hResourceLibrary);
        g_hResourceLibrary = nullptr;
        os::sim::ConfigureGpsDevice(os::sim::GpsDeviceConfig{});
        PlatformTest::TearDown();
    }

    virtual os::ULONGLONG CardBytes() const { return 1ull << 30; }

    // GPS set up without a receiver, the user going on without it: the
    // parser is there, fed and read by the test in place of the workers.
    void InitWithoutReceiver()
    {
        os::sim::QueueMessageBoxAnswer(os::IDYES);
        ASSERT_EQ(GpsInit(window_), 1);
    }

    void Feed(const std::string& bytes)
    {
        GpsDataCallback(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                        &Gps());
    }
    void FeedSentence(const std::string& body) { Feed(nmea_test::Sentence(body)); }

    GpsFix Fix()
    {
        GpsFix fix{};
        EXPECT_EQ(GpsGetFix(window_, &fix), 1);
        return fix;
    }

    GpsState& Gps() { return app_->gps; }

    static std::string ReadDeviceFile(const std::string& path) { return testing_support::ReadDeviceFile(path); }

    template <typename T>
    static T At(const std::string& bytes, std::size_t offset)
    {
        T value{};
        if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }

    testing_support::TempFolder folder_;
    os::HWND window_ = nullptr;
    std::unique_ptr<EventRecorderApp> app_;
};

}  // namespace gps_test

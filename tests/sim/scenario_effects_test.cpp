// What the registry and fill events do to the simulated phone, played by the
// scenario runner in virtual time: the settings value changes at its time
// and the key's watchers hear of it; a filled card's free space drops and a
// write past what is left fails as on a full card.
#include <gtest/gtest.h>

#include <string>

#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/windows/window.h"
#include "sim/launcher.h"
#include "sim/profile.h"
#include "sim/scenario.h"
#include "sim/scenario_runner.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr const char* kSettingsKey = "\\Software\\Holmbrek\\Ardvane";
constexpr os::UINT kSplitTimeChanged = os::WM_USER + 71;

os::LRESULT QuietProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class ScenarioEffects : public testing_support::PlatformTest {
protected:
    void TearDown() override
    {
        sim::StopScenarioRunner();
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }

    void Start(const sim::DeviceProfile& profile, const std::string& events)
    {
        sim::Scenario scenario;
        std::string error;
        ASSERT_TRUE(sim::ParseScenario(R"({"events": [)" + events + "]}", "s.json", &scenario, &error)) << error;
        ASSERT_TRUE(sim::CheckScenarioVolumes(scenario, profile, "s.json", &error)) << error;
        ASSERT_TRUE(sim::PreparePhone(profile, folder_.Path(), &error)) << error;
        ASSERT_TRUE(sim::StartScenarioRunner(scenario, std::nullopt));
    }

    // Sleeps until the device time `ms`.
    static void SleepUntil(std::int64_t ms) { os::Sleep(static_cast<os::DWORD>(ms - os::DeviceTimeUs() / 1000)); }

    testing_support::TempFolder folder_;
};

// The settings value as stored: its type, and its number or text.
struct Stored {
    os::DWORD type = 0;
    os::DWORD dword = 0;
    std::string text;
    bool operator==(const Stored&) const = default;
};

Stored Read(const char* name)
{
    Stored value;
    os::HKEY key = nullptr;
    if (os::RegOpenKeyExW(os::HKEY_CURRENT_USER, kSettingsKey, 0, os::KEY_READ, &key) != os::ERROR_SUCCESS) return value;
    if (os::RegQueryDword(key, name, &value.dword) == os::ERROR_SUCCESS) {
        value.type = os::REG_DWORD;
    } else if (os::RegQueryString(key, name, &value.text) == os::ERROR_SUCCESS) {
        value.type = os::REG_SZ;
    }
    os::RegCloseKey(key);
    return value;
}

int Notifications(os::HWND window)
{
    int count = 0;
    os::MSG msg;
    while (os::PeekMessageW(&msg, window, kSplitTimeChanged, kSplitTimeChanged, os::PM_REMOVE)) ++count;
    return count;
}

TEST_F(ScenarioEffects, RegistryEventsSetTheSettingsAtTheirTimeAndWatchersHearIt)
{
    os::WNDCLASSW wc;
    wc.lpfnWndProc = QuietProc;
    wc.lpszClassName = "ScenarioEffectsWatcher";
    ASSERT_NE(os::RegisterClassW(&wc), 0);
    const os::HWND watcher =
        os::CreateWindowExW(0, wc.lpszClassName, "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(watcher, nullptr);
    Start(sim::DefaultProfile(), R"(
        {"at": "10s", "do": "registry", "name": "SplitTimeSec", "dword": 60},
        {"at": 0, "do": "registry", "name": "EnableMovRecordAfterLaunch", "dword": 0},
        {"at": "10s", "do": "registry", "name": "SelectDisk", "string": "Karte"},
        {"at": "15s", "do": "registry", "name": "SplitTimeSec", "string": "90"})");
    os::HREGNOTIFY notify = nullptr;
    ASSERT_EQ(os::RegistryNotifyWindow(os::HKEY_CURRENT_USER, kSettingsKey, "SplitTimeSec", watcher, kSplitTimeChanged,
                                       0, nullptr, &notify),
              os::ERROR_SUCCESS);

    // What the program reads at launch is there once the runner has started.
    EXPECT_EQ(Read("EnableMovRecordAfterLaunch"), (Stored{os::REG_DWORD, 0, ""}));

    SleepUntil(9'900);
    EXPECT_EQ(Read("SplitTimeSec"), Stored{});
    EXPECT_EQ(Read("SelectDisk"), Stored{});
    EXPECT_EQ(Notifications(watcher), 0);

    SleepUntil(10'100);
    EXPECT_EQ(Read("SplitTimeSec"), (Stored{os::REG_DWORD, 60, ""}));
    EXPECT_EQ(Read("SelectDisk"), (Stored{os::REG_SZ, 0, "Karte"}));
    EXPECT_EQ(Notifications(watcher), 1);

    // A value may change its type, as any writer of the key could do.
    SleepUntil(15'100);
    EXPECT_EQ(Read("SplitTimeSec"), (Stored{os::REG_SZ, 0, "90"}));
    EXPECT_EQ(Notifications(watcher), 1);
    os::RegistryCloseNotification(notify);
}

TEST_F(ScenarioEffects, FillTakesTheCardsFreeSpaceAndWritesPastItFailAsOnAFullCard)
{
    constexpr os::ULONGLONG kCard = 4 << 20;
    sim::DeviceProfile profile = sim::DefaultProfile();
    profile.volumes.front().capacityBytes = kCard;
    Start(profile, R"(
        {"at": "20s", "do": "fill", "volume": "Storage Card", "bytes": "3MB"},
        {"at": "30s", "do": "fill", "volume": "storage card", "bytes": "1GB"},
        {"at": "40s", "do": "fill", "volume": "Storage Card", "bytes": 0})");
    auto freeBytes = [] {
        os::ULONGLONG free = 0;
        EXPECT_TRUE(os::GetDiskFreeSpaceExW("\\Storage Card", &free, nullptr, nullptr));
        return free;
    };
    SleepUntil(19'900);
    EXPECT_EQ(freeBytes(), kCard);

    SleepUntil(20'100);
    ASSERT_EQ(freeBytes(), kCard - (3 << 20));
    const os::HANDLE file = os::CreateFileW("\\Storage Card\\clip.avi", os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW,
                                            os::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    const std::string block((1 << 20) + 4096, 'v');
    os::DWORD written = 0;
    EXPECT_FALSE(os::WriteFile(file, block.data(), static_cast<os::DWORD>(block.size()), &written, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_DISK_FULL);
    EXPECT_EQ(written, 1u << 20) << "what fits is written";
    EXPECT_EQ(freeBytes(), 0u);
    EXPECT_TRUE(os::CloseHandle(file));
    ASSERT_TRUE(os::DeleteFileW("\\Storage Card\\clip.avi"));
    EXPECT_EQ(freeBytes(), 1u << 20);

    // More than is left fills the card completely; 0 gives it all back.
    SleepUntil(30'100);
    EXPECT_EQ(freeBytes(), 0u);
    SleepUntil(40'100);
    EXPECT_EQ(freeBytes(), kCard);
}

}  // namespace

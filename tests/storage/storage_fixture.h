// A started platform with a registry, a device file system whose volumes each
// test chooses (listed at the root in the order given; a volume with a
// capacity reports it less its files), and a window whose user data is the
// application state, as the storage operations reach it.
#pragma once

#include <string>
#include <vector>

#include "app/app_state.h"
#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/registry/registry.h"
#include "platform/kernel/sync.h"
#include "platform/windows/window.h"
#include "tests/support/registry_fixture.h"

namespace storage_test {

constexpr os::ULONGLONG kMB = 1048576;
constexpr const char* kSettingsKey = "\\Software\\Holmbrek\\Ardvane";

inline os::LRESULT PlainWindowProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class StorageFixture : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        os::WNDCLASSW wc;
        wc.lpfnWndProc = PlainWindowProc;
        wc.lpszClassName = "StorageTest";
        os::RegisterClassW(&wc);
        window_ = os::CreateWindowExW(0, "StorageTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        os::SetWindowLongW(window_, os::GWL_USERDATA, reinterpret_cast<os::LONG_PTR>(&app_));
        app_.settings.MinFreeSpaceMB = 10;
    }

    void TearDown() override
    {
        os::DestroyWindow(window_);
        os::UnregisterClassW("StorageTest", nullptr);
        RegistryFixture::TearDown();
    }

    void Configure(std::vector<os::sim::VolumeConfig> volumes)
    {
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_;
        config.volumes = std::move(volumes);
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    }

    static os::sim::VolumeConfig Volume(const std::string& name, os::ULONGLONG capacity, bool mounted = true)
    {
        return os::sim::VolumeConfig{name, capacity, mounted, ""};
    }

    static void PutFile(const std::string& path, os::DWORD size)
    {
        const os::HANDLE file =
            os::CreateFileW(path.c_str(), os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, os::INVALID_HANDLE_VALUE) << path;
        const std::string content(size, 'x');
        os::DWORD written = 0;
        EXPECT_TRUE(os::WriteFile(file, content.data(), size, &written, nullptr));
        EXPECT_EQ(written, size);
        os::CloseHandle(file);
    }

    static bool IsFolder(const std::string& path)
    {
        const os::DWORD attributes = os::GetFileAttributesW(path.c_str());
        return attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    // A value of the settings key, or "<none>".
    std::string StoredText(const char* name)
    {
        os::HKEY key = nullptr;
        if (os::RegOpenKeyExW(os::HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key) != os::ERROR_SUCCESS) return "<none>";
        std::string text;
        const bool found = os::RegQueryString(key, name, &text) == os::ERROR_SUCCESS;
        os::RegCloseKey(key);
        return found ? text : "<none>";
    }

    RecorderSettings& Settings() { return app_.settings; }
    StorageState& Storage() { return app_.storage; }

    EventRecorderApp app_{};
    os::HWND window_ = nullptr;
};

}  // namespace storage_test

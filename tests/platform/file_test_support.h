// A fresh device root for each file system test, removed afterwards, and
// small helpers that go through the file calls.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/kernel/sync.h"

namespace kestrava_test {

class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = KESTRAVA_BINARY_DIR "/test-device-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    void Configure(std::vector<os::sim::VolumeConfig> volumes, const std::string& programHost = "")
    {
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_;
        config.programHostFolder = programHost;
        config.volumes = std::move(volumes);
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    }

    std::string Host(const std::string& relative) const { return root_ + "/" + relative; }

    static void WriteHostFile(const std::string& host, const std::string& content)
    {
        std::filesystem::create_directories(std::filesystem::path(host).parent_path());
        std::ofstream(host, std::ios::binary) << content;
    }

    static std::string ReadHostFile(const std::string& host)
    {
        std::ifstream in(host, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static os::HANDLE Open(const char* path, os::DWORD access, os::DWORD creation, os::DWORD share = 0)
    {
        return os::CreateFileW(path, access, share, nullptr, creation, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    // Creates or replaces a file holding the content.
    static void PutFile(const char* path, const std::string& content)
    {
        const os::HANDLE file = Open(path, os::GENERIC_WRITE, os::CREATE_ALWAYS);
        ASSERT_NE(file, os::INVALID_HANDLE_VALUE) << path << " error " << os::GetLastError();
        os::DWORD written = 0;
        EXPECT_TRUE(os::WriteFile(file, content.data(), static_cast<os::DWORD>(content.size()), &written, nullptr));
        EXPECT_EQ(written, content.size());
        EXPECT_TRUE(os::CloseHandle(file));
    }

    static std::string GetFile(const char* path)
    {
        const os::HANDLE file = Open(path, os::GENERIC_READ, os::OPEN_EXISTING, os::FILE_SHARE_READ);
        if (file == os::INVALID_HANDLE_VALUE) return "<error " + std::to_string(os::GetLastError()) + ">";
        std::string content(4096, '\0');
        os::DWORD got = 0;
        os::ReadFile(file, content.data(), static_cast<os::DWORD>(content.size()), &got, nullptr);
        os::CloseHandle(file);
        content.resize(got);
        return content;
    }

    static os::ULONGLONG SizeOf(const char* path)
    {
        os::WIN32_FIND_DATAW data;
        const os::HANDLE search = os::FindFirstFileW(path, &data);
        EXPECT_NE(search, os::INVALID_HANDLE_VALUE) << path;
        if (search == os::INVALID_HANDLE_VALUE) return 0;
        os::FindClose(search);
        return (static_cast<os::ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    // Names found by a search, in listing order; empty when it fails.
    static std::vector<std::string> Find(const char* pattern)
    {
        std::vector<std::string> names;
        os::WIN32_FIND_DATAW data;
        const os::HANDLE search = os::FindFirstFileW(pattern, &data);
        if (search == os::INVALID_HANDLE_VALUE) return names;
        do {
            names.push_back(data.cFileName);
        } while (os::FindNextFileW(search, &data));
        EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_NO_MORE_FILES)) << pattern;
        EXPECT_TRUE(os::FindClose(search));
        return names;
    }

    static os::ULONGLONG FreeBytes(const char* path)
    {
        os::ULONGLONG free = 0;
        EXPECT_TRUE(os::GetDiskFreeSpaceExW(path, &free, nullptr, nullptr)) << path;
        return free;
    }

    // The last error of a call that must fail.
    static os::DWORD ErrorOf(os::BOOL result)
    {
        EXPECT_FALSE(result);
        return os::GetLastError();
    }

    std::string root_;
};

constexpr os::DWORD Code(os::LONG error) { return static_cast<os::DWORD>(error); }

inline constexpr os::DWORD kVolumeRoot = os::FILE_ATTRIBUTE_DIRECTORY | os::FILE_ATTRIBUTE_TEMPORARY;

}  // namespace kestrava_test

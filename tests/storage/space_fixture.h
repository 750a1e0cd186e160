// A card for the free-space tests: one volume "Storage Card" of a chosen
// capacity, laid out with sparse files (a 30 MB clip costs no disk), and the
// application state's space lock and filing queue made as the main window
// makes them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/files/file.h"
#include "platform/kernel/sync.h"
#include "storage/event_filing.h"
#include "tests/storage/storage_fixture.h"

namespace storage_test {

class SpaceFixture : public StorageFixture {
protected:
    void SetUp() override
    {
        StorageFixture::SetUp();
        os::InitializeCriticalSection(&app_.storageLock);
        InitSpaceState(&app_.space);
        Settings().SelectDisk.Assign("Storage Card");
        Settings().FileDeleteLevel = 100;
        Storage().StorageRoot.Assign("\\Storage Card");
    }

    void TearDown() override
    {
        DeleteSpaceState(&app_.space);
        os::DeleteCriticalSection(&app_.storageLock);
        StorageFixture::TearDown();
    }

    // A fresh card: whatever an earlier card of the test held is gone.
    void Card(std::uint64_t capacity)
    {
        std::filesystem::remove_all(root_ + "/volumes");
        Configure({Volume("Storage Card", capacity)});
    }

    // Makes the folders on the way and a file of `size` zero bytes.
    static void Sparse(const std::string& path, std::uint64_t size)
    {
        for (std::size_t at = path.find('\\', 1); at != std::string::npos; at = path.find('\\', at + 1)) {
            os::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        }
        const os::HANDLE file =
            os::CreateFileW(path.c_str(), os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, os::INVALID_HANDLE_VALUE) << path;
        ASSERT_TRUE(os::SetFilePointerEx(file, static_cast<os::LONGLONG>(size), nullptr, os::FILE_BEGIN));
        ASSERT_TRUE(os::SetEndOfFile(file));
        os::CloseHandle(file);
    }

    static bool Exists(const std::string& path)
    {
        return os::GetFileAttributesW(path.c_str()) != os::INVALID_FILE_ATTRIBUTES;
    }

    static std::uint64_t VolumeFree()
    {
        os::ULONGLONG toCaller = 0, total = 0, totalFree = 0;
        os::GetDiskFreeSpaceExW("\\Storage Card", &toCaller, &total, &totalFree);
        return totalFree;
    }
};

}  // namespace storage_test

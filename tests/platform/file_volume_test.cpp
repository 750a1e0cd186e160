// Volumes: capacity and free space, mounting, "VOL:" and the root listing.
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

#include "tests/platform/file_test_support.h"

namespace kestrava_test {
namespace {

using os::sim::VolumeConfig;

constexpr os::ULONGLONG kCard = 1 << 20;

class FileVolumeTest : public DeviceRootTest {};

TEST_F(FileVolumeTest, CapacityVolumeFreeSpaceFollowsFileSizes)
{
    WriteHostFile(Host("volumes/Storage Card/old.avi"), std::string(1000, 'x'));
    Configure({VolumeConfig{"Storage Card", kCard, true, ""}});
    os::ULONGLONG total = 0;
    ASSERT_TRUE(os::GetDiskFreeSpaceExW("\\Storage Card", nullptr, &total, nullptr));
    EXPECT_EQ(total, kCard);
    EXPECT_EQ(FreeBytes("\\Storage Card\\old.avi"), kCard - 1000);

    PutFile("\\Storage Card\\a.avi", std::string(5000, 'a'));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 6000);

    // Overwriting the middle does not grow; writing past the end does.
    const os::HANDLE file = Open("\\Storage Card\\a.avi", os::GENERIC_WRITE, os::OPEN_EXISTING);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    os::DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(file, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 6000);
    ASSERT_EQ(os::SetFilePointer(file, 6000, nullptr, os::FILE_BEGIN), 6000u);
    ASSERT_TRUE(os::WriteFile(file, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 7010);
    ASSERT_EQ(os::SetFilePointer(file, 2000, nullptr, os::FILE_BEGIN), 2000u);
    ASSERT_TRUE(os::SetEndOfFile(file));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 3000);
    EXPECT_TRUE(os::CloseHandle(file));

    // Replacing, moving off the card and deleting give the bytes back.
    PutFile("\\Storage Card\\a.avi", std::string(300, 'b'));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 1300);
    ASSERT_TRUE(os::CreateDirectoryW("\\My Documents", nullptr));
    ASSERT_TRUE(os::MoveFileW("\\Storage Card\\a.avi", "\\My Documents\\a.avi"));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 1000);
    ASSERT_TRUE(os::MoveFileW("\\My Documents\\a.avi", "\\Storage Card\\b.avi"));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 1300);
    ASSERT_TRUE(os::DeleteFileW("\\Storage Card\\b.avi"));
    ASSERT_TRUE(os::DeleteFileW("\\Storage Card\\old.avi"));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard);

    // Places off the card report the host file system under the device root.
    struct statvfs host {};
    ASSERT_EQ(::statvfs(root_.c_str(), &host), 0);
    ASSERT_TRUE(os::GetDiskFreeSpaceExW("\\My Documents", nullptr, &total, nullptr));
    EXPECT_EQ(total, static_cast<os::ULONGLONG>(host.f_blocks) * host.f_frsize);
    EXPECT_EQ(ErrorOf(os::GetDiskFreeSpaceExW("\\Storage Card\\none", nullptr, nullptr, nullptr)),
              Code(os::ERROR_PATH_NOT_FOUND));
}

TEST_F(FileVolumeTest, FullVolumeWritesWhatFitsThenReportsDiskFull)
{
    Configure({VolumeConfig{"Storage Card", 10000, true, ""}});
    const os::HANDLE file = Open("\\Storage Card\\clip.avi", os::GENERIC_WRITE, os::CREATE_NEW);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    const std::string block(8000, 'c');
    os::DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(file, block.data(), 8000, &written, nullptr));
    EXPECT_EQ(ErrorOf(os::WriteFile(file, block.data(), 4000, &written, nullptr)), Code(os::ERROR_DISK_FULL));
    EXPECT_EQ(written, 2000u);
    EXPECT_EQ(ErrorOf(os::WriteFile(file, block.data(), 1, &written, nullptr)), Code(os::ERROR_DISK_FULL));
    EXPECT_EQ(written, 0u);
    os::LONGLONG size = 0;
    ASSERT_TRUE(os::GetFileSizeEx(file, &size));
    EXPECT_EQ(size, 10000);
    EXPECT_EQ(FreeBytes("\\Storage Card"), 0u);
    ASSERT_EQ(os::SetFilePointer(file, 12000, nullptr, os::FILE_BEGIN), 12000u);
    EXPECT_EQ(ErrorOf(os::SetEndOfFile(file)), Code(os::ERROR_DISK_FULL));
    EXPECT_TRUE(os::CloseHandle(file));

    // A copy that does not fit leaves nothing behind.
    ASSERT_TRUE(os::CreateDirectoryW("\\Temp", nullptr));
    PutFile("\\Temp\\big.bin", std::string(500, 'b'));
    EXPECT_EQ(ErrorOf(os::CopyFileW("\\Temp\\big.bin", "\\Storage Card\\big.bin", os::TRUE)), Code(os::ERROR_DISK_FULL));
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\big.bin"), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Temp\\big.bin", "\\Storage Card\\big.bin")), Code(os::ERROR_DISK_FULL));
    EXPECT_EQ(GetFile("\\Temp\\big.bin").size(), 500u);

    ASSERT_TRUE(os::DeleteFileW("\\Storage Card\\clip.avi"));
    EXPECT_TRUE(os::MoveFileW("\\Temp\\big.bin", "\\Storage Card\\big.bin"));
    EXPECT_EQ(FreeBytes("\\Storage Card"), 9500u);
}

TEST_F(FileVolumeTest, FillTakesFreeSpaceAcrossMountsUntilGivenBack)
{
    Configure({VolumeConfig{"Storage Card", 10000, true, ""}, VolumeConfig{"Host Disk", 0, true, ""}});
    PutFile("\\Storage Card\\a.avi", std::string(1000, 'a'));
    ASSERT_TRUE(os::sim::FillVolume("storage card", 6000));
    EXPECT_EQ(FreeBytes("\\Storage Card"), 3000u);

    // A write past what is left stops where the card is full.
    const os::HANDLE file = Open("\\Storage Card\\b.avi", os::GENERIC_WRITE, os::CREATE_NEW);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    const std::string block(4000, 'b');
    os::DWORD written = 0;
    EXPECT_EQ(ErrorOf(os::WriteFile(file, block.data(), 4000, &written, nullptr)), Code(os::ERROR_DISK_FULL));
    EXPECT_EQ(written, 3000u);
    EXPECT_TRUE(os::CloseHandle(file));
    ASSERT_TRUE(os::DeleteFileW("\\Storage Card\\b.avi"));

    // More than is free fills the card, and the fill is nothing in its folders.
    ASSERT_TRUE(os::sim::FillVolume("Storage Card", 1ull << 40));
    EXPECT_EQ(FreeBytes("\\Storage Card"), 0u);
    const auto entries = std::distance(std::filesystem::directory_iterator(Host("volumes/Storage Card")),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);

    // Other programs' files stay on a card taken out and put back; the count
    // of the card's own files is made afresh.
    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_FALSE(os::sim::FillVolume("Storage Card", 0));
    std::filesystem::remove(Host("volumes/Storage Card/a.avi"));
    ASSERT_TRUE(os::sim::MountVolume("Storage Card"));
    EXPECT_EQ(FreeBytes("\\Storage Card"), 1000u);

    ASSERT_TRUE(os::sim::FillVolume("Storage Card", 0));
    EXPECT_EQ(FreeBytes("\\Storage Card"), 10000u);

    // Only a card with a capacity of its own can be filled.
    EXPECT_FALSE(os::sim::FillVolume("Host Disk", 100));
    EXPECT_FALSE(os::sim::FillVolume("No Such Card", 100));
}

TEST_F(FileVolumeTest, VolumeDeviceOpensExactlyWhileMounted)
{
    Configure({VolumeConfig{"Storage Card", 0, true, ""}});
    ASSERT_TRUE(os::CreateDirectoryW("\\windows", nullptr));

    const os::HANDLE device = Open("\\storage card\\vol:", os::GENERIC_READ, os::OPEN_EXISTING);
    ASSERT_NE(device, os::INVALID_HANDLE_VALUE);
    char byte = 0;
    os::DWORD got = 0;
    EXPECT_EQ(ErrorOf(os::ReadFile(device, &byte, 1, &got, nullptr)), Code(os::ERROR_INVALID_HANDLE));
    EXPECT_TRUE(os::CloseHandle(device));

    EXPECT_EQ(Open("\\Storage Card\\VOL:", os::GENERIC_WRITE, os::OPEN_EXISTING), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open("\\windows\\VOL:", os::GENERIC_READ, os::OPEN_EXISTING), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_EQ(Open("\\Storage Card\\VOL:", os::GENERIC_READ, os::OPEN_EXISTING), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_PATH_NOT_FOUND));

    ASSERT_TRUE(os::sim::MountVolume("Storage Card"));
    const os::HANDLE again = Open("\\Storage Card\\VOL:", os::GENERIC_READ, os::OPEN_EXISTING);
    ASSERT_NE(again, os::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(os::CloseHandle(again));
}

TEST_F(FileVolumeTest, RootListingMarksMountedVolumes)
{
    Configure({VolumeConfig{"Storage Card", kCard, true, ""}, VolumeConfig{"USB Disk", 0, false, ""}});
    ASSERT_TRUE(os::CreateDirectoryW("\\windows", nullptr));

    os::WIN32_FIND_DATAW data;
    const os::HANDLE search = os::FindFirstFileW("\\*.*", &data);
    ASSERT_NE(search, os::INVALID_HANDLE_VALUE);
    std::vector<std::pair<std::string, os::DWORD>> entries{{data.cFileName, data.dwFileAttributes}};
    while (os::FindNextFileW(search, &data)) entries.emplace_back(data.cFileName, data.dwFileAttributes);
    EXPECT_TRUE(os::FindClose(search));
    const std::vector<std::pair<std::string, os::DWORD>> expected{
        {"windows", os::FILE_ATTRIBUTE_DIRECTORY}, {"Storage Card", kVolumeRoot}};
    EXPECT_EQ(entries, expected);

    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card"), kVolumeRoot);
    EXPECT_EQ(os::GetFileAttributesW("\\"), os::FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(os::GetFileAttributesW("\\USB Disk"), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ErrorOf(os::SetFileAttributesW("\\Storage Card", os::FILE_ATTRIBUTE_HIDDEN)),
              Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::RemoveDirectoryW("\\Storage Card")), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card", "\\Card")), Code(os::ERROR_ACCESS_DENIED));

    ASSERT_TRUE(os::sim::MountVolume("USB Disk"));
    EXPECT_EQ(Find("\\*"), (std::vector<std::string>{"windows", "Storage Card", "USB Disk"}));
}

TEST_F(FileVolumeTest, UnmountHidesTheVolumeAndKillsItsHandles)
{
    Configure({VolumeConfig{"Storage Card", kCard, true, ""}});
    PutFile("\\Storage Card\\keep.avi", "kept");
    const os::HANDLE open = Open("\\Storage Card\\open.avi", os::GENERIC_WRITE, os::CREATE_NEW);
    ASSERT_NE(open, os::INVALID_HANDLE_VALUE);

    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_FALSE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_FALSE(os::sim::MountVolume("No Such Card"));
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\keep.avi"), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(Find("\\*").empty());
    EXPECT_TRUE(Find("\\Storage Card\\*").empty());
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ErrorOf(os::GetDiskFreeSpaceExW("\\Storage Card", nullptr, nullptr, nullptr)),
              Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ErrorOf(os::CreateDirectoryW("\\Storage Card\\Ardvane", nullptr)), Code(os::ERROR_PATH_NOT_FOUND));
    os::DWORD written = 0;
    EXPECT_EQ(ErrorOf(os::WriteFile(open, "x", 1, &written, nullptr)), Code(os::ERROR_DEVICE_NOT_AVAILABLE));

    ASSERT_TRUE(os::sim::MountVolume("Storage Card"));
    EXPECT_EQ(GetFile("\\Storage Card\\keep.avi"), "kept");
    EXPECT_EQ(Find("\\Storage Card\\*"), (std::vector<std::string>{"keep.avi", "open.avi"}));
    // A handle from before the removal stays dead, and does not block the file.
    EXPECT_EQ(ErrorOf(os::WriteFile(open, "x", 1, &written, nullptr)), Code(os::ERROR_DEVICE_NOT_AVAILABLE));
    EXPECT_TRUE(os::DeleteFileW("\\Storage Card\\open.avi"));
    EXPECT_TRUE(os::CloseHandle(open));
    EXPECT_EQ(FreeBytes("\\Storage Card"), kCard - 4);
}

TEST_F(FileVolumeTest, BoundVolumeUsesItsHostFolderAndFigures)
{
    const std::string card = Host("card");
    std::filesystem::create_directories(card);
    Configure({VolumeConfig{"SD", 0, true, card}});
    PutFile("\\SD\\x.txt", "on the card");
    EXPECT_EQ(ReadHostFile(card + "/x.txt"), "on the card");
    struct statvfs host {};
    ASSERT_EQ(::statvfs(card.c_str(), &host), 0);
    os::ULONGLONG total = 0;
    ASSERT_TRUE(os::GetDiskFreeSpaceExW("\\SD\\x.txt", nullptr, &total, nullptr));
    EXPECT_EQ(total, static_cast<os::ULONGLONG>(host.f_blocks) * host.f_frsize);
}

TEST_F(FileVolumeTest, ConfigurationRefusesUnusableVolumes)
{
    os::sim::FileSystemConfig config;
    config.deviceRoot = root_;
    std::string error;
    config.volumes = {VolumeConfig{"Card", 0, true, ""}, VolumeConfig{"card", 0, true, ""}};
    EXPECT_FALSE(os::sim::ConfigureFileSystem(config, &error));
    EXPECT_NE(error.find("card"), std::string::npos);
    config.volumes = {VolumeConfig{"a:b", 0, true, ""}};
    EXPECT_FALSE(os::sim::ConfigureFileSystem(config, &error));
    config.volumes = {VolumeConfig{"Program Files", 0, true, ""}};
    EXPECT_FALSE(os::sim::ConfigureFileSystem(config, &error));

    // A folder the host refuses is named with the host's reason.
    WriteHostFile(Host("plain"), "x");
    struct Unusable {
        std::string deviceRoot;
        std::string programFolder;
        std::string volumeFolder;
        const char* reason;
    };
    const Unusable unusable[] = {
        {root_, "", Host("missing"), "No such file or directory"},
        {root_, "", Host("plain"), "Not a directory"},
        {root_, Host("plain"), "", "Not a directory"},
        {root_, Host(std::string(300, 'p')), "", "File name too long"},
        {Host("plain"), "", "", "Not a directory"},
        {Host("plain/below"), "", "", "Not a directory"},
    };
    for (const Unusable& u : unusable) {
        config.deviceRoot = u.deviceRoot;
        config.programHostFolder = u.programFolder;
        config.volumes.clear();
        if (!u.volumeFolder.empty()) config.volumes = {VolumeConfig{"Card", 0, true, u.volumeFolder}};
        error.clear();
        EXPECT_FALSE(os::sim::ConfigureFileSystem(config, &error)) << u.reason;
        EXPECT_NE(error.find(u.reason), std::string::npos) << error;
    }
}

TEST_F(FileVolumeTest, LaidOutFilesStayInTheVolumesFolderAndARefusalNamesTheFileAndTheReason)
{
    const std::string card = Host("card");
    WriteHostFile(Host("outside/victim"), "keep");
    std::filesystem::create_directories(card + "/Folder");
    std::filesystem::create_directory_symlink(Host("outside"), card + "/through");
    std::filesystem::create_directory_symlink(Host("outside"), card + "/replaced");
    os::sim::FileSystemConfig config;
    config.deviceRoot = root_;
    const auto refusal = [&](const std::vector<os::sim::VolumeFile>& files, os::ULONGLONG capacity = 0) {
        config.volumes = {VolumeConfig{"Card", capacity, true, card, files}};
        std::string error;
        EXPECT_FALSE(os::sim::ConfigureFileSystem(config, &error));
        return error;
    };
    // The host refuses: a link on the way is not followed, a folder is not replaced.
    std::string error = refusal({{"through\\victim", 10, 0}});
    EXPECT_NE(error.find("\\Card\\through\\victim"), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(ENOTDIR)), std::string::npos) << error;
    error = refusal({{"folder", 1, 0}});
    EXPECT_NE(error.find("\\Card\\folder"), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(EISDIR)), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(card + "/Folder"));
    // Files the rules refuse lay nothing out, beside the volume or in it.
    for (const std::vector<os::sim::VolumeFile>& files :
         {std::vector<os::sim::VolumeFile>{{"..\\escaped", 1, 0}}, {{"a", 1, 0}, {"b/../A", 1, 0}},
          {{"a", 1, os::FILE_ATTRIBUTE_DIRECTORY}}, {{"a", kCard, 0}, {"b", 1, 0}}}) {
        error = refusal(files, kCard);
        EXPECT_NE(error.find("volume Card"), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(Host("escaped")));
        EXPECT_FALSE(std::filesystem::exists(card + "/a"));
    }
    EXPECT_EQ(ReadHostFile(Host("outside/victim")), "keep");

    // A link at the file's own place is replaced, not written through.
    Configure({VolumeConfig{"Card", kCard, true, card, {{"replaced", 100, os::FILE_ATTRIBUTE_HIDDEN}}}});
    EXPECT_EQ(os::GetFileAttributesW("\\Card\\replaced"), os::FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(std::filesystem::file_size(card + "/replaced"), 100u);
    EXPECT_EQ(ReadHostFile(Host("outside/victim")), "keep");
    EXPECT_EQ(FreeBytes("\\Card"), kCard - 100);
}

}  // namespace
}  // namespace kestrava_test

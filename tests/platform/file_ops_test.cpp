// Opening, reading and writing, attributes, sharing, and moving, copying
// and deleting files and folders.
#include "tests/platform/file_test_support.h"

namespace kestrava_test {
namespace {

using os::sim::VolumeConfig;

class FileOpsTest : public DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        Configure({VolumeConfig{"Storage Card", 1 << 20, true, ""}});
        ASSERT_TRUE(os::CreateDirectoryW("\\My Documents", nullptr));
    }
};

TEST_F(FileOpsTest, ReadOnlyIsEnforcedUntilCleared)
{
    PutFile("\\Storage Card\\clip.avi", "clip");
    ASSERT_TRUE(os::SetFileAttributesW("\\Storage Card\\clip.avi", os::FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\clip.avi"), os::FILE_ATTRIBUTE_READONLY);

    for (os::DWORD creation : {os::OPEN_EXISTING, os::OPEN_ALWAYS, os::CREATE_ALWAYS, os::TRUNCATE_EXISTING}) {
        EXPECT_EQ(Open("\\Storage Card\\clip.avi", os::GENERIC_WRITE, creation), os::INVALID_HANDLE_VALUE);
        EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ACCESS_DENIED)) << creation;
    }
    EXPECT_EQ(ErrorOf(os::DeleteFileW("\\Storage Card\\clip.avi")), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\clip.avi", "\\Storage Card\\moved.avi")),
              Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFile("\\Storage Card\\clip.avi"), "clip");

    ASSERT_TRUE(os::SetFileAttributesW("\\Storage Card\\clip.avi", os::FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\clip.avi"), os::FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(os::DeleteFileW("\\Storage Card\\clip.avi"));

    // A file created read-only can still be written through its own handle.
    const os::HANDLE created = os::CreateFileW("\\My Documents\\ro.txt", os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW,
                                               os::FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(created, os::INVALID_HANDLE_VALUE);
    os::DWORD written = 0;
    EXPECT_TRUE(os::WriteFile(created, "ro", 2, &written, nullptr));
    EXPECT_TRUE(os::CloseHandle(created));
    EXPECT_EQ(os::GetFileAttributesW("\\My Documents\\ro.txt"), os::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf(os::DeleteFileW("\\My Documents\\ro.txt")), Code(os::ERROR_ACCESS_DENIED));
}

TEST_F(FileOpsTest, OtherAttributesAreKept)
{
    PutFile("\\My Documents\\a.txt", "a");
    const os::DWORD set = os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_SYSTEM | os::FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(os::SetFileAttributesW("\\My Documents\\a.txt", set));
    EXPECT_EQ(os::GetFileAttributesW("\\My Documents\\a.txt"), set);
    ASSERT_TRUE(os::SetFileAttributesW("\\My Documents", os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(os::GetFileAttributesW("\\My Documents"), os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ErrorOf(os::SetFileAttributesW("\\My Documents\\a.txt", 0x40000)), Code(os::ERROR_INVALID_PARAMETER));
    EXPECT_EQ(os::GetFileAttributesW("\\My Documents\\a.txt"), set);
    ASSERT_TRUE(os::SetFileAttributesW("\\My Documents\\a.txt", os::FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(os::GetFileAttributesW("\\My Documents\\a.txt"), os::FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ErrorOf(os::SetFileAttributesW("\\My Documents\\none.txt", 0)), Code(os::ERROR_FILE_NOT_FOUND));
}

TEST_F(FileOpsTest, CreationDispositions)
{
    const char* path = "\\My Documents\\d.txt";
    os::HANDLE file = Open(path, os::GENERIC_WRITE, os::OPEN_EXISTING);
    EXPECT_EQ(file, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open("\\Nowhere\\d.txt", os::GENERIC_WRITE, os::CREATE_ALWAYS), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(path, os::GENERIC_WRITE, 9), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Open("\\My Documents", os::GENERIC_READ, os::OPEN_EXISTING), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ACCESS_DENIED));

    file = Open(path, os::GENERIC_WRITE, os::OPEN_ALWAYS);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_SUCCESS));
    os::DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(file, "content", 7, &written, nullptr));
    ASSERT_TRUE(os::CloseHandle(file));

    file = Open(path, os::GENERIC_READ, os::OPEN_ALWAYS);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ALREADY_EXISTS));
    EXPECT_EQ(os::GetFileSize(file, nullptr), 7u);
    ASSERT_TRUE(os::CloseHandle(file));

    EXPECT_EQ(Open(path, os::GENERIC_WRITE, os::CREATE_NEW), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILE_EXISTS));

    file = Open(path, os::GENERIC_WRITE, os::CREATE_ALWAYS);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ALREADY_EXISTS));
    EXPECT_EQ(os::GetFileSize(file, nullptr), 0u);
    ASSERT_TRUE(os::WriteFile(file, "again", 5, &written, nullptr));
    ASSERT_TRUE(os::CloseHandle(file));

    file = Open(path, os::GENERIC_WRITE, os::TRUNCATE_EXISTING);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetFileSize(file, nullptr), 0u);
    ASSERT_TRUE(os::CloseHandle(file));
    EXPECT_EQ(Open(path, os::GENERIC_READ, os::TRUNCATE_EXISTING), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_INVALID_PARAMETER));
}

TEST_F(FileOpsTest, ReadWriteAndSeek)
{
    const os::HANDLE file = Open("\\My Documents\\rw.txt", os::GENERIC_READ | os::GENERIC_WRITE, os::CREATE_NEW);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    os::DWORD count = 0;
    ASSERT_TRUE(os::WriteFile(file, "hello world", 11, &count, nullptr));
    EXPECT_EQ(os::SetFilePointer(file, 0, nullptr, os::FILE_CURRENT), 11u);
    ASSERT_EQ(os::SetFilePointer(file, -5, nullptr, os::FILE_END), 6u);
    char buffer[16] = {};
    ASSERT_TRUE(os::ReadFile(file, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "world");
    ASSERT_TRUE(os::ReadFile(file, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);

    EXPECT_EQ(os::SetFilePointer(file, -20, nullptr, os::FILE_CURRENT), os::INVALID_SET_FILE_POINTER);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_NEGATIVE_SEEK));
    os::LONGLONG position = -1;
    ASSERT_TRUE(os::SetFilePointerEx(file, 0, &position, os::FILE_CURRENT));
    EXPECT_EQ(position, 11);
    EXPECT_EQ(ErrorOf(os::SetFilePointerEx(file, 0, &position, 7)), Code(os::ERROR_INVALID_PARAMETER));

    // Beyond 4 GiB through the high part; the file stays small until written.
    os::LONG high = 1;
    EXPECT_EQ(os::SetFilePointer(file, 16, &high, os::FILE_BEGIN), 16u);
    EXPECT_EQ(high, 1);
    os::DWORD sizeHigh = 7;
    EXPECT_EQ(os::GetFileSize(file, &sizeHigh), 11u);
    EXPECT_EQ(sizeHigh, 0u);
    EXPECT_TRUE(os::FlushFileBuffers(file));
    EXPECT_TRUE(os::CloseHandle(file));
    EXPECT_FALSE(os::CloseHandle(file));
    EXPECT_EQ(ErrorOf(os::ReadFile(file, buffer, 1, &count, nullptr)), Code(os::ERROR_INVALID_HANDLE));

    const os::HANDLE reader = Open("\\My Documents\\rw.txt", os::GENERIC_READ, os::OPEN_EXISTING);
    ASSERT_NE(reader, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(os::WriteFile(reader, "x", 1, &count, nullptr)), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::SetEndOfFile(reader)), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_TRUE(os::CloseHandle(reader));
    const os::HANDLE writer = Open("\\My Documents\\rw.txt", os::GENERIC_WRITE, os::OPEN_EXISTING);
    ASSERT_NE(writer, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(os::ReadFile(writer, buffer, 1, &count, nullptr)), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_TRUE(os::CloseHandle(writer));
}

TEST_F(FileOpsTest, ShareModesAndOpenFiles)
{
    const char* path = "\\Storage Card\\rec.avi";
    const os::HANDLE writer = Open(path, os::GENERIC_WRITE, os::CREATE_NEW, os::FILE_SHARE_READ);
    ASSERT_NE(writer, os::INVALID_HANDLE_VALUE);
    const os::HANDLE reader = Open(path, os::GENERIC_READ, os::OPEN_EXISTING, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE);
    EXPECT_NE(reader, os::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(os::CloseHandle(reader));
    // A reader that shares nothing, or a second writer, is refused.
    EXPECT_EQ(Open(path, os::GENERIC_READ, os::OPEN_EXISTING, 0), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open(path, os::GENERIC_WRITE, os::OPEN_EXISTING, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE),
              os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ErrorOf(os::DeleteFileW(path)), Code(os::ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ErrorOf(os::MoveFileW(path, "\\Storage Card\\other.avi")), Code(os::ERROR_SHARING_VIOLATION));
    ASSERT_TRUE(os::CreateDirectoryW("\\Storage Card\\Event", nullptr));
    EXPECT_TRUE(os::CloseHandle(writer));

    EXPECT_TRUE(os::MoveFileW(path, "\\Storage Card\\Event\\rec.avi"));
    const os::HANDLE held = Open("\\Storage Card\\Event\\rec.avi", os::GENERIC_READ, os::OPEN_EXISTING);
    ASSERT_NE(held, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\Event", "\\Storage Card\\Kept")),
              Code(os::ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(os::CloseHandle(held));
    EXPECT_TRUE(os::MoveFileW("\\Storage Card\\Event", "\\Storage Card\\Kept"));
    EXPECT_TRUE(os::DeleteFileW("\\Storage Card\\Kept\\rec.avi"));
}

TEST_F(FileOpsTest, MoveResults)
{
    ASSERT_TRUE(os::CreateDirectoryW("\\Storage Card\\Ardvane", nullptr));
    PutFile("\\Storage Card\\Ardvane\\a.avi", "a");
    PutFile("\\Storage Card\\Ardvane\\b.avi", "b");

    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\Ardvane\\a.avi", "\\Storage Card\\Ardvane\\B.AVI")),
              Code(os::ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\Ardvane\\none.avi", "\\Storage Card\\x.avi")),
              Code(os::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\Ardvane\\a.avi", "\\Storage Card\\Event\\a.avi")),
              Code(os::ERROR_PATH_NOT_FOUND));

    // A new case for the same name.
    ASSERT_TRUE(os::MoveFileW("\\Storage Card\\Ardvane\\a.avi", "\\Storage Card\\Ardvane\\A.AVI"));
    EXPECT_EQ(Find("\\Storage Card\\Ardvane\\*"), (std::vector<std::string>{"A.AVI", "b.avi"}));

    // Folders move within a volume only; files move anywhere.
    ASSERT_TRUE(os::MoveFileW("\\Storage Card\\Ardvane", "\\Storage Card\\Old"));
    EXPECT_EQ(GetFile("\\Storage Card\\Old\\b.avi"), "b");
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\Old", "\\My Documents\\Old")), Code(os::ERROR_NOT_SAME_DEVICE));
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\Old", "\\Storage Card\\Old\\Inner")),
              Code(os::ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(os::MoveFileW("\\Storage Card\\Old\\b.avi", "\\My Documents\\b.avi"));
    EXPECT_EQ(GetFile("\\My Documents\\b.avi"), "b");
    EXPECT_EQ(ReadHostFile(Host("fs/My Documents/b.avi")), "b");
}

TEST_F(FileOpsTest, CopyResults)
{
    PutFile("\\My Documents\\src.txt", "source");
    ASSERT_TRUE(os::SetFileAttributesW("\\My Documents\\src.txt", os::FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(os::CopyFileW("\\My Documents\\src.txt", "\\Storage Card\\dst.txt", os::TRUE));
    EXPECT_EQ(GetFile("\\Storage Card\\dst.txt"), "source");
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\dst.txt"), os::FILE_ATTRIBUTE_HIDDEN);

    PutFile("\\My Documents\\src.txt", "changed");
    EXPECT_EQ(ErrorOf(os::CopyFileW("\\My Documents\\src.txt", "\\Storage Card\\dst.txt", os::TRUE)),
              Code(os::ERROR_FILE_EXISTS));
    EXPECT_EQ(GetFile("\\Storage Card\\dst.txt"), "source");
    ASSERT_TRUE(os::CopyFileW("\\My Documents\\src.txt", "\\Storage Card\\DST.TXT", os::FALSE));
    EXPECT_EQ(GetFile("\\Storage Card\\dst.txt"), "changed");
    EXPECT_EQ(Find("\\Storage Card\\*"), std::vector<std::string>{"dst.txt"});

    ASSERT_TRUE(os::SetFileAttributesW("\\My Documents\\src.txt", os::FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(os::CopyFileW("\\My Documents\\src.txt", "\\Storage Card\\ro.txt", os::TRUE));
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\ro.txt"), os::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf(os::CopyFileW("\\My Documents\\src.txt", "\\Storage Card\\ro.txt", os::FALSE)),
              Code(os::ERROR_ACCESS_DENIED));

    EXPECT_EQ(ErrorOf(os::CopyFileW("\\My Documents", "\\Storage Card\\docs", os::TRUE)), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::CopyFileW("\\My Documents\\none", "\\Storage Card\\none", os::TRUE)),
              Code(os::ERROR_FILE_NOT_FOUND));
}

TEST_F(FileOpsTest, DeleteAndFolderResults)
{
    ASSERT_TRUE(os::CreateDirectoryW("\\My Documents\\Sub", nullptr));
    PutFile("\\My Documents\\Sub\\f.txt", "f");
    EXPECT_EQ(ErrorOf(os::CreateDirectoryW("\\My Documents\\Sub", nullptr)), Code(os::ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ErrorOf(os::CreateDirectoryW("\\None\\Sub", nullptr)), Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ErrorOf(os::DeleteFileW("\\My Documents\\Sub")), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::DeleteFileW("\\My Documents\\none.txt")), Code(os::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ErrorOf(os::DeleteFileW("\\None\\none.txt")), Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ErrorOf(os::RemoveDirectoryW("\\My Documents\\Sub")), Code(os::ERROR_DIR_NOT_EMPTY));
    EXPECT_EQ(ErrorOf(os::RemoveDirectoryW("\\My Documents\\Sub\\f.txt")), Code(os::ERROR_DIRECTORY));
    EXPECT_EQ(ErrorOf(os::RemoveDirectoryW("\\My Documents\\Gone")), Code(os::ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(os::DeleteFileW("\\my documents\\SUB\\F.TXT"));
    ASSERT_TRUE(os::RemoveDirectoryW("\\My Documents\\Sub"));
    EXPECT_EQ(os::GetFileAttributesW("\\My Documents\\Sub"), os::INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileOpsTest, WrittenFilesAreRecordedUnderTheirCurrentPaths)
{
    WriteHostFile(Host("fs/My Documents/given.txt"), "given");
    WriteHostFile(Host("fs/My Documents/touched.txt"), "touched");
    EXPECT_EQ(GetFile("\\My Documents\\given.txt"), "given");
    const os::HANDLE touched = Open("\\My Documents\\touched.txt", os::GENERIC_WRITE, os::OPEN_EXISTING);
    ASSERT_NE(touched, os::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(os::sim::FilesWritten().empty());
    os::DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(touched, "T", 1, &written, nullptr));
    ASSERT_TRUE(os::CloseHandle(touched));

    ASSERT_TRUE(os::CreateDirectoryW("\\Storage Card\\Ardvane", nullptr));
    PutFile("\\Storage Card\\Ardvane\\clip.avi", "clip");
    PutFile("\\Storage Card\\gone.avi", "gone");
    ASSERT_TRUE(os::CopyFileW("\\My Documents\\given.txt", "\\Storage Card\\copy.txt", os::TRUE));
    ASSERT_TRUE(os::DeleteFileW("\\Storage Card\\gone.avi"));
    ASSERT_TRUE(os::MoveFileW("\\Storage Card\\ardvane", "\\Storage Card\\Kept"));
    ASSERT_TRUE(os::MoveFileW("\\Storage Card\\copy.txt", "\\My Documents\\copy.txt"));

    EXPECT_EQ(os::sim::FilesWritten(),
              (std::vector<std::string>{"\\My Documents\\touched.txt", "\\Storage Card\\Kept\\clip.avi",
                                        "\\My Documents\\copy.txt"}));
}

}  // namespace
}  // namespace kestrava_test

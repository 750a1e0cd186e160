// Device paths: case, patterns, length, separators, "..", names, and the
// program's own folder.
#include <algorithm>

#include "platform/files/internal/file_detail.h"
#include "tests/platform/file_test_support.h"

namespace kestrava_test {
namespace {

using os::sim::VolumeConfig;

class FilePathTest : public DeviceRootTest {};

std::string Repeat(const std::string& unit, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) out += unit;
    return out;
}

TEST_F(FilePathTest, LookupIgnoresCaseAndCreationKeepsIt)
{
    Configure({VolumeConfig{"Storage Card", 0, true, ""}});
    ASSERT_TRUE(os::CreateDirectoryW("\\My Documents", nullptr));
    PutFile("\\My Documents\\Report.TXT", "report");
    EXPECT_EQ(ReadHostFile(Host("fs/My Documents/Report.TXT")), "report");
    EXPECT_EQ(GetFile("\\MY DOCUMENTS\\report.txt"), "report");
    EXPECT_EQ(os::GetFileAttributesW("\\my documents\\REPORT.txt"), os::FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Open("\\my documents\\report.txt", os::GENERIC_WRITE, os::CREATE_NEW), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILE_EXISTS));
    EXPECT_EQ(ErrorOf(os::CreateDirectoryW("\\MY DOCUMENTS", nullptr)), Code(os::ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Find("\\My Documents\\*"), std::vector<std::string>{"Report.TXT"});

    // Accented capitals fold too; the volume name is matched without case.
    PutFile("\\STORAGE CARD\\Été.txt", "summer");
    EXPECT_EQ(GetFile("\\Storage Card\\éTÉ.TXT"), "summer");
    EXPECT_EQ(Find("\\storage card\\É*"), std::vector<std::string>{"Été.txt"});

    // A name the host holds in two cases: the exact one wins, else the first.
    WriteHostFile(Host("fs/My Documents/report.txt"), "lower");
    EXPECT_EQ(GetFile("\\My Documents\\report.txt"), "lower");
    EXPECT_EQ(GetFile("\\My Documents\\Report.TXT"), "report");
    EXPECT_EQ(GetFile("\\My Documents\\REPORT.TXT"), "report");
}

TEST_F(FilePathTest, PatternsIgnoreCase)
{
    Configure({});
    ASSERT_TRUE(os::CreateDirectoryW("\\d", nullptr));
    for (const char* name : {"\\d\\a.avi", "\\d\\B.AVI", "\\d\\abc", "\\d\\x.gps"}) PutFile(name, "");
    ASSERT_TRUE(os::CreateDirectoryW("\\d\\Event", nullptr));

    const std::vector<std::string> all{"a.avi", "abc", "B.AVI", "Event", "x.gps"};
    EXPECT_EQ(Find("\\d\\*.*"), all);
    EXPECT_EQ(Find("\\d\\*"), all);
    EXPECT_EQ(Find("\\d\\*.avi"), (std::vector<std::string>{"a.avi", "B.AVI"}));
    EXPECT_EQ(Find("\\d\\A*"), (std::vector<std::string>{"a.avi", "abc"}));
    EXPECT_EQ(Find("\\d\\?.AVI"), (std::vector<std::string>{"a.avi", "B.AVI"}));
    EXPECT_EQ(Find("\\d\\ABC.*"), std::vector<std::string>{"abc"});
    EXPECT_EQ(Find("\\d\\event"), std::vector<std::string>{"Event"});
    EXPECT_EQ(Find("\\d\\*v?"), (std::vector<std::string>{"a.avi", "B.AVI"}));

    os::WIN32_FIND_DATAW data;
    EXPECT_EQ(os::FindFirstFileW("\\d\\*.mp4", &data), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(os::FindFirstFileW("\\none\\*.*", &data), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(os::FindFirstFileW("\\d\\a*\\*", &data), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_INVALID_NAME));
}

TEST_F(FilePathTest, FindDataCarriesSizeAttributesAndTime)
{
    Configure({});
    PutFile("\\f.bin", std::string(1234, 'f'));
    ASSERT_TRUE(os::SetFileAttributesW("\\f.bin", os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_READONLY));
    os::WIN32_FIND_DATAW data;
    const os::HANDLE search = os::FindFirstFileW("\\F.BIN", &data);
    ASSERT_NE(search, os::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(os::FindClose(search));
    EXPECT_EQ(data.cFileName, "f.bin");
    EXPECT_EQ(data.nFileSizeLow, 1234u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.dwFileAttributes, os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_READONLY);
    // After 2001 and before 2200, in 100 ns units since 1601.
    EXPECT_GT(os::FileTimeToU64(data.ftLastWriteTime), 126000000000000000ULL);
    EXPECT_LT(os::FileTimeToU64(data.ftLastWriteTime), 189000000000000000ULL);
}

TEST_F(FilePathTest, PathsAreLimitedTo260Characters)
{
    Configure({});
    // Two-byte characters: the limit counts characters, not bytes.
    const std::string folder = std::string("\\") + Repeat("é", 100);
    const std::string inner = folder + "\\" + Repeat("é", 100);
    const std::string longest = inner + "\\" + Repeat("a", 57);
    ASSERT_TRUE(os::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(os::CreateDirectoryW(inner.c_str(), nullptr));
    PutFile(longest.c_str(), "fits");
    EXPECT_EQ(GetFile(longest.c_str()), "fits");

    const std::string tooLong = longest + "b";
    EXPECT_EQ(Open(tooLong.c_str(), os::GENERIC_WRITE, os::CREATE_ALWAYS), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(ErrorOf(os::CreateDirectoryW(tooLong.c_str(), nullptr)), Code(os::ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(os::GetFileAttributesW(tooLong.c_str()), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILENAME_EXCED_RANGE));

    // A name the host cannot hold (over 255 bytes) fails the same way.
    const std::string hostTooLong = std::string("\\") + Repeat("é", 200);
    EXPECT_EQ(ErrorOf(os::CreateDirectoryW(hostTooLong.c_str(), nullptr)), Code(os::ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(FilePathTest, DotDotStaysInsideTheDevice)
{
    Configure({VolumeConfig{"Storage Card", 0, true, ""}});
    WriteHostFile(Host("outside.txt"), "host");
    ASSERT_TRUE(os::CreateDirectoryW("\\windows", nullptr));

    EXPECT_EQ(os::GetFileAttributesW("\\..\\outside.txt"), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetFileAttributesW("\\windows\\..\\..\\..\\outside.txt"), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Find("\\..\\*"), Find("\\*"));
    PutFile("\\..\\..\\escape.txt", "inside");
    EXPECT_FALSE(std::filesystem::exists(Host("escape.txt")));
    EXPECT_EQ(ReadHostFile(Host("fs/escape.txt")), "inside");
    PutFile("\\Storage Card\\..\\windows\\.\\w.txt", "w");
    EXPECT_EQ(ReadHostFile(Host("fs/windows/w.txt")), "w");
    EXPECT_EQ(ErrorOf(os::DeleteFileW("\\Storage Card\\..\\..\\outside.txt")), Code(os::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadHostFile(Host("outside.txt")), "host");
}

TEST_F(FilePathTest, SeparatorsAreForgiving)
{
    Configure({VolumeConfig{"Storage Card", 0, true, ""}});
    ASSERT_TRUE(os::CreateDirectoryW("\\Storage Card\\\\Ardvane\\", nullptr));
    PutFile("\\\\Storage Card\\Ardvane\\\\x.avi", "x");
    EXPECT_EQ(ReadHostFile(Host("volumes/Storage Card/Ardvane/x.avi")), "x");
    EXPECT_EQ(GetFile("Storage Card/Ardvane/x.avi"), "x");
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\Ardvane\\"), os::FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FilePathTest, BadNamesAreRefused)
{
    Configure({});
    for (const char* path : {"\\a<b", "\\a|b", "\\x*.avi", "\\q?", "\\a\"b", "\\bad\x01name", "\\\xC3"}) {
        EXPECT_EQ(Open(path, os::GENERIC_WRITE, os::CREATE_ALWAYS), os::INVALID_HANDLE_VALUE) << path;
        EXPECT_EQ(os::GetLastError(), Code(os::ERROR_INVALID_NAME)) << path;
    }
    EXPECT_EQ(os::GetFileAttributesW(""), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(os::GetFileAttributesW(nullptr), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Open("\\", os::GENERIC_READ, os::OPEN_EXISTING), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ACCESS_DENIED));
}

TEST_F(FilePathTest, ProgramFolderIsBoundToItsHostFolder)
{
    const std::string build = Host("build");
    WriteHostFile(build + "/res/kestrava-res-en.dll", "library");
    Configure({VolumeConfig{"Storage Card", 0, true, ""}}, build);

    std::string name;
    EXPECT_EQ(os::GetModuleFileNameW(nullptr, &name, os::MAX_PATH), 36u);
    EXPECT_EQ(name, "\\Program Files\\Kestrava\\kestrava.exe");
    EXPECT_EQ(os::GetModuleFileNameW(nullptr, &name, 10), 10u);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(name, "\\Program ");

    EXPECT_EQ(GetFile("\\program files\\KESTRAVA\\res\\kestrava-res-en.dll"), "library");
    EXPECT_EQ(Find("\\Program Files\\*"), std::vector<std::string>{"Kestrava"});
    EXPECT_EQ(os::GetFileAttributesW("\\Program Files\\Kestrava"), os::FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ErrorOf(os::RemoveDirectoryW("\\Program Files")), Code(os::ERROR_DIR_NOT_EMPTY));
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Program Files", "\\Programs")), Code(os::ERROR_ACCESS_DENIED));

    std::string host;
    EXPECT_EQ(os::detail::ResolveDevicePath("\\Program Files\\Kestrava\\RES\\kestrava-res-en.dll", &host),
              Code(os::ERROR_SUCCESS));
    EXPECT_EQ(host, std::filesystem::path(build).lexically_normal().string() + "/res/kestrava-res-en.dll");
    EXPECT_EQ(os::detail::ResolveDevicePath("\\Storage Card\\new.avi", &host), Code(os::ERROR_SUCCESS));
    EXPECT_EQ(host, Host("volumes/Storage Card/new.avi"));
    EXPECT_EQ(os::detail::ResolveDevicePath("\\Storage Card\\no\\new.avi", &host), Code(os::ERROR_PATH_NOT_FOUND));
}

// Links placed on the host in the device's folders, a bound card folder and
// a volume's own folder lead outside; no file call goes through any of them,
// and nothing outside is read, written, created, moved, changed or counted.
TEST_F(FilePathTest, SymbolicLinksNeverLeadOutOfTheDevice)
{
    namespace stdfs = std::filesystem;
    const std::string outside = Host("outside");
    WriteHostFile(outside + "/secret.txt", "secret");
    WriteHostFile(outside + "/big.bin", std::string(5000, 'x'));
    const std::string card = Host("card");
    stdfs::create_directories(card);
    stdfs::create_directories(Host("volumes/Storage Card"));
    stdfs::create_symlink(outside + "/big.bin", Host("volumes/Storage Card/big.bin"));
    stdfs::create_directory_symlink(outside, Host("volumes/Storage Card/away"));
    Configure({VolumeConfig{"Card", 0, true, card}, VolumeConfig{"Storage Card", 100000, true, ""}});
    stdfs::create_directory_symlink(outside, Host("fs/escape"));
    stdfs::create_symlink(outside + "/secret.txt", Host("fs/secret.txt"));
    stdfs::create_symlink(outside + "/new.txt", Host("fs/dangling.txt"));
    stdfs::create_directory_symlink("..", card + "/up");
    PutFile("\\mine.txt", "mine");

    const char* const throughLinks[] = {
        "\\escape\\secret.txt",
        "\\secret.txt",
        "\\dangling.txt",
        "\\Card\\up\\outside\\secret.txt",
        "\\Storage Card\\big.bin",
        "\\Storage Card\\away\\secret.txt",
        "\\ESCAPE\\Secret.TXT",
    };
    for (const char* path : throughLinks) {
        SCOPED_TRACE(path);
        EXPECT_EQ(os::GetFileAttributesW(path), os::INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(Open(path, os::GENERIC_READ, os::OPEN_EXISTING), os::INVALID_HANDLE_VALUE);
        EXPECT_EQ(Open(path, os::GENERIC_WRITE, os::CREATE_ALWAYS), os::INVALID_HANDLE_VALUE);
        EXPECT_EQ(Open(path, os::GENERIC_WRITE, os::OPEN_ALWAYS), os::INVALID_HANDLE_VALUE);
        EXPECT_FALSE(os::SetFileAttributesW(path, os::FILE_ATTRIBUTE_READONLY | os::FILE_ATTRIBUTE_HIDDEN));
        EXPECT_FALSE(os::DeleteFileW(path));
        EXPECT_FALSE(os::MoveFileW(path, "\\taken.txt"));
        EXPECT_FALSE(os::CopyFileW(path, "\\copied.txt", os::FALSE));
        EXPECT_FALSE(os::CopyFileW("\\mine.txt", path, os::FALSE));
    }
    const char* const intoLinkedFolders[] = {"\\escape\\made.txt", "\\Card\\up\\outside\\made.txt",
                                             "\\Storage Card\\away\\made.txt"};
    for (const char* path : intoLinkedFolders) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Open(path, os::GENERIC_WRITE, os::CREATE_NEW), os::INVALID_HANDLE_VALUE);
        EXPECT_FALSE(os::CreateDirectoryW((std::string(path) + ".d").c_str(), nullptr));
        EXPECT_FALSE(os::MoveFileW("\\mine.txt", path));
        EXPECT_TRUE(Find((std::string(path).substr(0, std::string(path).rfind('\\')) + "\\*").c_str()).empty());
    }
    EXPECT_FALSE(os::RemoveDirectoryW("\\escape"));
    EXPECT_FALSE(os::MoveFileW("\\escape", "\\moved"));

    // Listings leave the links out; a card's free space counts no linked file.
    EXPECT_EQ(Find("\\*"), (std::vector<std::string>{"mine.txt", "Card", "Storage Card"}));
    EXPECT_TRUE(Find("\\Storage Card\\*").empty());
    EXPECT_EQ(FreeBytes("\\Storage Card"), 100000u);

    EXPECT_EQ(GetFile("\\mine.txt"), "mine");
    EXPECT_EQ(ReadHostFile(outside + "/secret.txt"), "secret");
    EXPECT_EQ(ReadHostFile(outside + "/big.bin").size(), 5000u);
    EXPECT_EQ(stdfs::status(outside + "/secret.txt").permissions() & stdfs::perms::owner_write,
              stdfs::perms::owner_write);
    std::vector<std::string> left;
    for (const auto& entry : stdfs::directory_iterator(outside)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"big.bin", "secret.txt"}));
    for (const char* link : {"fs/escape", "fs/secret.txt", "fs/dangling.txt", "card/up"}) {
        EXPECT_TRUE(stdfs::is_symlink(Host(link))) << link;
    }
}

// The program's folder is the build's: the program reads it and changes
// nothing in it.
TEST_F(FilePathTest, ProgramFolderIsReadOnly)
{
    const std::string build = Host("build");
    WriteHostFile(build + "/res/kestrava-res-en.dll", "library");
    std::filesystem::create_directories(build + "/sub");
    Configure({VolumeConfig{"Storage Card", 0, true, ""}}, build);
    PutFile("\\Storage Card\\mine.txt", "mine");
    const char* library = "\\Program Files\\Kestrava\\res\\kestrava-res-en.dll";

    EXPECT_EQ(GetFile(library), "library");
    for (os::DWORD creation : {os::CREATE_ALWAYS, os::OPEN_ALWAYS, os::TRUNCATE_EXISTING, os::OPEN_EXISTING}) {
        EXPECT_EQ(Open(library, os::GENERIC_WRITE, creation), os::INVALID_HANDLE_VALUE) << creation;
        EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ACCESS_DENIED)) << creation;
    }
    EXPECT_EQ(Open(library, os::GENERIC_READ, os::CREATE_ALWAYS), os::INVALID_HANDLE_VALUE);
    for (os::DWORD creation : {os::CREATE_NEW, os::CREATE_ALWAYS, os::OPEN_ALWAYS}) {
        EXPECT_EQ(Open("\\Program Files\\Kestrava\\new.txt", os::GENERIC_WRITE, creation), os::INVALID_HANDLE_VALUE);
        EXPECT_EQ(os::GetLastError(), Code(os::ERROR_ACCESS_DENIED)) << creation;
    }
    EXPECT_EQ(ErrorOf(os::DeleteFileW(library)), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::SetFileAttributesW(library, os::FILE_ATTRIBUTE_HIDDEN)), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::CreateDirectoryW("\\Program Files\\Kestrava\\new", nullptr)), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::RemoveDirectoryW("\\Program Files\\Kestrava\\sub")), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::MoveFileW(library, "\\Storage Card\\taken.dll")), Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::MoveFileW("\\Storage Card\\mine.txt", "\\Program Files\\Kestrava\\mine.txt")),
              Code(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf(os::CopyFileW("\\Storage Card\\mine.txt", "\\Program Files\\Kestrava\\res\\x.dll", os::FALSE)),
              Code(os::ERROR_ACCESS_DENIED));
    // Copying out is reading.
    EXPECT_TRUE(os::CopyFileW(library, "\\Storage Card\\copy.dll", os::TRUE));

    EXPECT_EQ(ReadHostFile(build + "/res/kestrava-res-en.dll"), "library");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(build)) {
        names.push_back(entry.path().lexically_relative(build).string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"res", "res/kestrava-res-en.dll", "sub"}));
}

}  // namespace
}  // namespace kestrava_test

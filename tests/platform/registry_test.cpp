#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/base/trace.h"
#include "platform/kernel/sync.h"
#include "platform/windows/window.h"
#include "tests/support/registry_fixture.h"

using namespace os;

namespace {

constexpr const char* kAppKey = "\\Software\\Holmbrek\\Ardvane";

class RegistryTest : public RegistryFixture {
protected:
    HKEY Create(const char* subkey, DWORD* disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }

    HKEY Open(const char* subkey, LONG expected = ERROR_SUCCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_ALL_ACCESS, &key), expected);
        return key;
    }

    DWORD Dword(HKEY key, const char* name)
    {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(RegQueryDword(key, name, &value), ERROR_SUCCESS) << name;
        return value;
    }

    std::string String(HKEY key, const char* name)
    {
        std::string text;
        EXPECT_EQ(RegQueryString(key, name, &text), ERROR_SUCCESS) << name;
        return text;
    }
};

TEST_F(RegistryTest, EveryValueTypeSurvivesTheFile)
{
    HKEY key = Create(kAppKey);
    const std::vector<BYTE> binary = {0x00, 0xFF, 0x10, 0x00, 0x7F};
    const std::string text = "Speicherkarte \xC3\xA4 \xE2\x82\xAC \"quoted\" \\ back";
    ASSERT_EQ(RegSetDword(key, "AudioBitrate", 128), ERROR_SUCCESS);
    ASSERT_EQ(RegSetDword(key, "Max", 0xFFFFFFFFu), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(key, "SelectDisk", text), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(key, "Empty", ""), ERROR_SUCCESS);
    ASSERT_EQ(RegSetBinary(key, "Call Start Time", binary), ERROR_SUCCESS);
    const BYTE none[] = {1, 2};
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_NONE, none, sizeof none), ERROR_SUCCESS);
    HKEY leaf = Create("\\Software\\Holmbrek\\Ardvane\\Empty\\Leaf");
    RegCloseKey(leaf);
    RegCloseKey(key);

    Reopen();
    key = Open(kAppKey);
    EXPECT_EQ(Dword(key, "AudioBitrate"), 128u);
    EXPECT_EQ(Dword(key, "Max"), 0xFFFFFFFFu);
    EXPECT_EQ(String(key, "SelectDisk"), text);
    EXPECT_EQ(String(key, "Empty"), "");
    std::vector<BYTE> read;
    EXPECT_EQ(RegQueryBinary(key, "Call Start Time", &read), ERROR_SUCCESS);
    EXPECT_EQ(read, binary);
    DWORD type = 99;
    BYTE data[4] = {};
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExW(key, "", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_NONE);
    ASSERT_EQ(size, 2u);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(data[1], 2);
    RegCloseKey(key);
    HKEY kept = Open("Software\\Holmbrek\\Ardvane\\Empty\\Leaf");
    EXPECT_NE(kept, nullptr);
    RegCloseKey(kept);
}

TEST_F(RegistryTest, FileIsOneReadableLinePerValue)
{
    HKEY key = Create(kAppKey);
    ASSERT_EQ(RegSetDword(key, "AudioBitrate", 128), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(key, "SelectDisk", "Storage Card"), ERROR_SUCCESS);
    ASSERT_EQ(RegSetBinary(key, "Blob", {0x00, 0xAB}), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string file = ReadFile(RegistryFile());
    EXPECT_NE(file.find("\"HKEY_CURRENT_USER\\\\Software\\\\Holmbrek\\\\Ardvane\": {"), std::string::npos) << file;
    EXPECT_NE(file.find("\n    \"AudioBitrate\": {\"dword\": 128}"), std::string::npos) << file;
    EXPECT_NE(file.find("\n    \"SelectDisk\": {\"sz\": \"Storage Card\"}"), std::string::npos) << file;
    EXPECT_NE(file.find("\n    \"Blob\": {\"binary\": \"00ab\"}"), std::string::npos) << file;
    // The keys above are implied, not listed.
    EXPECT_EQ(file.find("\"HKEY_CURRENT_USER\\\\Software\":"), std::string::npos) << file;
}

TEST_F(RegistryTest, HandWrittenFileLoadsWithImpliedKeys)
{
    os::sim::CloseRegistry();
    WriteFile(RegistryFile(), "{\n"
                              "  \"hkey_local_machine\\\\System\\\\State\\\\Phone\": {\n"
                              "    \"Call Start Time\": {\"binary\": \"0102030405060708\"},\n"
                              "    \"Count\": {\"dword\": 7}\n"
                              "  }\n"
                              "}\n");
    Reopen();
    HKEY system = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, "System", 0, 0, &system), ERROR_SUCCESS);
    std::string name;
    EXPECT_EQ(RegEnumKeyExW(system, 0, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, "State");
    HKEY phone = nullptr;
    ASSERT_EQ(RegOpenKeyExW(system, "State\\Phone", 0, 0, &phone), ERROR_SUCCESS);
    EXPECT_EQ(Dword(phone, "Count"), 7u);
    std::vector<BYTE> time;
    EXPECT_EQ(RegQueryBinary(phone, "Call Start Time", &time), ERROR_SUCCESS);
    EXPECT_EQ(time, (std::vector<BYTE>{1, 2, 3, 4, 5, 6, 7, 8}));
    RegCloseKey(phone);
    RegCloseKey(system);
}

TEST_F(RegistryTest, SizeQueryFollowsThePhoneRules)
{
    HKEY key = Create(kAppKey);
    ASSERT_EQ(RegSetString(key, "Langauge", "Korean"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, "Langauge", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);  // six UTF-8 bytes and the terminator

    BYTE small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, "Langauge", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(small[0], 'x');

    BYTE exact[7] = {};
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExW(key, "Langauge", nullptr, &type, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_STREQ(reinterpret_cast<const char*>(exact), "Korean");

    EXPECT_EQ(RegQueryValueExW(key, "Langauge", nullptr, &type, exact, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // A text without a terminator gets one; bytes after a zero are dropped.
    const char raw[] = {'a', 'b', '\0', 'c'};
    ASSERT_EQ(RegSetValueExW(key, "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 2), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, "Raw", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    ASSERT_EQ(RegSetValueExW(key, "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 4), ERROR_SUCCESS);
    EXPECT_EQ(String(key, "Raw"), "ab");
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirSpelling)
{
    DWORD disposition = 0;
    HKEY key = Create(kAppKey, &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(RegSetDword(key, "AudioBitrate", 64), ERROR_SUCCESS);

    HKEY again = Create("SOFTWARE\\holmbrek\\ARDVANE", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(Dword(again, "audiobitrate"), 64u);
    ASSERT_EQ(RegSetDword(again, "AUDIOBITRATE", 160), ERROR_SUCCESS);
    EXPECT_EQ(Dword(key, "AudioBitrate"), 160u);

    HKEY software = Open("software");
    std::string name;
    EXPECT_EQ(RegEnumKeyExW(software, 0, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, "Holmbrek");
    const std::string file = ReadFile(RegistryFile());
    EXPECT_NE(file.find("\"AudioBitrate\": {\"dword\": 160}"), std::string::npos) << file;
    EXPECT_EQ(file.find("AUDIOBITRATE"), std::string::npos) << file;
    for (HKEY k : {key, again, software}) {
        RegCloseKey(k);
    }
}

TEST_F(RegistryTest, HandlesAreCheckedNotFollowed)
{
    HKEY key = Create(kAppKey);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(RegQueryDword(key, "AudioBitrate", &value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetDword(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x12345678)), "x", 1),
              ERROR_INVALID_HANDLE);

    // A handle to a deleted key stays dead, even once the key is back.
    key = Create(kAppKey);
    HKEY holmbrek = Open("\\Software\\Holmbrek");
    ASSERT_EQ(RegDeleteKeyW(holmbrek, "Ardvane"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetDword(key, "AudioBitrate", 1), ERROR_KEY_DELETED);
    HKEY recreated = Create(kAppKey);
    EXPECT_EQ(RegSetDword(key, "AudioBitrate", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetDword(recreated, "AudioBitrate", 1), ERROR_SUCCESS);

    // Handles do not outlive the registry.
    Reopen();
    EXPECT_EQ(RegSetDword(recreated, "AudioBitrate", 2), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, KeysAreCreatedEnumeratedAndDeletedAsATree)
{
    for (const char* path : {"\\Software\\B\\Deep\\Er", "\\Software\\a", "\\Software\\C"}) {
        RegCloseKey(Create(path));
    }
    HKEY software = Open("Software");
    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0; RegEnumKeyExW(software, i, &name) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "B", "C"}));
    EXPECT_EQ(RegEnumKeyExW(software, 3, &name), ERROR_NO_MORE_ITEMS);

    EXPECT_EQ(RegDeleteKeyW(software, "B"), ERROR_SUCCESS);
    Open("Software\\B\\Deep", ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(software, "B"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);

    HKEY bad = nullptr;
    for (const char* path : {"Software\\\\a", "Software\\a\\", "\\\\Software", "Software\\\xFF"}) {
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, "", 0, 0, nullptr, &bad, nullptr), ERROR_INVALID_NAME)
            << path;
    }
    Reopen();
    software = Open("Software");
    EXPECT_EQ(RegEnumKeyExW(software, 1, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, "C");
    EXPECT_EQ(RegEnumKeyExW(software, 2, &name), ERROR_NO_MORE_ITEMS);
    RegCloseKey(software);
}

TEST_F(RegistryTest, BadValuesAreRefusedAndChangeNothing)
{
    HKEY key = Create(kAppKey);
    ASSERT_EQ(RegSetDword(key, "V", 5), ERROR_SUCCESS);
    const std::string before = ReadFile(RegistryFile());
    const BYTE two[2] = {1, 2};
    EXPECT_EQ(RegSetValueExW(key, "V", 0, REG_DWORD, two, 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, "V", 0, 7, two, 2), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(RegSetValueExW(key, "V", 0, REG_BINARY, nullptr, 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetString(key, "V", "bad \xC3("), ERROR_INVALID_DATA);
    EXPECT_EQ(RegSetString(key, "V", std::string("a\0b", 3)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Dword(key, "V"), 5u);
    EXPECT_EQ(ReadFile(RegistryFile()), before);

    // Typed reads insist on the type and leave the output alone otherwise.
    std::string text = "kept";
    EXPECT_EQ(RegQueryString(key, "V", &text), ERROR_INVALID_DATA);
    EXPECT_EQ(text, "kept");
    ASSERT_EQ(RegSetString(key, "S", "12345"), ERROR_SUCCESS);
    DWORD value = 77;
    EXPECT_EQ(RegQueryDword(key, "S", &value), ERROR_INVALID_DATA);
    EXPECT_EQ(value, 77u);

    EXPECT_EQ(RegDeleteValueW(key, "v"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryDword(key, "V", &value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(key, "V"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ReadOnlyRegistryRefusesChanges)
{
    HKEY key = Create(kAppKey);
    ASSERT_EQ(RegSetDword(key, "V", 5), ERROR_SUCCESS);
    const std::string before = ReadFile(RegistryFile());
    os::sim::SetRegistryReadOnly(true);
    EXPECT_EQ(RegSetDword(key, "V", 6), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(key, "V"), ERROR_ACCESS_DENIED);
    HKEY other = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, "New", 0, "", 0, 0, nullptr, &other, nullptr), ERROR_ACCESS_DENIED);
    // Opening what exists is still fine.
    HKEY again = Create(kAppKey);
    EXPECT_EQ(Dword(again, "V"), 5u);
    EXPECT_EQ(ReadFile(RegistryFile()), before);
    RegCloseKey(again);
    RegCloseKey(key);
}

TEST_F(RegistryTest, NoRegistryNoService)
{
    os::sim::CloseRegistry();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, "Software", 0, 0, &key), ERROR_DEVICE_NOT_AVAILABLE);
    EXPECT_EQ(RegSetDword(HKEY_CURRENT_USER, "V", 1), ERROR_DEVICE_NOT_AVAILABLE);
    std::string error;
    EXPECT_EQ(os::sim::OpenRegistry(root_ + "/missing", &error), os::sim::RegistryOpenResult::Failed);
    EXPECT_NE(error.find(root_ + "/missing"), std::string::npos) << error;
}

bool AnyLineHas(const std::vector<std::string>& lines, const std::string& text)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

// What the host refuses is reported with the host's own reason.
TEST_F(RegistryTest, HostFailuresCarryTheSystemsReason)
{
    os::sim::CloseRegistry();
    WriteFile(root_ + "/plain", "x");
    struct Case {
        std::string root;
        const char* reason;
    };
    const Case cases[] = {
        {root_ + "/missing", "No such file or directory"},
        {root_ + "/plain", "Not a directory"},
        {root_ + "/plain/below", "Not a directory"},
        {root_ + "/" + std::string(300, 'n'), "File name too long"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(os::sim::OpenRegistry(c.root, &error), os::sim::RegistryOpenResult::Failed) << c.root;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    std::filesystem::create_directory(RegistryFile());
    std::string error;
    EXPECT_EQ(os::sim::OpenRegistry(root_, &error), os::sim::RegistryOpenResult::Failed);
    EXPECT_NE(error.find(RegistryFile() + ": cannot be read: Is a directory"), std::string::npos) << error;
    std::filesystem::remove(RegistryFile());

    Reopen();
    std::filesystem::create_directory(RegistryFile() + ".tmp." + std::to_string(::getpid()));
    os::TraceCapture trace;
    EXPECT_EQ(RegSetDword(HKEY_CURRENT_USER, "V", 1), ERROR_WRITE_FAULT);
    EXPECT_TRUE(AnyLineHas(trace.Lines(), "Is a directory"));
}

// A crash while the file is rewritten leaves the old file whole: the
// interrupted change is refused, and the registry read back is the old one.
TEST_F(RegistryTest, InterruptedRewriteLeavesTheOldFile)
{
    HKEY key = Create(kAppKey);
    ASSERT_EQ(RegSetString(key, "SelectDisk", "Storage Card"), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string before = ReadFile(RegistryFile());
    const std::string temp = RegistryFile() + ".tmp." + std::to_string(::getpid());

    struct Crash {
        os::sim::RegistryCrashPoint point;
        std::size_t bytes;
    };
    const Crash crashes[] = {
        {os::sim::RegistryCrashPoint::DuringWrite, 0},
        {os::sim::RegistryCrashPoint::DuringWrite, 1},
        {os::sim::RegistryCrashPoint::DuringWrite, before.size() / 2},
        {os::sim::RegistryCrashPoint::DuringWrite, before.size() + 20},
        {os::sim::RegistryCrashPoint::BeforeRename, 0},
    };
    for (const Crash& crash : crashes) {
        SCOPED_TRACE(crash.bytes);
        key = Open(kAppKey);
        os::sim::SetRegistryCrashPoint(crash.point, crash.bytes);
        EXPECT_EQ(RegSetString(key, "SelectDisk", "My Storage With A Longer Name"), ERROR_WRITE_FAULT);
        EXPECT_EQ(String(key, "SelectDisk"), "Storage Card");
        EXPECT_TRUE(std::filesystem::exists(temp));
        EXPECT_EQ(ReadFile(RegistryFile()), before);
        RegCloseKey(key);

        Reopen();
        EXPECT_FALSE(std::filesystem::exists(temp));
        key = Open(kAppKey);
        EXPECT_EQ(String(key, "SelectDisk"), "Storage Card");
        RegCloseKey(key);
    }

    // The hook fires once: the next change goes through.
    key = Open(kAppKey);
    EXPECT_EQ(RegSetString(key, "SelectDisk", "SD"), ERROR_SUCCESS);
    RegCloseKey(key);
    Reopen();
    key = Open(kAppKey);
    EXPECT_EQ(String(key, "SelectDisk"), "SD");
    RegCloseKey(key);
}

LRESULT QuietProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

constexpr UINT kPhoneState = 10338;
constexpr DWORD kUserData = 2069;

class RegistryNotifyTest : public RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        WNDCLASSW wc;
        wc.lpfnWndProc = QuietProc;
        wc.lpszClassName = "RegistryNotifyTest";
        ASSERT_NE(RegisterClassW(&wc), 0);
        window_ = CreateWindowExW(0, "RegistryNotifyTest", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, "System\\State\\Phone", "call start time", window_,
                                       kPhoneState, kUserData, nullptr, &notify_),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, "\\System\\State\\Phone", 0, "", 0, 0, nullptr, &phone_,
                                  nullptr),
                  ERROR_SUCCESS);
    }

    // How many change messages wait in the queue (they are taken out).
    int Posted()
    {
        int count = 0;
        MSG msg;
        while (PeekMessageW(&msg, window_, kPhoneState, kPhoneState, PM_REMOVE)) {
            EXPECT_EQ(msg.wParam, 0u);
            EXPECT_EQ(msg.lParam, static_cast<LPARAM>(kUserData));
            ++count;
        }
        return count;
    }

    HWND window_ = nullptr;
    HREGNOTIFY notify_ = nullptr;
    HKEY phone_ = nullptr;
};

TEST_F(RegistryNotifyTest, PostsWhenTheWatchedValueChanges)
{
    const std::vector<BYTE> call = {1, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<BYTE> noCall(8, 0);
    EXPECT_EQ(Posted(), 0) << "creating the key is no change of the value";
    ASSERT_EQ(RegSetBinary(phone_, "Call Start Time", call), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 1);
    ASSERT_EQ(RegSetBinary(phone_, "Call Start Time", call), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 0) << "same data";
    ASSERT_EQ(RegSetBinary(phone_, "CALL START TIME", noCall), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 1);
    ASSERT_EQ(RegSetDword(phone_, "Other", 1), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 0) << "another value";
    ASSERT_EQ(RegDeleteValueW(phone_, "Call Start Time"), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 1);

    ASSERT_EQ(RegSetBinary(phone_, "Call Start Time", call), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 1);
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, "System\\State"), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 1) << "deleted with its key";

    // A refused change posts nothing.
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, "System\\State\\Phone", 0, "", 0, 0, nullptr, &again, nullptr),
              ERROR_SUCCESS);
    os::sim::SetRegistryCrashPoint(os::sim::RegistryCrashPoint::BeforeRename);
    EXPECT_EQ(RegSetBinary(again, "Call Start Time", call), ERROR_WRITE_FAULT);
    EXPECT_EQ(Posted(), 0);

    ASSERT_EQ(RegistryCloseNotification(notify_), ERROR_SUCCESS);
    EXPECT_EQ(RegistryCloseNotification(notify_), ERROR_INVALID_HANDLE);
    ASSERT_EQ(RegSetBinary(again, "Call Start Time", call), ERROR_SUCCESS);
    EXPECT_EQ(Posted(), 0) << "closed";
    RegCloseKey(again);
}

DWORD SetFromAnotherThread(void* param)
{
    const std::vector<BYTE> call = {9, 9, 9, 9, 0, 0, 0, 0};
    return static_cast<DWORD>(RegSetBinary(static_cast<HKEY>(param), "Call Start Time", call));
}

TEST_F(RegistryNotifyTest, ChangeOnAnotherThreadReachesTheWindowsThread)
{
    HANDLE thread = CreateThread(nullptr, 0, SetFromAnotherThread, phone_, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD result = 1;
    ASSERT_TRUE(GetExitCodeThread(thread, &result));
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(thread);
    EXPECT_EQ(Posted(), 1);
}

// "V7": appended, not prepended, which GCC 12 at -O3 misreads as an overlap.
std::string Numbered(const char* prefix, int number)
{
    std::string name = prefix;
    name += std::to_string(number);
    return name;
}

// The body of a forked process: its own registry on the same device root,
// and values of its own written one change at a time. Returns how many
// calls failed.
int WriteAsAnotherProcess(const std::string& root, int index, int count)
{
    std::string error;
    if (os::sim::OpenRegistry(root, &error) != os::sim::RegistryOpenResult::Loaded) return 1000;
    int failures = 0;
    HKEY key = nullptr;
    const std::string name = Numbered("Process", index);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, "", 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return 1000;
    }
    for (int i = 0; i < count; ++i) {
        failures += RegSetDword(key, Numbered("V", i).c_str(), static_cast<DWORD>(index * 1000 + i)) != 0;
        if (index == 0 && i == count / 2) {
            const std::vector<BYTE> call = {7, 7, 7, 7, 0, 0, 0, 0};
            HKEY phone = nullptr;
            failures += RegOpenKeyExW(HKEY_LOCAL_MACHINE, "System\\State\\Phone", 0, 0, &phone) != ERROR_SUCCESS;
            failures += RegSetBinary(phone, "Call Start Time", call) != ERROR_SUCCESS;
            RegCloseKey(phone);
        }
    }
    RegCloseKey(key);
    os::sim::CloseRegistry();
    return failures;
}

// Processes on one device root change the registry at the same time: every
// change of each reaches the others and the file, the handles of this
// process stay valid, and a watched value changed elsewhere is announced.
TEST_F(RegistryNotifyTest, ProcessesSharingTheFileLoseNoChange)
{
    constexpr int kProcesses = 3;  // this one and two forked
    constexpr int kValues = 40;
    std::vector<pid_t> children;
    for (int index = 1; index < kProcesses; ++index) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) ::_exit(WriteAsAnotherProcess(root_, index - 1, kValues));
        children.push_back(pid);
    }
    HKEY mine = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, "Mine", 0, "", 0, 0, nullptr, &mine, nullptr), ERROR_SUCCESS);
    for (int i = 0; i < kValues; ++i) {
        EXPECT_EQ(RegSetDword(mine, Numbered("V", i).c_str(), static_cast<DWORD>(i)), ERROR_SUCCESS);
    }
    for (const pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "this process" : "the file read anew");
        for (int index = 0; index + 1 < kProcesses; ++index) {
            HKEY key = nullptr;
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (Numbered("Process", index)).c_str(), 0, 0, &key),
                      ERROR_SUCCESS);
            for (int i = 0; i < kValues; ++i) {
                EXPECT_EQ(Dword(key, Numbered("V", i).c_str()), static_cast<DWORD>(index * 1000 + i));
            }
            RegCloseKey(key);
        }
        for (int i = 0; i < kValues; ++i) EXPECT_EQ(Dword(mine, Numbered("V", i).c_str()), static_cast<DWORD>(i));
        std::vector<BYTE> call;
        EXPECT_EQ(RegQueryBinary(phone_, "Call Start Time", &call), ERROR_SUCCESS);
        EXPECT_EQ(call, (std::vector<BYTE>{7, 7, 7, 7, 0, 0, 0, 0}));
        if (pass == 0) {
            EXPECT_EQ(Posted(), 1);
            RegCloseKey(mine);
            Reopen();
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, "Mine", 0, 0, &mine), ERROR_SUCCESS);
            ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, "System\\State\\Phone", 0, 0, &phone_), ERROR_SUCCESS);
        }
    }
    RegCloseKey(mine);
}

TEST_F(RegistryNotifyTest, RegistrationChecksItsArguments)
{
    HREGNOTIFY other = nullptr;
    int condition = 0;
    EXPECT_EQ(RegistryNotifyWindow(HKEY_CURRENT_USER, "A", "B", window_, 1, 0, &condition, &other),
              ERROR_NOT_SUPPORTED);
    EXPECT_EQ(RegistryNotifyWindow(HKEY_CURRENT_USER, "A\\\\B", "B", window_, 1, 0, nullptr, &other),
              ERROR_INVALID_NAME);
    EXPECT_EQ(RegistryNotifyWindow(HKEY_CURRENT_USER, "A", "B", nullptr, 1, 0, nullptr, &other),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegistryCloseNotification(nullptr), ERROR_INVALID_HANDLE);
}

class MalformedRegistryTest : public RegistryFixture {
protected:
    // Writes `text` as the registry file and opens it; returns the error.
    std::string OpenMalformed(const std::string& text)
    {
        os::sim::CloseRegistry();
        WriteFile(RegistryFile(), text);
        std::string error;
        EXPECT_EQ(os::sim::OpenRegistry(root_, &error), os::sim::RegistryOpenResult::Recovered) << text;
        return error;
    }
};

TEST_F(MalformedRegistryTest, FileIsKeptAsideAndWhatCanBeReadStays)
{
    const std::string text = "{\n  \"HKEY_CURRENT_USER\\\\A\": {\n    \"V\": {\"dword\": 1},,\n  }\n}\n";
    const std::string error = OpenMalformed(text);
    EXPECT_NE(error.find(RegistryFile() + ", line 3:"), std::string::npos) << error;
    EXPECT_NE(error.find(RegistryFile() + ".malformed"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(RegistryFile() + ".malformed"), text);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, "A", 0, 0, &key), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(RegQueryDword(key, "V", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    RegCloseKey(key);
    // What was read is in the file again at once, whether or not anything changes.
    Reopen();
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, "A", 0, 0, &key), ERROR_SUCCESS);
    RegCloseKey(key);

    // The registry works on, and a second bad file never replaces the first.
    ASSERT_EQ(RegSetDword(HKEY_CURRENT_USER, "Fresh", 1), ERROR_SUCCESS);
    const std::string second = OpenMalformed("not json");
    EXPECT_NE(second.find(", line 1:"), std::string::npos) << second;
    EXPECT_EQ(ReadFile(RegistryFile() + ".malformed"), text);
    EXPECT_EQ(ReadFile(RegistryFile() + ".malformed.1"), "not json");
}

// A slip in a file the program wrote costs the values on its own line, not
// the registry: every kind of slip is set aside with its line named, and the
// registry goes on with everything else, written back at once.
TEST_F(MalformedRegistryTest, OneSlipLosesOnlyWhatItTouches)
{
    HKEY app = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kAppKey, 0, "", 0, 0, nullptr, &app, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetDword(app, "AudioBitrate", 128), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(app, "SelectDisk", "Storage Card"), ERROR_SUCCESS);
    ASSERT_EQ(RegSetDword(app, "Zoom", 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetBinary(HKEY_LOCAL_MACHINE, "Call Start Time", std::vector<BYTE>{1, 2}), ERROR_SUCCESS);
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, "Other", 0, "", 0, 0, nullptr, &other, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetDword(other, "Kept", 7), ERROR_SUCCESS);
    RegCloseKey(other);
    RegCloseKey(app);
    const std::string good = ReadFile(RegistryFile());

    auto lineWith = [&](const std::string& needle) {
        const std::size_t at = good.find(needle);
        const std::size_t begin = good.rfind('\n', at) + 1;
        return std::pair(begin, good.find('\n', at) - begin);
    };
    auto replaced = [&](const std::string& needle, const std::string& by) {
        const auto [begin, length] = lineWith(needle);
        return good.substr(0, begin) + by + good.substr(begin + length);
    };
    auto insertedAfter = [&](const std::string& needle, const std::string& text) {
        const auto [begin, length] = lineWith(needle);
        return good.substr(0, begin + length) + text + good.substr(begin + length);
    };

    struct Slip {
        const char* what;
        std::string text;
        std::vector<std::string> lost;  // values of the application key that cannot be read
        bool otherKeyLost = false;
    };
    const Slip slips[] = {
        {"trailing comma", insertedAfter("\"Zoom\"", ","), {}},
        {"missing comma", replaced("\"AudioBitrate\"", "    \"AudioBitrate\": {\"dword\": 128}"), {}},
        {"non-UTF-8 byte", replaced("\"SelectDisk\"", "    \"SelectDisk\": {\"sz\": \"Storage\xff Card\"},"),
         {"SelectDisk"}},
        {"dword out of range", replaced("\"AudioBitrate\"", "    \"AudioBitrate\": {\"dword\": 4294967296},"),
         {"AudioBitrate"}},
        {"unknown type", replaced("\"Zoom\"", "    \"Zoom\": {\"qword\": 3}"), {"Zoom"}},
        {"garbage line", insertedAfter("\"SelectDisk\"", "\n    ]]]"), {}},
        {"key line broken", replaced("\"HKEY_CURRENT_USER\\\\Other\"", "  \"HKEY_CURRENT_USER\\\\Other: {"), {}, true},
        {"cut short", good.substr(0, lineWith("\"Call Start Time\"").first + lineWith("\"Call Start Time\"").second),
         {}},
    };
    for (const Slip& slip : slips) {
        SCOPED_TRACE(slip.what);
        std::filesystem::remove(RegistryFile() + ".malformed");
        const std::string error = OpenMalformed(slip.text);
        EXPECT_NE(error.find(", line "), std::string::npos) << error;
        EXPECT_EQ(ReadFile(RegistryFile() + ".malformed"), slip.text);
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kAppKey, 0, 0, &app), ERROR_SUCCESS);
            auto lost = [&](const std::string& name) {
                return std::find(slip.lost.begin(), slip.lost.end(), name) != slip.lost.end();
            };
            DWORD dword = 0;
            std::string text;
            EXPECT_EQ(RegQueryDword(app, "AudioBitrate", &dword), lost("AudioBitrate") ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
            if (!lost("AudioBitrate")) {
                EXPECT_EQ(dword, 128u);
            }
            EXPECT_EQ(RegQueryString(app, "SelectDisk", &text), lost("SelectDisk") ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
            if (!lost("SelectDisk")) {
                EXPECT_EQ(text, "Storage Card");
            }
            EXPECT_EQ(RegQueryDword(app, "Zoom", &dword), lost("Zoom") ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
            if (!lost("Zoom")) {
                EXPECT_EQ(dword, 3u);
            }
            RegCloseKey(app);
            std::vector<BYTE> call;
            EXPECT_EQ(RegQueryBinary(HKEY_LOCAL_MACHINE, "Call Start Time", &call), ERROR_SUCCESS);
            EXPECT_EQ(call, (std::vector<BYTE>{1, 2}));
            const bool otherThere = RegOpenKeyExW(HKEY_CURRENT_USER, "Other", 0, 0, &other) == ERROR_SUCCESS;
            EXPECT_EQ(otherThere, !slip.otherKeyLost);
            if (otherThere) {
                EXPECT_EQ(RegQueryDword(other, "Kept", &dword), ERROR_SUCCESS);
                RegCloseKey(other);
            }
            // The second pass reads what the recovery wrote back.
            Reopen();
        }
    }

    // An empty file is a malformed one like any other: set aside, and the
    // registry starts empty.
    std::filesystem::remove(RegistryFile() + ".malformed");
    const std::string empty = OpenMalformed("");
    EXPECT_NE(empty.find(RegistryFile() + ".malformed"), std::string::npos) << empty;
    EXPECT_TRUE(std::filesystem::exists(RegistryFile() + ".malformed"));
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kAppKey, 0, 0, &app), ERROR_FILE_NOT_FOUND);
}

TEST_F(MalformedRegistryTest, WrongShapesAreNamedWithTheirLine)
{
    struct Case {
        const char* line3;  // the faulty line of the file
        const char* expected;
    };
    const Case cases[] = {
        {"    \"V\": {\"dword\": -1}", "0 to 4294967295"},
        {"    \"V\": {\"dword\": 4294967296}", "0 to 4294967295"},
        {"    \"V\": {\"dword\": 1.5}", "0 to 4294967295"},
        {"    \"V\": {\"dword\": \"12\"}", "0 to 4294967295"},
        {"    \"V\": {\"sz\": 5}", "type \"sz\" cannot hold a number"},
        {"    \"V\": {\"binary\": \"0g\"}", "hex digit pairs"},
        {"    \"V\": {\"binary\": \"abc\"}", "hex digit pairs"},
        {"    \"V\": {\"qword\": 1}", "unknown type \"qword\""},
        {"    \"V\": {\"dword\": 1, \"sz\": \"x\"}", "more than one type"},
        {"    \"V\": {}", "has no type"},
        {"    \"V\": 5", "value \"V\" must be written as"},
        {"    \"V\": {\"sz\": \"a\\u0000b\"}", "zero character"},
        {"    \"V\": {\"dword\": 1}, \"v\": {\"dword\": 2}", "appears twice"},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("{\n  \"HKEY_CURRENT_USER\\\\A\": {\n") + c.line3 + "\n  }\n}\n";
        const std::string error = OpenMalformed(text);
        EXPECT_NE(error.find(", line 3: "), std::string::npos) << c.line3 << " -> " << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.line3 << " -> " << error;
    }

    const std::string badRoot = OpenMalformed("{\n\n  \"HKEY_USERS\\\\A\": {}\n}\n");
    EXPECT_NE(badRoot.find(", line 3: \"HKEY_USERS\\A\" is not a key path"), std::string::npos) << badRoot;
    const std::string twice =
        OpenMalformed("{\n  \"HKEY_CURRENT_USER\\\\A\": {},\n  \"hkey_current_user\\\\a\": {}\n}\n");
    EXPECT_NE(twice.find(", line 3: key \"hkey_current_user\\a\" is listed twice"), std::string::npos) << twice;
    const std::string notObject = OpenMalformed("{\n  \"HKEY_CURRENT_USER\\\\A\": [1]\n}\n");
    EXPECT_NE(notObject.find(", line 2: key \"HKEY_CURRENT_USER\\A\" must be an object"), std::string::npos)
        << notObject;
}

}  // namespace

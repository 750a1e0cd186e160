#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <string>
#include <vector>

#include "platform/shell/resource.h"
#include "platform/windows/window.h"
#include "res/resource_ids.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_folder.h"

namespace {

namespace res = kestrava::res;

std::string LibraryPath(const std::string& language)
{
    return testing_support::ProgramFolder::LibraryPath(language);
}

std::size_t CodePoints(const std::string& text)
{
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

// The printf conversions of a format, in order ("%02d" -> "d", "%.5f" -> "f").
std::string Conversions(const std::string& format)
{
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        std::size_t j = i + 1;
        while (j < format.size() && std::string_view("-+ #0123456789.").find(format[j]) != std::string_view::npos)
            ++j;
        if (j < format.size() && format[j] != '%')
            out += format[j];
        i = j;
    }
    return out;
}

std::string Load(os::HINSTANCE library, os::UINT id, int maxChars = 100)
{
    std::string text;
    os::LoadStringW(library, id, &text, maxChars);
    return text;
}

class ResourceLibraryTest : public ::testing::Test {
protected:
    testing_support::ProgramFolder programFolder;
    os::HINSTANCE english = nullptr;
    os::HINSTANCE korean = nullptr;
    void SetUp() override
    {
        english = os::LoadLibraryW(LibraryPath("English").c_str());
        korean = os::LoadLibraryW(LibraryPath("Korean").c_str());
        ASSERT_NE(english, nullptr);
        ASSERT_NE(korean, nullptr);
    }
    void TearDown() override
    {
        os::FreeLibrary(english);
        os::FreeLibrary(korean);
    }
};

TEST_F(ResourceLibraryTest, StringsComeInTheLibrarysLanguage)
{
    EXPECT_EQ(Load(english, res::IDS_TITLE_SETTINGS), "Settings");
    EXPECT_EQ(Load(korean, res::IDS_TITLE_SETTINGS), "설정");
    EXPECT_EQ(Load(english, res::IDS_TITLE_EXIT), "Exit");
    EXPECT_EQ(Load(korean, res::IDS_TITLE_EXIT), "종료");
    // The class name finds a running instance whatever language it started in.
    EXPECT_EQ(Load(english, res::IDS_MAIN_WINDOW_CLASS), Load(korean, res::IDS_MAIN_WINDOW_CLASS));
}

TEST_F(ResourceLibraryTest, TheCutCountsCharactersNotBytes)
{
    const std::string full = Load(korean, res::IDS_NO_STORAGE_CARD);
    ASSERT_GT(full.size(), CodePoints(full));  // Korean takes three bytes a character

    std::string cut;
    EXPECT_EQ(os::LoadStringW(korean, res::IDS_NO_STORAGE_CARD, &cut, 5), 5);
    EXPECT_EQ(CodePoints(cut), 5u);
    EXPECT_EQ(cut, full.substr(0, cut.size()));
    EXPECT_EQ(cut, "저장 카드");

    EXPECT_EQ(os::LoadStringW(korean, res::IDS_NO_STORAGE_CARD, &cut, 100), static_cast<int>(CodePoints(full)));
    EXPECT_EQ(cut, full);
    EXPECT_EQ(os::LoadStringW(english, res::IDS_TITLE_SETTINGS, &cut, 3), 3);
    EXPECT_EQ(cut, "Set");
}

TEST_F(ResourceLibraryTest, MissingIdsAndHandlesGiveNothing)
{
    std::string text = "left over";
    EXPECT_EQ(os::LoadStringW(english, 9999, &text, 100), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_RESOURCE_NAME_NOT_FOUND));

    const auto bogus = reinterpret_cast<os::HINSTANCE>(static_cast<std::uintptr_t>(0x7000FFFF));
    EXPECT_EQ(os::LoadStringW(bogus, res::IDS_TITLE_EXIT, &text, 100), 0);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_HANDLE));
    EXPECT_EQ(os::LoadStringW(english, res::IDS_TITLE_EXIT, &text, 0), 0);
}

TEST_F(ResourceLibraryTest, EveryStringExistsInBothLanguagesWithinTheLimit)
{
    for (os::UINT id : res::kAllStringIds) {
        for (os::HINSTANCE library : {english, korean}) {
            std::string text;
            const int count = os::LoadStringW(library, id, &text, 1000);
            EXPECT_GT(count, 0) << "string " << id;
            EXPECT_LE(count, 100) << "string " << id;
        }
    }
}

TEST_F(ResourceLibraryTest, FormatStringsTakeTheSameValuesInBothLanguages)
{
    const std::vector<std::pair<os::UINT, std::string>> formats = {
        {res::IDS_INFO_START_TIME, "ddd"}, {res::IDS_INFO_ELAPSED_TIME, "ddd"}, {res::IDS_INFO_DISTANCE, "g"},
        {res::IDS_INFO_POSITION, "ff"},    {res::IDS_EVENT_CLIP_PROGRESS, "d"},
    };
    for (const auto& [id, expected] : formats) {
        EXPECT_EQ(Conversions(Load(english, id)), expected) << "string " << id;
        EXPECT_EQ(Conversions(Load(korean, id)), expected) << "string " << id;
    }
    // Every other text is shown as it is, so it must hold no conversion.
    for (os::UINT id : res::kAllStringIds) {
        const bool isFormat = std::any_of(formats.begin(), formats.end(), [&](const auto& f) { return f.first == id; });
        if (!isFormat) {
            EXPECT_EQ(Conversions(Load(english, id)), "") << "string " << id;
            EXPECT_EQ(Conversions(Load(korean, id)), "") << "string " << id;
        }
    }
}

TEST_F(ResourceLibraryTest, LoadingTwiceSharesOneHandleUntilTheLastFree)
{
    os::HINSTANCE again = os::LoadLibraryW(LibraryPath("English").c_str());
    EXPECT_EQ(again, english);
    EXPECT_TRUE(os::FreeLibrary(again));
    EXPECT_EQ(Load(english, res::IDS_TITLE_GPS), "GPS");  // still loaded

    os::HINSTANCE extra = os::LoadLibraryW(LibraryPath("Korean").c_str());
    ASSERT_EQ(extra, korean);
    os::FreeLibrary(extra);
    os::FreeLibrary(korean);
    std::string text;
    EXPECT_EQ(os::LoadStringW(korean, res::IDS_TITLE_GPS, &text, 100), 0);
    EXPECT_FALSE(os::FreeLibrary(korean));
    korean = os::LoadLibraryW(LibraryPath("Korean").c_str());  // for TearDown
    EXPECT_EQ(Load(korean, res::IDS_TITLE_GPS), "GPS");
}

TEST(ResourceLibraryLoad, MissingOrForeignFilesAreRefused)
{
    testing_support::ProgramFolder programFolder;
    EXPECT_EQ(os::LoadLibraryW(LibraryPath("Klingon").c_str()), nullptr);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_MOD_NOT_FOUND));

    const std::string notALibrary = "\\Program Files\\Kestrava\\CMakeCache.txt";
    EXPECT_EQ(os::LoadLibraryW(notALibrary.c_str()), nullptr);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_BAD_EXE_FORMAT));

    EXPECT_EQ(os::LoadLibraryW(nullptr), nullptr);
}

// Libraries load from the program's folder only: a copy of a good library
// elsewhere on the device, or a link to one inside the program's folder,
// is refused; the same file reached properly loads.
TEST(ResourceLibraryLoad, OnlyTheProgramFolderLoads)
{
    namespace stdfs = std::filesystem;
    testing_support::TempFolder root;
    const std::string program = root / "program";
    const std::string built = std::string(KESTRAVA_BINARY_DIR) + "/res/kestrava-res-English.dll";
    stdfs::create_directories(program + "/res");
    stdfs::copy_file(built, program + "/res/kestrava-res-English.dll");
    stdfs::create_symlink(built, program + "/res/kestrava-res-Linked.dll");
    stdfs::create_directory_symlink(std::string(KESTRAVA_BINARY_DIR) + "/res", program + "/linked");
    os::sim::FileSystemConfig config;
    config.deviceRoot = root / "device";
    config.programHostFolder = program;
    std::string error;
    ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    stdfs::copy_file(built, root / "device/fs/kestrava-res-English.dll");

    const char* const refused[] = {
        "\\kestrava-res-English.dll",
        "\\Program Files\\Kestrava\\res\\kestrava-res-Linked.dll",
        "\\Program Files\\Kestrava\\linked\\kestrava-res-English.dll",
        "\\Program Files\\Kestrava\\..\\..\\kestrava-res-English.dll",
    };
    for (const char* path : refused) {
        EXPECT_EQ(os::LoadLibraryW(path), nullptr) << path;
        EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_ACCESS_DENIED)) << path;
    }
    const os::HINSTANCE loaded = os::LoadLibraryW("\\Program Files\\Kestrava\\res\\kestrava-res-English.dll");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Load(loaded, res::IDS_TITLE_GPS), "GPS");
    EXPECT_TRUE(os::FreeLibrary(loaded));
}

TEST_F(ResourceLibraryTest, DialogTemplatesResolveTheirTexts)
{
    os::DialogTemplateInfo about;
    ASSERT_TRUE(os::LoadDialogTemplate(korean, res::IDD_ABOUT, &about));
    EXPECT_EQ(about.caption, "정보");
    const auto version = std::find_if(about.controls.begin(), about.controls.end(),
                                      [](const os::DialogControlInfo& c) { return c.id == res::IDC_ABOUT_VERSION; });
    ASSERT_NE(version, about.controls.end());
    EXPECT_EQ(version->kind, os::ControlKind::Text);
    const auto help = std::find_if(about.controls.begin(), about.controls.end(),
                                   [](const os::DialogControlInfo& c) { return c.id == res::IDC_HELP_BUTTON; });
    ASSERT_NE(help, about.controls.end());
    EXPECT_EQ(help->text, "도움말");

    // Every page exists in both orientations, each control inside its page.
    for (os::UINT id : {112u, 114u, 117u, 119u, 122u, 126u, 127u}) {
        os::DialogTemplateInfo page;
        ASSERT_TRUE(os::LoadDialogTemplate(english, id, &page)) << id;
        EXPECT_FALSE(page.caption.empty()) << id;
        for (const auto& control : page.controls) {
            EXPECT_GE(control.rect.left, 0) << id << "/" << control.id;
            EXPECT_LE(control.rect.right, page.width) << id << "/" << control.id;
            EXPECT_LE(control.rect.bottom, page.height) << id << "/" << control.id;
            if (control.kind != os::ControlKind::Text && control.kind != os::ControlKind::ComboBox) {
                EXPECT_FALSE(control.text.empty()) << id << "/" << control.id;
            }
        }
    }
    os::DialogTemplateInfo none;
    EXPECT_FALSE(os::LoadDialogTemplate(english, 999, &none));
}

TEST_F(ResourceLibraryTest, TheDialogMenuBarCarriesDoneAndDefaults)
{
    os::MenuInfo menu;
    ASSERT_TRUE(os::LoadMenuResource(english, res::IDM_DIALOG_BAR, &menu));
    ASSERT_EQ(menu.items.size(), 2u);
    EXPECT_EQ(menu.items[0].commandId, res::IDM_DONE);
    EXPECT_EQ(menu.items[0].text, "Done");
    ASSERT_EQ(menu.items[1].popup.size(), 1u);
    EXPECT_EQ(menu.items[1].popup[0].commandId, res::IDM_DEFAULTS);
    EXPECT_FALSE(os::LoadMenuResource(english, 4242, &menu));
}

TEST_F(ResourceLibraryTest, TheIconOutlivesItsLibrary)
{
    os::HICON icon = os::LoadIconW(english, res::IDI_MAIN);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(os::LoadIconW(english, 102), nullptr);
    os::HINSTANCE extra = os::LoadLibraryW(LibraryPath("English").c_str());
    os::FreeLibrary(extra);
    os::IconImage image;
    ASSERT_TRUE(os::GetIconImage(icon, &image));
    EXPECT_EQ(image.width, 16u);
    EXPECT_EQ(image.pixels.size(), 16u * 16u);
    EXPECT_EQ(image.pixels[0] >> 24, 0u);               // transparent corner
    EXPECT_EQ(image.pixels[8 * 16 + 8] >> 24, 0xFFu);  // opaque centre
    EXPECT_TRUE(os::DestroyIcon(icon));
    EXPECT_FALSE(os::GetIconImage(icon, &image));
}

// Accelerators send their command to the window, which needs a running platform.
std::vector<os::WPARAM>* g_commands = nullptr;

os::LRESULT CommandProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == os::WM_COMMAND && g_commands != nullptr) {
        g_commands->push_back(wParam);
        return 0;
    }
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class AcceleratorTest : public testing_support::PlatformTest {};

TEST_F(AcceleratorTest, TableTwoTurnsF1IntoTheAboutCommand)
{
    std::vector<os::WPARAM> commands;
    g_commands = &commands;
    os::WNDCLASSW wc;
    wc.lpfnWndProc = CommandProc;
    wc.lpszClassName = "AccelTarget";
    ASSERT_NE(os::RegisterClassW(&wc), 0);
    os::HWND hwnd = os::CreateWindowExW(0, "AccelTarget", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);

    testing_support::ProgramFolder programFolder;
    os::HINSTANCE english = os::LoadLibraryW(LibraryPath("English").c_str());
    os::HACCEL table = os::LoadAcceleratorsW(english, res::IDA_MAIN);
    ASSERT_NE(table, nullptr);
    os::FreeLibrary(english);

    os::MSG f1{hwnd, os::WM_KEYDOWN, 0x70, 0, 0, {}};
    os::MSG enter{hwnd, os::WM_KEYDOWN, 0x0D, 0, 0, {}};
    os::MSG f1Up{hwnd, os::WM_KEYUP, 0x70, 0, 0, {}};
    EXPECT_EQ(os::TranslateAcceleratorW(hwnd, table, &f1), 1);
    EXPECT_EQ(os::TranslateAcceleratorW(hwnd, table, &enter), 0);
    EXPECT_EQ(os::TranslateAcceleratorW(hwnd, table, &f1Up), 0);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(os::LOWORD(commands[0]), res::IDM_ABOUT);
    EXPECT_EQ(os::HIWORD(commands[0]), 1);

    EXPECT_TRUE(os::DestroyAcceleratorTable(table));
    EXPECT_EQ(os::TranslateAcceleratorW(hwnd, table, &f1), 0);
    g_commands = nullptr;
}

}  // namespace

// Screen modes and their buttons: what each mode changes, what it stores, the
// title it gives the window, and the menu's buttons.
#include <set>

#include <cstring>

#include "app/cmd_run.h"
#include "platform/windows/dialog.h"
#include "platform/windows/property_sheet.h"
#include "sensing/sensor_manager.h"
#include "storage/folder_layout.h"
#include "tests/app/main_window_fixture.h"

namespace {

// A G-sensor that keeps the thresholds it is given.
float g_thresholds[3] = {};
int KeepThresholds(int option, std::intptr_t argument)
{
    if (option == 3) std::memcpy(g_thresholds, reinterpret_cast<const float*>(argument), sizeof g_thresholds);
    return 0;
}
SensorDescriptor g_gsensor{nullptr, "GSensor", 0, nullptr, nullptr, KeepThresholds};

using testing_support::MainWindowTest;

class ScreenModesTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Start();
    }

    void Levels(uint32_t x, uint32_t y, uint32_t z)
    {
        App()->settings.EventTagDetectLevelX = x;
        App()->settings.EventTagDetectLevelY = y;
        App()->settings.EventTagDetectLevelZ = z;
    }

    std::vector<uint32_t> StoredLevels() const
    {
        return {StoredDword("EventTagDetectLevelX"), StoredDword("EventTagDetectLevelY"),
                StoredDword("EventTagDetectLevelZ")};
    }

    std::set<int> VisibleButtons() const
    {
        std::set<int> visible;
        for (int i = 1; i < kScreenCount; ++i) {
            if (App()->screens[i].visible) visible.insert(i);
        }
        return visible;
    }

    std::string Title() const { return os::sim::ShellStateOf(hwnd).navBarTitle; }
};

TEST_F(ScreenModesTest, SensitivityStepsStayWithinZeroToNineAndReturnToThePreviousMode)
{
    const bool ownManager = SensorManagerCreate() == 0;
    EXPECT_EQ(SensorRegister(&g_gsensor), 0);
    CMD_Run(hwnd, 3);
    Levels(9, 9, 9);
    CMD_Run(hwnd, 14);
    EXPECT_EQ(App()->cmdMode, 3u);
    EXPECT_EQ(StoredLevels(), (std::vector<uint32_t>{9, 9, 9}));

    Levels(0, 0, 0);
    CMD_Run(hwnd, 15);
    EXPECT_EQ(App()->cmdMode, 3u);
    EXPECT_EQ(StoredLevels(), (std::vector<uint32_t>{0, 0, 0}));

    Levels(4, 0, 8);
    CMD_Run(hwnd, 14);
    EXPECT_EQ(StoredLevels(), (std::vector<uint32_t>{5, 1, 9}));
    CMD_Run(hwnd, 15);
    CMD_Run(hwnd, 15);
    EXPECT_EQ(StoredLevels(), (std::vector<uint32_t>{3, 0, 7}));
    EXPECT_EQ(std::vector<float>(g_thresholds, g_thresholds + 3), (std::vector<float>{1200, 1500, 800}))
        << "the G-sensor follows every step";
    SensorUnregister(&g_gsensor);
    if (ownManager) SensorManagerDestroy();
}

TEST_F(ScreenModesTest, ContrastStepsThroughZeroOneAndFiveOnTheCameraScreen)
{
    App()->settings.ContrastLevel = 0;
    std::vector<os::DWORD> up;
    for (int i = 0; i < 3; ++i) {
        CMD_Run(hwnd, 21);
        up.push_back(StoredDword("ContrastLevel"));
    }
    EXPECT_EQ(up, (std::vector<os::DWORD>{1, 5, 5}));
    std::vector<os::DWORD> down;
    for (int i = 0; i < 3; ++i) {
        CMD_Run(hwnd, 22);
        down.push_back(StoredDword("ContrastLevel"));
    }
    EXPECT_EQ(down, (std::vector<os::DWORD>{1, 0, 0}));
    EXPECT_EQ(App()->cmdMode, 2u);
    EXPECT_EQ(Title(), "Ardvane-" + Text(1067));
}

TEST_F(ScreenModesTest, ToggleButtonsStoreTheirSettingAndGoBackToTheRecordingScreen)
{
    const struct {
        int mode;
        const char* name;
        os::DWORD value;
    } cases[] = {
        {10, "EnablePlaySound", 0}, {11, "EnablePlaySound", 1},   {12, "DisableRecordAudio", 1},
        {13, "DisableRecordAudio", 0}, {23, "StabilizationOnOff", 1}, {24, "StabilizationOnOff", 0},
        {25, "WDROnOff", 1},        {26, "WDROnOff", 0},
    };
    for (const auto& c : cases) {
        CMD_Run(hwnd, 8);
        CMD_Run(hwnd, c.mode);
        EXPECT_EQ(StoredDword(c.name), c.value) << "mode " << c.mode;
        EXPECT_EQ(App()->cmdMode, c.mode >= 23 ? 2u : 4u) << "mode " << c.mode;
    }
}

TEST_F(ScreenModesTest, TheMenuShowsTheToggleButtonsTheSettingsCallFor)
{
    App()->settings.EnablePlaySound = 1;
    App()->settings.DisableRecordAudio = 0;
    CMD_Run(hwnd, 8);
    EXPECT_EQ(VisibleButtons(), (std::set<int>{6, 7, 10, 12, 14, 15}));
    App()->settings.EnablePlaySound = 0;
    App()->settings.DisableRecordAudio = 1;
    CMD_Run(hwnd, 8);
    EXPECT_EQ(VisibleButtons(), (std::set<int>{6, 7, 11, 13, 14, 15}));
}

TEST_F(ScreenModesTest, TheWindowTitleNamesTheScreen)
{
    CMD_Run(hwnd, 1);
    EXPECT_EQ(Title(), "Ardvane-" + Text(33));
    EXPECT_EQ(App()->screens[1].screenActive, 1);
    CMD_Run(hwnd, 19);
    EXPECT_EQ(Title(), "Ardvane-" + Text(1067)) << "the camera screen has a title of its own";
    CMD_Run(hwnd, 16);
    EXPECT_EQ(Title(), "Ardvane") << "the recording screen's title is empty";
    CMD_Run(hwnd, 18);
    EXPECT_EQ(Title(), "Ardvane-" + Text(84));
}

TEST_F(ScreenModesTest, TheRecordingScreensRegisterTheHotKeyOnce)
{
    CMD_Run(hwnd, 5);
    CMD_Run(hwnd, 4);
    int registered = 0;
    for (const auto& key : os::sim::RegisteredHotKeys()) {
        if (key.hwnd == hwnd && key.id == 400) {
            ++registered;
            EXPECT_EQ(key.modifiers, 0u);
            EXPECT_EQ(key.virtualKey, 14u);
        }
    }
    EXPECT_EQ(registered, 1);
    EXPECT_EQ(App()->hotKeyRegistered, 1);
}

// Closes the settings sheet from its menu bar once it is up.
os::LRESULT CloseSheetProc(os::HWND w, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg != os::WM_TIMER) return os::DefWindowProcW(w, msg, wParam, lParam);
    if (os::sim::SheetMenuCommand(40007)) os::KillTimer(w, 1);
    return 0;
}

TEST_F(ScreenModesTest, SettingsAndExitAreActionsThatNeverStayCurrent)
{
    CMD_Run(hwnd, 6);
    EXPECT_EQ(App()->cmdMode, 4u);
    os::WNDCLASSW wc;
    wc.lpfnWndProc = CloseSheetProc;
    wc.lpszClassName = "CloseSheet";
    os::RegisterClassW(&wc);
    os::HWND closer = os::CreateWindowExW(0, "CloseSheet", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    os::SetTimer(closer, 1, 50, nullptr);
    Drain();
    os::DestroyWindow(closer);
    const auto pages = os::sim::DialogHistory();
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages.back().dialog.templateId, 119u) << "the storage page, landscape";
    EXPECT_EQ(App()->cmdMode, 4u);

    CMD_Run(hwnd, 7);
    EXPECT_TRUE(Has("WM_CLOSE Msg Send by Kestrava 4"));
    EXPECT_EQ(ClosePosted(), kCloseOrderly);
}

TEST_F(ScreenModesTest, BackFromASideScreenLeavesItForTheRecordingScreen)
{
    CMD_Run(hwnd, 1);
    Command(IDOK);
    Drain();
    EXPECT_EQ(App()->cmdMode, 4u);
    EXPECT_EQ(App()->screens[1].screenActive, 0) << "the GPS screen was not logging";

    CMD_Run(hwnd, 1);
    App()->screens[1].active = 1;
    Command(IDOK);
    Drain();
    EXPECT_EQ(App()->screens[1].screenActive, 1) << "a running GPS log keeps its screen live";
}

}  // namespace

namespace {

TEST_F(ScreenModesTest, TitlesComeFromEachLanguageLibrary)
{
    std::string folder;
    GetModuleFolder(&folder);
    std::string firstTitles[2];
    int n = 0;
    for (const char* language : {"English", "Korean"}) {
        os::HINSTANCE library = os::LoadLibraryW((folder + "\\res\\kestrava-res-" + language + ".dll").c_str());
        ASSERT_NE(library, nullptr) << language;
        auto text = [&](os::UINT id) {
            std::string t;
            os::LoadStringW(library, id, &t, 100);
            return t;
        };
        ScreenTable table;
        LoadScreenTitles(&table, library);
        const std::pair<int, os::UINT> titled[] = {{1, 33}, {2, 1251}, {3, 84}, {5, 35}, {6, 38}, {7, 40},
                                                   {8, 1250}, {9, 85}, {16, 84}, {18, 84}, {19, 1251}, {26, 1251}};
        for (const auto& [entry, id] : titled) EXPECT_EQ(table[entry].title.View(), text(id)) << entry;
        for (int entry : {0, 4, 10, 11, 12, 13, 14, 15}) EXPECT_TRUE(table[entry].title.Empty()) << entry;
        firstTitles[n++] = std::string(table[6].title.View());
        os::FreeLibrary(library);
    }
    EXPECT_NE(firstTitles[0], firstTitles[1]);
}

}  // namespace

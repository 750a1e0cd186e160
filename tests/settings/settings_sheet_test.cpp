// The settings sheet over the running main window: a timer of another window
// plays the driver's hand on the open sheet step by step (lists, boxes,
// typing, pages, menu commands) while the sheet's modal loop runs, and the
// test then judges the record, the registry and the messages shown.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "platform/files/file_sim.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/windows/controls.h"
#include "platform/windows/property_sheet.h"
#include "settings/settings_store.h"
#include "tests/app/main_window_fixture.h"

namespace {

using testing_support::MainWindowTest;

constexpr os::UINT kSheetDone = 40007;
constexpr os::UINT kSheetDefaults = 40004;

// The steps of the hand, one a timer tick; each may look at the sheet as it is.
std::vector<std::function<void()>> g_sheetSteps;
std::size_t g_sheetNext = 0;

os::LRESULT SheetHandProc(os::HWND w, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg != os::WM_TIMER) return os::DefWindowProcW(w, msg, wParam, lParam);
    if (g_sheetNext < g_sheetSteps.size()) {
        g_sheetSteps[g_sheetNext++]();
    } else {
        os::KillTimer(w, 1);
    }
    return 0;
}

os::sim::ControlView SheetControl(os::UINT id)
{
    os::sim::ControlView view;
    EXPECT_TRUE(os::sim::ViewControl(id, &view)) << "control " << id;
    return view;
}

int SheetEntryIndex(const os::sim::ControlView& list, const std::string& text)
{
    const auto it = std::find(list.entries.begin(), list.entries.end(), text);
    return it == list.entries.end() ? -1 : static_cast<int>(it - list.entries.begin());
}

// The top page's control as a window, for what the hand cannot reach (hidden fields).
os::HWND SheetWindowOf(os::UINT id)
{
    const auto open = os::sim::OpenDialogs();
    return open.empty() ? nullptr : os::GetDlgItem(open.front().hwnd, static_cast<int>(id));
}

class SettingsSheetTest : public MainWindowTest {
protected:
    // Opens the sheet from the toolbar's settings mode and plays `steps`; the
    // sheet is closed with "Done" after them. Returns once the sheet is gone.
    void RunSheet(std::vector<std::function<void()>> steps)
    {
        steps.push_back([] { EXPECT_TRUE(os::sim::SheetMenuCommand(kSheetDone)); });
        g_sheetSteps = std::move(steps);
        g_sheetNext = 0;
        os::WNDCLASSW wc;
        wc.lpfnWndProc = SheetHandProc;
        wc.lpszClassName = "SheetHand";
        os::RegisterClassW(&wc);
        os::HWND hand = os::CreateWindowExW(0, "SheetHand", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        os::SetTimer(hand, 1, 50, nullptr);
        Command(IDM_SETTINGS);
        os::DestroyWindow(hand);
        EXPECT_EQ(g_sheetNext, g_sheetSteps.size()) << "the sheet closed before the hand was done";
        os::sim::SheetState sheet;
        EXPECT_FALSE(os::sim::OpenSheet(&sheet));
        EXPECT_EQ(App()->settingsSheetOpen, 0);
    }

    std::vector<std::string> MessagesShown(os::UINT type) const
    {
        std::vector<std::string> texts;
        for (const auto& box : os::sim::MessageBoxHistory()) {
            if ((box.type & os::MB_ICONMASK) == type) texts.push_back(box.text);
        }
        return texts;
    }

    // The program's folder is read-only to the program: the phone gets a copy
    // of the installed one whose resource folder also holds `extra` files,
    // none of them a library.
    void InstallProgramWithResourceFiles(const std::vector<std::string>& extra)
    {
        const std::filesystem::path installed = KESTRAVA_BINARY_DIR;
        const std::filesystem::path program = folder / "program";
        std::filesystem::create_directories(program);
        for (const char* part : {"image", "res"}) {
            std::filesystem::copy(installed / part, program / part, std::filesystem::copy_options::recursive);
        }
        for (const std::string& name : extra) std::ofstream(program / "res" / name) << "not a library";
        os::sim::FileSystemConfig fs;
        fs.deviceRoot = folder.Path();
        fs.programHostFolder = program.string();
        fs.windowsHostFolder = (installed / "sounds").string();
        for (const sim::Volume& v : profile.volumes) fs.volumes.push_back(sim::ToVolumeConfig(v));
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(fs, &error)) << error;
    }
};

// A 512 MB card beside the 2 GB one; resource files of other naming, one with
// no language in its name and one of the naming that is no library at all.
TEST_F(SettingsSheetTest, StoragePageRefusesSmallCardsAndKeepsWhatItCannotShow)
{
    profile.volumes.push_back(sim::Volume{"Small Card", 512 * sim::kMegabyte, true, ""});
    Start([this] { InstallProgramWithResourceFiles({"kestravares.dll", "kestrava-res-.dll", "kestrava-res-Klingon.dll"}); });
    const std::string language(App()->settings.Langauge.View());
    App()->settings.LcdOffTime = 120;
    App()->settings.EvtTagSMSSend = 1;
    App()->settings.EvtTagSMSRecvNum.Assign("0101234");
    ASSERT_TRUE(SaveSettings(hwnd));
    ASSERT_EQ(App()->settings.SelectDisk, std::string_view("Storage Card"));

    os::sim::ControlView volumes, quotas, screenOff, languages, afterRefusal;
    RunSheet({
        [&] {
            volumes = SheetControl(1001);
            quotas = SheetControl(1036);
            screenOff = SheetControl(1029);
            languages = SheetControl(1034);
            EXPECT_TRUE(os::sim::ChooseListEntry(1001, SheetEntryIndex(volumes, "Small Card")));
        },
        [&] {
            afterRefusal = SheetControl(1001);
            EXPECT_TRUE(os::sim::ChooseListEntry(1034, SheetEntryIndex(languages, "Klingon")));
            EXPECT_TRUE(os::sim::SelectSheetPage(2));
        },
        [] { EXPECT_EQ(SheetControl(1201).visible, false) << "the SMS box stays hidden"; },
    });

    EXPECT_EQ(std::set<std::string>(volumes.entries.begin(), volumes.entries.end()),
              (std::set<std::string>{"Storage Card", "Small Card"}));
    EXPECT_EQ(quotas.entries, (std::vector<std::string>{Text(62), "1 GB", "2 GB"}));
    EXPECT_EQ(quotas.selection, 0);
    EXPECT_EQ(std::set<std::string>(languages.entries.begin(), languages.entries.end()),
              (std::set<std::string>{"English", "Korean", "Klingon"}))
        << "only the program's libraries with a language in their name";
    EXPECT_EQ(screenOff.entries.size(), 4u);
    EXPECT_EQ(screenOff.selection, -1) << "120 s is none of the list's times";

    EXPECT_EQ(MessagesShown(os::MB_ICONWARNING), std::vector<std::string>{Text(1280)});
    ASSERT_GE(afterRefusal.selection, 0);
    EXPECT_EQ(afterRefusal.entries[static_cast<std::size_t>(afterRefusal.selection)], "Storage Card");
    EXPECT_EQ(App()->settings.SelectDisk, std::string_view("Storage Card"));
    EXPECT_EQ(App()->settings.Langauge.View(), language) << "a library that does not load is never taken";
    EXPECT_EQ(App()->settings.LcdOffTime, 120u);
    EXPECT_EQ(StoredDword("LcdOffTime"), 120u);
    EXPECT_EQ(App()->settings.EvtTagSMSSend, 0u);
    EXPECT_EQ(StoredDword("EvtTagSMSSend"), 0u) << "confirming the event page always ends the SMS";
    EXPECT_EQ(App()->restartRecording, 0) << "nothing that matters to a recording changed";

    // Chosen at the start, the small card offers no quota but "none".
    App()->settings.SelectDisk.Assign("Small Card");
    RunSheet({[&] { quotas = SheetControl(1036); }});
    EXPECT_EQ(quotas.entries, std::vector<std::string>{Text(62)});

    // A volume that is gone shows no selection and stays chosen.
    App()->settings.SelectDisk.Assign("Gone Card");
    RunSheet({[&] { volumes = SheetControl(1001); }});
    EXPECT_EQ(volumes.selection, -1);
    EXPECT_EQ(App()->settings.SelectDisk, std::string_view("Gone Card"));
}

TEST_F(SettingsSheetTest, RecordingPageAsksTellsAndRestoresItsDefaults)
{
    Start();
    App()->settings.SplitTimeSec = 120;
    App()->settings.AudioBitrate = 160;
    App()->settings.VideoBitrate = 512;
    os::sim::ControlView quality, split, onCallOff, onCallRefused, afterDefaults;
    RunSheet({
        [] { EXPECT_TRUE(os::sim::SelectSheetPage(1)); },
        [&] {
            quality = SheetControl(1023);
            split = SheetControl(1022);
            EXPECT_TRUE(os::sim::TickCheckBox(1005, false));
        },
        [&] {
            onCallOff = SheetControl(1016);
            EXPECT_FALSE(os::sim::TickCheckBox(1016, true)) << "disabled without sound";
            EXPECT_TRUE(os::sim::TickCheckBox(1005, true));
        },
        [] {
            os::sim::QueueMessageBoxAnswer(os::IDNO);
            EXPECT_TRUE(os::sim::TickCheckBox(1016, true));
        },
        [&] {
            onCallRefused = SheetControl(1016);
            EXPECT_TRUE(os::sim::ChooseListEntry(1023, 0));
        },
        [] { EXPECT_TRUE(os::sim::SheetMenuCommand(kSheetDefaults)); },
        [&] { afterDefaults = SheetControl(1023); },
    });
    EXPECT_EQ(split.selection, 2);
    EXPECT_EQ(quality.selection, 2);
    EXPECT_FALSE(onCallOff.enabled);
    EXPECT_TRUE(onCallRefused.enabled);
    EXPECT_FALSE(onCallRefused.checked) << "\"No\" to the question";
    EXPECT_EQ(afterDefaults.selection, 1);
    EXPECT_EQ(MessagesShown(os::MB_ICONWARNING), (std::vector<std::string>{Text(70), Text(1270), Text(1270)}))
        << "the question, the change to low quality, the defaults' change back";
    const RecorderSettings& s = App()->settings;
    EXPECT_EQ(s.DisableRecordAudio, 0u);
    EXPECT_EQ(s.EnableBgAudioRecordOnCall, 0u);
    EXPECT_EQ(s.SplitTimeSec, 30u);
    EXPECT_EQ(s.AudioBitrate, 128u);
    EXPECT_EQ(s.VideoBitrate, 384u);
    EXPECT_EQ(StoredDword("SplitTimeSec"), 30u);
    EXPECT_EQ(StoredDword("VideoBitrate"), 384u);
}

// The SMS fields stay hidden, but keep their input rules for the day they show.
TEST_F(SettingsSheetTest, SmsFieldsTakeDigitsAndAMessageOfOneAnsiSms)
{
    Start();
    ASSERT_EQ(App()->settings.Langauge, std::string_view("Korean"));
    App()->settings.EvtTagSMSRecvNum.Assign("010");
    std::string number, message, hangul;
    os::sim::ShellWindowState numberShell;
    bool panelUpInField = false;
    RunSheet({
        [] { EXPECT_TRUE(os::sim::SelectSheetPage(2)); },
        [&] {
            EXPECT_FALSE(os::sim::TypeIntoField(1204, "1", false)) << "disabled and hidden";
            os::HWND field = SheetWindowOf(1204);
            os::SetFocus(field);
            numberShell = os::sim::ShellStateOf(field);
            panelUpInField = os::sim::InputPanelUp();
            for (char c : std::string("12a3-4")) os::SendMessageW(field, os::WM_CHAR, static_cast<os::WPARAM>(c), 0);
            os::SendMessageW(field, os::WM_CHAR, os::VK_BACK, 0);
            os::SendMessageW(field, os::WM_PASTE, 0, reinterpret_cast<os::LPARAM>("99"));
            number = os::GetWindowText(field);
            os::HWND text = SheetWindowOf(1205);
            os::SetFocus(text);
            os::SetWindowTextW(text, "");
            for (int i = 0; i < 60; ++i) os::SendMessageW(text, os::WM_CHAR, 'a', 0);
            message = os::GetWindowText(text);
            os::SetWindowTextW(text, "");
            for (int i = 0; i < 40; ++i) os::SendMessageW(text, os::WM_CHAR, 0xD55C, 0);  // a Hangul syllable
            hangul = os::GetWindowText(text);
        },
    });
    EXPECT_EQ(numberShell.imeMode, os::SHIME_MODE_NUMBERS) << "numbers on focus in Korean";
    EXPECT_TRUE(panelUpInField);
    EXPECT_FALSE(os::sim::InputPanelUp()) << "lowered when the field lost the focus";
    EXPECT_EQ(number, "010123") << "letters and signs refused, backspace taken, paste refused";
    EXPECT_EQ(message, std::string(50, 'a')) << "keys refused once the text passes 49 bytes";
    EXPECT_EQ(hangul.size(), 25u * 3) << "two bytes a syllable in the ANSI code page: 25 make 50";
    EXPECT_EQ(App()->settings.EvtTagSMSRecvNum, std::string_view("010123"));
    EXPECT_EQ(App()->settings.EvtTagSMSSend, 0u);
}

TEST_F(SettingsSheetTest, SwitchingToKoreanShowsKoreanTexts)
{
    Start([] {
        os::HKEY key = nullptr;
        ASSERT_EQ(os::RegCreateKeyExW(os::HKEY_CURRENT_USER, "\\Software\\Holmbrek\\Ardvane", 0, nullptr, 0, 0, nullptr,
                                      &key, nullptr),
                  os::ERROR_SUCCESS);
        os::RegSetString(key, "Langauge", "English");
        os::RegCloseKey(key);
    });
    ASSERT_EQ(App()->settings.Langauge, std::string_view("English"));
    const std::string englishTitle(App()->screens[6].title.View());
    const std::string englishDone = Text(2040);
    RunSheet({[] {
        EXPECT_TRUE(os::sim::ChooseListEntry(1034, SheetEntryIndex(SheetControl(1034), "Korean")));
    }});
    EXPECT_EQ(App()->settings.Langauge, std::string_view("Korean"));
    EXPECT_NE(Text(2040), englishDone) << "the Korean library is loaded";
    const std::string title(App()->screens[6].title.View());
    EXPECT_EQ(title, Text(38));
    EXPECT_NE(title, englishTitle);
    EXPECT_TRUE(std::any_of(title.begin(), title.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }))
        << "a Hangul screen title: " << title;
    std::string korean;
    RunSheet({[&] { korean = SheetControl(1029).entries.at(0); }});
    EXPECT_EQ(korean, Text(49)) << "the next sheet's texts are Korean too";
    std::string error;
    EXPECT_TRUE(os::sim::SaveScreenPng(folder / "korean.png", &error)) << error;
}

}  // namespace

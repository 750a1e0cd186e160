#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/shell/resource.h"
#include "platform/windows/window.h"
#include "settings/settings_store.h"
#include "tests/support/program_folder.h"
#include "tests/support/registry_fixture.h"

namespace {

constexpr const char* kKey = "\\Software\\Holmbrek\\Ardvane";

struct Dword {
    const char* name;
    uint32_t RecorderSettings::*field;
    uint32_t defaultValue;
};

// Every stored number with its default, written out here independently of
// the store's own lists.
const Dword kStoredDwords[] = {
    {"DisableRecordAudio", &RecorderSettings::DisableRecordAudio, 0},
    {"EnableMovRecordAfterLaunch", &RecorderSettings::EnableMovRecordAfterLaunch, 1},
    {"EnableMovRecordWidthEvtTag", &RecorderSettings::EnableMovRecordWidthEvtTag, 1},
    {"EventTagDetectLevelX", &RecorderSettings::EventTagDetectLevelX, 6},
    {"EventTagDetectLevelY", &RecorderSettings::EventTagDetectLevelY, 6},
    {"EventTagDetectLevelZ", &RecorderSettings::EventTagDetectLevelZ, 6},
    {"EnableGpsRecordAfterLaunch", &RecorderSettings::EnableGpsRecordAfterLaunch, 0},
    {"EnableAutoFocus", &RecorderSettings::EnableAutoFocus, 1},
    {"EnableCameraFlash", &RecorderSettings::EnableCameraFlash, 1},
    {"StillWidth", &RecorderSettings::StillWidth, 0},
    {"StillHeight", &RecorderSettings::StillHeight, 0},
    {"AudioBitrate", &RecorderSettings::AudioBitrate, 128},
    {"VideoBitrate", &RecorderSettings::VideoBitrate, 384},
    {"JpegQuality", &RecorderSettings::JpegQuality, 75},
    {"SplitTimeSec", &RecorderSettings::SplitTimeSec, 30},
    {"FileDeleteLevel", &RecorderSettings::FileDeleteLevel, 100},
    {"LcdOffTime", &RecorderSettings::LcdOffTime, 0},
    {"MemoInputType", &RecorderSettings::MemoInputType, 0},
    {"FreeSpaceMB", &RecorderSettings::FreeSpaceMB, 0},
    {"EnableBgAudioRecordOnCall", &RecorderSettings::EnableBgAudioRecordOnCall, 0},
    {"EventDetectLevel", &RecorderSettings::EventDetectLevel, 0},
    {"UseGPS4Event", &RecorderSettings::UseGPS4Event, 0},
    {"UseGSensor4Event", &RecorderSettings::UseGSensor4Event, 0},
    {"EventTimeSec", &RecorderSettings::EventTimeSec, 30},
    {"EvtTagSMSSend", &RecorderSettings::EvtTagSMSSend, 0},
    {"AccidentSound", &RecorderSettings::AccidentSound, 1},
    {"SendSmsScaleX", &RecorderSettings::SendSmsScaleX, 1900},
    {"SendSmsScaleY", &RecorderSettings::SendSmsScaleY, 1900},
    {"SendSmsScaleZ", &RecorderSettings::SendSmsScaleZ, 1900},
    {"EnablePlaySound", &RecorderSettings::EnablePlaySound, 1},
    {"ContrastLevel", &RecorderSettings::ContrastLevel, 0},
    {"StabilizationOnOff", &RecorderSettings::StabilizationOnOff, 1},
    {"WDROnOff", &RecorderSettings::WDROnOff, 0},
    {"VideoSize", &RecorderSettings::VideoSize, 0},
};

os::LRESULT TestWindowProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class SettingsStoreTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        programFolder_ = std::make_unique<testing_support::ProgramFolder>();
        g_hResourceLibrary = os::LoadLibraryW(testing_support::ProgramFolder::LibraryPath("English").c_str());
        ASSERT_NE(g_hResourceLibrary, nullptr);
        os::WNDCLASSW wc;
        wc.lpfnWndProc = TestWindowProc;
        wc.lpszClassName = "SettingsStoreTest";
        os::RegisterClassW(&wc);
        window_ = os::CreateWindowExW(0, "SettingsStoreTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        os::SetWindowLongW(window_, os::GWL_USERDATA, reinterpret_cast<os::LONG_PTR>(&app_));
    }

    void TearDown() override
    {
        os::DestroyWindow(window_);
        os::UnregisterClassW("SettingsStoreTest", nullptr);
        os::FreeLibrary(g_hResourceLibrary);
        g_hResourceLibrary = nullptr;
        RegistryFixture::TearDown();
    }

    os::HKEY Key()
    {
        os::HKEY key = nullptr;
        EXPECT_EQ(os::RegCreateKeyExW(os::HKEY_CURRENT_USER, kKey, 0, "", 0, 0, nullptr, &key, nullptr),
                  os::ERROR_SUCCESS);
        return key;
    }

    void Store(const char* name, const std::string& text)
    {
        const os::HKEY key = Key();
        ASSERT_EQ(os::RegSetString(key, name, text), os::ERROR_SUCCESS);
        os::RegCloseKey(key);
    }

    void Store(const char* name, uint32_t value)
    {
        const os::HKEY key = Key();
        ASSERT_EQ(os::RegSetDword(key, name, value), os::ERROR_SUCCESS);
        os::RegCloseKey(key);
    }

    // The stored value, or nothing.
    bool Stored(const char* name, os::DWORD* value)
    {
        const os::HKEY key = Key();
        const bool found = os::RegQueryDword(key, name, value) == os::ERROR_SUCCESS;
        os::RegCloseKey(key);
        return found;
    }

    static std::string DefaultSmsText()
    {
        std::string text;
        os::LoadStringW(g_hResourceLibrary, 1260, &text, 100);
        return text;
    }

    RecorderSettings& S() { return app_.settings; }

    EventRecorderApp app_{};
    os::HWND window_ = nullptr;
    std::unique_ptr<testing_support::ProgramFolder> programFolder_;
};

TEST_F(SettingsStoreTest, FirstStartTakesEveryDefaultAndCreatesTheKey)
{
    S().StillWidth = 640;
    S().SelectDisk.Assign("Kept");
    ASSERT_EQ(LoadSettings(window_), 1);

    for (const Dword& d : kStoredDwords) {
        if (d.field != &RecorderSettings::StillWidth) {
            EXPECT_EQ(S().*d.field, d.defaultValue) << d.name;
        }
    }
    EXPECT_EQ(S().StillWidth, 640u) << "no default: keeps its value";
    EXPECT_EQ(S().SelectDisk, "Kept");
    EXPECT_EQ(S().MinFreeSpaceMB, 10u);
    EXPECT_EQ(S().Langauge, "Korean");
    EXPECT_TRUE(S().EvtTagSMSRecvNum.Empty());
    EXPECT_FALSE(DefaultSmsText().empty());
    EXPECT_EQ(S().EvtTagSMSMsgText, DefaultSmsText());

    os::HKEY key = nullptr;
    EXPECT_EQ(os::RegOpenKeyExW(os::HKEY_CURRENT_USER, "Software\\Holmbrek\\Ardvane", 0, 0, &key), os::ERROR_SUCCESS);
    os::RegCloseKey(key);
}

TEST_F(SettingsStoreTest, StoredTextsAreKeptExceptThePlaceholder)
{
    Store("EvtTagSMSMsgText", "TarvoNull");
    Store("EvtTagSMSRecvNum", "+49 170 1234567");
    Store("Langauge", "English");
    Store("VideoSize", 1u);
    ASSERT_EQ(LoadSettings(window_), 1);
    EXPECT_EQ(S().EvtTagSMSMsgText, DefaultSmsText());
    EXPECT_EQ(S().EvtTagSMSRecvNum, "+49 170 1234567");
    EXPECT_EQ(S().Langauge, "English");
    EXPECT_EQ(S().VideoSize, 1u);

    Store("EvtTagSMSMsgText", "");
    ASSERT_EQ(LoadSettings(window_), 1);
    EXPECT_TRUE(S().EvtTagSMSMsgText.Empty());
    Store("EvtTagSMSMsgText", "tarvonull");
    ASSERT_EQ(LoadSettings(window_), 1);
    EXPECT_EQ(S().EvtTagSMSMsgText, "tarvonull");
}

TEST_F(SettingsStoreTest, OverlongTextsAreCutAtTheirField)
{
    std::string disk;
    for (int i = 0; i < 300; ++i) {
        disk += "\xC3\xA9";  // one character, two bytes
    }
    Store("SelectDisk", disk);
    Store("Langauge", std::string(100, 'L'));
    ASSERT_EQ(LoadSettings(window_), 1);
    EXPECT_EQ(S().SelectDisk.View(), disk.substr(0, 259 * 2));
    EXPECT_EQ(S().Langauge.View(), std::string(63, 'L'));

    // A number stored in a wider value cannot be read; it takes its default.
    const os::HKEY key = Key();
    ASSERT_EQ(os::RegSetBinary(key, "AudioBitrate", {1, 2, 3, 4, 5, 6, 7, 8}), os::ERROR_SUCCESS);
    os::RegCloseKey(key);
    S().AudioBitrate = 64;
    ASSERT_EQ(LoadSettings(window_), 1);
    EXPECT_EQ(S().AudioBitrate, 128u);
}

TEST_F(SettingsStoreTest, SaveThenLoadGivesTheSameRecord)
{
    uint32_t next = 1000;
    for (const Dword& d : kStoredDwords) {
        S().*d.field = next++;
    }
    S().MinFreeSpaceMB = 55;
    S().SelectDisk.Assign("Storage Card");
    S().Langauge.Assign("English");
    S().EvtTagSMSRecvNum.Assign("010-1234-5678");
    S().EvtTagSMSMsgText.Assign("Unfall \xE2\x80\x94 bitte helfen");
    const RecorderSettings saved = S();
    ASSERT_EQ(SaveSettings(window_), 1);

    app_.settings = RecorderSettings{};
    Reopen();
    ASSERT_EQ(LoadSettings(window_), 1);
    for (const Dword& d : kStoredDwords) {
        EXPECT_EQ(S().*d.field, saved.*d.field) << d.name;
        os::DWORD stored = 0;
        EXPECT_TRUE(Stored(d.name, &stored)) << d.name;
    }
    EXPECT_EQ(S().MinFreeSpaceMB, 10u);
    os::DWORD unused = 0;
    EXPECT_FALSE(Stored("MinFreeSpaceMB", &unused));
    EXPECT_EQ(S().SelectDisk, saved.SelectDisk);
    EXPECT_EQ(S().Langauge, saved.Langauge);
    EXPECT_EQ(S().EvtTagSMSRecvNum, saved.EvtTagSMSRecvNum);
    EXPECT_EQ(S().EvtTagSMSMsgText, saved.EvtTagSMSMsgText);
}

TEST_F(SettingsStoreTest, SingleWritesStoreOnlyTheirValues)
{
    S().EnablePlaySound = 0;
    S().EventTagDetectLevelX = 1;
    S().EventTagDetectLevelY = 2;
    S().EventTagDetectLevelZ = 3;
    S().SelectDisk.Assign("SD Card");
    S().ContrastLevel = 5;
    S().MinFreeSpaceMB = 10;

    os::DWORD value = 99;
    EXPECT_EQ(WriteSettingDword(window_, &RecorderSettings::EnablePlaySound), 1);
    EXPECT_TRUE(Stored("EnablePlaySound", &value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(Stored("ContrastLevel", &value));
    EXPECT_FALSE(Stored("EventTagDetectLevelX", &value));

    EXPECT_EQ(WriteDetectLevels(window_), 1);
    for (const auto& [name, expected] : {std::pair{"EventTagDetectLevelX", 1u}, {"EventTagDetectLevelY", 2u},
                                         {"EventTagDetectLevelZ", 3u}}) {
        EXPECT_TRUE(Stored(name, &value)) << name;
        EXPECT_EQ(value, expected) << name;
    }
    EXPECT_EQ(WriteSelectDisk(window_), 1);
    const os::HKEY key = Key();
    std::string disk;
    EXPECT_EQ(os::RegQueryString(key, "SelectDisk", &disk), os::ERROR_SUCCESS);
    os::RegCloseKey(key);
    EXPECT_EQ(disk, "SD Card");

    EXPECT_EQ(WriteSettingDword(window_, &RecorderSettings::MinFreeSpaceMB), 0);
    EXPECT_FALSE(Stored("MinFreeSpaceMB", &value));
}

TEST_F(SettingsStoreTest, SnapshotComparesOnlyWhatMattersToARecording)
{
    ASSERT_EQ(LoadSettings(window_), 1);
    S().SelectDisk.Assign("Storage Card");
    ASSERT_EQ(SnapshotRecordingSettings(window_), 1);
    EXPECT_EQ(RecordingSettingsChanged(window_), 0);

    S().StillWidth = 1280;
    S().StillHeight = 960;
    S().JpegQuality = 10;
    EXPECT_EQ(RecordingSettingsChanged(window_), 0);

    const std::pair<const char*, uint32_t RecorderSettings::*> compared[] = {
        {"VideoBitrate", &RecorderSettings::VideoBitrate},
        {"AudioBitrate", &RecorderSettings::AudioBitrate},
        {"SplitTimeSec", &RecorderSettings::SplitTimeSec},
        {"EnableBgAudioRecordOnCall", &RecorderSettings::EnableBgAudioRecordOnCall},
        {"DisableRecordAudio", &RecorderSettings::DisableRecordAudio},
        {"FileDeleteLevel", &RecorderSettings::FileDeleteLevel},
        {"FreeSpaceMB", &RecorderSettings::FreeSpaceMB},
    };
    for (const auto& [name, field] : compared) {
        S().*field += 1;
        EXPECT_EQ(RecordingSettingsChanged(window_), 1) << name;
        S().*field -= 1;
        EXPECT_EQ(RecordingSettingsChanged(window_), 0) << name;
    }
    S().SelectDisk.Assign("Storage Card2");
    EXPECT_EQ(RecordingSettingsChanged(window_), 1);
    ASSERT_EQ(SnapshotRecordingSettings(window_), 1);
    EXPECT_EQ(RecordingSettingsChanged(window_), 0);
}

TEST_F(SettingsStoreTest, UnusableKeyLeavesTheRecordAlone)
{
    os::sim::SetRegistryReadOnly(true);
    S().AudioBitrate = 7;
    S().Langauge.Assign("Before");
    EXPECT_EQ(LoadSettings(window_), 0);
    EXPECT_EQ(S().AudioBitrate, 7u);
    EXPECT_EQ(S().Langauge, "Before");
    EXPECT_EQ(S().MinFreeSpaceMB, 0u);
    EXPECT_EQ(SaveSettings(window_), 0);
    EXPECT_EQ(WriteSettingDword(window_, &RecorderSettings::AudioBitrate), 0);

    std::string language;
    EXPECT_EQ(ReadLanguageSetting(&language), 0);
    EXPECT_EQ(language, "English");
}

TEST_F(SettingsStoreTest, LanguageIsReadBeforeTheRecordExists)
{
    std::string language;
    EXPECT_EQ(ReadLanguageSetting(&language), 1);
    EXPECT_EQ(language, "Korean");
    Store("Langauge", "");
    EXPECT_EQ(ReadLanguageSetting(&language), 1);
    EXPECT_EQ(language, "Korean");
    Store("Langauge", "English");
    EXPECT_EQ(ReadLanguageSetting(&language), 1);
    EXPECT_EQ(language, "English");
}

}  // namespace

// The program's sounds against a handset that lacks some of its system
// sounds: which file each variant plays, its fallbacks, and when nothing may
// sound at all, judged from what the phone's player actually played.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/file_sim.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/sound/sound.h"
#include "sensing/record_sound.h"
#include "sensing/sound_link.h"
#include "settings/settings_store.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

RecorderSettings g_settings;
int g_recording = 0;

RecorderSettings* LinkSettings(os::HWND) { return &g_settings; }
int LinkRecording(os::HWND) { return g_recording; }
constexpr SoundLink kLink{LinkSettings, LinkRecording};

class ProgramSounds : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        // Some sounds of the build under their own names, others only under
        // a fallback name, and some missing.
        const std::string built = std::string(KESTRAVA_BINARY_DIR) + "/sounds/";
        const std::string windows = folder_ / "windows";
        std::filesystem::create_directories(windows);
        for (const auto& [from, to] : {std::pair{"camcorder_start_musical02.wav", "camcorder_start_musical02.wav"},
                                       std::pair{"StopRecording.wav", "StopRecording.wav"},
                                       std::pair{"shutter_03.wav", "camera_shutter_3.wav"},
                                       std::pair{"shutter_04.wav", "shutter04.wav"},
                                       std::pair{"AutoFocus.wav", "AutoFocus.wav"},
                                       std::pair{"Alarm2.wav", "Alarm2.wav"}}) {
            std::filesystem::copy_file(built + from, windows + "/" + to);
        }
        os::sim::FileSystemConfig config;
        config.deviceRoot = folder_ / "root";
        config.windowsHostFolder = windows;
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
        ASSERT_EQ(os::sim::OpenRegistry(folder_ / "root", &error), os::sim::RegistryOpenResult::Loaded) << error;
        g_settings = RecorderSettings{};
        g_settings.EnablePlaySound = 1;
        g_settings.AccidentSound = 1;
        g_recording = 0;
        SetSoundLink(&kLink);
    }
    void TearDown() override
    {
        SetSoundLink(nullptr);
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }

    static void SetVariant(const char* name, uint32_t value)
    {
        os::HKEY key = OpenSettingsKey();
        ASSERT_NE(key, nullptr);
        WriteDwordValue(key, name, value);
        os::RegCloseKey(key);
    }

    // The files played by one call, and its result.
    template <typename Call>
    static std::vector<std::string> Played(Call call, int* result)
    {
        const std::size_t before = os::sim::SoundPlays().size();
        *result = call();
        std::vector<std::string> files;
        const auto plays = os::sim::SoundPlays();
        for (std::size_t i = before; i < plays.size(); ++i) files.push_back(plays[i].file);
        return files;
    }

    testing_support::TempFolder folder_;
};

using Files = std::vector<std::string>;

TEST_F(ProgramSounds, EachVariantPlaysItsFileOrItsFallback)
{
    struct Case {
        const char* what;
        const char* variant;
        uint32_t value;
        int (*play)();
        Files played;
    };
    const Case cases[] = {
        {"start 0: its file missing, the fallback missing", "StartSound", 0, [] { return PlayRecordSound(nullptr, 1); }, {}},
        {"start 1", "StartSound", 1, [] { return PlayRecordSound(nullptr, 1); },
         {"\\windows\\camcorder_start_musical02.wav"}},
        {"start 2: no file at all", "StartSound", 2, [] { return PlayRecordSound(nullptr, 1); }, {}},
        {"stop 1: its file missing", "EndSound", 1, [] { return PlayRecordSound(nullptr, 0); },
         {"\\windows\\StopRecording.wav"}},
        {"shutter 2: the second name", "ShutterSound", 2, [] { return PlayShutterSound(nullptr); },
         {"\\windows\\camera_shutter_3.wav"}},
        {"shutter 3: the third name", "ShutterSound", 3, [] { return PlayShutterSound(nullptr); },
         {"\\windows\\shutter04.wav"}},
        {"shutter 5: none", "ShutterSound", 5, [] { return PlayShutterSound(nullptr); }, {}},
        {"autofocus", "StartSound", 0, [] { return PlayAutoFocusSound(nullptr, 0); }, {"\\windows\\AutoFocus.wav"}},
        {"autofocus failed: skipped", "StartSound", 0, [] { return PlayAutoFocusSound(nullptr, 1); }, {}},
    };
    for (const Case& c : cases) {
        SetVariant(c.variant, c.value);
        int result = -1;
        EXPECT_EQ(Played(c.play, &result), c.played) << c.what;
        EXPECT_EQ(result, c.played.empty() ? 0 : 1) << c.what;
    }
    // A missing last fallback is still asked for (and is silent); a variant
    // without any file asks for nothing.
    EXPECT_EQ(RecordSoundFile(1, 0), "\\windows\\StartRecording.wav");
    EXPECT_EQ(RecordSoundFile(1, 2), "");
    EXPECT_EQ(ShutterSoundFile(0), "\\windows\\shutter01.wav");
}

TEST_F(ProgramSounds, TheAlarmFollowsTheStoredChoiceAndNothingSoundsWhenSoundIsOff)
{
    const Files alarm{"\\Windows\\Alarm2.wav"};
    int result = 0;
    EXPECT_EQ(Played([] { return PlayAccidentSound(nullptr); }, &result), Files{}) << "no recording runs";
    g_recording = 1;
    EXPECT_EQ(Played([] { return PlayAccidentSound(nullptr); }, &result), alarm);
    SetVariant("AccidentSound", 0);
    EXPECT_EQ(Played([] { return PlayAccidentSound(nullptr); }, &result), Files{});
    EXPECT_EQ(g_settings.AccidentSound, 0u) << "the stored choice is read back into the settings";
    SetVariant("AccidentSound", 1);
    EXPECT_EQ(Played([] { return PlayShutterSound(nullptr); }, &result), Files{}) << "no shutter while recording";

    g_settings.EnablePlaySound = 0;
    SetVariant("StartSound", 1);
    for (int (*play)() : {+[] { return PlayRecordSound(nullptr, 1); }, +[] { return PlayAccidentSound(nullptr); },
                          +[] { return PlayAutoFocusSound(nullptr, 0); }}) {
        EXPECT_EQ(Played(play, &result), Files{});
    }
    g_recording = 0;
    EXPECT_EQ(Played([] { return PlayShutterSound(nullptr); }, &result), Files{});
}

}  // namespace

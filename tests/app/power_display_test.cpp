// The phone's power and display states as the program follows them: the
// backlight's idle timer, the unattended state around calls, resume and the
// battery, the portrait alert of the rotation watch, and the user's
// orientation settings given back at exit.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/display_state.h"
#include "app/rotation_alert.h"
#include "app/workers.h"
#include "platform/devices/display.h"
#include "platform/devices/power.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/kernel/clock.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/program_runner.h"

namespace {

using testing_support::MainWindowTest;

constexpr os::DWORD kFullyOn = 0x12010000;
constexpr os::DWORD kUnattended = 0x00400000;

class PowerDisplayTest : public MainWindowTest {
protected:
    void SetCallStart(bool onCall)
    {
        std::vector<os::BYTE> data(8, onCall ? 1 : 0);
        os::HKEY key = nullptr;
        ASSERT_EQ(os::RegCreateKeyExW(os::HKEY_LOCAL_MACHINE, "System\\State\\Phone", 0, nullptr, 0, 0, nullptr, &key,
                                      nullptr),
                  os::ERROR_SUCCESS);
        os::RegSetBinary(key, "Call Start Time", data);
        os::RegCloseKey(key);
    }
    // Lets the power thread and the rotation watch act without handling the
    // main window's messages (a posted WM_CLOSE stays queued).
    static void LetOthersRun() { os::Sleep(100); }

    static std::size_t IdleRequests()
    {
        std::size_t n = 0;
        for (const auto& r : os::sim::PowerStateRequests()) n += r.state == os::POWER_STATE_IDLE ? 1 : 0;
        return n;
    }

    // A few points of the screen where the alert lies.
    static std::vector<std::uint32_t> Sample()
    {
        std::vector<std::uint32_t> points;
        for (int y = 80; y < 780; y += 70) {
            for (int x = 20; x < 480; x += 90) points.push_back(os::sim::ScreenPixel(x, y));
        }
        return points;
    }

    static os::DWORD AutoOrientation()
    {
        os::HKEY key = nullptr;
        os::DWORD value = 99;
        if (os::RegOpenKeyExW(os::HKEY_CURRENT_USER, "\\ControlPanel\\MotionSensor", 0, 0, &key) == os::ERROR_SUCCESS) {
            os::RegQueryDword(key, "AutoOrientation", &value);
            os::RegCloseKey(key);
        }
        return value;
    }
};

TEST_F(PowerDisplayTest, TheBacklightArmsTheIdleStateUnlessItComesBackOrNoDelayIsSet)
{
    Start();
    App()->settings.LcdOffTime = 5;
    os::sim::PowerTransition(0, "backlightoff");
    RunFor(4800);
    EXPECT_EQ(IdleRequests(), 0u);
    RunFor(400);
    EXPECT_EQ(IdleRequests(), 1u) << "five seconds after the backlight went off";

    os::sim::PowerTransition(0, "BacklightOff");
    RunFor(2000);
    os::sim::PowerTransition(kFullyOn, "on");
    RunFor(6000);
    EXPECT_EQ(IdleRequests(), 1u) << "the backlight came back first";

    App()->settings.LcdOffTime = 0;
    os::sim::PowerTransition(0, "backlightoff");
    RunFor(20000);
    EXPECT_EQ(IdleRequests(), 1u);
}

TEST_F(PowerDisplayTest, UnattendedOutsideACallDropsSamplesUntilFullPowerEndsTheRun)
{
    Start();
    std::atomic<int>& unattended = App()->recorder.unattended;
    SetCallStart(true);
    os::sim::PowerTransition(kUnattended, "unattended");
    LetOthersRun();
    EXPECT_EQ(unattended.load(), 0) << "a call keeps recording attended";

    SetCallStart(false);
    os::sim::PowerTransition(kUnattended, "unattended");
    LetOthersRun();
    EXPECT_EQ(unattended.load(), 1);
    SetCallStart(true);
    os::sim::PowerTransition(kFullyOn, "on");
    LetOthersRun();
    EXPECT_EQ(unattended.load(), 0) << "fully on during a call: samples are written again";
    EXPECT_EQ(ClosePosted(), -1);

    SetCallStart(false);
    os::sim::PowerTransition(kUnattended, "unattended");
    os::sim::PowerTransition(kFullyOn, "on");
    LetOthersRun();
    EXPECT_EQ(ClosePosted(), kClosePowerLoss);
}

TEST_F(PowerDisplayTest, TheBatteryFollowsItsBandsAndAResumeEndsTheRun)
{
    profile.battery = sim::BatteryProfile{false, 30};
    Start();
    LetOthersRun();
    EXPECT_EQ(App()->batteryLevel.load(), 3) << "the charge the handset started with";
    const struct {
        bool ac;
        int percent;
        int level;
    } changes[] = {{false, 80, 1}, {false, 79, 2}, {false, 40, 2}, {false, 39, 3},
                   {false, 15, 3}, {false, 14, 4}, {true, 14, 0},  {false, 100, 1}};
    for (const auto& c : changes) {
        ASSERT_TRUE(os::sim::SetPowerInfo(c.ac, c.percent));
        LetOthersRun();
        EXPECT_EQ(App()->batteryLevel.load(), c.level) << c.percent << (c.ac ? " on AC" : "");
    }
    EXPECT_EQ(ClosePosted(), -1);
    os::sim::PowerResume();
    LetOthersRun();
    EXPECT_EQ(ClosePosted(), kClosePowerLoss);
}

TEST_F(PowerDisplayTest, PortraitStopsCaptureBehindTheAlertAndLandscapeOrATouchBringsItBack)
{
    Start();
    App()->captureRunning = 1;
    StartRotationWatchThread();
    LetOthersRun();
    os::sim::RotateDisplay(os::DMDO_0);
    LetOthersRun();
    EXPECT_TRUE(os::IsWindowVisible(g_hAlertWindow));
    EXPECT_TRUE(g_rotationAlert.load());
    EXPECT_EQ(App()->captureRunning.load(), 0);
    EXPECT_STREQ(RotationAlertImage(), "IdleBg.png");
    // The alert paints its idle background over the screen below it.
    RunFor(50);
    const auto portraitLook = Sample();
    EXPECT_NE(portraitLook, std::vector<std::uint32_t>(portraitLook.size(), 0)) << "something is drawn";
    // 90 and 180 degrees change nothing; the alert's picture follows the turn.
    const struct {
        os::DWORD orientation;
        const char* image;
    } ignored[] = {{os::DMDO_90, "IdleBg_Lands.png"}, {os::DMDO_180, "IdleBg.png"}};
    for (const auto& turn : ignored) {
        os::sim::RotateDisplay(turn.orientation);
        LetOthersRun();
        EXPECT_TRUE(os::IsWindowVisible(g_hAlertWindow)) << turn.orientation;
        EXPECT_STREQ(RotationAlertImage(), turn.image);
        os::InvalidateRect(g_hAlertWindow, nullptr, os::FALSE);
        RunFor(50);
        EXPECT_EQ(Sample() == portraitLook, std::string_view(turn.image) == "IdleBg.png") << turn.image;
    }
    os::sim::RotateDisplay(os::DMDO_270);
    LetOthersRun();
    EXPECT_FALSE(os::IsWindowVisible(g_hAlertWindow));
    EXPECT_FALSE(g_rotationAlert.load());
    EXPECT_EQ(App()->captureRunning.load(), 1);

    os::sim::RotateDisplay(os::DMDO_0);
    LetOthersRun();
    ASSERT_TRUE(os::IsWindowVisible(g_hAlertWindow));
    os::SendMessageW(g_hAlertWindow, os::WM_LBUTTONUP, 0, os::MAKELPARAM(100, 100));
    EXPECT_FALSE(os::IsWindowVisible(g_hAlertWindow));
    EXPECT_EQ(os::sim::CurrentOrientation(), os::DMDO_270) << "the touch turns the display back";
    EXPECT_EQ(AutoOrientation(), 0u);
    EXPECT_EQ(App()->captureRunning.load(), 1);
    LetOthersRun();
    EXPECT_FALSE(os::IsWindowVisible(g_hAlertWindow)) << "the watch sees the turn it did not make as no portrait";
    EXPECT_TRUE(StopRotationWatchThread());
}

TEST_F(PowerDisplayTest, AHandsetStartedInPortraitGetsItsOwnOrientationSettingsBackAtExit)
{
    profile.rotation = 0;
    profile.autoOrientation = 1;
    Start();
    EXPECT_EQ(os::sim::CurrentOrientation(), os::DMDO_270);
    EXPECT_EQ(AutoOrientation(), 0u) << "the motion sensor may not turn the recording screen";
    // The landscape rule again, as activation and the alert window use it:
    // it must not take the program's own settings for the user's.
    os::sim::RotateDisplay(os::DMDO_0);
    os::SendMessageW(hwnd, WM_RECORDER_ACTIVATE, 0, 0);
    EXPECT_EQ(os::sim::CurrentOrientation(), os::DMDO_270);
    os::SendMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
    EXPECT_EQ(AutoOrientation(), 1u);
    EXPECT_EQ(os::sim::CurrentOrientation(), os::DMDO_0);
}

// The sound of a recording as ffmpeg decodes it: mono 16-bit at 8000 Hz.
std::vector<std::int16_t> DecodedSound(const std::string& path)
{
    const std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -map 0:a -f s16le -ac 1 -ar 8000 -";
    std::vector<std::int16_t> samples;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return samples;
    std::int16_t buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, sizeof buffer[0], 4096, pipe)) > 0;) {
        samples.insert(samples.end(), buffer, buffer + n);
    }
    ::pclose(pipe);
    return samples;
}

bool SilentSecond(const std::vector<std::int16_t>& sound, int second)
{
    for (std::size_t i = static_cast<std::size_t>(second) * 8000; i < static_cast<std::size_t>(second + 1) * 8000; ++i) {
        if (i >= sound.size() || sound[i] != 0) return false;
    }
    return true;
}

// A handset started in portrait records through a call, lets its backlight
// go off, goes unattended and comes fully on again: the whole program, then
// the files, the power requests and the settings left behind.
TEST(PowerDisplayRun, CallsBacklightAndPowerStatesThroughTheWholeProgram)
{
    testing_support::TempFolder folder;
    nlohmann::json profile =
        nlohmann::json::parse(testing_support::ReadWholeFile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/default.json"));
    profile["rotation"] = 0;
    profile["autoOrientation"] = 1;
    profile["startTime"] = "2009-03-03T08:59:30";
    std::ofstream(folder / "profile.json") << profile.dump();
    std::ofstream(folder / "scenario.json") << R"({"events": [
        {"at": 0, "do": "registry", "name": "LcdOffTime", "dword": 5},
        {"at": "35s", "do": "call_start"}, {"at": "45s", "do": "call_end"},
        {"at": "50s", "do": "power_transition", "flags": 0, "state": "backlightoff"},
        {"at": "62s", "do": "power_transition", "flags": 4194304, "state": "unattended"},
        {"at": "70s", "do": "power_transition", "flags": 302055424, "state": "on"},
        {"at": "100s", "do": "end"}]})";
    const auto run = testing_support::RunProgram({"--root", folder / "dev", "--clock", "virtual", "--profile",
                                                  folder / "profile.json", "--scenario", folder / "scenario.json",
                                                  "--trace", folder / "trace"},
                                                 folder, "run");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ended by itself at 00:01:10"), std::string::npos) << "fully on after unattended: " << run.out;

    // The call is silence in the file of 30 to 60 s, from its 5th to its 15th second.
    const auto sound = DecodedSound(folder / "dev/volumes/Storage Card/Ardvane/20090303/085930/090000_20090303.avi");
    ASSERT_GE(sound.size(), 29u * 8000);
    for (int second : {1, 3, 16, 20, 28}) EXPECT_FALSE(SilentSecond(sound, second)) << second;
    for (int second = 6; second < 14; ++second) EXPECT_TRUE(SilentSecond(sound, second)) << second;

    const std::string trace = testing_support::ReadWholeFile(folder / "trace");
    EXPECT_NE(trace.find("00:00:55.000 [os] SetSystemPowerState name=\"\" state=0x100000"), std::string::npos)
        << "the idle state five seconds after the backlight went off";
    EXPECT_EQ(trace.find("Start OnDestroyProc"), std::string::npos) << "the power-loss sequence, not the orderly one";
    const auto registry = nlohmann::json::parse(testing_support::ReadWholeFile(folder / "dev/registry.json"));
    EXPECT_EQ(registry["HKEY_CURRENT_USER\\ControlPanel\\MotionSensor"]["AutoOrientation"]["dword"], 1)
        << "the user's auto-orientation, switched off while recording, is back";
}

// One pixel and the size of a PNG, as ImageMagick reads it: "srgb(r,g,b) w h".
std::string PngPixel(const std::string& png, int x, int y)
{
    const std::string command = "convert '" + png + "' -format '%[pixel:p{" + std::to_string(x) + "," +
                                std::to_string(y) + "}] %w %h' info:";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    char text[96] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, pipe);
    ::pclose(pipe);
    return std::string(text, n);
}

// Turned to portrait, the handset shows the alert over everything, its
// record mark in the middle; turned back, the recording screen returns.
TEST(PowerDisplayRun, APortraitTurnShowsTheAlertAndTheTurnBackTheRecordingScreen)
{
    testing_support::TempFolder folder;
    std::ofstream(folder / "turn.json") << R"({"events": [
        {"at": "5s", "do": "rotation", "value": 0}, {"at": "6s", "do": "screenshot", "file": "alert.png"},
        {"at": "10s", "do": "rotation", "value": 4}, {"at": "12s", "do": "screenshot", "file": "back.png"},
        {"at": "15s", "do": "end"}]})";
    const auto run = testing_support::RunProgram(
        {"--root", folder / "dev", "--clock", "virtual", "--scenario", folder / "turn.json"}, folder, "turn");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string mark = PngPixel(folder / "dev/screenshots/alert.png", 240, 366);
    int r = 0;
    int g = 0;
    int b = 0;
    int width = 0;
    int height = 0;
    ASSERT_EQ(std::sscanf(mark.c_str(), "srgb(%d,%d,%d) %d %d", &r, &g, &b, &width, &height), 5) << mark;
    EXPECT_EQ(width, 480);
    EXPECT_EQ(height, 800);
    EXPECT_TRUE(r > 200 && g < 120 && b < 120) << "the red record mark: " << mark;
    const std::string back = PngPixel(folder / "dev/screenshots/back.png", 14, 67);
    EXPECT_EQ(back.substr(back.find(' ')), " 800 480");
    EXPECT_NE(back, PngPixel(folder / "dev/screenshots/alert.png", 14, 67)) << "the toolbar is back";
}

}  // namespace

// The phone in a desktop window: the window shows the composed screen and
// follows it, a click on the toolbar is a touch, Enter is the phone's key,
// and closing the window ends the program as its exit button does. The
// window needs a display: without one, PhoneWindowProgram runs the window
// test again under xvfb-run, and kestrava --window on that display too.
#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/graphics/screen_window.h"
#include "sim/phone_window.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/program_runner.h"

namespace {

using testing_support::ProgramRun;
using testing_support::RunProgram;
using testing_support::TempFolder;

constexpr int kPhoneWindowMinusX = 500, kPhoneWindowMinusY = 360;
// xvfb-run's own screen has 8-bit colour; the window's picture needs 24.
constexpr char kPhoneWindowXvfbScreen[] = "-screen 0 1280x1024x24";

bool PhoneWindowHasDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

class PhoneWindowTest : public testing_support::MainWindowTest {
protected:
    os::ClockMode Mode() const override { return os::ClockMode::Real; }

    void TearDown() override
    {
        sim::ClosePhoneWindow();
        MainWindowTest::TearDown();
    }

    // Handles the program's messages until `line` is traced, for at most 5 s.
    bool RunUntil(const std::string& line)
    {
        for (int i = 0; i < 50 && !Has(line); ++i) RunFor(100);
        return Has(line);
    }

    // While this thread does not handle messages nothing paints, so the
    // window catches up with the screen within a few frames.
    void ExpectShowsTheScreen(const char* when)
    {
        os::sim::ScreenImage shown, screen;
        for (int i = 0; i < 50; ++i) {
            screen = os::sim::CaptureScreen();
            if (os::sim::ReadScreenWindow(&shown) && shown.rgb == screen.rgb) break;
            os::Sleep(os::sim::kScreenWindowFrameMs);
        }
        EXPECT_EQ(shown.width, screen.width) << when;
        EXPECT_EQ(shown.height, screen.height) << when;
        EXPECT_TRUE(shown.rgb == screen.rgb) << when << ": the window does not show the screen";
        EXPECT_NE(std::count(screen.rgb.begin(), screen.rgb.end(), 0), static_cast<long>(screen.rgb.size()))
            << when << ": the screen is black";
    }

    static void Push(SDL_Event e) { EXPECT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

    static void Click(int x, int y)
    {
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event e{};
            e.type = type;
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.button.x = x;
            e.button.y = y;
            Push(e);
        }
    }

    static void Press(SDL_Keycode key)
    {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event e{};
            e.type = type;
            e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.sym = key;
            Push(e);
        }
    }

    static void CloseButton()
    {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        Push(e);
    }
};

TEST_F(PhoneWindowTest, ShowsTheScreenTakesClicksAndKeysAndClosesAsTheExitButton)
{
    if (!PhoneWindowHasDisplay()) GTEST_SKIP() << "no display: PhoneWindowProgram runs this test under xvfb-run";
    Start();
    const sim::ScreenSize size = sim::ScreenSizeAt(profile, profile.rotation);
    std::string error;
    if (!sim::OpenPhoneWindow(size.width, size.height, &error)) {
        GTEST_SKIP() << "SDL opens no window on this display: " << error;
    }
    RunFor(200);
    ExpectShowsTheScreen("at the start");

    Click(kPhoneWindowMinusX, kPhoneWindowMinusY);
    EXPECT_TRUE(RunUntil("CMD_Run cmdMode=15")) << "the click is a touch on the minus button";
    ExpectShowsTheScreen("after the click");

    Press(SDLK_a);
    Press(SDLK_RETURN);
    EXPECT_TRUE(RunUntil("WM_KEYUP : vkcode=0xd, lKyeData")) << "Enter is the phone's Enter key";
    EXPECT_FALSE(Has("WM_KEYUP : vkcode=0x41, lKyeData")) << "a key without a phone key is dropped";

    EXPECT_FALSE(sim::PhoneWindowClosed());
    CloseButton();
    EXPECT_TRUE(RunUntil("WM_CLOSE Msg Send by Kestrava 4")) << "closing the window is the exit button";
    EXPECT_TRUE(Has("CMD_Run cmdMode=7"));
    EXPECT_TRUE(sim::PhoneWindowClosed());
}

// SDL unloads the display libraries it loaded before the process ends, so a
// leak report can no longer tell their one-time allocations from the
// program's: the window's runs go without it (the headless runs keep it).
constexpr char kPhoneWindowLeakCheckOff[] = "ASAN_OPTIONS=detect_leaks=0";

TEST(PhoneWindowProgram, SaysSoWithoutADisplayAndRunsAndEndsCleanlyOnOne)
{
    TempFolder folder;
    const ProgramRun headless = RunProgram(
        {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", kPhoneWindowLeakCheckOff, testing_support::ProgramPath(), "--window",
         "--root", folder / "none"},
        folder, "headless", "/usr/bin/env");
    EXPECT_EQ(headless.exitCode, 1);
    EXPECT_NE(headless.err.find("kestrava: --window: no display"), std::string::npos) << headless.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "none")) << "nothing of the phone is set up";

    std::vector<std::string> onDisplay = {kPhoneWindowLeakCheckOff};
    if (!PhoneWindowHasDisplay()) {
        if (!std::filesystem::exists("/usr/bin/xvfb-run")) {
            GTEST_SKIP() << "no display and no xvfb-run (Debian package xvfb): the window is not tested";
        }
        onDisplay.insert(onDisplay.end(), {"xvfb-run", "-a", "-s", kPhoneWindowXvfbScreen});
        std::vector<std::string> inner = onDisplay;
        inner.insert(inner.end(), {std::filesystem::read_symlink("/proc/self/exe").string(),
                                   "--gtest_filter=PhoneWindowTest.*"});
        const ProgramRun test = RunProgram(inner, folder, "inner", "/usr/bin/env");
        if (test.out.find("[  SKIPPED ]") != std::string::npos) GTEST_SKIP() << test.out;
        EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
        EXPECT_NE(test.out.find("[  PASSED  ] 1 test."), std::string::npos) << test.out;
    }
    std::vector<std::string> shown = onDisplay;
    shown.insert(shown.end(), {testing_support::ProgramPath(), "--window", "--root", folder / "device", "--for", "2s"});
    const ProgramRun run = RunProgram(shown, folder, "shown", "/usr/bin/env");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("on the real clock"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ended at the end of the run"), std::string::npos) << run.out;
}

}  // namespace

// The recording screen as the user sees it: the composed screen's pixels
// where the toolbar's buttons lie, through presses, a disabled button and a
// toggled setting, the start screen, the drawing objects over many paints,
// and the accident SMS's cancel button on each layout.
#include <cstdlib>
#include <string>
#include <vector>

#include "app/accident_alert.h"
#include "app/messages.h"
#include "platform/graphics/graphics_sim.h"
#include "tests/app/main_window_fixture.h"

namespace {

using testing_support::MainWindowTest;

struct Rgb {
    int r, g, b;
};

Rgb At(int x, int y)
{
    const std::uint32_t p = os::sim::ScreenPixel(x, y);
    return Rgb{static_cast<int>(p >> 16), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

int Brightness(Rgb c) { return c.r + c.g + c.b; }
bool Grey(Rgb c) { return std::abs(c.r - c.g) < 12 && std::abs(c.g - c.b) < 12; }

class MainScreenTest : public MainWindowTest {
protected:
    void Repaint()
    {
        os::InvalidateRect(hwnd, nullptr, os::FALSE);
        RunFor(20);
    }
    // The tile colour of a toolbar button: a point inside its frame, off its symbol.
    static Rgb Tile(int top) { return At(14, top + 12); }
};

TEST_F(MainScreenTest, ToolbarButtonsShowTheirLookForEachState)
{
    Start();
    Repaint();
    const Rgb exitNormal = Tile(55);
    const Rgb settingsNormal = Tile(331);
    EXPECT_LT(Brightness(exitNormal), 300) << "a dark tile";

    os::SendMessageW(hwnd, os::WM_LBUTTONDOWN, 0, os::MAKELPARAM(60, 100));
    Repaint();
    const Rgb exitPressed = Tile(55);
    EXPECT_GT(Brightness(exitPressed), Brightness(exitNormal) + 150) << "the pressed look is the bright one";
    EXPECT_EQ(Brightness(Tile(331)), Brightness(settingsNormal)) << "only the touched button changes";
    os::SendMessageW(hwnd, os::WM_LBUTTONUP, 0, os::MAKELPARAM(700, 100));  // lifted off every button: no command
    Repaint();
    EXPECT_EQ(Brightness(Tile(55)), Brightness(exitNormal));

    App()->screens[6].disabled = 1;
    Repaint();
    EXPECT_TRUE(Grey(Tile(331)));
    EXPECT_NE(Brightness(Tile(331)), Brightness(settingsNormal)) << "the disabled look";
    App()->screens[6].disabled = 0;

    // A disabled button keeps its look under a finger and sends nothing.
    const Rgb micNormal = Tile(240);
    App()->screens[12].disabled = 1;
    Repaint();
    const Rgb micDisabled = Tile(240);
    EXPECT_NE(Brightness(micDisabled), Brightness(micNormal));
    const std::uint32_t audio = App()->settings.DisableRecordAudio;
    os::SendMessageW(hwnd, os::WM_LBUTTONDOWN, 0, os::MAKELPARAM(60, 280));
    Repaint();
    EXPECT_EQ(Brightness(Tile(240)), Brightness(micDisabled)) << "no pressed look";
    os::SendMessageW(hwnd, os::WM_LBUTTONUP, 0, os::MAKELPARAM(60, 280));
    Repaint();
    EXPECT_EQ(App()->settings.DisableRecordAudio, audio) << "the microphone was not switched";
    EXPECT_EQ(App()->cmdMode, 4u);
    App()->screens[12].disabled = 0;

    // The plus button at its place (707, 356) shows its pressed look under a finger.
    const Rgb plusNormal = At(707 + 8, 356 + 8);
    os::SendMessageW(hwnd, os::WM_LBUTTONDOWN, 0, os::MAKELPARAM(750, 390));
    Repaint();
    EXPECT_GT(Brightness(At(707 + 8, 356 + 8)), Brightness(plusNormal) + 150) << "the plus button's pressed look";
    EXPECT_EQ(Brightness(Tile(55)), Brightness(exitNormal));
    os::SendMessageW(hwnd, os::WM_LBUTTONUP, 0, os::MAKELPARAM(700, 100));
    Repaint();

    // The speaker pair: sound off shows the struck-through symbol's look.
    // One composition of the screen per look: a pixel at a time would compose it for each.
    const auto speaker = [] {
        const os::sim::ScreenImage screen = os::sim::CaptureScreen();
        std::vector<std::uint8_t> pixels;
        for (int y = 160; y < 235; y += 3) {
            const auto row = screen.rgb.begin() + (static_cast<std::ptrdiff_t>(y) * screen.width + 10) * 3;
            pixels.insert(pixels.end(), row, row + 106 * 3);
        }
        return pixels;
    };
    const auto soundOn = speaker();
    App()->settings.EnablePlaySound = 0;
    Repaint();
    EXPECT_TRUE(App()->screens[11].visible && !App()->screens[10].visible);
    EXPECT_NE(speaker(), soundOn);
    App()->settings.EnablePlaySound = 1;
    Repaint();
    EXPECT_EQ(speaker(), soundOn);
}

TEST_F(MainScreenTest, PaintingLeavesNoDrawingObjectsBehindAndTheScreenshotIsAPicture)
{
    Start();
    Repaint();
    const int objects = os::sim::GdiObjectCount();
    for (int i = 0; i < 50; ++i) Repaint();
    EXPECT_EQ(os::sim::GdiObjectCount(), objects);
    const std::string png = folder / "screen.png";
    std::string error;
    ASSERT_TRUE(os::sim::SaveScreenPng(png, &error)) << error;
    FILE* pipe = ::popen(("identify -format '%w %h' '" + png + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char size[32] = {};
    const std::size_t n = std::fread(size, 1, sizeof size - 1, pipe);
    ::pclose(pipe);
    EXPECT_EQ(std::string(size, n), "800 480");
}

// The toolbar is the 800 x 480 layout's own; the pop-ups' buttons are on
// every layout: a driver must see where to cancel the accident SMS.
class SmsPopupLayoutTest : public MainWindowTest, public testing::WithParamInterface<int> {};

TEST_P(SmsPopupLayoutTest, TheCancelButtonShowsInItsTouchArea)
{
    profile.screen.width = GetParam();
    profile.screen.height = 480;
    Start();
    os::SendMessageW(hwnd, WM_RECORDER_SMS_POPUP, 1, 0);
    RunFor(20);
    ASSERT_TRUE(os::IsWindowVisible(g_hAccSmsCancelWindow));
    os::RECT popup{};
    ASSERT_TRUE(os::GetWindowRect(g_hAccSmsCancelWindow, &popup));
    const os::sim::ScreenImage screen = os::sim::CaptureScreen();
    const auto brightness = [&](int x, int y) {
        const auto p = screen.rgb.begin() + (static_cast<std::ptrdiff_t>(y) * screen.width + x) * 3;
        return p[0] + p[1] + p[2];
    };
    // The box's own dark face, left of the button; in the touch area (give
    // or take the sizing border) the button's frame and symbol stand out.
    const int face = brightness(popup.left + 60, popup.top + kSmsCancelButton.top + 30);
    int standingOut = 0;
    for (int y = popup.top + kSmsCancelButton.top; y < popup.top + kSmsCancelButton.bottom + 8; ++y) {
        for (int x = popup.left + kSmsCancelButton.left; x < popup.left + kSmsCancelButton.right + 8; ++x) {
            if (x < screen.width && y < screen.height && std::abs(brightness(x, y) - face) > 150) ++standingOut;
        }
    }
    EXPECT_GT(standingOut, 100) << "the button's frame and symbol";
}

INSTANTIATE_TEST_SUITE_P(Layouts, SmsPopupLayoutTest, testing::Values(800, 640));

}  // namespace

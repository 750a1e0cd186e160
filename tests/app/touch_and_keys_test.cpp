// Touches and keys on the main window: which button a touch presses, the
// emergency area, the on-screen message's buttons, and the keys.
#include "app/cmd_run.h"
#include "app/input.h"
#include "sensing/event_recorder_link.h"
#include "sensing/sensor_manager.h"
#include "tests/app/main_window_fixture.h"

namespace {

using testing_support::MainWindowTest;

// Places of the toolbar on the 800 x 480 layout.
constexpr int kExitX = 10, kExitY = 60;
constexpr int kSettingsX = 10, kSettingsY = 340;
constexpr int kMinusX = 500, kMinusY = 360;

class TouchAndKeysTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Start();
    }

    std::vector<int> Flags() const
    {
        std::vector<int> flags;
        for (const ScreenEntry& e : App()->screens) {
            flags.insert(flags.end(), {e.pressed, e.highlighted, e.keyPressed, e.visible, e.disabled});
        }
        return flags;
    }
};

TEST_F(TouchAndKeysTest, AButtonActsOnlyWhenTheTouchStartsAndEndsOnIt)
{
    Tap(kMinusX, kMinusY, kExitX, kExitY);
    EXPECT_FALSE(Has("CMD_Run cmdMode=15"));
    EXPECT_FALSE(Has("CMD_Run cmdMode=7"));
    EXPECT_EQ(App()->screens[15].pressed, 0);

    Tap(kExitX, kExitY);
    EXPECT_TRUE(Has("CMD_Run cmdMode=7"));
    EXPECT_TRUE(Has("WM_CLOSE Msg Send by Kestrava 4"));
}

TEST_F(TouchAndKeysTest, ADisabledButtonChangesNothing)
{
    App()->screens[6].disabled = 1;
    App()->screens[7].highlighted = 1;
    const auto before = Flags();
    Tap(kSettingsX, kSettingsY);
    EXPECT_EQ(Flags(), before);
    EXPECT_FALSE(Has("CMD_Run cmdMode=6"));
}

TEST_F(TouchAndKeysTest, TheEmergencyAreaIsNarrowerOnTheCameraScreen)
{
    EXPECT_TRUE(InEmergencyArea(4, 500, 55));
    EXPECT_TRUE(InEmergencyArea(4, 500, 426));
    EXPECT_FALSE(InEmergencyArea(2, 500, 200));
    EXPECT_FALSE(InEmergencyArea(4, 500, 427));
    EXPECT_FALSE(InEmergencyArea(4, 125, 200));

    App()->RecordMode = 1;
    Tap(500, 200);
    EXPECT_EQ(Count("Kestrava OnButtonUp - Touch BB_Emergency !!!"), 1);
    EXPECT_EQ(App()->emergencyPressed, 0);

    App()->cmdMode = 2;
    Tap(500, 200);
    EXPECT_EQ(Count("Kestrava OnButtonUp - Touch BB_Emergency !!!"), 1);

    App()->cmdMode = 4;
    App()->RecordMode = 2;
    Tap(300, 200);
    EXPECT_EQ(Count("Kestrava OnButtonUp - Touch BB_Emergency !!!"), 1) << "only continuous recording takes it";
}

TEST_F(TouchAndKeysTest, TouchesBeforeTheFirstPaintAreIgnored)
{
    g_touchEnabled = false;
    Tap(kExitX, kExitY);
    EXPECT_FALSE(Has("CMD_Run cmdMode=7"));
    os::InvalidateRect(hwnd, nullptr, os::FALSE);
    os::UpdateWindow(hwnd);
    Tap(kExitX, kExitY);
    EXPECT_TRUE(Has("CMD_Run cmdMode=7"));
}

TEST_F(TouchAndKeysTest, TheToolbarIsIgnoredWhileThePortraitAlertIsUp)
{
    g_rotationAlert = true;
    Tap(kExitX, kExitY);
    EXPECT_FALSE(Has("CMD_Run cmdMode=7"));
}

TEST_F(TouchAndKeysTest, ATouchEndsATimedMessageButNotAStandingOne)
{
    ShowScreenMessage(hwnd, "standing", kNoTimeout, 0, -1);
    Tap(400, 450);
    EXPECT_EQ(App()->message.shown, 1);
    ShowScreenMessage(hwnd, "plain", 5000, 0, 0);
    Tap(400, 450);
    EXPECT_EQ(App()->message.shown, 0);
    EXPECT_EQ(App()->message.kind, -1);
}

TEST_F(TouchAndKeysTest, TheMessageTimesOut)
{
    ShowScreenMessage(hwnd, "brief", 500, 0, 0);
    RunFor(400);
    EXPECT_EQ(App()->message.shown, 1);
    RunFor(200);
    EXPECT_EQ(App()->message.shown, 0);
}

TEST_F(TouchAndKeysTest, ConfirmingThePictureSizeFlipsItAndEndsTheRunWithoutATrace)
{
    App()->settings.VideoSize = 0;
    ShowScreenMessage(hwnd, Text(1270).c_str(), kNoTimeout, 0, 1);
    // The OK button of a two-button message on the 800 x 480 client area.
    Tap(300, 300);
    EXPECT_EQ(StoredDword("VideoSize"), 1u);
    EXPECT_EQ(ClosePosted(), kCloseOrderly);
    for (const std::string& line : Lines()) EXPECT_EQ(line.find("WM_CLOSE Msg Send"), std::string::npos) << line;
}

TEST_F(TouchAndKeysTest, OkOnAnyOtherMessageOnlyEndsIt)
{
    ShowScreenMessage(hwnd, "something else", kNoTimeout, 0, 1);
    Tap(300, 300);
    EXPECT_EQ(StoredDword("VideoSize"), 0xDEADBEEFu) << "not stored";
    EXPECT_EQ(ClosePosted(), -1);
    EXPECT_EQ(App()->message.shown, 0);
}

TEST_F(TouchAndKeysTest, EnterPressesTheHighlightedButtonAndAsksForAnEventInEventOnlyMode)
{
    os::SendMessageW(hwnd, os::WM_LBUTTONDOWN, 0, os::MAKELPARAM(kMinusX, kMinusY));
    os::SendMessageW(hwnd, os::WM_LBUTTONUP, 0, os::MAKELPARAM(kMinusX + 200, kMinusY));
    os::SendMessageW(hwnd, os::WM_KEYDOWN, 13, 0);
    EXPECT_EQ(App()->screens[15].keyPressed, 1);

    // An armed recorder behind the link; the poll finds no settings and stays out of the way.
    EventRecorderLink armed{};
    armed.settings = [](os::HWND) -> const RecorderSettings* { return nullptr; };
    armed.captureState = [](os::HWND) { return 2; };
    SetEventRecorderLink(&armed);
    const bool ownManager = SensorManagerCreate() == 0;
    App()->RecordMode = 1;
    os::SendMessageW(hwnd, os::WM_KEYUP, 13, 0);
    EXPECT_EQ(SensorManualEventPending(), 0);
    App()->RecordMode = 2;
    os::SendMessageW(hwnd, os::WM_KEYUP, 13, 0);
    EXPECT_EQ(SensorManualEventPending(), 1);
    SetEventRecorderLink(nullptr);
    if (ownManager) SensorManagerDestroy();
    EXPECT_TRUE(Has("WM_KEYUP : vkcode=0xd, lKyeData"));

    os::SendMessageW(hwnd, os::WM_ACTIVATE, os::WA_INACTIVE, 0);
    EXPECT_EQ(App()->screens[15].keyPressed, 0) << "losing the focus lets go of the key";
}

TEST_F(TouchAndKeysTest, Key227FlipsTheOpticalMouse)
{
    const os::DWORD before = os::sim::OpticalMouseMode();
    os::SendMessageW(hwnd, os::WM_KEYUP, 227, 0);
    EXPECT_EQ(os::sim::OpticalMouseMode(), before == 0 ? 1u : 0u);
    os::SendMessageW(hwnd, os::WM_KEYUP, 227, 0);
    EXPECT_EQ(os::sim::OpticalMouseMode(), before);
}

}  // namespace

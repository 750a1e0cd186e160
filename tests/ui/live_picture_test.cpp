// The recording screen's picture area and information panel in a virtual
// run: the test pattern while the camera has delivered nothing, then the
// camera's own latest pictures centred in the area; the panel opened and
// closed by touches, its lines following the GPS route; the sensitivity
// screen and its way back. The placement and format rules are also checked
// on their own over awkward sizes and hostile language strings.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cmd_run.h"
#include "app/photo_key.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/media/capture_index.h"
#include "platform/media/jpeg_encode.h"
#include "platform/media/media_sim.h"
#include "platform/files/file.h"
#include "recorder/preview_frame.h"
#include "sim/gps_route.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/platform_fixture.h"
#include "ui/info_panel.h"
#include "ui/main_screen.h"
#include "ui/preview_picture.h"

namespace {

using testing_support::MainWindowTest;

// The frame's place on the 800 x 480 screen: 320 x 240 centred in the
// picture area (126, 55)-(534, 427).
constexpr int kLpFrameLeft = 170;
constexpr int kLpFrameTop = 121;
constexpr int kLpFrameWidth = 320;
constexpr int kLpFrameHeight = 240;

// Pure green in BT.601 video levels.
class LpGreenCamera final : public os::sim::PictureSource {
public:
    void Fill(std::uint32_t, std::int64_t, int width, int height, std::uint8_t* yv12) override
    {
        const std::size_t luma = static_cast<std::size_t>(width) * height;
        std::fill(yv12, yv12 + luma, std::uint8_t{145});
        std::fill(yv12 + luma, yv12 + luma + luma / 4, std::uint8_t{34});              // V
        std::fill(yv12 + luma + luma / 4, yv12 + luma + luma / 2, std::uint8_t{54});   // U
    }
};

struct LpRgb {
    int r, g, b;
};

LpRgb LpPixel(const os::sim::ScreenImage& screen, int x, int y)
{
    const std::size_t at = (static_cast<std::size_t>(y) * screen.width + x) * 3;
    return LpRgb{screen.rgb[at], screen.rgb[at + 1], screen.rgb[at + 2]};
}

bool LpGreen(LpRgb c)
{
    return c.g > 200 && c.r < 50 && c.b < 50;
}

// The capture index the camera stamped on the picture shown, read back from the screen.
std::optional<std::uint32_t> LpShownIndex(const os::sim::ScreenImage& screen)
{
    std::vector<std::uint8_t> luma(static_cast<std::size_t>(kLpFrameWidth) * os::kCaptureIndexRows);
    for (int y = 0; y < os::kCaptureIndexRows; ++y)
        for (int x = 0; x < kLpFrameWidth; ++x) {
            const LpRgb c = LpPixel(screen, kLpFrameLeft + x, kLpFrameTop + y);
            luma[static_cast<std::size_t>(y) * kLpFrameWidth + x] =
                static_cast<std::uint8_t>(16 + (c.r * 66 + c.g * 129 + c.b * 25) / 256);
        }
    return os::ReadCaptureIndex(luma.data(), kLpFrameWidth, os::kCaptureIndexRows, kLpFrameWidth);
}

// Pixels of a row that are nearly white: the panel's text.
int LpWhitePixels(const os::sim::ScreenImage& screen, const os::RECT& r)
{
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const LpRgb c = LpPixel(screen, x, y);
            if (c.r > 220 && c.g > 220 && c.b > 220) ++count;
        }
    return count;
}

// A panel line from its first figure on: the words before it are the language's.
const char* LpFigures(const std::string& line)
{
    const std::size_t at = line.find_first_of("0123456789-");
    return at == std::string::npos ? "" : line.c_str() + at;
}

class LivePictureTest : public MainWindowTest {
protected:
    // Start() with the camera seeing green and holding its first picture back;
    // `jpegStill`, when not empty, is the camera's own still.
    void StartWithStalledCamera(std::int64_t stallUs, const std::vector<std::uint8_t>& jpegStill = {})
    {
        Start([&] {
            os::sim::SetPictureSource(std::make_shared<LpGreenCamera>());
            if (!jpegStill.empty()) os::sim::SetStillPicture(jpegStill);
            os::sim::StallCamera(stallUs);
        });
    }
    os::sim::ScreenImage Look()
    {
        os::InvalidateRect(hwnd, nullptr, os::FALSE);
        RunFor(20);
        return os::sim::CaptureScreen();
    }
};

TEST_F(LivePictureTest, ThePictureAreaShowsTheTestPatternThenTheCamerasLatestPictures)
{
    StartWithStalledCamera(3000000);
    const os::sim::ScreenImage before = Look();
    ASSERT_EQ(before.width, 800);
    int matched = 0;
    for (int y = 20; y < kLpFrameHeight; y += 40)
        for (int x = 10; x < kLpFrameWidth; x += 23) {
            const LpRgb c = LpPixel(before, kLpFrameLeft + x, kLpFrameTop + y);
            const os::COLORREF want = TestPatternColour(x, y, kLpFrameWidth, kLpFrameHeight);
            matched += std::abs(c.r - os::GetRValue(want)) < 10 && std::abs(c.g - os::GetGValue(want)) < 10 &&
                       std::abs(c.b - os::GetBValue(want)) < 10;
        }
    EXPECT_EQ(matched, 6 * 14) << "the whole frame is the test pattern before the camera's first picture";

    RunFor(4000);
    const os::sim::ScreenImage live = Look();
    const int midY = kLpFrameTop + kLpFrameHeight / 2;
    EXPECT_TRUE(LpGreen(LpPixel(live, kLpFrameLeft, midY)));
    EXPECT_TRUE(LpGreen(LpPixel(live, kLpFrameLeft + kLpFrameWidth - 1, midY)));
    EXPECT_TRUE(LpGreen(LpPixel(live, kLpFrameLeft + 160, kLpFrameTop + kLpFrameHeight - 1)));
    EXPECT_FALSE(LpGreen(LpPixel(live, kLpFrameLeft - 1, midY))) << "centred: nothing left of the frame";
    EXPECT_FALSE(LpGreen(LpPixel(live, kLpFrameLeft + kLpFrameWidth, midY)));
    EXPECT_FALSE(LpGreen(LpPixel(live, kLpFrameLeft + 160, kLpFrameTop + kLpFrameHeight)));
    const std::optional<std::uint32_t> first = LpShownIndex(live);
    ASSERT_TRUE(first.has_value()) << "the camera's index band shows on the screen";

    RunFor(2000);
    const std::optional<std::uint32_t> later = LpShownIndex(Look());
    ASSERT_TRUE(later.has_value());
    EXPECT_GE(*later, *first + 40) << "each paint shows the latest picture, 30 a second";

    // Preview switched off by the user: capture stops and the pattern returns.
    Command(IDM_BUTTON, 0);
    RunFor(100);
    ASSERT_EQ(App()->captureRunning.load(), 0);
    const os::sim::ScreenImage off = Look();
    EXPECT_FALSE(LpGreen(LpPixel(off, kLpFrameLeft + 5, midY)));
    const os::COLORREF bar = TestPatternColour(5, kLpFrameHeight / 2, kLpFrameWidth, kLpFrameHeight);
    EXPECT_NEAR(LpPixel(off, kLpFrameLeft + 5, midY).r, os::GetRValue(bar), 10);
}

// A camera that makes its stills as JPEG itself: the photo shows its still
// (solid red, at twice the preview's size) in the picture area for the save
// message's time, then the live picture again; the photo is the camera's
// JPEG, kept whole, and the capture is over.
TEST_F(LivePictureTest, AJpegStillIsShownInPlaceOfThePictureWhileItsMessageShows)
{
    constexpr int kW = 640, kH = 480;
    std::vector<std::uint8_t> red(kW * kH * 3 / 2);
    std::fill(red.begin(), red.begin() + kW * kH, std::uint8_t{81});                 // Y
    std::fill(red.begin() + kW * kH, red.begin() + kW * kH * 5 / 4, std::uint8_t{240}); // V
    std::fill(red.begin() + kW * kH * 5 / 4, red.end(), std::uint8_t{90});             // U
    std::vector<std::uint8_t> jpeg;
    std::string error;
    ASSERT_TRUE(os::EncodeJpeg(red.data(), kW, kH, 90, &jpeg, &error)) << error;
    StartWithStalledCamera(0, jpeg);
    RunFor(3000);
    const int midY = kLpFrameTop + kLpFrameHeight / 2;
    ASSERT_TRUE(LpGreen(LpPixel(Look(), kLpFrameLeft + 5, midY)));

    ASSERT_EQ(TakeDriverPhoto(hwnd), 1);
    EXPECT_EQ(App()->photo.compressedStill, 1);
    RunFor(300);
    const os::sim::ScreenImage still = Look();
    // Points of the frame the save message's box leaves uncovered.
    for (const auto& [x, y] : {std::pair{0, 0}, {20, 120}, {160, 20}, {0, kLpFrameHeight - 1}}) {
        const LpRgb c = LpPixel(still, kLpFrameLeft + x, kLpFrameTop + y);
        EXPECT_TRUE(c.r > 200 && c.g < 60 && c.b < 60) << x << "," << y << ": " << c.r << " " << c.g << " " << c.b;
    }
    EXPECT_FALSE(LpGreen(LpPixel(still, kLpFrameLeft - 1, midY))) << "the still keeps the live picture's place";
    // The save message is white writing straight on the still: no box hides it.
    const LpRgb below = LpPixel(still, kLpFrameLeft + kLpFrameWidth / 2, kLpFrameTop + 200);
    EXPECT_TRUE(below.r > 200 && below.g < 60 && below.b < 60) << "the still shows where a box would lie";
    EXPECT_GT(LpWhitePixels(still, os::RECT{kLpFrameLeft, midY - 30, kLpFrameLeft + kLpFrameWidth, midY + 30}), 40)
        << "the message's text over the still's middle";
    os::EnterCriticalSection(&App()->photo.lock);
    const std::string saved = App()->photo.saved;
    const int capturing = App()->photo.capturing;
    os::LeaveCriticalSection(&App()->photo.lock);
    EXPECT_EQ(capturing, 0);
    ASSERT_FALSE(saved.empty());
    os::HANDLE file = os::CreateFileW(saved.c_str(), os::GENERIC_READ, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    EXPECT_GE(os::GetFileSize(file, nullptr), static_cast<os::DWORD>(jpeg.size()));
    os::CloseHandle(file);
    EXPECT_EQ(os::GetFileAttributesW("\\temp\\kestrava_tmp.jpg"), os::INVALID_FILE_ATTRIBUTES);

    RunFor(3500);
    const os::sim::ScreenImage after = Look();
    EXPECT_TRUE(LpGreen(LpPixel(after, kLpFrameLeft + 5, midY))) << "the live picture is back";
    EXPECT_TRUE(LpGreen(LpPixel(after, kLpFrameLeft + 160, kLpFrameTop + 120)));
}

TEST_F(LivePictureTest, TheInformationPanelFollowsTheRouteAndTouchesOpenAndCloseIt)
{
    StartWithStalledCamera(0);
    RunFor(20000);
    ASSERT_NE(App()->recorder.status.recording, 0);
    ASSERT_EQ(App()->infoPanelShown, 0);
    const os::RECT panel = InfoPanelRect();
    const os::sim::ScreenImage closed = Look();
    EXPECT_TRUE(LpGreen(LpPixel(closed, panel.left + 100, panel.top + 100)));

    Tap(600, 150);  // the speed box
    EXPECT_EQ(App()->infoPanelShown, 1);
    const os::sim::ScreenImage open = Look();
    EXPECT_FALSE(LpGreen(LpPixel(open, panel.left + 100, panel.top + 100))) << "the panel lies over the picture";
    for (int row = 0; row < 4; ++row) EXPECT_GT(LpWhitePixels(open, InfoPanelRow(row)), 40) << "row " << row;

    const InfoPanelLines lines = CurrentInfoPanelLines(hwnd);
    double latitude = 0, longitude = 0, metres = 0;
    int h = -1, m = -1, s = -1;
    ASSERT_EQ(std::sscanf(LpFigures(lines.line[3]), "%lf, %lf", &latitude, &longitude), 2) << lines.line[3];
    const sim::RoutePosition there = sim::PositionOnRoute(profile.gps->route, profile.gps->loop, 20100);
    EXPECT_NEAR(latitude, there.latitude, 0.001) << lines.line[3];
    EXPECT_NEAR(longitude, there.longitude, 0.001) << lines.line[3];
    ASSERT_EQ(std::sscanf(LpFigures(lines.line[1]), "%d:%d:%d", &h, &m, &s), 3) << lines.line[1];
    const int clipSeconds = h * 3600 + m * 60 + s;
    EXPECT_GE(clipSeconds, 15) << "the recording's own start, not the program's";
    EXPECT_LE(clipSeconds, 21);
    ASSERT_EQ(std::sscanf(LpFigures(lines.line[2]), "%lf m", &metres), 1) << lines.line[2];
    // 40 km/h on the first leg: about 11 m a second of the clip, counted
    // from positions; the recorder's degree lengths are rough.
    EXPECT_GT(metres, clipSeconds * 11.1 * 0.6) << lines.line[2];
    EXPECT_LT(metres, clipSeconds * 11.1 * 1.4) << lines.line[2];

    const int eventsBefore = static_cast<int>(App()->filedEvents);
    Tap(panel.left + 100, panel.top + 100);  // inside the panel, over the emergency area
    EXPECT_EQ(App()->infoPanelShown, 0);
    EXPECT_EQ(EventTaggedFlag, 0) << "closing the panel is no emergency touch";
    EXPECT_TRUE(LpGreen(LpPixel(Look(), panel.left + 100, panel.top + 100)));
    Tap(600, 150);
    Tap(600, 150);
    EXPECT_EQ(App()->infoPanelShown, 0) << "the speed box toggles";
    Tap(600, 150);
    ShowScreenMessage(hwnd, "note", 1000, 0, 0);
    RunFor(1500);
    EXPECT_EQ(App()->infoPanelShown, 0) << "a message's dismissal closes the panel";
    EXPECT_EQ(static_cast<int>(App()->filedEvents), eventsBefore);

    // The sensitivity screen: plus and minus in front, the level large; back returns.
    Command(IDM_BUTTON, 17);
    ASSERT_EQ(App()->cmdMode, 3u);
    const os::sim::ScreenImage sensitivity = Look();
    EXPECT_TRUE(App()->screens[14].visible && App()->screens[15].visible && App()->screens[16].visible);
    EXPECT_FALSE(App()->screens[7].visible) << "the back button stands in the exit button's place";
    EXPECT_FALSE(LpGreen(LpPixel(sensitivity, 330, 241))) << "the level covers the picture's middle";
    const std::uint32_t level = App()->settings.EventTagDetectLevelX;
    Tap(750, 390);  // plus
    EXPECT_EQ(App()->cmdMode, 3u) << "the level changes on the sensitivity screen itself";
    EXPECT_EQ(App()->settings.EventTagDetectLevelX, level < 9 ? level + 1 : 9);
    Tap(60, 100);  // back
    EXPECT_EQ(App()->cmdMode, 4u);
    EXPECT_TRUE(LpGreen(LpPixel(Look(), 330, 241)));
    EXPECT_TRUE(App()->screens[7].visible);

    // The GPS screen: the same dashboard, and its panel tells the GPS log's distance.
    Command(IDM_BUTTON, 1);
    ASSERT_EQ(App()->cmdMode, 1u);
    os::EnterCriticalSection(&App()->gps.lock);
    App()->gps.logDistanceKm = 2.5f;
    os::LeaveCriticalSection(&App()->gps.lock);
    Tap(600, 150);
    EXPECT_EQ(App()->infoPanelShown, 1) << "the speed box opens the panel on the GPS screen too";
    EXPECT_FALSE(LpGreen(LpPixel(Look(), panel.left + 100, panel.top + 100)));
    const std::string gpsDistance = CurrentInfoPanelLines(hwnd).line[2];
    double km = 0;
    ASSERT_EQ(std::sscanf(LpFigures(gpsDistance), "%lf", &km), 1) << gpsDistance;
    EXPECT_NEAR(km, 2.5, 0.01) << gpsDistance;
    EXPECT_NE(gpsDistance.find(" km"), std::string::npos) << gpsDistance;
    Tap(600, 150);

    // The full-screen picture: the frame alone on black, as large as the
    // screen takes it (320 x 240 twice over: 640 x 480 in the middle), its
    // figures written over it, and no button to press.
    Command(IDM_BUTTON, 5);
    ASSERT_EQ(App()->cmdMode, 5u);
    const os::sim::ScreenImage full = Look();
    EXPECT_TRUE(LpGreen(LpPixel(full, 82, 240)));
    EXPECT_TRUE(LpGreen(LpPixel(full, 717, 240)));
    EXPECT_TRUE(LpGreen(LpPixel(full, 400, 440)));
    for (const auto& [x, y] : {std::pair{14, 67}, {78, 240}, {722, 240}}) {
        const LpRgb c = LpPixel(full, x, y);
        EXPECT_EQ(c.r + c.g + c.b, 0) << x << "," << y << ": black beside the picture, no toolbar";
    }
    for (int i = 1; i < kScreenCount; ++i) EXPECT_FALSE(App()->screens[i].visible) << i;
    EXPECT_GT(LpWhitePixels(full, os::RECT{400, 400, 720, 480}), 30) << "the speed over the picture";
    Command(IDM_BUTTON, 4);
    Look();
    EXPECT_TRUE(App()->screens[7].visible);
}

// Off the 800 x 480 layout no gauge shows the speed and the recording's
// time and distance, so they are written over the picture.
TEST_F(LivePictureTest, OtherScreensWriteTheFiguresOverThePicture)
{
    profile.screen.width = 640;
    profile.screen.height = 480;
    StartWithStalledCamera(0);
    RunFor(20000);
    ASSERT_NE(App()->recorder.status.recording, 0);
    const os::sim::ScreenImage screen = Look();
    // The 320 x 240 frame centred in the picture area scaled to (100, 55)-(427, 427).
    constexpr int kLeft = 103, kTop = 121;
    EXPECT_TRUE(LpGreen(LpPixel(screen, kLeft + 160, kTop + 120)));
    // Along the foot: the time at the left, the speed at the right with the distance above it.
    EXPECT_GT(LpWhitePixels(screen, os::RECT{kLeft, kTop + 215, kLeft + 140, kTop + 240}), 30) << "the time";
    EXPECT_GT(LpWhitePixels(screen, os::RECT{kLeft + 180, kTop + 215, kLeft + 320, kTop + 240}), 30) << "the speed";
    EXPECT_GT(LpWhitePixels(screen, os::RECT{kLeft + 180, kTop + 190, kLeft + 320, kTop + 214}), 20) << "the distance";
    EXPECT_EQ(LpWhitePixels(screen, os::RECT{kLeft, kTop + 100, kLeft + 320, kTop + 180}), 0) << "the picture's middle";
}

TEST(LivePictureRules, PlacementAndPanelTextsHoldForAnySizeAndAnyLanguageString)
{
    const os::RECT area{126, 55, 534, 427};
    for (int w : {2, 320, 408, 640, 1000})
        for (int h : {2, 240, 372, 480}) {
            const PictureFit fit = FitPicture(area, w, h, w, h);
            ASSERT_LE(area.left, fit.dest.left);
            ASSERT_LE(fit.dest.right, area.right);
            ASSERT_LE(area.top, fit.dest.top);
            ASSERT_LE(fit.dest.bottom, area.bottom);
            ASSERT_EQ(fit.dest.right - fit.dest.left, std::min(w, 408));
            ASSERT_EQ(fit.dest.bottom - fit.dest.top, std::min(h, 372));
            // The middle of the picture lands on the middle of the area.
            ASSERT_LE(std::abs(fit.dest.left - fit.srcX + w / 2 - 330), 1) << w << "x" << h;
            ASSERT_LE(std::abs(fit.dest.top - fit.srcY + h / 2 - 241), 1) << w << "x" << h;
        }
    const PictureFit odd = FitPicture(area, 640, 480, 400, 300);  // smaller than its layout
    EXPECT_EQ(odd.dest.left, area.left);
    EXPECT_EQ(odd.srcX, 116);
    EXPECT_EQ(odd.dest.right, area.left + 400 - 116);

    InfoPanelValues v;
    v.start = os::SYSTEMTIME{2024, 5, 0, 17, 9, 5, 7, 0};
    v.now = os::SYSTEMTIME{2024, 5, 0, 17, 10, 7, 9, 0};
    v.distanceKm = 0.25;
    v.latitude = 37.5;
    v.longitude = -126.25;
    const InfoPanelLines good = FormatInfoPanel(v, {"S %02d:%02d:%02d", "E %02d:%02d:%02d", "D %.0f", "P %.2f %.2f"});
    EXPECT_EQ(good.line[0], "S 09:05:07");
    EXPECT_EQ(good.line[1], "E 01:02:02");
    EXPECT_EQ(good.line[2], "D 250 m");
    EXPECT_EQ(good.line[3], "P 37.50 -126.25");
    // Strings that would read values that are not there, or write through %n.
    const InfoPanelLines bad = FormatInfoPanel(v, {"%s%s%s", "%d:%d", "%n %f", "%f %f %f"});
    EXPECT_EQ(bad.line[0], "09:05:07");
    EXPECT_EQ(bad.line[1], "01:02:02");
    EXPECT_EQ(bad.line[2], "250 m");
    EXPECT_EQ(bad.line[3], "37.50000, -126.25000");
    std::swap(v.start, v.now);
    EXPECT_EQ(FormatInfoPanel(v, {"", "%02d:%02d:%02d", "", ""}).line[1], "00:00:00") << "a start ahead of now";
}

class LivePictureFrameTest : public testing_support::PlatformTest {};

void LpKeepFirstPixel(const std::uint16_t* pixels, int width, int height, void* context)
{
    auto* seen = static_cast<std::vector<int>*>(context);
    seen->assign({pixels[0], pixels[width * height - 1], width, height});
}

TEST_F(LivePictureFrameTest, PicturesAreHandedOverWholeOnceEachAndForgottenOnAStop)
{
    PreviewFrame frame;
    std::vector<std::uint8_t> yv12(320 * 240 * 3 / 2);
    LpGreenCamera().Fill(0, 0, 320, 240, yv12.data());
    std::vector<int> seen;
    EXPECT_FALSE(PreviewFrame_Put(&frame, yv12.data(), static_cast<long>(yv12.size()), 320, 240, false))
        << "nothing before the lock is made";
    PreviewFrame_Init(&frame);
    EXPECT_EQ(PreviewFrame_Take(&frame, 0, LpKeepFirstPixel, &seen), 0u);
    EXPECT_FALSE(PreviewFrame_Put(&frame, yv12.data(), static_cast<long>(yv12.size()) - 1, 320, 240, false));
    EXPECT_FALSE(PreviewFrame_Put(&frame, yv12.data(), static_cast<long>(yv12.size()), 321, 240, false));
    EXPECT_FALSE(PreviewFrame_Put(&frame, yv12.data(), static_cast<long>(yv12.size()), 0, 240, false));
    EXPECT_TRUE(seen.empty());

    ASSERT_TRUE(PreviewFrame_Put(&frame, yv12.data(), static_cast<long>(yv12.size()), 320, 240, false));
    const std::uint32_t first = PreviewFrame_Take(&frame, 0, LpKeepFirstPixel, &seen);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(seen, (std::vector<int>{0x07E0, 0x07E0, 320, 240})) << "YV12 green becomes 5-6-5 green";
    seen.clear();
    EXPECT_EQ(PreviewFrame_Take(&frame, first, LpKeepFirstPixel, &seen), first);
    EXPECT_TRUE(seen.empty()) << "a picture already taken is not copied again";

    const std::vector<std::uint16_t> red(160 * 120, 0xF800);
    const std::vector<std::uint16_t> blue(160 * 120, 0x001F);
    ASSERT_TRUE(PreviewFrame_Put(&frame, reinterpret_cast<const std::uint8_t*>(red.data()),
                                 static_cast<long>(red.size() * 2), 160, 120, true));
    ASSERT_TRUE(PreviewFrame_Put(&frame, reinterpret_cast<const std::uint8_t*>(blue.data()),
                                 static_cast<long>(blue.size() * 2), 160, 120, true));
    const std::uint32_t second = PreviewFrame_Take(&frame, first, LpKeepFirstPixel, &seen);
    EXPECT_NE(second, first);
    EXPECT_EQ(seen, (std::vector<int>{0xF800, 0xF800, 160, 120})) << "a picture before the last was taken is passed over";
    ASSERT_TRUE(PreviewFrame_Put(&frame, reinterpret_cast<const std::uint8_t*>(blue.data()),
                                 static_cast<long>(blue.size() * 2), 160, 120, true));
    EXPECT_NE(PreviewFrame_Take(&frame, second, LpKeepFirstPixel, &seen), second);
    EXPECT_EQ(seen, (std::vector<int>{0x001F, 0x001F, 160, 120})) << "once taken, the next comes in";

    PreviewFrame_Forget(&frame);
    EXPECT_EQ(PreviewFrame_Take(&frame, second, LpKeepFirstPixel, &seen), 0u) << "a stopped preview shows nothing old";
    ASSERT_TRUE(PreviewFrame_Put(&frame, yv12.data(), static_cast<long>(yv12.size()), 320, 240, false));
    seen.clear();
    const std::uint32_t third = PreviewFrame_Take(&frame, second, LpKeepFirstPixel, &seen);
    EXPECT_NE(third, second) << "serials keep counting across a stop";
    EXPECT_EQ(seen.size(), 4u);
    PreviewFrame_Release(&frame);
    EXPECT_EQ(PreviewFrame_Take(&frame, 0, LpKeepFirstPixel, &seen), 0u);
}

}  // namespace

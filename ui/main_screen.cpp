#include "ui/main_screen.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "app/resource_text.h"
#include "res/resource_ids.h"
#include "platform/kernel/clock.h"
#include "platform/registry/registry.h"
#include "platform/windows/window.h"
#include "skin/image_cells.h"
#include "storage/time_ops.h"
#include "ui/char_strip.h"
#include "ui/draw_prims.h"
#include "ui/indicators.h"
#include "ui/info_panel.h"
#include "ui/popup_layout.h"
#include "ui/preview_picture.h"
#include "ui/screen_text.h"
#include "ui/skin_images.h"

namespace {

using namespace kestrava::res;

constexpr os::COLORREF kCyan = os::RGB(0, 200, 230);
constexpr os::COLORREF kAmber = os::RGB(255, 176, 0);
constexpr os::COLORREF kDarkPanel = os::RGB(16, 22, 28);
constexpr int kWideScreenClass = 3;
constexpr int kGpsMode = 1;
constexpr int kSensitivityMode = 3;
constexpr int kRecordingMode = 4;
constexpr int kFullPictureMode = 5;
constexpr int kMessagePlain = 0;
constexpr int kLevels = 10;
constexpr const char* kVersionText = "Version 1.1.0";
constexpr const char* kNoticeEnglish =
    "* Do not operate \"Ardvane\" while you are driving or moving. \n\n"
    "* The data provided by \"Ardvane\" is intended to be only as reference. Do not rely on the data from "
    "\"Ardvane\". ";
constexpr const char* kNoticeKorean =
    "* Ardvane를 이동 중 조작하지 마십시오. 안전한 상태에서 조작해야 사고로 인한 피해를 방지할 수 있습니다.  \n\n"
    "* Ardvane에서 주행 중 제공되는 데이터는 참고용으로만 사용할 수 있습니다.";

// Places are given on the 800 x 480 layout and scaled to the screen's size.
struct Scale {
    double across;
    double down;
};
constexpr Scale kScales[skin::kScreenSizeCount] = {{1, 1}, {0.4, 0.667}, {0.5, 0.5}, {0.8, 1}, {0.6, 0.6}};

struct Painter {
    os::HDC dc;
    const MainScreenImages& images;
    Scale scale;
    int X(int x) const { return static_cast<int>(x * scale.across); }
    int Y(int y) const { return static_cast<int>(y * scale.down); }
    void Copy(os::HBITMAP picture, int x, int y) const
    {
        int w = 0;
        int h = 0;
        if (BitmapSize(picture, &w, &h)) BlitBitmap(dc, picture, X(x), Y(y), X(x) + w, Y(y) + h);
    }
    void Blend(os::HBITMAP picture, int x, int y) const
    {
        int w = 0;
        int h = 0;
        if (BitmapSize(picture, &w, &h)) DrawAlphaImage(dc, picture, X(x), Y(y), X(x) + w, Y(y) + h, nullptr, 255, os::AC_SRC_ALPHA);
    }
    // One cell (sx, sy, w, h) of a picture with alpha.
    void BlendCell(os::HBITMAP picture, int x, int y, os::RECT cell) const
    {
        if (picture == nullptr) return;
        DrawAlphaImage(dc, picture, X(x), Y(y), X(x) + cell.right - cell.left, Y(y) + cell.bottom - cell.top, &cell,
                       255, os::AC_SRC_ALPHA);
    }
};

bool LanguageIsEnglish()
{
    os::HKEY key = nullptr;
    std::string language;
    if (os::RegOpenKeyExW(os::HKEY_CURRENT_USER, "\\Software\\Holmbrek\\Ardvane", 0, 0, &key) == os::ERROR_SUCCESS) {
        os::RegQueryString(key, "Langauge", &language);
        os::RegCloseKey(key);
    }
    return language == "English";
}

void DrawStartScreen(os::HDC dc, const os::RECT& client, MainScreenImages& images, void* factory)
{
    // The start screen shows before the screen's pictures are set up: its logo comes on its own.
    if (images.logo == nullptr && factory != nullptr) {
        images.logo = LoadAlphaImage(static_cast<os::IImagingFactory*>(factory),
                                     SkinFile(IdleSkinFolder(), "01_common", "ardvane3.png").c_str());
    }
    FillRectColor(dc, client, kBlack);
    int w = 0;
    int h = 0;
    const int width = client.right - client.left;
    int logoBottom = 0;
    if (BitmapSize(images.logo, &w, &h)) {
        const int left = (width - w) / 2;
        DrawAlphaImage(dc, images.logo, left, 0, left + w, h, nullptr, 255, os::AC_SRC_ALPHA);
        logoBottom = h;
    }
    const int oldMode = os::SetBkMode(dc, os::TRANSPARENT);
    const os::COLORREF oldColor = os::SetTextColor(dc, kWhite);
    os::HFONT notice = CreateUiFont(client.bottom > 320 ? 22 : 14, false, false);
    os::HGDIOBJ oldFont = os::SelectObject(dc, notice);
    os::RECT text{width / 10, logoBottom + 10, width - width / 10, client.bottom - 40};
    os::DrawTextW(dc, LanguageIsEnglish() ? kNoticeEnglish : kNoticeKorean, -1, &text, os::DT_WORDBREAK);
    os::HFONT version = CreateUiFont(18, true, false);
    os::SelectObject(dc, version);
    os::RECT versionRect{0, client.bottom - 36, width, client.bottom - 8};
    os::DrawTextW(dc, kVersionText, -1, &versionRect, os::DT_CENTER | os::DT_SINGLELINE);
    os::SelectObject(dc, oldFont);
    os::DeleteObject(notice);
    os::DeleteObject(version);
    os::SetTextColor(dc, oldColor);
    os::SetBkMode(dc, oldMode);
}

// The GPS icon's state and the speed shown, read together under the GPS lock.
int GpsIconState(EventRecorderApp* app, float* speedKmh = nullptr)
{
    if (!app->gps.locksMade.load() || app->gps.serial == nullptr) return 1;
    os::EnterCriticalSection(&app->gps.lock);
    const GpsFixBody body = app->gps.fix.body;
    if (speedKmh != nullptr) *speedKmh = app->gps.displayedSpeedKmh;
    os::LeaveCriticalSection(&app->gps.lock);
    if (body.rmcStatus != 'A') return 2;
    return body.gsaFixType == 3 ? 4 : 3;
}

// The distance the screen shows: the GPS log's on the GPS screen, the
// recording's on the others.
double ShownDistanceKm(EventRecorderApp* app)
{
    double km = 0;
    if (app->cmdMode == kGpsMode) {
        if (!app->gps.locksMade.load()) return 0;
        os::EnterCriticalSection(&app->gps.lock);
        km = app->gps.logDistanceKm;
        os::LeaveCriticalSection(&app->gps.lock);
        return km;
    }
    RecorderState& recorder = app->recorder;
    if (!recorder.lockMade) return 0;
    os::EnterCriticalSection(&recorder.lock);
    km = recorder.timeline.distanceKm;
    os::LeaveCriticalSection(&recorder.lock);
    return km;
}

// The recording's elapsed time as "hh:mm:ss"; empty while nothing records.
std::string ElapsedText(EventRecorderApp* app)
{
    if (app->recorder.status.recording == 0) return {};
    os::SYSTEMTIME now;
    os::GetLocalTime(&now);
    os::SYSTEMTIME start = app->recorder.status.startTime;
    os::SYSTEMTIME elapsed{};
    if (!TimeDifference(&start, &now, &elapsed)) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", elapsed.wHour % 100u, elapsed.wMinute % 60u,
                  elapsed.wSecond % 60u);
    return text;
}

// Figures written over the picture itself, where no gauge shows them (the
// screens other than 800 x 480, and the full-screen picture), along its
// foot: while recording its elapsed time (left) and distance (right, above
// the speed), and the speed (right) with a fix.
void DrawPictureTexts(os::HDC dc, const os::RECT& picture, EventRecorderApp* app)
{
    if (picture.right <= picture.left || picture.bottom <= picture.top) return;
    const std::string elapsed = ElapsedText(app);
    float kmh = 0;
    const bool fix = GpsIconState(app, &kmh) >= 3;
    if (elapsed.empty() && !fix) return;
    const int height = std::clamp((picture.bottom - picture.top) / 12, 12, 40);
    os::HFONT font = CreateUiFont(height, true, false);
    const os::HGDIOBJ oldFont = os::SelectObject(dc, font);
    const int margin = height / 3;
    const os::RECT foot{picture.left + margin, picture.bottom - margin - height, picture.right - margin,
                        picture.bottom - margin};
    const os::RECT above{foot.left, foot.top - height, foot.right, foot.top};
    constexpr os::UINT kLine = os::DT_SINGLELINE | os::DT_NOPREFIX | os::DT_VCENTER;
    if (!elapsed.empty()) {
        DrawHaloText(dc, elapsed.c_str(), foot, kLine | os::DT_LEFT, kWhite, kBlack);
        const std::string distance = WholeDistanceText(ShownDistanceKm(app));
        DrawHaloText(dc, distance.c_str(), above, kLine | os::DT_RIGHT, kWhite, kBlack);
    }
    if (fix) {
        char speed[16];
        std::snprintf(speed, sizeof speed, "%d km/h", static_cast<int>(kmh + 0.5f) % 1000);
        DrawHaloText(dc, speed, foot, kLine | os::DT_RIGHT, kWhite, kBlack);
    }
    os::SelectObject(dc, oldFont);
    os::DeleteObject(font);
}

void DrawStatusBar(const Painter& p, EventRecorderApp* app)
{
    const skin::ImageCells& cells = skin::kImageCells[p.images.sizeIndex];
    p.Blend(p.images.top, 0, 0);
    int w = 0;
    int h = 0;
    if (BitmapSize(p.images.gps, &w, &h)) {
        const int left = GpsCellLeft(w, cells.gps.width, GpsIconState(app));
        p.BlendCell(p.images.gps, 8, 7, os::RECT{left, 0, left + cells.gps.width, h});
    }
    if (BitmapSize(p.images.memory, &w, &h)) {
        const int left = MemoryIconHalf(app->settings.SelectDisk.View()) * cells.memory.width;
        p.BlendCell(p.images.memory, 72, 7, os::RECT{left, 0, left + cells.memory.width, h});
    }
    const MemoryGauge gauge = ComputeMemoryGauge(app->UsableTotal, app->EvtTotal, app->EvtFree,
                                                 app->settings.MinFreeSpaceMB);
    const int length = MemoryGaugeLength(gauge, cells.gaugeLength);
    const int row = gauge.continuous ? MemoryGaugeLevel(gauge.percent) : 1;
    p.BlendCell(p.images.gauge, 128, 18, os::RECT{0, 0, cells.gaugeLength, cells.gaugeRowHeight});
    if (length > 0) {
        p.BlendCell(p.images.gauge, 128, 18,
                    os::RECT{0, row * cells.gaugeRowHeight, length, (row + 1) * cells.gaugeRowHeight});
    }
    char free[32];
    std::snprintf(free, sizeof free, "%.1fGB", static_cast<double>(app->EvtFree) / (1024.0 * 1024 * 1024));
    DrawStripText(p.dc, p.images.memoryFont, skin::kMemory, skin::kMemory.cell[p.images.sizeIndex], free, p.X(292),
                  p.Y(15), true);
    if (BitmapSize(p.images.onAir, &w, &h)) {
        const int left = OnAirCellLeft(app->recordingFileStatus, skin::kOnAirCellWidth);
        p.BlendCell(p.images.onAir, 520, 11, os::RECT{left, 0, left + skin::kOnAirCellWidth, h});
    }
    p.Copy(p.images.brandMark, 566, 7);
    if (BitmapSize(p.images.battery, &w, &h)) {
        const int left = app->batteryLevel.load() * cells.battery.width;
        p.BlendCell(p.images.battery, 736, 7, os::RECT{left, 0, left + cells.battery.width, h});
    }
}

void DrawPanels(const Painter& p, EventRecorderApp* app)
{
    const int size = p.images.sizeIndex;
    p.Blend(p.images.contents, 534, 55);
    p.Blend(p.images.speedBox, 544, 65);
    char speed[8] = "---";
    float kmh = 0;
    if (GpsIconState(app, &kmh) >= 3) std::snprintf(speed, sizeof speed, "%3d", static_cast<int>(kmh + 0.5f) % 1000);
    DrawStripText(p.dc, p.images.speed, skin::kSpeed, skin::kSpeed.cell[size], speed, p.X(583), p.Y(87), true);
    char events[16];
    std::snprintf(events, sizeof events, "%u", app->filedEvents);
    DrawStripText(p.dc, p.images.contentsFont, skin::kContents, skin::kContents.cell[size], events, p.X(594),
                  p.Y(318), true);
    const std::string distance = WholeDistanceText(ShownDistanceKm(app));
    DrawStripText(p.dc, p.images.infoFont, skin::kInfo, skin::kInfo.cell[size], distance, p.X(594), p.Y(254), true);
    p.Copy(p.images.levelRail, 487, 356);
    const char level[2] = {static_cast<char>('0' + app->settings.EventTagDetectLevelX % 10), '\0'};
    DrawStripText(p.dc, p.images.sensitivity, skin::kEventSensitivity, skin::kEventSensitivity.cell[size], level,
                  p.X(621), p.Y(361), true);
}

void DrawRecordingBar(const Painter& p, EventRecorderApp* app)
{
    const bool recording = app->recorder.status.recording != 0;
    p.Copy(recording ? p.images.barRecording : p.images.barIdle, 0, 427);
    const std::string text = ElapsedText(app);
    if (text.empty()) return;
    DrawStripText(p.dc, p.images.elapsed, skin::kElapsedTime, skin::kElapsedTime.cell[p.images.sizeIndex], text,
                  p.X(176), p.Y(434), true);
}

void DrawToolbar(os::HDC dc, EventRecorderApp* app)
{
    for (int i = 1; i < kScreenCount; ++i) {
        const ScreenEntry& entry = app->screens[i];
        if (!entry.visible) continue;
        const int look = entry.disabled ? kLookDisabled : (entry.pressed || entry.keyPressed) ? kLookPressed : kLookNormal;
        DrawButtonLook(dc, app->mainScreen.buttons[i], look);
    }
}

// A plain message (the photo's save message) is white text straight over
// the picture, which stays to be seen; the others come in a box.
void DrawPopup(os::HDC dc, const os::RECT& client, const os::RECT& picture, EventRecorderApp* app)
{
    const ScreenMessage& message = app->message;
    if (!message.shown || app->cmdMode == 6 || app->cmdMode == 8) return;
    if (message.kind == kMessagePlain) {
        os::HFONT plain = CreateUiFont(std::clamp((picture.bottom - picture.top) / 14, 12, 24), true, false);
        const os::HGDIOBJ oldPlain = os::SelectObject(dc, plain);
        // In the picture's middle, clear of its top (where a camera may
        // stamp the time) and of the figures along its foot.
        constexpr os::UINT kFormat = os::DT_CENTER | os::DT_WORDBREAK | os::DT_NOPREFIX;
        os::RECT inner{picture.left + 8, picture.top + 8, picture.right - 8, picture.bottom - 8};
        os::RECT needed = inner;
        os::DrawTextW(dc, message.text.c_str(), -1, &needed, kFormat | os::DT_CALCRECT);
        inner.top = std::max(inner.top, (picture.top + picture.bottom - (needed.bottom - needed.top)) / 2);
        DrawHaloText(dc, message.text.c_str(), inner, kFormat, kWhite, kBlack);
        os::SelectObject(dc, oldPlain);
        os::DeleteObject(plain);
        return;
    }
    const MainScreenImages& images = app->mainScreen;
    const os::RECT box = PopupBox(client);
    const bool buttons = PopupHasButtons(message.kind);
    os::HBITMAP boxPicture = images.popupBoxes[buttons ? 2 : 0];
    DrawAlphaImage(dc, boxPicture, box.left, box.top, box.right, box.bottom, nullptr, 255, os::AC_SRC_ALPHA);
    os::HFONT font = CreateUiFont(22, true, false);
    os::HGDIOBJ oldFont = os::SelectObject(dc, font);
    const int oldMode = os::SetBkMode(dc, os::TRANSPARENT);
    const os::COLORREF oldColor = os::SetTextColor(dc, kWhite);
    os::RECT text{box.left + 96, box.top + 16, box.right - 16, buttons ? box.top + 116 : box.bottom - 16};
    os::DrawTextW(dc, message.text.c_str(), -1, &text, os::DT_WORDBREAK);
    os::SetTextColor(dc, oldColor);
    os::SetBkMode(dc, oldMode);
    os::SelectObject(dc, oldFont);
    os::DeleteObject(font);
    if (!buttons) return;
    // OK and Cancel for kind 1, Yes and No for kind 4.
    const int first = message.kind == 1 ? 0 : 2;
    for (int b = 0; b < 2; ++b) {
        ButtonStrip look = images.popupButtons[first + b];
        look.rect = PopupButton(client, b);
        DrawButtonLook(dc, look, message.pressedButton == b ? kLookPressed : kLookNormal);
    }
}

// The size the picture is laid out at: 320 x 240 when `VideoSize` asks for
// the large preview, else the camera's capture size.
void PictureLayoutSize(const EventRecorderApp* app, int* width, int* height)
{
    const bool large = app->settings.VideoSize != 0;
    *width = large ? 320 : (app->captureWidth > 0 ? app->captureWidth : 320);
    *height = large ? 240 : (app->captureHeight > 0 ? app->captureHeight : 240);
}

// The camera's latest picture, or the test pattern before there is one,
// centred in `area`; returns where the picture lies.
os::RECT DrawPicture(os::HDC dc, const os::RECT& area, EventRecorderApp* app)
{
    int layoutW = 0;
    int layoutH = 0;
    PictureLayoutSize(app, &layoutW, &layoutH);
    MainScreenImages& images = app->mainScreen;
    DrawPreviewPicture(dc, area, layoutW, layoutH, &app->recorder.preview, app->captureRunning.load() != 0,
                       &images.preview, &images.testPattern);
    return FitPicture(area, layoutW, layoutH, layoutW, layoutH).dest;
}

// The panel's values: the recording's start time and distance while one
// runs (the program's start and none before), and the live fix's position.
InfoPanelValues ReadInfoPanelValues(EventRecorderApp* app)
{
    InfoPanelValues values;
    RecorderState& recorder = app->recorder;
    values.start = app->startTime;
    if (app->cmdMode == kGpsMode) {
        // The GPS screen's panel is about its log.
        if (app->gps.locksMade.load()) {
            os::EnterCriticalSection(&app->gps.lock);
            if (app->gps.logging && app->gps.logStartTime.wYear != 0) values.start = app->gps.logStartTime;
            os::LeaveCriticalSection(&app->gps.lock);
        }
    } else if (recorder.lockMade) {
        os::EnterCriticalSection(&recorder.lock);
        if (recorder.status.recording && recorder.status.startTime.wYear != 0) values.start = recorder.status.startTime;
        os::LeaveCriticalSection(&recorder.lock);
    }
    values.distanceKm = ShownDistanceKm(app);
    os::GetLocalTime(&values.now);
    if (app->gps.locksMade.load()) {
        os::EnterCriticalSection(&app->gps.lock);
        values.latitude = app->gps.fix.body.timePosition.latitude;
        values.longitude = app->gps.fix.body.timePosition.longitude;
        os::LeaveCriticalSection(&app->gps.lock);
    }
    return values;
}

InfoPanelLines InfoPanelText(EventRecorderApp* app)
{
    const InfoPanelFormats formats{ResourceText(IDS_INFO_START_TIME), ResourceText(IDS_INFO_ELAPSED_TIME),
                                   ResourceText(IDS_INFO_DISTANCE), ResourceText(IDS_INFO_POSITION)};
    return FormatInfoPanel(ReadInfoPanelValues(app), formats);
}

// A line in the largest of the panel's sizes it fits at; what still does
// not fit at the smallest ends in "...".
void DrawPanelLine(os::HDC dc, const std::string& text, os::RECT row)
{
    constexpr int kLargest = 22;
    constexpr int kSmallest = 14;
    constexpr os::UINT kFormat = os::DT_SINGLELINE | os::DT_VCENTER | os::DT_NOPREFIX;
    for (int height = kLargest;; height -= 2) {
        os::HFONT font = CreateUiFont(height, true, false);
        const os::HGDIOBJ oldFont = os::SelectObject(dc, font);
        os::RECT needed = row;
        os::DrawTextW(dc, text.c_str(), -1, &needed, kFormat | os::DT_CALCRECT);
        const bool last = height <= kSmallest;
        const bool fits = needed.right <= row.right;
        if (fits || last) os::DrawTextW(dc, text.c_str(), -1, &row, kFormat | (fits ? 0 : os::DT_END_ELLIPSIS));
        os::SelectObject(dc, oldFont);
        os::DeleteObject(font);
        if (fits || last) return;
    }
}

void DrawInfoPanel(const Painter& p, EventRecorderApp* app)
{
    const os::RECT panel = InfoPanelRect();
    p.Copy(p.images.infoPanel, panel.left, panel.top);
    const InfoPanelLines lines = InfoPanelText(app);
    const int oldMode = os::SetBkMode(p.dc, os::TRANSPARENT);
    const os::COLORREF oldColor = os::SetTextColor(p.dc, kWhite);
    for (int row = 0; row < 4; ++row) DrawPanelLine(p.dc, lines.line[row], InfoPanelRow(row));
    os::SetTextColor(p.dc, oldColor);
    os::SetBkMode(p.dc, oldMode);
}

// The sensitivity screen over the picture: the title, the level in large
// figures and a gauge of the ten levels; the plus and minus rail framed.
void DrawSensitivity(const Painter& p, EventRecorderApp* app)
{
    const int level = static_cast<int>(app->settings.EventTagDetectLevelX % kLevels);
    const os::RECT box{p.X(170), p.Y(101), p.X(490), p.Y(341)};
    FillRectColor(p.dc, box, kDarkPanel);
    DrawBevel(p.dc, box.left, box.top, box.right, box.bottom, kCyan, kCyan, 2);
    os::HFONT title = CreateUiFont(p.Y(28), true, false);
    os::HFONT figures = CreateUiFont(p.Y(110), true, false);
    const os::HGDIOBJ oldFont = os::SelectObject(p.dc, title);
    const int oldMode = os::SetBkMode(p.dc, os::TRANSPARENT);
    const os::COLORREF oldColor = os::SetTextColor(p.dc, kWhite);
    const std::string name = ResourceText(IDS_TITLE_SENSITIVITY);
    os::RECT titleRect{box.left, box.top + p.Y(8), box.right, box.top + p.Y(48)};
    os::DrawTextW(p.dc, name.c_str(), -1, &titleRect, os::DT_CENTER | os::DT_SINGLELINE | os::DT_VCENTER);
    os::SelectObject(p.dc, figures);
    os::SetTextColor(p.dc, kAmber);
    const char text[2] = {static_cast<char>('0' + level), '\0'};
    os::RECT levelRect{box.left, box.top + p.Y(48), box.right, box.top + p.Y(178)};
    os::DrawTextW(p.dc, text, -1, &levelRect, os::DT_CENTER | os::DT_SINGLELINE | os::DT_VCENTER);
    os::SetTextColor(p.dc, oldColor);
    os::SetBkMode(p.dc, oldMode);
    os::SelectObject(p.dc, oldFont);
    os::DeleteObject(title);
    os::DeleteObject(figures);
    // One cell per level from 0 to 9, lit up to the current one.
    const int cellWidth = (box.right - box.left - p.X(40)) / kLevels;
    for (int i = 0; i < kLevels; ++i) {
        const int left = box.left + p.X(20) + i * cellWidth;
        FillRectColor(p.dc, left + 2, box.bottom - p.Y(50), cellWidth - 4, p.Y(28), i <= level ? kAmber : 0x404040);
    }
    DrawBevel(p.dc, p.X(485), p.Y(354), p.X(800), p.Y(427), kCyan, kCyan, 2);
}

void DrawRecordingScreen(os::HDC dc, const os::RECT& client, EventRecorderApp* app)
{
    const MainScreenImages& images = app->mainScreen;
    const Painter p{dc, images, kScales[images.sizeIndex]};
    const bool sensitivity = app->cmdMode == kSensitivityMode;
    FillRectColor(dc, client, kBlack);
    p.Copy(images.background, 0, 0);
    p.Copy(images.pictureBox, 126, 55);
    const os::RECT area{p.X(126), p.Y(55), p.X(534), p.Y(427)};
    const os::RECT picture = DrawPicture(dc, area, app);
    if (app->resolutionClass != kWideScreenClass) DrawPictureTexts(dc, picture, app);
    DrawStatusBar(p, app);
    DrawPanels(p, app);
    DrawRecordingBar(p, app);
    const RecorderSettings& s = app->settings;
    if (sensitivity) {
        ActivateSensitivityButtons(&app->screens);
    } else {
        ActivateMainScreenButtons(&app->screens, s.EnablePlaySound != 0, s.DisableRecordAudio != 0);
    }
    DrawToolbar(dc, app);
    if (EventTaggedFlag != 0) p.Blend(images.eventSaved, 180, 196);
    if (sensitivity) DrawSensitivity(p, app);
    DrawPopup(dc, client, picture, app);
    const bool panelMode = app->cmdMode == kRecordingMode || app->cmdMode == kGpsMode;
    if (app->resolutionClass == kWideScreenClass && panelMode && app->infoPanelShown) DrawInfoPanel(p, app);
}

// The picture alone on black, as large as the screen takes it with its
// shape kept, its figures written over it; no button takes touches.
void DrawFullPicture(os::HDC dc, const os::RECT& client, EventRecorderApp* app)
{
    FillRectColor(dc, client, kBlack);
    for (ScreenEntry& entry : app->screens) entry.visible = 0;
    int layoutW = 0;
    int layoutH = 0;
    PictureLayoutSize(app, &layoutW, &layoutH);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // The larger of the two scales that still fits, in whole pixels.
    const bool byWidth = static_cast<long long>(width) * layoutH <= static_cast<long long>(height) * layoutW;
    const int shownW = byWidth ? width : static_cast<int>(static_cast<long long>(height) * layoutW / layoutH);
    const int shownH = byWidth ? static_cast<int>(static_cast<long long>(width) * layoutH / layoutW) : height;
    const os::RECT picture{client.left + (width - shownW) / 2, client.top + (height - shownH) / 2,
                           client.left + (width + shownW) / 2, client.top + (height + shownH) / 2};
    os::HDC frameDc = os::CreateCompatibleDC(dc);
    os::HBITMAP frame = os::CreateCompatibleBitmap(dc, layoutW, layoutH);
    if (frameDc != nullptr && frame != nullptr) {
        const os::HGDIOBJ oldFrame = os::SelectObject(frameDc, frame);
        DrawPicture(frameDc, os::RECT{0, 0, layoutW, layoutH}, app);
        os::StretchBlt(dc, picture.left, picture.top, picture.right - picture.left, picture.bottom - picture.top,
                       frameDc, 0, 0, layoutW, layoutH, os::SRCCOPY);
        os::SelectObject(frameDc, oldFrame);
    }
    if (frame != nullptr) os::DeleteObject(frame);
    if (frameDc != nullptr) os::DeleteDC(frameDc);
    DrawPictureTexts(dc, picture, app);
    if (EventTaggedFlag != 0) {
        int w = 0;
        int h = 0;
        if (BitmapSize(app->mainScreen.eventSaved, &w, &h)) {
            const int left = (client.left + client.right - w) / 2;
            const int top = (client.top + client.bottom - h) / 2;
            DrawAlphaImage(dc, app->mainScreen.eventSaved, left, top, left + w, top + h, nullptr, 255, os::AC_SRC_ALPHA);
        }
    }
    DrawPopup(dc, client, picture, app);
}

}  // namespace

void PaintMainWindow(os::HWND hwnd, os::HDC hdc)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    os::PAINTSTRUCT ps;
    os::HDC target = hdc != nullptr ? hdc : os::BeginPaint(hwnd, &ps);
    if (app != nullptr && target != nullptr) {
        os::EnterCriticalSection(&app->screenLock);
        os::RECT client{};
        os::GetClientRect(hwnd, &client);
        DrawBuffered(target, client, [&](os::HDC buffer) {
            const uint32_t mode = app->cmdMode;
            if (mode == kRecordingMode || mode == kSensitivityMode || mode == kGpsMode) {
                DrawRecordingScreen(buffer, client, app);
            } else if (mode == kFullPictureMode) {
                DrawFullPicture(buffer, client, app);
            } else {
                DrawStartScreen(buffer, client, app->mainScreen, app->imagingFactory);
            }
        });
        os::LeaveCriticalSection(&app->screenLock);
        g_touchEnabled = true;
    }
    if (hdc == nullptr) os::EndPaint(hwnd, &ps);
}

InfoPanelLines CurrentInfoPanelLines(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    return app != nullptr ? InfoPanelText(app) : InfoPanelLines{};
}

void RequestRepaint(os::HWND hwnd)
{
    os::InvalidateRect(hwnd, nullptr, os::FALSE);
}

void PrepareSensitivityScreen(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    ActivateSensitivityButtons(&app->screens);
    for (ScreenEntry& entry : app->screens) entry.highlighted = 0;
    // Enter presses the plus button: the one a driver looking for more warning needs.
    app->screens[14].highlighted = 1;
}

void ClearPreviewArea(os::HWND hwnd, int width, int height)
{
    os::HDC dc = os::GetDC(hwnd);
    if (dc == nullptr) return;
    FillRectColor(dc, 0, 0, width, height, kBlack);
    os::ReleaseDC(hwnd, dc);
}

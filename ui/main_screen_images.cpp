#include "ui/main_screen_images.h"

#include <string>

#include "app/app_state.h"
#include "platform/devices/display.h"
#include "platform/windows/window.h"
#include "skin/font_strips.h"
#include "ui/skin_images.h"

namespace {

struct ToolbarLooks {
    int entry;
    const char* folder;
    const char* looks[3];
};

constexpr ToolbarLooks kToolbarLooks[] = {
    {7, "02_menu", {"btn_liteexit_n.png", "btn_liteexit_c.png", "btn_liteexit_d.png"}},
    {10, "02_menu", {"btn_litespeaker_n.png", "btn_litespeaker_c1.png", "btn_litespeaker_d.png"}},
    {11, "02_menu", {"btn_litespeaker_s.png", "btn_litespeaker_c2.png", "btn_litespeaker_d.png"}},
    {12, "02_menu", {"btn_litemic_n.png", "btn_litemic_c1.png", "btn_litemic_d.png"}},
    {13, "02_menu", {"btn_litemic_s.png", "btn_litemic_c2.png", "btn_litemic_d.png"}},
    {6, "02_menu", {"btn_litesetting_n.png", "btn_litesetting_c.png", "btn_litesetting_d.png"}},
    {15, "04_contents", {"btn_minus_n.png", "btn_minus_c.png", "btn_minus_d.png"}},
    {14, "04_contents", {"btn_plus_n.png", "btn_plus_c.png", "btn_plus_d.png"}},
    {16, "02_menu", {"btn_cancel_n.png", "btn_cancel_c.png", "btn_cancel_d.png"}},  // the sensitivity screen's back
};

constexpr const char* kPopupButtonNames[4] = {"btn_confirm", "btn_cancel1", "btn_yes", "btn_no"};
constexpr const char* kPopupBoxNames[4] = {"box_popup01.png", "box_popup_new.png", "box_popup02.png",
                                           "box_popup02_03.png"};

class Loader {
public:
    Loader(std::string folder, os::IImagingFactory* factory) : folder_(std::move(folder)), factory_(factory) {}
    os::HBITMAP Opaque(const char* sub, const char* name) const
    {
        return LoadOpaqueImage(SkinFile(folder_, sub, name).c_str());
    }
    os::HBITMAP Alpha(const char* sub, const char* name) const
    {
        return LoadAlphaImage(factory_, SkinFile(folder_, sub, name).c_str());
    }
    std::string Path(const char* sub, const std::string& name) const { return SkinFile(folder_, sub, name.c_str()); }

private:
    std::string folder_;
    os::IImagingFactory* factory_;
};

void LoadPictures(const Loader& skin, MainScreenImages* m)
{
    m->background = skin.Opaque("01_common", "background.png");
    m->pictureBox = skin.Opaque("01_common", "box_contents_video.gif");
    m->barIdle = skin.Opaque("01_common", "bar_rectime.jpg");
    m->barRecording = skin.Opaque("01_common", "bar_rectime_video.jpg");
    m->infoPanel = skin.Opaque("01_common", "box_contents.jpg");
    m->levelRail = skin.Opaque("04_contents", "bar_control_bg.gif");
    m->brandMark = skin.Opaque("03_icon", "CI-holmbrek4.gif");
    m->strips[0] = skin.Opaque("05_font", skin::kSpeedOpaque.file);
    m->strips[1] = skin.Opaque("05_font", skin::kContentsOpaque.file);
    m->top = skin.Alpha("01_common", "top.png");
    m->contents = skin.Alpha("01_common", "box_contents04_lite.png");
    m->speedBox = skin.Alpha("03_common", "box_lite_speed.png");
    m->eventSaved = skin.Alpha("04_contents", "saveevent04.png");
    m->gps = skin.Alpha("03_icon", "icon_gps.png");
    m->memory = skin.Alpha("03_icon", "memory.png");
    m->gauge = skin.Alpha("03_icon", "memory_lite_re2.png");
    m->battery = skin.Alpha("03_icon", "battery.png");
    m->onAir = skin.Alpha("03_icon", "on_air.png");
    for (int i = 0; i < 4; ++i) m->popupBoxes[i] = skin.Alpha("01_common", kPopupBoxNames[i]);
    m->smsBox = skin.Alpha("01_common", "box_popup_sms.png");
    m->elapsed = skin.Alpha("05_font", skin::kElapsedTime.file);
    m->sensitivity = skin.Alpha("05_font", skin::kEventSensitivity.file);
    m->speed = skin.Alpha("05_font", skin::kSpeed.file);
    m->memoryFont = skin.Alpha("05_font", skin::kMemory.file);
    m->contentsFont = skin.Alpha("05_font", skin::kContents.file);
    m->infoFont = skin.Alpha("05_font", skin::kInfo.file);
}

void BuildStrip(os::HDC screen, const Loader& skin, const char* sub, const char* const names[3], os::RECT place,
                ButtonStrip* button)
{
    const std::string paths[3] = {skin.Path(sub, names[0]), skin.Path(sub, names[1]), skin.Path(sub, names[2])};
    const char* const raw[3] = {paths[0].c_str(), paths[1].c_str(), paths[2].c_str()};
    BuildButtonStrip(screen, raw, place.left, place.top,
                     os::SIZE{place.right - place.left, place.bottom - place.top}, button);
}

void BuildToolbar(os::HDC screen, const Loader& skin, EventRecorderApp* app, MainScreenImages* m)
{
    for (const ToolbarLooks& b : kToolbarLooks) {
        BuildStrip(screen, skin, b.folder, b.looks, app->screens[b.entry].rect, &m->buttons[b.entry]);
        // The picture decides the button's size, and with it its touch area.
        app->screens[b.entry].rect = m->buttons[b.entry].rect;
    }
}

void BuildPopupButtons(os::HDC screen, const Loader& skin, MainScreenImages* m)
{
    for (int i = 0; i < 4; ++i) {
        const std::string base = kPopupButtonNames[i];
        const std::string looks[3] = {base + "_n.png", base + "_c.png", base + "_d.png"};
        const char* const names[3] = {looks[0].c_str(), looks[1].c_str(), looks[2].c_str()};
        BuildStrip(screen, skin, "01_common", names, os::RECT{0, 0, 150, 50}, &m->popupButtons[i]);
    }
    const char* const smsCancel[3] = {"btn_cancel_n.png", "btn_cancel_c.png", "btn_cancel_d.png"};
    BuildStrip(screen, skin, "02_menu", smsCancel, os::RECT{0, 0, 126, 90}, &m->smsCancel);
}

void Delete(os::HBITMAP* bitmap)
{
    if (*bitmap != nullptr) os::DeleteObject(*bitmap);
    *bitmap = nullptr;
}

}  // namespace

int SetupMainScreen(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    MainScreenImages* m = &app->mainScreen;
    if (m->loaded) return 1;
    ReleaseMainScreen(hwnd);  // the start screen's logo, loaded on its own
    const int width = os::GetSystemMetrics(os::SM_CXSCREEN);
    const int height = os::GetSystemMetrics(os::SM_CYSCREEN);
    const int index = skin::ScreenSizeIndex(width, height);
    m->sizeIndex = index < 0 ? 0 : index;
    // The factory made with the window, which outlives the screen.
    auto* factory = static_cast<os::IImagingFactory*>(app->imagingFactory);
    const Loader skin(index < 0 ? IdleSkinFolder() : SkinFolder(width, height), factory);
    LoadPictures(skin, m);
    m->logo = LoadAlphaImage(factory, SkinFile(IdleSkinFolder(), "01_common", "ardvane3.png").c_str());
    // The toolbar belongs to the 800 x 480 layout; the pop-ups' buttons (the
    // message boxes' and the accident SMS's cancel) are on every layout.
    os::HDC screen = os::GetDC(nullptr);
    if (app->resolutionClass == 3) BuildToolbar(screen, skin, app, m);
    BuildPopupButtons(screen, skin, m);
    os::ReleaseDC(nullptr, screen);
    m->loaded = true;
    return 1;
}

void ReleaseMainScreen(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    MainScreenImages* m = &app->mainScreen;
    for (os::HBITMAP* b : {&m->background, &m->pictureBox, &m->barIdle, &m->barRecording, &m->levelRail,
                           &m->brandMark, &m->infoPanel, &m->strips[0], &m->strips[1], &m->top, &m->contents,
                           &m->speedBox, &m->eventSaved, &m->gps, &m->memory, &m->gauge, &m->battery, &m->onAir,
                           &m->logo, &m->popupBoxes[0], &m->popupBoxes[1], &m->popupBoxes[2], &m->popupBoxes[3], &m->smsBox,
                           &m->elapsed, &m->sensitivity, &m->speed, &m->memoryFont, &m->contentsFont, &m->infoFont}) {
        Delete(b);
    }
    ReleasePictureBitmap(&m->preview);
    ReleasePictureBitmap(&m->testPattern);
    for (ButtonStrip& b : m->buttons) ReleaseButtonStrip(&b);
    for (ButtonStrip& b : m->popupButtons) ReleaseButtonStrip(&b);
    ReleaseButtonStrip(&m->smsCancel);
    *m = MainScreenImages{};
}

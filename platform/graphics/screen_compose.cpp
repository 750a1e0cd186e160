// The screen as the user sees it: the windows' surfaces composed in z-order,
// and the screenshot written with libpng.
#include <algorithm>
#include <functional>

#include "platform/devices/display.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/graphics/internal/gdi_state.h"
#include "platform/windows/internal/window_manager.h"

#include <png.h>

namespace os::sim {

namespace {

struct WindowView {
    std::uint32_t id = 0;
    std::uint32_t owner = 0;
    RECT rect;
    bool child = false;
};

// Visible windows, bottom of the z-order first.
std::vector<WindowView> VisibleWindows()
{
    std::vector<WindowView> views;
    std::lock_guard<std::mutex> lk(detail::Sched().mu);
    const auto& wm = detail::WM();
    for (auto it = wm.zorder.rbegin(); it != wm.zorder.rend(); ++it) {
        auto w = wm.windows.find(*it);
        if (w == wm.windows.end() || !w->second->visible) continue;
        views.push_back(WindowView{*it, w->second->owner, w->second->rect, (w->second->style & WS_CHILD) != 0});
    }
    return views;
}

// Copies the surface with its top-left at (ox, oy), inside `clip` (screen coordinates).
void Paste(ScreenImage& screen, detail::Surface& s, std::int64_t ox, std::int64_t oy, const RECT& clip)
{
    const std::int64_t x0 = std::max<std::int64_t>(0, clip.left - ox);
    const std::int64_t x1 = std::min<std::int64_t>(s.width, clip.right - ox);
    const std::int64_t y0 = std::max<std::int64_t>(0, clip.top - oy);
    const std::int64_t y1 = std::min<std::int64_t>(s.height, clip.bottom - oy);
    for (std::int64_t y = y0; y < y1; ++y) {
        std::uint8_t* p = &screen.rgb[(static_cast<std::size_t>(oy + y) * screen.width + static_cast<std::size_t>(ox + x0)) * 3];
        for (std::int64_t x = x0; x < x1; ++x, p += 3) {
            const std::uint32_t argb = s.ReadArgb(static_cast<int>(x), static_cast<int>(y));
            p[0] = static_cast<std::uint8_t>(argb >> 16);
            p[1] = static_cast<std::uint8_t>(argb >> 8);
            p[2] = static_cast<std::uint8_t>(argb);
        }
    }
}

}  // namespace

ScreenImage CaptureScreen()
{
    ScreenImage screen;
    screen.width = GetSystemMetrics(SM_CXSCREEN);
    screen.height = GetSystemMetrics(SM_CYSCREEN);
    if (screen.width < 1 || screen.height < 1) return ScreenImage{};
    screen.rgb.assign(static_cast<std::size_t>(screen.width) * screen.height * 3, 0);
    const std::vector<WindowView> views = VisibleWindows();
    std::lock_guard<std::mutex> lock(detail::GdiMutex());
    auto& surfaces = detail::Gdi().windowSurfaces;
    const RECT whole{0, 0, screen.width, screen.height};
    if (auto desktop = surfaces.find(0); desktop != surfaces.end()) Paste(screen, *desktop->second, 0, 0, whole);
    // A window, then its children inside it, each child relative to its owner.
    std::function<void(const WindowView&, std::int64_t, std::int64_t, const RECT&)> draw =
        [&](const WindowView& w, std::int64_t ox, std::int64_t oy, const RECT& within) {
            const std::int64_t left = ox + w.rect.left, top = oy + w.rect.top;
            const RECT bounds{static_cast<LONG>(left), static_cast<LONG>(top),
                              static_cast<LONG>(left + (w.rect.right - w.rect.left)),
                              static_cast<LONG>(top + (w.rect.bottom - w.rect.top))};
            const RECT clip = detail::Intersect(within, bounds);
            if (detail::IsEmpty(clip)) return;
            if (auto s = surfaces.find(w.id); s != surfaces.end()) Paste(screen, *s->second, left, top, clip);
            for (const WindowView& c : views) {
                if (c.child && c.owner == w.id) draw(c, left, top, clip);
            }
        };
    for (const WindowView& w : views) {
        if (!w.child) draw(w, 0, 0, whole);
    }
    return screen;
}

std::uint32_t ScreenPixel(int x, int y)
{
    const ScreenImage screen = CaptureScreen();
    if (x < 0 || y < 0 || x >= screen.width || y >= screen.height) return 0;
    const std::uint8_t* p = &screen.rgb[(static_cast<std::size_t>(y) * screen.width + x) * 3];
    return (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
}

bool SaveScreenPng(const std::string& hostPath, std::string* error)
{
    ScreenImage screen = CaptureScreen();
    if (screen.width == 0) {
        if (error) *error = "the display has no size";
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(screen.width);
    image.height = static_cast<png_uint_32>(screen.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, hostPath.c_str(), 0, screen.rgb.data(), screen.width * 3, nullptr)) {
        if (error) *error = "cannot write " + hostPath + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace os::sim

// Surfaces, the conversions between COLORREF and 0xAARRGGBB, and rectangles
// (the pixel accessors are inline in gdi_state.h).
#include <algorithm>

#include "platform/graphics/internal/gdi_state.h"

namespace os::detail {

std::shared_ptr<Surface> NewSurface(int width, int height, PixelLayout layout, bool topDown)
{
    if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) return nullptr;
    auto s = std::make_shared<Surface>();
    s->width = width;
    s->height = height;
    s->layout = layout;
    s->topDown = topDown;
    s->stride = ((width * s->Bpp() + 31) / 32) * 4;
    s->storage.assign(static_cast<std::size_t>(s->stride / 4) * static_cast<std::size_t>(height), 0);
    return s;
}

std::uint32_t ArgbFromColorref(COLORREF c)
{
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (static_cast<std::uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

COLORREF ColorrefFromArgb(std::uint32_t argb)
{
    return RGB(static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
               static_cast<int>(argb & 0xFF));
}

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) return RECT{};
    return r;
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace os::detail

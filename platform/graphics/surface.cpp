// Pixel storage and the conversions between COLORREF, 0xAARRGGBB and the
// 16- and 32-bit layouts.
#include <algorithm>
#include <cstring>

#include "platform/graphics/internal/gdi_state.h"

namespace os::detail {

namespace {

std::uint32_t Widen5(std::uint32_t v) { return (v << 3) | (v >> 2); }
std::uint32_t Widen6(std::uint32_t v) { return (v << 2) | (v >> 4); }

}  // namespace

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

std::uint32_t PackColor(PixelLayout layout, std::uint32_t argb)
{
    const std::uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (layout) {
    case PixelLayout::Rgb565: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case PixelLayout::Rgb555: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case PixelLayout::Xrgb8888: return argb & 0x00FFFFFFu;
    }
    return 0;
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

std::uint32_t Surface::ReadRaw(int x, int y)
{
    const std::uint8_t* row = Row(y);
    if (layout == PixelLayout::Xrgb8888) {
        std::uint32_t v;
        std::memcpy(&v, row + static_cast<std::size_t>(x) * 4, 4);
        return v;
    }
    std::uint16_t v;
    std::memcpy(&v, row + static_cast<std::size_t>(x) * 2, 2);
    return v;
}

void Surface::WriteRaw(int x, int y, std::uint32_t raw)
{
    std::uint8_t* row = Row(y);
    if (layout == PixelLayout::Xrgb8888) {
        std::memcpy(row + static_cast<std::size_t>(x) * 4, &raw, 4);
        return;
    }
    const std::uint16_t v = static_cast<std::uint16_t>(raw);
    std::memcpy(row + static_cast<std::size_t>(x) * 2, &v, 2);
}

std::uint32_t Surface::ReadArgb(int x, int y)
{
    const std::uint32_t v = ReadRaw(x, y);
    switch (layout) {
    case PixelLayout::Rgb565:
        return (Widen5(v >> 11) << 16) | (Widen6((v >> 5) & 0x3F) << 8) | Widen5(v & 0x1F);
    case PixelLayout::Rgb555:
        return (Widen5((v >> 10) & 0x1F) << 16) | (Widen5((v >> 5) & 0x1F) << 8) | Widen5(v & 0x1F);
    case PixelLayout::Xrgb8888: return v;
    }
    return 0;
}

void Surface::WriteArgb(int x, int y, std::uint32_t argb)
{
    WriteRaw(x, y, layout == PixelLayout::Xrgb8888 ? argb : PackColor(layout, argb));
}

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) return RECT{};
    return r;
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace os::detail

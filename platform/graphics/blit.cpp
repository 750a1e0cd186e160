// Copies between contexts: BitBlt, StretchBlt and the colour-keyed
// TransparentImage, and the fills BitBlt does without a source.
#include <algorithm>
#include <cstring>

#include "platform/graphics/internal/blit_map.h"

namespace os {

using detail::BlitArgs;
using detail::DcRec;
using detail::GdiMutex;
using detail::PixelLayout;
using detail::Surface;

namespace detail {

bool CheckBlitArgs(const BlitArgs& a)
{
    for (int side : {a.width, a.height, a.srcWidth, a.srcHeight}) {
        if (side < 0 || side > kMaxBlitSide) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
    }
    return true;
}

RECT ClipDestination(const RECT& box, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h)
{
    const std::int64_t left = std::max<std::int64_t>(box.left, x);
    const std::int64_t top = std::max<std::int64_t>(box.top, y);
    const std::int64_t right = std::min<std::int64_t>(box.right, x + w);
    const std::int64_t bottom = std::min<std::int64_t>(box.bottom, y + h);
    if (right <= left || bottom <= top) return RECT{};
    return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
}

std::shared_ptr<Surface> StableSource(Surface* src, Surface* dst)
{
    if (src != dst) return std::shared_ptr<Surface>(std::shared_ptr<Surface>{}, src);
    return std::make_shared<Surface>(*src);
}

}  // namespace detail

namespace {

// One pixel of a copy: exact between equal layouts, else through 0xAARRGGBB
// (from 16 bits into 32 the top byte is 0).
void CopyPixel(Surface& dst, int dx, int dy, Surface& src, int sx, int sy)
{
    if (dst.layout == src.layout) {
        dst.WriteRaw(dx, dy, src.ReadRaw(sx, sy));
    } else {
        dst.WriteArgb(dx, dy, src.ReadArgb(sx, sy) & 0x00FFFFFFu);
    }
}

// Fills the clipped rectangle with one colour (GDI: alpha byte 0).
void FillBox(DcRec& dc, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, COLORREF color)
{
    Surface* s = detail::TargetOf(dc);
    if (s == nullptr) return;
    const RECT d = detail::ClipDestination(detail::DrawableBox(dc), x, y, w, h);
    const std::uint32_t raw = detail::PackColor(s->layout, detail::ArgbFromColorref(color));
    for (LONG py = d.top; py < d.bottom; ++py) {
        for (LONG px = d.left; px < d.right; ++px) s->WriteRaw(px, py, raw);
    }
}

enum class CopyMode { Plain, Keyed };

BOOL Copy(HDC dstDc, HDC srcDc, const BlitArgs& a, CopyMode mode, COLORREF key)
{
    if (!detail::CheckBlitArgs(a)) return FALSE;
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dst = detail::FindDc(dstDc);
    DcRec* src = detail::FindDc(srcDc);
    if (dst == nullptr || src == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Surface* target = detail::TargetOf(*dst);
    Surface* from = detail::TargetOf(*src);
    if (target == nullptr || from == nullptr) return TRUE;
    const auto source = detail::StableSource(from, target);
    const RECT box = detail::DrawableBox(*dst);
    if (mode == CopyMode::Plain && a.width == a.srcWidth && a.height == a.srcHeight &&
        target->layout == source->layout) {
        // Unscaled copy between equal layouts: whole runs of each row.
        const RECT srcBounds{0, 0, source->width, source->height};
        const RECT d = detail::ClipDestination(box, a.x, a.y, a.width, a.height);
        const std::int64_t ox = static_cast<std::int64_t>(a.srcX) - a.x, oy = static_cast<std::int64_t>(a.srcY) - a.y;
        const RECT s = detail::ClipDestination(srcBounds, d.left + ox, d.top + oy, d.right - d.left, d.bottom - d.top);
        if (detail::IsEmpty(d) || detail::IsEmpty(s)) return TRUE;
        const std::size_t bytes = static_cast<std::size_t>(target->Bpp() / 8);
        for (LONG sy = s.top; sy < s.bottom; ++sy) {
            std::memcpy(target->Row(static_cast<int>(sy - oy)) + static_cast<std::size_t>(s.left - ox) * bytes,
                        source->Row(sy) + static_cast<std::size_t>(s.left) * bytes,
                        static_cast<std::size_t>(s.right - s.left) * bytes);
        }
        return TRUE;
    }
    const std::uint32_t keyRaw = detail::PackColor(source->layout, detail::ArgbFromColorref(key));
    detail::ForEachMapped(a, box, *source, [&](int dx, int dy, int sx, int sy) {
        if (mode == CopyMode::Keyed && (source->ReadRaw(sx, sy) & 0x00FFFFFFu) == keyRaw) return;
        CopyPixel(*target, dx, dy, *source, sx, sy);
    });
    return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY) {
        if (width < 0 || height < 0 || width > kMaxBlitSide || height > kMaxBlitSide) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::lock_guard<std::mutex> lock(GdiMutex());
        DcRec* dc = detail::FindDc(dst);
        if (dc == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        COLORREF color = rop == WHITENESS ? RGB(255, 255, 255) : RGB(0, 0, 0);
        if (rop == PATCOPY) {
            const detail::GdiObject* brush = detail::FindObject(dc->brush, detail::GdiKind::Brush);
            if (brush == nullptr || brush->brush.lbStyle == BS_NULL) return TRUE;
            color = brush->brush.lbColor;
        }
        FillBox(*dc, x, y, width, height, color);
        return TRUE;
    }
    if (rop != SRCCOPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Copy(dst, src, BlitArgs{x, y, width, height, srcX, srcY, width, height}, CopyMode::Plain, 0);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop)
{
    if (rop != SRCCOPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Copy(dst, src, BlitArgs{x, y, width, height, srcX, srcY, srcWidth, srcHeight}, CopyMode::Plain, 0);
}

BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                      int srcHeight, COLORREF key)
{
    return Copy(dst, src, BlitArgs{x, y, width, height, srcX, srcY, srcWidth, srcHeight}, CopyMode::Keyed, key);
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT key)
{
    return TransparentImage(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, key);
}

namespace detail {

// Shared with the fills of fill.cpp.
void FillBoxColor(DcRec& dc, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, COLORREF color)
{
    FillBox(dc, x, y, w, h, color);
}

}  // namespace detail

}  // namespace os

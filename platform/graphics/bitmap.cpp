// Bitmaps: compatible bitmaps, DIB sections and single pixels.
#include <cstring>

#include "platform/graphics/internal/gdi_state.h"

namespace os {

using detail::GdiKind;
using detail::GdiMutex;
using detail::GdiObject;
using detail::PixelLayout;

namespace {

HBITMAP AddBitmap(std::shared_ptr<detail::Surface> surface, bool dib)
{
    GdiObject o;
    o.kind = GdiKind::Bitmap;
    o.surface = std::move(surface);
    o.dib = dib;
    return static_cast<HBITMAP>(detail::NewObject(std::move(o)));
}

// The layout a DIB header asks for; false for one this device cannot hold.
bool LayoutOf(const BITMAPINFO* info, PixelLayout* layout)
{
    const BITMAPINFOHEADER& h = info->bmiHeader;
    DWORD masks[3] = {};
    if (h.biCompression == BI_BITFIELDS) {
        std::memcpy(masks, reinterpret_cast<const BYTE*>(info) + sizeof(BITMAPINFOHEADER), sizeof(masks));
    } else if (h.biCompression != BI_RGB) {
        return false;
    }
    if (h.biBitCount == 16) {
        if (h.biCompression == BI_RGB || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)) {
            *layout = PixelLayout::Rgb555;
            return true;
        }
        *layout = PixelLayout::Rgb565;
        return masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
    }
    if (h.biBitCount == 32) {
        *layout = PixelLayout::Xrgb8888;
        return h.biCompression == BI_RGB || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
    }
    return false;
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    detail::DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (width == 0 || height == 0) return static_cast<HBITMAP>(detail::DefaultBitmap());
    detail::Surface* target = detail::TargetOf(*dc);
    const PixelLayout layout =
        !dc->window && target != nullptr && target->Bpp() == 32 ? PixelLayout::Xrgb8888 : PixelLayout::Rgb565;
    auto surface = detail::NewSurface(width, height, layout, true);
    if (!surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return AddBitmap(std::move(surface), false);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD)
{
    if (bits != nullptr) *bits = nullptr;
    PixelLayout layout = PixelLayout::Rgb565;
    if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr ||
        info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || info->bmiHeader.biPlanes != 1 ||
        info->bmiHeader.biHeight == INT32_MIN || !LayoutOf(info, &layout)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const LONG height = info->bmiHeader.biHeight;
    auto surface = detail::NewSurface(info->bmiHeader.biWidth, height < 0 ? -height : height, layout, height < 0);
    if (!surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(GdiMutex());
    if (bits != nullptr) *bits = surface->Bits();
    return AddBitmap(std::move(surface), true);
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    detail::DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) return CLR_INVALID;
    const RECT box = detail::DrawableBox(*dc);
    if (x < box.left || x >= box.right || y < box.top || y >= box.bottom) return CLR_INVALID;
    return detail::ColorrefFromArgb(detail::TargetOf(*dc)->ReadArgb(x, y));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    detail::DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) return CLR_INVALID;
    const RECT box = detail::DrawableBox(*dc);
    if (x < box.left || x >= box.right || y < box.top || y >= box.bottom) return CLR_INVALID;
    detail::Surface* s = detail::TargetOf(*dc);
    s->WriteArgb(x, y, detail::ArgbFromColorref(color));
    return detail::ColorrefFromArgb(s->ReadArgb(x, y));
}

}  // namespace os

// Device contexts: window and memory contexts, object selection, colours,
// modes, clipping and the device's capabilities.
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/devices/display.h"
#include "platform/graphics/internal/gdi_state.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/windows/internal/window_manager.h"

namespace os {

using detail::DcRec;
using detail::Gdi;
using detail::GdiKind;
using detail::GdiMutex;
using detail::GdiObject;

namespace detail {

namespace {

HDC AddDc(DcRec dc)
{
    dc.brush = StockObject(WHITE_BRUSH);
    dc.pen = StockObject(BLACK_PEN);
    dc.font = StockObject(SYSTEM_FONT);
    if (!dc.window) dc.bitmap = DefaultBitmap();
    for (HGDIOBJ o : {dc.brush, dc.pen, dc.font, dc.bitmap}) {
        if (GdiObject* rec = FindObject(o)) ++rec->selections;
    }
    const std::uintptr_t value = NewHandleValue(HandleKind::Gdi);
    Gdi().dcs.emplace(value, std::move(dc));
    return reinterpret_cast<HDC>(value);
}

void RemoveDc(HDC hdc)
{
    const auto value = reinterpret_cast<std::uintptr_t>(hdc);
    auto it = Gdi().dcs.find(value);
    for (HGDIOBJ o : {it->second.brush, it->second.pen, it->second.font, it->second.bitmap}) {
        if (GdiObject* rec = FindObject(o)) --rec->selections;
    }
    Gdi().dcs.erase(it);
    ReleaseHandleValue(value, HandleKind::Gdi);
}

// The window's client size, read before the graphics lock is taken. The
// desktop (no window) is the screen.
bool ClientSize(HWND hwnd, int* width, int* height)
{
    RECT r;
    if (hwnd == nullptr) {
        r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    } else if (!GetClientRect(hwnd, &r)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return true;
}

HDC OpenWindowDc(HWND hwnd, const RECT* paint)
{
    int width = 0, height = 0;
    if (!ClientSize(hwnd, &width, &height)) return nullptr;
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec dc;
    dc.window = true;
    dc.windowId = WindowId(hwnd);
    dc.windowSurface = WindowSurface(dc.windowId, width, height);
    if (paint != nullptr) {
        dc.clipped = true;
        dc.clip = *paint;
    }
    return AddDc(std::move(dc));
}

}  // namespace

std::shared_ptr<Surface> WindowSurface(std::uint32_t windowId, int width, int height)
{
    auto& slot = Gdi().windowSurfaces[windowId];
    if (slot && slot->width == width && slot->height == height) return slot;
    auto fresh = NewSurface(width, height, PixelLayout::Rgb565, true);
    if (fresh && slot) {
        // A resized window keeps what it showed where both sizes overlap.
        for (int y = 0; y < std::min(height, slot->height); ++y) {
            std::memcpy(fresh->Row(y), slot->Row(y), static_cast<std::size_t>(std::min(width, slot->width)) * 2);
        }
    }
    slot = fresh;
    if (!fresh) Gdi().windowSurfaces.erase(windowId);
    return fresh;
}

Surface* TargetOf(DcRec& dc)
{
    if (dc.window) return dc.windowSurface.get();
    GdiObject* bitmap = FindObject(dc.bitmap, GdiKind::Bitmap);
    return bitmap ? bitmap->surface.get() : nullptr;
}

RECT DrawableBox(DcRec& dc)
{
    Surface* s = TargetOf(dc);
    if (s == nullptr) return RECT{};
    const RECT bounds{0, 0, s->width, s->height};
    return dc.clipped ? Intersect(bounds, dc.clip) : bounds;
}

int ScreenDpi()
{
    return std::min(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)) >= 480 ? 192 : 96;
}

HDC OpenPaintDc(HWND hwnd, const RECT& paint) { return OpenWindowDc(hwnd, &paint); }

void ClosePaintDc(HDC hdc)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = FindDc(hdc);
    if (dc != nullptr && dc->window) RemoveDc(hdc);
}

void DropWindowSurface(std::uint32_t windowId)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    Gdi().windowSurfaces.erase(windowId);
}

}  // namespace detail

HDC GetDC(HWND hwnd) { return detail::OpenWindowDc(hwnd, nullptr); }

int ReleaseDC(HWND, HDC hdc)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr || !dc->window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    detail::RemoveDc(hdc);
    return 1;
}

HDC CreateCompatibleDC(HDC)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    return detail::AddDc(DcRec{});
}

BOOL DeleteDC(HDC hdc)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr || dc->window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    detail::RemoveDc(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    GdiObject* o = detail::FindObject(object);
    if (dc == nullptr || o == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ* slot = nullptr;
    switch (o->kind) {
    case GdiKind::Bitmap:
        if (dc->window) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (dc->bitmap != object && o->selections > 0 && !o->stock) {
            SetLastError(ERROR_BUSY);  // in another memory context
            return nullptr;
        }
        slot = &dc->bitmap;
        break;
    case GdiKind::Brush: slot = &dc->brush; break;
    case GdiKind::Pen: slot = &dc->pen; break;
    case GdiKind::Font: slot = &dc->font; break;
    }
    HGDIOBJ previous = *slot;
    if (previous == object) return previous;
    if (GdiObject* old = detail::FindObject(previous)) --old->selections;
    ++o->selections;
    *slot = object;
    return previous;
}

namespace {

template <class T, class F>
T WithDc(HDC hdc, T failure, F f)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failure;
    }
    return f(*dc);
}

}  // namespace

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    return WithDc(hdc, CLR_INVALID, [&](DcRec& dc) { return std::exchange(dc.textColor, color & 0x00FFFFFFu); });
}

COLORREF GetTextColor(HDC hdc)
{
    return WithDc(hdc, CLR_INVALID, [](DcRec& dc) { return dc.textColor; });
}

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    return WithDc(hdc, CLR_INVALID, [&](DcRec& dc) { return std::exchange(dc.bkColor, color & 0x00FFFFFFu); });
}

COLORREF GetBkColor(HDC hdc)
{
    return WithDc(hdc, CLR_INVALID, [](DcRec& dc) { return dc.bkColor; });
}

int SetBkMode(HDC hdc, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return WithDc(hdc, 0, [&](DcRec& dc) { return std::exchange(dc.bkMode, mode); });
}

int GetBkMode(HDC hdc)
{
    return WithDc(hdc, 0, [](DcRec& dc) { return dc.bkMode; });
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    return WithDc(hdc, ERROR, [&](DcRec& dc) {
        const RECT r{left, top, right, bottom};
        dc.clip = dc.clipped ? detail::Intersect(dc.clip, r) : (detail::IsEmpty(r) ? RECT{} : r);
        dc.clipped = true;
        return detail::IsEmpty(detail::DrawableBox(dc)) ? NULLREGION : SIMPLEREGION;
    });
}

int GetClipBox(HDC hdc, RECT* rect)
{
    if (rect == nullptr) return ERROR;
    return WithDc(hdc, ERROR, [&](DcRec& dc) {
        *rect = detail::DrawableBox(dc);
        return detail::IsEmpty(*rect) ? NULLREGION : SIMPLEREGION;
    });
}

int GetDeviceCaps(HDC hdc, int index)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const int dpi = detail::ScreenDpi();
    return WithDc(hdc, 0, [&](DcRec& dc) {
        switch (index) {
        case HORZRES: return width;
        case VERTRES: return height;
        case LOGPIXELSX:
        case LOGPIXELSY: return dpi;
        case PLANES: return 1;
        case BITSPIXEL: {
            detail::Surface* s = detail::TargetOf(dc);
            return dc.window || s == nullptr ? 16 : s->Bpp();
        }
        default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
        }
    });
}

}  // namespace os

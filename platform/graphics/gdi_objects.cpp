// The table of graphics objects: creation of brushes, pens and fonts, stock
// objects, deletion, GetObjectW and the live counts.
#include <cstring>

#include "platform/base/internal/fresh_start.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/graphics/internal/gdi_state.h"
#include "platform/kernel/internal/handle_table.h"

namespace os {

using detail::Gdi;
using detail::GdiKind;
using detail::GdiMutex;
using detail::GdiObject;

namespace detail {

std::mutex& GdiMutex()
{
    static std::mutex mutex;
    return mutex;
}

GdiState& Gdi()
{
    static GdiState state;
    return state;
}

GdiObject* FindObject(HGDIOBJ handle)
{
    auto it = Gdi().objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == Gdi().objects.end() ? nullptr : &it->second;
}

GdiObject* FindObject(HGDIOBJ handle, GdiKind kind)
{
    GdiObject* o = FindObject(handle);
    return o != nullptr && o->kind == kind ? o : nullptr;
}

DcRec* FindDc(HDC hdc)
{
    auto it = Gdi().dcs.find(reinterpret_cast<std::uintptr_t>(hdc));
    return it == Gdi().dcs.end() ? nullptr : &it->second;
}

HGDIOBJ NewObject(GdiObject object)
{
    const std::uintptr_t value = NewHandleValue(HandleKind::Gdi);
    Gdi().objects.emplace(value, std::move(object));
    return reinterpret_cast<HGDIOBJ>(value);
}

namespace {

GdiObject StockBrush(bool null, COLORREF color)
{
    GdiObject o;
    o.kind = GdiKind::Brush;
    o.stock = true;
    o.brush.lbStyle = null ? BS_NULL : BS_SOLID;
    o.brush.lbColor = color;
    return o;
}

GdiObject StockPen(int style, COLORREF color)
{
    GdiObject o;
    o.kind = GdiKind::Pen;
    o.stock = true;
    o.pen.lopnStyle = static_cast<UINT>(style);
    o.pen.lopnWidth.x = 1;
    o.pen.lopnColor = color;
    return o;
}

// The phone's system font: Tahoma, 12 pixels, regular.
GdiObject StockFont()
{
    GdiObject o;
    o.kind = GdiKind::Font;
    o.stock = true;
    o.font.lfHeight = -12;
    o.font.lfWeight = FW_NORMAL;
    o.font.lfCharSet = 0;
    std::strncpy(o.font.lfFaceName, "Tahoma", LF_FACESIZE - 1);
    return o;
}

}  // namespace

HGDIOBJ StockObject(int index)
{
    auto& stock = Gdi().stock;
    auto it = stock.find(index);
    if (it != stock.end()) return it->second;
    GdiObject o;
    switch (index) {
    case WHITE_BRUSH: o = StockBrush(false, RGB(255, 255, 255)); break;
    case LTGRAY_BRUSH: o = StockBrush(false, RGB(192, 192, 192)); break;
    case GRAY_BRUSH: o = StockBrush(false, RGB(128, 128, 128)); break;
    case DKGRAY_BRUSH: o = StockBrush(false, RGB(64, 64, 64)); break;
    case BLACK_BRUSH: o = StockBrush(false, RGB(0, 0, 0)); break;
    case NULL_BRUSH: o = StockBrush(true, 0); break;
    case WHITE_PEN: o = StockPen(PS_SOLID, RGB(255, 255, 255)); break;
    case BLACK_PEN: o = StockPen(PS_SOLID, RGB(0, 0, 0)); break;
    case NULL_PEN: o = StockPen(PS_NULL, 0); break;
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT: o = StockFont(); break;
    default: return nullptr;
    }
    HGDIOBJ handle = NewObject(std::move(o));
    stock[index] = handle;
    return handle;
}

// What a fresh memory context holds: one pixel, as on the phone.
HGDIOBJ DefaultBitmap()
{
    if (Gdi().defaultBitmap == nullptr) {
        GdiObject o;
        o.kind = GdiKind::Bitmap;
        o.stock = true;
        o.surface = NewSurface(1, 1, PixelLayout::Rgb565, true);
        Gdi().defaultBitmap = NewObject(std::move(o));
    }
    return Gdi().defaultBitmap;
}

void ResetGraphics()
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    Gdi() = GdiState{};
}

}  // namespace detail

HGDIOBJ GetStockObject(int index)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    HGDIOBJ o = detail::StockObject(index);
    if (o == nullptr) SetLastError(ERROR_INVALID_PARAMETER);
    return o;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    GdiObject o;
    o.kind = GdiKind::Brush;
    o.brush.lbStyle = BS_SOLID;
    o.brush.lbColor = color & 0x00FFFFFFu;
    std::lock_guard<std::mutex> lock(GdiMutex());
    return detail::NewObject(std::move(o));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if ((style != PS_SOLID && style != PS_DASH && style != PS_NULL) || width < 0 || width > 256) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GdiObject o;
    o.kind = GdiKind::Pen;
    o.pen.lopnStyle = static_cast<UINT>(style);
    o.pen.lopnWidth.x = width == 0 ? 1 : width;
    o.pen.lopnColor = color & 0x00FFFFFFu;
    std::lock_guard<std::mutex> lock(GdiMutex());
    return static_cast<HPEN>(detail::NewObject(std::move(o)));
}

HFONT CreateFontIndirectW(const LOGFONTW* font)
{
    if (font == nullptr || font->lfHeight < -2000 || font->lfHeight > 2000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GdiObject o;
    o.kind = GdiKind::Font;
    o.font = *font;
    o.font.lfFaceName[LF_FACESIZE - 1] = '\0';
    std::lock_guard<std::mutex> lock(GdiMutex());
    return static_cast<HFONT>(detail::NewObject(std::move(o)));
}

BOOL DeleteObject(HGDIOBJ object)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    GdiObject* o = detail::FindObject(object);
    if (o == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock) return TRUE;
    if (o->selections > 0) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(object);
    Gdi().objects.erase(value);
    detail::ReleaseHandleValue(value, detail::HandleKind::Gdi);
    return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, void* buffer)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    GdiObject* o = detail::FindObject(object);
    if (o == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto give = [&](const auto& record) -> int {
        const int needed = static_cast<int>(sizeof(record));
        if (buffer == nullptr) return needed;
        if (size < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, &record, sizeof(record));
        return needed;
    };
    switch (o->kind) {
    case GdiKind::Bitmap: {
        BITMAP bm;
        bm.bmWidth = o->surface->width;
        bm.bmHeight = o->surface->height;
        bm.bmWidthBytes = o->surface->stride;
        bm.bmBitsPixel = static_cast<WORD>(o->surface->Bpp());
        bm.bmBits = o->dib ? o->surface->Bits() : nullptr;
        return give(bm);
    }
    case GdiKind::Brush: return give(o->brush);
    case GdiKind::Pen: return give(o->pen);
    case GdiKind::Font: return give(o->font);
    }
    return 0;
}

namespace sim {

GdiCounts GdiObjectCounts()
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    GdiCounts counts;
    counts.dcs = static_cast<int>(Gdi().dcs.size());
    for (const auto& [handle, o] : Gdi().objects) {
        if (o.stock) continue;
        switch (o.kind) {
        case GdiKind::Bitmap: ++counts.bitmaps; break;
        case GdiKind::Brush: ++counts.brushes; break;
        case GdiKind::Pen: ++counts.pens; break;
        case GdiKind::Font: ++counts.fonts; break;
        }
    }
    return counts;
}

int GdiObjectCount() { return GdiObjectCounts().Total(); }

}  // namespace sim

}  // namespace os

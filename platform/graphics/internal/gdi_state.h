// For the graphics module only: surfaces, objects and contexts behind the
// handles, all guarded by GdiMutex(). Nothing here takes Sched().mu while
// holding GdiMutex(): window sizes are read before it is taken.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/graphics/graphics.h"

namespace os::detail {

enum class PixelLayout { Rgb565, Rgb555, Xrgb8888 };

// Pixels of a bitmap or a window. Row y (0 at the top) starts at Row(y).
struct Surface {
    int width = 0;
    int height = 0;
    PixelLayout layout = PixelLayout::Rgb565;
    int stride = 0;  // bytes, DWORD-aligned
    bool topDown = true;
    std::vector<std::uint32_t> storage;  // DWORD-aligned rows

    int Bpp() const { return layout == PixelLayout::Xrgb8888 ? 32 : 16; }
    std::uint8_t* Bits() { return reinterpret_cast<std::uint8_t*>(storage.data()); }
    std::uint8_t* Row(int y) { return Bits() + static_cast<std::size_t>(topDown ? y : height - 1 - y) * stride; }
    // The pixel accessors are called once a pixel by every blit: they are
    // defined below, in this header, so that they inline into its loop.
    // The pixel as 0xAARRGGBB (16-bit: alpha 0, channels widened).
    std::uint32_t ReadArgb(int x, int y);
    // Writes 0xAARRGGBB (16-bit: channels truncated, alpha dropped).
    void WriteArgb(int x, int y, std::uint32_t argb);
    // The raw pixel value as stored (for colour keys and exact copies).
    std::uint32_t ReadRaw(int x, int y);
    void WriteRaw(int x, int y, std::uint32_t raw);
};

// A zero-filled surface; null when a side is outside 1..kMaxBitmapSide.
std::shared_ptr<Surface> NewSurface(int width, int height, PixelLayout layout, bool topDown);

// Raw value of a colour in a layout (32-bit: alpha byte 0).
inline std::uint32_t PackColor(PixelLayout layout, std::uint32_t argb)
{
    const std::uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (layout) {
    case PixelLayout::Rgb565: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case PixelLayout::Rgb555: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case PixelLayout::Xrgb8888: return argb & 0x00FFFFFFu;
    }
    return 0;
}

inline std::uint32_t Widen5(std::uint32_t v) { return (v << 3) | (v >> 2); }
inline std::uint32_t Widen6(std::uint32_t v) { return (v << 2) | (v >> 4); }

inline std::uint32_t Surface::ReadRaw(int x, int y)
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

inline void Surface::WriteRaw(int x, int y, std::uint32_t raw)
{
    std::uint8_t* row = Row(y);
    if (layout == PixelLayout::Xrgb8888) {
        std::memcpy(row + static_cast<std::size_t>(x) * 4, &raw, 4);
        return;
    }
    const std::uint16_t v = static_cast<std::uint16_t>(raw);
    std::memcpy(row + static_cast<std::size_t>(x) * 2, &v, 2);
}

inline std::uint32_t Surface::ReadArgb(int x, int y)
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

inline void Surface::WriteArgb(int x, int y, std::uint32_t argb)
{
    WriteRaw(x, y, layout == PixelLayout::Xrgb8888 ? argb : PackColor(layout, argb));
}

std::uint32_t ArgbFromColorref(COLORREF c);
COLORREF ColorrefFromArgb(std::uint32_t argb);

enum class GdiKind { Bitmap, Brush, Pen, Font };

struct GdiObject {
    GdiKind kind = GdiKind::Brush;
    bool stock = false;
    int selections = 0;  // contexts holding it
    std::shared_ptr<Surface> surface;  // bitmaps
    bool dib = false;
    LOGBRUSH brush;
    LOGPEN pen;
    LOGFONTW font;
};

struct DcRec {
    bool window = false;
    std::uint32_t windowId = 0;
    std::shared_ptr<Surface> windowSurface;
    HGDIOBJ bitmap = nullptr;  // memory contexts
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ font = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT position;
    RECT clip;  // in surface coordinates, always within the surface
    bool clipped = false;
};

struct GdiState {
    std::map<std::uintptr_t, GdiObject> objects;
    std::map<std::uintptr_t, DcRec> dcs;
    std::map<int, HGDIOBJ> stock;
    HGDIOBJ defaultBitmap = nullptr;
    std::map<std::uint32_t, std::shared_ptr<Surface>> windowSurfaces;
};

std::mutex& GdiMutex();
GdiState& Gdi();  // under GdiMutex()

// Under GdiMutex().
GdiObject* FindObject(HGDIOBJ handle);
GdiObject* FindObject(HGDIOBJ handle, GdiKind kind);
DcRec* FindDc(HDC hdc);
HGDIOBJ StockObject(int index);
HGDIOBJ DefaultBitmap();
// The surface a context draws into (null: a memory context without a bitmap).
Surface* TargetOf(DcRec& dc);
// The rectangle a context may draw in: its clip box within its surface.
RECT DrawableBox(DcRec& dc);
HGDIOBJ NewObject(GdiObject object);

// The window's surface at its current client size (made or remade as
// needed), for a context on it.
std::shared_ptr<Surface> WindowSurface(std::uint32_t windowId, int width, int height);

// Windows module: a paint context clipped to `paint`, released by EndPaint.
HDC OpenPaintDc(HWND hwnd, const RECT& paint);
void ClosePaintDc(HDC hdc);
// The window is gone: its surface goes with it.
void DropWindowSurface(std::uint32_t windowId);

// Under GdiMutex(): fills the w x h rectangle at (x, y), clipped to the
// context's drawable box, with a colour (32-bit: alpha byte 0).
void FillBoxColor(DcRec& dc, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, COLORREF color);

// The screen's dots per inch (GetDeviceCaps LOGPIXELSX); takes no lock.
int ScreenDpi();

// Rectangle helpers.
RECT Intersect(const RECT& a, const RECT& b);
bool IsEmpty(const RECT& r);

}  // namespace os::detail

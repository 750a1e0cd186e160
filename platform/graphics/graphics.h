// Drawing, as the phone OS's graphics device interface offers it.
//
// Device contexts draw into a surface: a window's (GetDC, BeginPaint; the
// screen is composed from the windows' surfaces, graphics_sim.h) or the
// bitmap selected into a memory context. Bitmaps are 16-bit 5-6-5 (the
// screen's format; 5-5-5 from a 16-bit BI_RGB DIB section) or 32-bit
// x8r8g8b8, at most kMaxBitmapSide pixels a side. Colours are COLORREF
// (0x00bbggrr); 5- and 6-bit channels read back with their top bits
// repeated (31 -> 255) and are written truncated, so a 16-bit pixel reads
// and writes back unchanged.
//
// Every blit clips its source and destination rectangles to their surfaces
// (and the destination to the context's clip box) and touches only the
// overlap; negative sizes or sides above kMaxBlitSide are refused with
// ERROR_INVALID_PARAMETER and change nothing. As on the phone, GDI drawing
// into a 32-bit bitmap leaves 0 in the pixel's top byte; only a copy from
// another 32-bit bitmap and AlphaBlend write it.
//
// Objects (bitmaps, brushes, pens, fonts) and contexts are handles of the
// platform's table; stock objects are never deleted. An object selected
// into a context cannot be deleted; a bitmap is selected into at most one
// memory context. Texts are UTF-8; character counts are byte counts (-1:
// up to the terminator). Glyphs come from DejaVu Sans, with Nanum Gothic
// for the characters it lacks (Hangul); every face name maps to them.
#pragma once

#include <cstdint>

#include "platform/base/types.h"
#include "platform/graphics/bitmap_info.h"
#include "platform/windows/window.h"

namespace os {

using COLORREF = DWORD;
using HGDIOBJ = void*;
struct HBITMAP__;
struct HFONT__;
struct HPEN__;
using HBITMAP = HBITMAP__*;
using HFONT = HFONT__*;
using HPEN = HPEN__*;

constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

constexpr int kMaxBitmapSide = 8192;
constexpr int kMaxBlitSide = 1 << 16;

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

// ---- Device contexts.

// A context for the window's client surface; released with ReleaseDC.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
// A memory context; it draws nowhere until a bitmap is selected into it.
// `hdc` may be null or any context.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// Selects a bitmap, brush, pen or font; returns the one it replaces, null
// on failure (a bitmap into a window's context, a bitmap selected elsewhere).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
// Fills a BITMAP, LOGFONTW, LOGBRUSH or LOGPEN; with a null buffer returns
// the size needed; 0 for an unknown handle or a buffer too small.
int GetObjectW(HGDIOBJ object, int size, void* buffer);

constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
// The screen's size and depth; 192 dots per inch on screens whose shorter
// side has 480 pixels or more, else 96. BITSPIXEL of a memory context is
// that of its bitmap.
int GetDeviceCaps(HDC hdc, int index);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);

// Clipping: the context starts unclipped (a paint context: clipped to the
// invalid rectangle); IntersectClipRect narrows it. Region results.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int GetClipBox(HDC hdc, RECT* rect);

// ---- Bitmaps.

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;  // DIB sections only
};

constexpr UINT DIB_RGB_COLORS = 0;

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};

// With BI_BITFIELDS the red, green and blue masks follow the 40-byte
// header as three DWORDs (here: bmiColors read as DWORDs; a larger header
// carries them at the same place).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[3];
};

// 16-bit 5-6-5 unless `hdc` has a 32-bit bitmap selected; zero-filled. A
// zero side gives the stock 1x1 bitmap, as on the phone.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// 16 bits (BI_RGB: 5-5-5; BI_BITFIELDS 0xF800/0x07E0/0x001F or 5-5-5
// masks) or 32 bits (BI_RGB, or BI_BITFIELDS 0xFF0000/0xFF00/0xFF);
// zero-filled bits live until DeleteObject. Rows are DWORD-aligned; a
// positive height is bottom-up. No file mapping: `section` must be null.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

// ---- Raster operations.

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// SRCCOPY, or a fill (BLACKNESS, WHITENESS, PATCOPY with the selected
// brush) that needs no source.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// SRCCOPY with nearest-neighbour scaling: destination pixel (i, j) takes
// source pixel (srcX + (2i+1)*srcW / (2*dstW), likewise for y).
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);

constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;

struct BLENDFUNCTION {
    BYTE BlendOp = AC_SRC_OVER;
    BYTE BlendFlags = 0;
    BYTE SourceConstantAlpha = 255;
    BYTE AlphaFormat = 0;
};

// Source over destination, per channel, with r(x) = x / 255 rounded to the
// nearest integer and ca = SourceConstantAlpha:
//   without AC_SRC_ALPHA: d = r(s * ca + d * (255 - ca)), every channel;
//   with AC_SRC_ALPHA (32-bit source, premultiplied): s' = r(s * ca) for
//   every channel including alpha a, then d = min(255, s' + r(d * (255 - a'))).
// A 16-bit destination is read and written as described above; a 32-bit
// one gets its alpha byte blended like the colours. Scales like StretchBlt.
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend);
// Copies like StretchBlt, leaving the destination where the source pixel
// has the key colour (compared in the source's own format).
BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                      int srcHeight, COLORREF key);
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT key);

COLORREF GetPixel(HDC hdc, int x, int y);
// Returns the colour as the surface holds it, CLR_INVALID outside.
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);

// ---- Brushes, pens and fills.

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
HGDIOBJ GetStockObject(int index);

constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
struct LOGBRUSH {
    UINT lbStyle = BS_SOLID;
    COLORREF lbColor = 0;
    LONG lbHatch = 0;
};
HBRUSH CreateSolidBrush(COLORREF color);

constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_NULL = 5;
struct LOGPEN {
    UINT lopnStyle = PS_SOLID;
    POINT lopnWidth;
    COLORREF lopnColor = 0;
};
// Dashed pens draw solid.
HPEN CreatePen(int style, int width, COLORREF color);

// Fills left..right-1 x top..bottom-1; a null brush fills nothing.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
// Outlined with the pen (inside the rectangle, right and bottom edges
// excluded), filled with the brush.
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
// A line from the current position to (x, y), the end point excluded.
BOOL LineTo(HDC hdc, int x, int y);

// ---- Fonts and text.

constexpr int LF_FACESIZE = 32;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

struct LOGFONTW {
    LONG lfHeight = 0;  // < 0: character height in pixels; > 0: cell height; 0: the default
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = FW_NORMAL;  // 600 and above draw bold
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 1;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};  // UTF-8
};

// Width, escapement, underline and strike-out are kept but not drawn.
HFONT CreateFontIndirectW(const LOGFONTW* font);

constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_END_ELLIPSIS = 0x8000;

// Lays the text out in the rectangle with the selected font: lines end at
// line breaks (unless DT_SINGLELINE) and, with DT_WORDBREAK, before a word
// that would pass the right edge; DT_VCENTER and DT_BOTTOM apply to single
// lines. DT_END_ELLIPSIS shortens a line that does not fit to end in "...".
// Ink is clipped to the rectangle unless DT_NOCLIP; in OPAQUE mode each
// line's box is filled with the background colour first. DT_CALCRECT draws
// nothing and sets the right and bottom edges to the laid-out text's.
// Unless DT_NOPREFIX, "&x" draws as x (no underline) and "&&" as "&".
// Returns the text's height (with DT_VCENTER or DT_BOTTOM: from the top of
// the rectangle to the bottom of the text), 0 on failure.
int DrawTextW(HDC hdc, const char* text, int count, RECT* rect, UINT format);

constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
// ETO_OPAQUE fills `rect` with the background colour (no text needed);
// the text's cell starts at (x, y), top-left. `dx`, when given, holds each
// character's advance.
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const int* dx);
// Width of the text's advances and the font's line height.
BOOL GetTextExtentPoint32W(HDC hdc, const char* text, int count, SIZE* size);

struct TEXTMETRICW {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
};
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);

}  // namespace os

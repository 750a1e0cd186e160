// The drawing primitives of the screens: fonts, outlined and boxed text,
// opaque fills, bevels and frames, three ways to put a picture down
// (plain copy, alpha blend, colour key), and drawing off screen. Every primitive that makes a GDI
// object deletes it before returning, and puts back what it selected.
#pragma once

#include <functional>

#include "platform/graphics/graphics.h"

constexpr os::COLORREF kWhite = 0xFFFFFF;
constexpr os::COLORREF kBlack = 0x000000;

// The system font at `height` pixels, bold (700) or not (400).
os::HFONT CreateUiFont(int height, bool bold, bool italic);
// Black text with a one-pixel white halo.
void DrawOutlinedText(os::HDC dc, const char* text, const os::RECT& rect, os::UINT format);
// Text in `color` with a one-pixel halo in `halo`, on a transparent
// background: legible over any picture.
void DrawHaloText(os::HDC dc, const char* text, const os::RECT& rect, os::UINT format, os::COLORREF color,
                  os::COLORREF halo);
// Fills the rectangle with `color`, then draws the text in white.
void DrawTextOnColor(os::HDC dc, const char* text, os::UINT format, const os::RECT& rect, os::COLORREF color);
void FillRectColor(os::HDC dc, int x, int y, int width, int height, os::COLORREF color);
void FillRectColor(os::HDC dc, const os::RECT& rect, os::COLORREF color);
// Top and left edges light, right and bottom dark, each `thickness` wide.
void DrawBevel(os::HDC dc, int left, int top, int right, int bottom, os::COLORREF light, os::COLORREF dark,
               int thickness);
// A one-pixel outline of four filled strips.
void FrameRectBrush(os::HDC dc, const os::RECT& rect, os::HBRUSH brush);
// Copies (right - left) x (bottom - top) from the bitmap's (srcX, srcY).
void BlitBitmap(os::HDC dc, os::HBITMAP bitmap, int left, int top, int right, int bottom, int srcX = 0, int srcY = 0);
// Blends the source rectangle (null: the whole bitmap) onto the
// destination rectangle, stretched when sizes differ.
void DrawAlphaImage(os::HDC dc, os::HBITMAP bitmap, int left, int top, int right, int bottom, const os::RECT* source,
                    os::BYTE constantAlpha, os::BYTE alphaFormat);
// Copies, leaving pixels of the key colour out.
void DrawKeyedImage(os::HDC dc, os::HBITMAP bitmap, int left, int top, int right, int bottom, int srcX, int srcY,
                    os::COLORREF key);
// Has `draw` paint a buffer of `client`'s size, then shows the buffer on
// `target` in one piece: a screen never shows half its paint.
void DrawBuffered(os::HDC target, const os::RECT& client, const std::function<void(os::HDC)>& draw);

// Fills and lines: FillRect, Rectangle, MoveToEx and LineTo.
#include <cstdlib>

#include "platform/graphics/internal/gdi_state.h"

namespace os {

using detail::DcRec;
using detail::GdiKind;
using detail::GdiMutex;

namespace {

// The selected pen's colour and width; false for the null pen.
bool PenOf(DcRec& dc, COLORREF* color, int* width)
{
    const detail::GdiObject* pen = detail::FindObject(dc.pen, GdiKind::Pen);
    if (pen == nullptr || pen->pen.lopnStyle == PS_NULL) return false;
    *color = pen->pen.lopnColor;
    *width = pen->pen.lopnWidth.x;
    return true;
}

// A pen dot: width x width pixels centred on the point.
void Dot(DcRec& dc, std::int64_t x, std::int64_t y, int width, COLORREF color)
{
    const int before = (width - 1) / 2;
    detail::FillBoxColor(dc, x - before, y - before, width, width, color);
}

}  // namespace

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    const detail::GdiObject* b = detail::FindObject(brush, GdiKind::Brush);
    if (dc == nullptr || b == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (b->brush.lbStyle == BS_NULL) return 1;
    detail::FillBoxColor(*dc, rect->left, rect->top, static_cast<std::int64_t>(rect->right) - rect->left,
                         static_cast<std::int64_t>(rect->bottom) - rect->top, b->brush.lbColor);
    return 1;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::int64_t w = static_cast<std::int64_t>(right) - left, h = static_cast<std::int64_t>(bottom) - top;
    if (w <= 0 || h <= 0) return TRUE;
    COLORREF penColor = 0;
    int pw = 0;
    const bool outlined = PenOf(*dc, &penColor, &pw);
    const int inset = outlined ? pw : 0;
    const detail::GdiObject* brush = detail::FindObject(dc->brush, GdiKind::Brush);
    if (brush != nullptr && brush->brush.lbStyle != BS_NULL) {
        detail::FillBoxColor(*dc, left + static_cast<std::int64_t>(inset), top + static_cast<std::int64_t>(inset),
                             w - 2 * inset, h - 2 * inset, brush->brush.lbColor);
    }
    if (outlined) {
        detail::FillBoxColor(*dc, left, top, w, pw, penColor);
        detail::FillBoxColor(*dc, left, bottom - static_cast<std::int64_t>(pw), w, pw, penColor);
        detail::FillBoxColor(*dc, left, top, pw, h, penColor);
        detail::FillBoxColor(*dc, right - static_cast<std::int64_t>(pw), top, pw, h, penColor);
    }
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (previous != nullptr) *previous = dc->position;
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::int64_t x0 = dc->position.x, y0 = dc->position.y;
    // Bresenham from the current position, the end point left out. Lines
    // longer than any surface could show are refused rather than walked.
    const std::int64_t dx = std::llabs(x - x0), dy = -std::llabs(y - y0);
    if (dx > kMaxBlitSide || -dy > kMaxBlitSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    dc->position = POINT{x, y};
    COLORREF color = 0;
    int width = 0;
    if (!PenOf(*dc, &color, &width)) return TRUE;
    const std::int64_t stepX = x0 < x ? 1 : -1, stepY = y0 < y ? 1 : -1;
    std::int64_t err = dx + dy;
    while (x0 != x || y0 != y) {
        Dot(*dc, x0, y0, width, color);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += stepX;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += stepY;
        }
    }
    return TRUE;
}

}  // namespace os

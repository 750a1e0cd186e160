#include "ui/draw_prims.h"

#include "ui/skin_images.h"

namespace {

constexpr os::BYTE kPitchAndFamily = 0x30;

os::RECT Moved(const os::RECT& r, int dx, int dy)
{
    return os::RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

void DrawTextIn(os::HDC dc, const char* text, os::RECT rect, os::UINT format, os::COLORREF color)
{
    os::SetTextColor(dc, color);
    os::DrawTextW(dc, text, -1, &rect, format);
}

// The bitmap selected into a context of its own for the length of one call.
class SourceDc {
public:
    explicit SourceDc(os::HDC like, os::HBITMAP bitmap) : dc_(os::CreateCompatibleDC(like))
    {
        old_ = os::SelectObject(dc_, bitmap);
    }
    ~SourceDc()
    {
        os::SelectObject(dc_, old_);
        os::DeleteDC(dc_);
    }
    SourceDc(const SourceDc&) = delete;
    SourceDc& operator=(const SourceDc&) = delete;
    os::HDC get() const { return old_ != nullptr ? dc_ : nullptr; }

private:
    os::HDC dc_;
    os::HGDIOBJ old_ = nullptr;
};

}  // namespace

os::HFONT CreateUiFont(int height, bool bold, bool italic)
{
    os::LOGFONTW font;
    os::GetObjectW(os::GetStockObject(os::SYSTEM_FONT), sizeof font, &font);
    font.lfHeight = -height;
    font.lfWeight = bold ? 700 : 400;
    font.lfItalic = italic ? 1 : 0;
    font.lfUnderline = 0;
    font.lfStrikeOut = 0;
    font.lfCharSet = 1;
    font.lfOutPrecision = 0;
    font.lfClipPrecision = 0;
    font.lfQuality = 0;
    font.lfPitchAndFamily = kPitchAndFamily;
    return os::CreateFontIndirectW(&font);
}

void DrawHaloText(os::HDC dc, const char* text, const os::RECT& rect, os::UINT format, os::COLORREF color,
                  os::COLORREF halo)
{
    const os::COLORREF oldColor = os::GetTextColor(dc);
    const int oldMode = os::SetBkMode(dc, os::TRANSPARENT);
    for (const auto& [dx, dy] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
        DrawTextIn(dc, text, Moved(rect, dx, dy), format, halo);
    }
    DrawTextIn(dc, text, rect, format, color);
    os::SetBkMode(dc, oldMode);
    os::SetTextColor(dc, oldColor);
}

void DrawOutlinedText(os::HDC dc, const char* text, const os::RECT& rect, os::UINT format)
{
    DrawHaloText(dc, text, rect, format, kBlack, kWhite);
}

void DrawTextOnColor(os::HDC dc, const char* text, os::UINT format, const os::RECT& rect, os::COLORREF color)
{
    FillRectColor(dc, rect, color);
    const os::COLORREF oldColor = os::GetTextColor(dc);
    const int oldMode = os::SetBkMode(dc, os::TRANSPARENT);
    DrawTextIn(dc, text, rect, format, kWhite);
    os::SetBkMode(dc, oldMode);
    os::SetTextColor(dc, oldColor);
}

void FillRectColor(os::HDC dc, const os::RECT& rect, os::COLORREF color)
{
    const os::COLORREF old = os::SetBkColor(dc, color);
    os::ExtTextOutW(dc, 0, 0, os::ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    os::SetBkColor(dc, old);
}

void FillRectColor(os::HDC dc, int x, int y, int width, int height, os::COLORREF color)
{
    FillRectColor(dc, os::RECT{x, y, x + width, y + height}, color);
}

void DrawBevel(os::HDC dc, int left, int top, int right, int bottom, os::COLORREF light, os::COLORREF dark,
               int thickness)
{
    FillRectColor(dc, os::RECT{left, top, right, top + thickness}, light);
    FillRectColor(dc, os::RECT{left, top, left + thickness, bottom}, light);
    FillRectColor(dc, os::RECT{right - thickness, top, right, bottom}, dark);
    FillRectColor(dc, os::RECT{left, bottom - thickness, right, bottom}, dark);
}

void FrameRectBrush(os::HDC dc, const os::RECT& r, os::HBRUSH brush)
{
    const os::RECT strips[] = {{r.left, r.top, r.right, r.top + 1},
                               {r.left, r.bottom - 1, r.right, r.bottom},
                               {r.left, r.top, r.left + 1, r.bottom},
                               {r.right - 1, r.top, r.right, r.bottom}};
    for (const os::RECT& strip : strips) os::FillRect(dc, &strip, brush);
}

void BlitBitmap(os::HDC dc, os::HBITMAP bitmap, int left, int top, int right, int bottom, int srcX, int srcY)
{
    if (bitmap == nullptr) return;
    SourceDc source(dc, bitmap);
    if (source.get() == nullptr) return;
    os::BitBlt(dc, left, top, right - left, bottom - top, source.get(), srcX, srcY, os::SRCCOPY);
}

void DrawAlphaImage(os::HDC dc, os::HBITMAP bitmap, int left, int top, int right, int bottom, const os::RECT* source,
                    os::BYTE constantAlpha, os::BYTE alphaFormat)
{
    int width = 0;
    int height = 0;
    if (!BitmapSize(bitmap, &width, &height)) return;
    const os::RECT whole{0, 0, width, height};
    const os::RECT& from = source != nullptr ? *source : whole;
    SourceDc src(dc, bitmap);
    if (src.get() == nullptr) return;
    os::BLENDFUNCTION blend;
    blend.SourceConstantAlpha = constantAlpha;
    blend.AlphaFormat = alphaFormat;
    os::AlphaBlend(dc, left, top, right - left, bottom - top, src.get(), from.left, from.top, from.right - from.left,
                   from.bottom - from.top, blend);
}

void DrawKeyedImage(os::HDC dc, os::HBITMAP bitmap, int left, int top, int right, int bottom, int srcX, int srcY,
                    os::COLORREF key)
{
    if (bitmap == nullptr) return;
    SourceDc source(dc, bitmap);
    if (source.get() == nullptr) return;
    os::TransparentImage(dc, left, top, right - left, bottom - top, source.get(), srcX, srcY, right - left,
                         bottom - top, key);
}

void DrawBuffered(os::HDC target, const os::RECT& client, const std::function<void(os::HDC)>& draw)
{
    os::HDC buffer = os::CreateCompatibleDC(target);
    os::HBITMAP frame = os::CreateCompatibleBitmap(target, client.right, client.bottom);
    const os::HGDIOBJ old = os::SelectObject(buffer, frame);
    draw(buffer);
    os::BitBlt(target, 0, 0, client.right, client.bottom, buffer, 0, 0, os::SRCCOPY);
    os::SelectObject(buffer, old);
    os::DeleteObject(frame);
    os::DeleteDC(buffer);
}

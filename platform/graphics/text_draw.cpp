// Text: DrawTextW, ExtTextOutW, GetTextExtentPoint32W and GetTextMetricsW.
// Glyph coverage blends the text colour over what is there.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/graphics/internal/font_face.h"
#include "platform/graphics/internal/gdi_state.h"

namespace os {

using detail::DcRec;
using detail::GdiMutex;
using detail::RenderFont;

namespace {

// UTF-8 to code points; a byte that starts no valid sequence becomes U+FFFD.
std::u32string Decode(const char* text, int count)
{
    std::u32string out;
    if (text == nullptr) return out;
    const std::size_t n = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = s[i];
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + static_cast<std::size_t>(k) >= n || (s[i + k] & 0xC0) != 0x80) {
                ok = false;
            } else {
                c = (c << 6) | (s[i + k] & 0x3F);
            }
        }
        if (!ok) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

// "&x" marks a mnemonic (drawn as x, the underline left out) and "&&" is one "&".
std::u32string WithoutPrefixes(const std::u32string& s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == U'&' && i + 1 < s.size()) ++i;
        out.push_back(s[i]);
    }
    return out;
}

int Width(RenderFont* font, const std::u32string& s)
{
    int w = 0;
    for (char32_t c : s) w += detail::GlyphOf(font, c).advance;
    return w;
}

// The selected font, resolved; null (with the last error set) when its files cannot be read.
RenderFont* FontOf(DcRec& dc)
{
    const detail::GdiObject* f = detail::FindObject(dc.font, detail::GdiKind::Font);
    std::string error;
    RenderFont* font = f ? detail::ResolveFont(f->font, &error) : nullptr;
    if (font == nullptr) SetLastError(ERROR_FILE_NOT_FOUND);
    return font;
}

// Draws a run with its cell's top-left at (x, y), ink inside `clip`.
void DrawRun(DcRec& dc, RenderFont* font, std::int64_t x, std::int64_t y, const std::u32string& s, const RECT& clip,
             const int* dx)
{
    detail::Surface* target = detail::TargetOf(dc);
    if (target == nullptr || detail::IsEmpty(clip)) return;
    const std::uint32_t ink = detail::ArgbFromColorref(dc.textColor);
    const std::int64_t baseline = y + detail::MetricsOf(font).ascent;
    std::int64_t pen = x;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const detail::Glyph& g = detail::GlyphOf(font, s[i]);
        for (int row = 0; row < g.rows; ++row) {
            const std::int64_t py = baseline - g.top + row;
            if (py < clip.top || py >= clip.bottom) continue;
            for (int col = 0; col < g.width; ++col) {
                const std::int64_t px = pen + g.left + col;
                const std::uint32_t c = g.coverage[static_cast<std::size_t>(row) * g.width + col];
                if (c == 0 || px < clip.left || px >= clip.right) continue;
                const int ix = static_cast<int>(px), iy = static_cast<int>(py);
                const std::uint32_t d = target->ReadArgb(ix, iy);
                std::uint32_t out = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const std::uint32_t v = (((ink >> shift) & 0xFF) * c + ((d >> shift) & 0xFF) * (255 - c) + 127) / 255;
                    out |= v << shift;
                }
                target->WriteArgb(ix, iy, out);
            }
        }
        pen += dx != nullptr ? dx[i] : g.advance;
    }
}

std::u32string Ellipsized(RenderFont* font, std::u32string line, int room)
{
    if (Width(font, line) <= room) return line;
    const std::u32string dots = U"...";
    while (!line.empty() && Width(font, line + dots) > room) line.pop_back();
    return line + dots;
}

// Lines as DrawTextW lays them out.
std::vector<std::u32string> LayOut(RenderFont* font, const std::u32string& text, UINT format, int room)
{
    std::vector<std::u32string> lines;
    if (format & DT_SINGLELINE) {
        std::u32string line;
        for (char32_t c : text) {
            if (c != U'\r' && c != U'\n') line.push_back(c);
        }
        lines.push_back(line);
    } else {
        std::u32string paragraph;
        const auto flush = [&] {
            if (!(format & DT_WORDBREAK)) {
                lines.push_back(paragraph);
                return;
            }
            // Greedy: words (with the spaces before them) while they fit; a
            // word wider than the room stands on a line of its own.
            std::u32string line;
            std::size_t i = 0;
            bool any = false;
            while (i < paragraph.size()) {
                std::size_t end = i;
                while (end < paragraph.size() && paragraph[end] == U' ') ++end;
                while (end < paragraph.size() && paragraph[end] != U' ') ++end;
                const std::u32string word = paragraph.substr(i, end - i);
                if (any && Width(font, line + word) > room) {
                    lines.push_back(line);
                    const std::size_t first = word.find_first_not_of(U' ');
                    line = first == std::u32string::npos ? std::u32string() : word.substr(first);
                } else {
                    line += word;
                }
                any = true;
                i = end;
            }
            lines.push_back(line);
        };
        for (char32_t c : text) {
            if (c == U'\r') continue;
            if (c == U'\n') {
                flush();
                paragraph.clear();
            } else {
                paragraph.push_back(c);
            }
        }
        flush();
    }
    if (format & DT_END_ELLIPSIS) {
        for (auto& line : lines) line = Ellipsized(font, line, room);
    }
    return lines;
}

void FillLine(DcRec& dc, std::int64_t x, std::int64_t y, int width, int height, const RECT& clip)
{
    const RECT box = detail::Intersect(clip, detail::DrawableBox(dc));
    if (detail::IsEmpty(box)) return;
    const bool wasClipped = dc.clipped;
    const RECT oldClip = dc.clip;
    dc.clipped = true;
    dc.clip = box;
    detail::FillBoxColor(dc, x, y, width, height, dc.bkColor);
    dc.clipped = wasClipped;
    dc.clip = oldClip;
}

}  // namespace

int DrawTextW(HDC hdc, const char* text, int count, RECT* rect, UINT format)
{
    if (text == nullptr || rect == nullptr || count < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u32string decoded = Decode(text, count);
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    RenderFont* font = FontOf(*dc);
    if (font == nullptr) return 0;
    const std::u32string shown = (format & DT_NOPREFIX) ? decoded : WithoutPrefixes(decoded);
    const int lineHeight = detail::MetricsOf(font).height;
    const std::int64_t roomW = static_cast<std::int64_t>(rect->right) - rect->left;
    const std::int64_t roomH = static_cast<std::int64_t>(rect->bottom) - rect->top;
    const int room = static_cast<int>(std::clamp<std::int64_t>(roomW, 0, kMaxBlitSide));
    const auto lines = LayOut(font, shown, format, room);
    int widest = 0;
    std::vector<int> widths;
    for (const auto& line : lines) {
        widths.push_back(Width(font, line));
        widest = std::max(widest, widths.back());
    }
    const int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        rect->right = static_cast<LONG>(std::min<std::int64_t>(INT32_MAX, static_cast<std::int64_t>(rect->left) + widest));
        rect->bottom = static_cast<LONG>(std::min<std::int64_t>(INT32_MAX, static_cast<std::int64_t>(rect->top) + total));
        return total;
    }
    std::int64_t y = rect->top;
    const bool single = (format & DT_SINGLELINE) != 0;
    if (single && (format & DT_VCENTER)) y = rect->top + (roomH - lineHeight) / 2;
    if (single && (format & DT_BOTTOM)) y = static_cast<std::int64_t>(rect->bottom) - lineHeight;
    const RECT drawable = detail::DrawableBox(*dc);
    const RECT clip = (format & DT_NOCLIP) ? drawable : detail::Intersect(drawable, *rect);
    for (std::size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
        std::int64_t x = rect->left;
        if (format & DT_CENTER) x = rect->left + (roomW - widths[i]) / 2;
        if (format & DT_RIGHT) x = static_cast<std::int64_t>(rect->right) - widths[i];
        if (dc->bkMode == OPAQUE) FillLine(*dc, x, y, widths[i], lineHeight, clip);
        DrawRun(*dc, font, x, y, lines[i], clip, nullptr);
    }
    if (single && (format & (DT_VCENTER | DT_BOTTOM))) {
        return static_cast<int>(y - rect->top);
    }
    return total;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const int* dx)
{
    if ((options & (ETO_OPAQUE | ETO_CLIPPED)) != 0 && rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::u32string decoded = count > 0 && text != nullptr ? Decode(text, static_cast<int>(count)) : U"";
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (options & ETO_OPAQUE) {
        detail::FillBoxColor(*dc, rect->left, rect->top, static_cast<std::int64_t>(rect->right) - rect->left,
                             static_cast<std::int64_t>(rect->bottom) - rect->top, dc->bkColor);
    }
    if (decoded.empty()) return TRUE;
    RenderFont* font = FontOf(*dc);
    if (font == nullptr) return FALSE;
    const RECT drawable = detail::DrawableBox(*dc);
    const RECT clip = (options & ETO_CLIPPED) ? detail::Intersect(drawable, *rect) : drawable;
    if (dc->bkMode == OPAQUE && !(options & ETO_OPAQUE)) {
        int width = 0;
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            width += dx != nullptr ? dx[i] : detail::GlyphOf(font, decoded[i]).advance;
        }
        FillLine(*dc, x, y, width, detail::MetricsOf(font).height, clip);
    }
    DrawRun(*dc, font, x, y, decoded, clip, dx);
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, const char* text, int count, SIZE* size)
{
    if (text == nullptr || size == nullptr || count < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::u32string decoded = Decode(text, count);
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    RenderFont* font = FontOf(*dc);
    if (font == nullptr) return FALSE;
    size->cx = Width(font, decoded);
    size->cy = detail::MetricsOf(font).height;
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics)
{
    if (metrics == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(GdiMutex());
    DcRec* dc = detail::FindDc(hdc);
    if (dc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    RenderFont* font = FontOf(*dc);
    if (font == nullptr) return FALSE;
    const detail::FontMetrics& m = detail::MetricsOf(font);
    const detail::GdiObject* f = detail::FindObject(dc->font, detail::GdiKind::Font);
    metrics->tmHeight = m.height;
    metrics->tmAscent = m.ascent;
    metrics->tmDescent = m.descent;
    metrics->tmInternalLeading = m.internalLeading;
    metrics->tmExternalLeading = 0;
    metrics->tmAveCharWidth = m.aveCharWidth;
    metrics->tmMaxCharWidth = m.maxCharWidth;
    metrics->tmWeight = f->font.lfWeight;
    return TRUE;
}

}  // namespace os

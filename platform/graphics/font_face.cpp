// FreeType faces for the logical fonts, and their glyph caches.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>

#include "platform/graphics/internal/font_face.h"

namespace os::detail {

namespace {

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr const char* kDejaVuOblique = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf";
constexpr const char* kDejaVuBoldOblique = "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf";
constexpr const char* kNanum = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
constexpr const char* kNanumBold = "/usr/share/fonts/truetype/nanum/NanumGothicBold.ttf";
// What lfHeight 0 asks for: the system font's size.
constexpr int kDefaultCharHeight = 12;

FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        return FT_Init_FreeType(&lib) == 0 ? lib : nullptr;
    }();
    return library;
}

}  // namespace

// Outside the unnamed namespace: RenderFont, declared in the header, holds faces.
struct FaceCloser {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceCloser>;

namespace {

FacePtr OpenFace(const char* path, std::string* error)
{
    FT_Face face = nullptr;
    if (Library() == nullptr || FT_New_Face(Library(), path, 0, &face) != 0) {
        *error = std::string("cannot read the font file ") + path;
        return nullptr;
    }
    return FacePtr(face);
}

// Sets the face's size for a logical height: negative, the em in pixels;
// positive, the cell (ascender to descender).
bool SizeFace(FT_Face face, LONG lfHeight)
{
    FT_UInt em = static_cast<FT_UInt>(lfHeight < 0 ? -lfHeight : kDefaultCharHeight);
    if (lfHeight > 0) {
        const double cell = static_cast<double>(face->ascender - face->descender);
        em = static_cast<FT_UInt>(std::lround(lfHeight * face->units_per_EM / (cell > 0 ? cell : face->units_per_EM)));
    }
    return FT_Set_Pixel_Sizes(face, 0, em < 1 ? 1 : em) == 0;
}

int Ceil26(FT_Pos v) { return static_cast<int>((v + 63) >> 6); }

}  // namespace

class RenderFont {
public:
    FacePtr primary;
    FacePtr fallback;
    FontMetrics metrics;
    std::unordered_map<char32_t, Glyph> glyphs;

    const Glyph& Get(char32_t c)
    {
        auto it = glyphs.find(c);
        if (it != glyphs.end()) return it->second;
        Glyph g;
        if (c >= 0x20 && c != 0x7F) Render(c, &g);
        return glyphs.emplace(c, std::move(g)).first->second;
    }

private:
    void Render(char32_t c, Glyph* g)
    {
        FT_Face face = primary.get();
        FT_UInt index = FT_Get_Char_Index(face, c);
        if (index == 0 && fallback) {
            const FT_UInt other = FT_Get_Char_Index(fallback.get(), c);
            if (other != 0) {
                face = fallback.get();
                index = other;
            }
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0 ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            return;
        }
        const FT_GlyphSlot slot = face->glyph;
        g->advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
        g->left = slot->bitmap_left;
        g->top = slot->bitmap_top;
        g->width = static_cast<int>(slot->bitmap.width);
        g->rows = static_cast<int>(slot->bitmap.rows);
        g->coverage.resize(static_cast<std::size_t>(g->width) * g->rows);
        for (int y = 0; y < g->rows; ++y) {
            const unsigned char* row = slot->bitmap.buffer + static_cast<std::ptrdiff_t>(y) * slot->bitmap.pitch;
            std::copy(row, row + g->width, g->coverage.begin() + static_cast<std::ptrdiff_t>(y) * g->width);
        }
    }
};

RenderFont* ResolveFont(const LOGFONTW& font, std::string* error)
{
    static std::map<std::tuple<LONG, bool, bool>, std::unique_ptr<RenderFont>> cache;
    const bool bold = font.lfWeight >= 600;
    const bool italic = font.lfItalic != 0;
    const auto key = std::make_tuple(font.lfHeight, bold, italic);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second.get();

    auto rf = std::make_unique<RenderFont>();
    const char* primary = italic ? (bold ? kDejaVuBoldOblique : kDejaVuOblique) : (bold ? kDejaVuBold : kDejaVu);
    rf->primary = OpenFace(primary, error);
    if (!rf->primary || !SizeFace(rf->primary.get(), font.lfHeight)) return nullptr;
    // Without Nanum Gothic, Hangul draws as DejaVu's missing-glyph box.
    std::string ignored;
    rf->fallback = OpenFace(bold ? kNanumBold : kNanum, &ignored);
    if (rf->fallback) {
        FT_Set_Pixel_Sizes(rf->fallback.get(), 0, rf->primary->size->metrics.y_ppem);
        if (italic) {
            FT_Matrix slant{0x10000, 0x3333, 0, 0x10000};  // about 11 degrees, as DejaVu's oblique
            FT_Set_Transform(rf->fallback.get(), &slant, nullptr);
        }
    }
    const FT_Size_Metrics& m = rf->primary->size->metrics;
    FontMetrics& fm = rf->metrics;
    fm.ascent = Ceil26(m.ascender);
    fm.descent = Ceil26(-m.descender);
    fm.height = fm.ascent + fm.descent;
    fm.internalLeading = fm.height - static_cast<int>(m.y_ppem);
    fm.maxCharWidth = Ceil26(m.max_advance);
    fm.aveCharWidth = rf->Get(U'x').advance;
    RenderFont* result = rf.get();
    cache.emplace(key, std::move(rf));
    return result;
}

const FontMetrics& MetricsOf(RenderFont* font) { return font->metrics; }

const Glyph& GlyphOf(RenderFont* font, char32_t c) { return font->Get(c); }

}  // namespace os::detail

// For the graphics module only: fonts as FreeType renders them. A logical
// font resolves to DejaVu Sans (bold and oblique files by weight and
// italic) with Nanum Gothic for what DejaVu lacks (Hangul; slanted when
// italic). Resolved fonts and their glyphs are cached for the process and
// used under GdiMutex().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"

namespace os::detail {

struct Glyph {
    int left = 0;     // from the pen position to the coverage's first column
    int top = 0;      // from the baseline up to the coverage's first row
    int width = 0;
    int rows = 0;
    int advance = 0;  // whole pixels
    std::vector<std::uint8_t> coverage;  // width * rows, 0..255
};

struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int height = 0;  // ascent + descent: one line
    int internalLeading = 0;
    int aveCharWidth = 0;
    int maxCharWidth = 0;
};

class RenderFont;

// Null, with *error, when the font files cannot be read.
RenderFont* ResolveFont(const LOGFONTW& font, std::string* error);
const FontMetrics& MetricsOf(RenderFont* font);
// Control characters are empty and advance nothing.
const Glyph& GlyphOf(RenderFont* font, char32_t c);

}  // namespace os::detail

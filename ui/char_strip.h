// Numbers and labels drawn from a skin's character strip: each character is
// the strip's cell at its position in the strip's characters, put down at
// successive cells from the given point. A character the strip does not
// hold, or a cell that would lie past the strip's picture, is skipped (its
// place stays empty), so a strip of another size never reads out of bounds.
#pragma once

#include <string_view>

#include "platform/graphics/graphics.h"
#include "skin/font_strips.h"

// Draws with per-pixel alpha when `alpha` (a premultiplied strip), else as a
// plain copy. Returns the x just past the last cell.
int DrawStripText(os::HDC dc, os::HBITMAP strip, const skin::FontStrip& font, const skin::CellSize& cell,
                  std::string_view text, int x, int y, bool alpha);

#include "ui/char_strip.h"

#include "ui/draw_prims.h"
#include "ui/skin_images.h"

int DrawStripText(os::HDC dc, os::HBITMAP strip, const skin::FontStrip& font, const skin::CellSize& cell,
                  std::string_view text, int x, int y, bool alpha)
{
    int width = 0;
    int height = 0;
    const bool usable = BitmapSize(strip, &width, &height) && cell.width > 0 && cell.height > 0;
    for (char c : text) {
        const int index = skin::CellIndex(font, c);
        const int left = index * cell.width;
        if (usable && index >= 0 && left + cell.width <= width && cell.height <= height) {
            if (alpha) {
                const os::RECT source{left, 0, left + cell.width, cell.height};
                DrawAlphaImage(dc, strip, x, y, x + cell.width, y + cell.height, &source, 255, os::AC_SRC_ALPHA);
            } else {
                BlitBitmap(dc, strip, x, y, x + cell.width, y + cell.height, left, 0);
            }
        }
        x += cell.width;
    }
    return x;
}

// The character strips of the skin's "05_font" folder: which characters
// each strip holds, in which order, and how large one cell is on each screen
// size the skin is made for. The skin generator draws the strips from this
// table and the screens index them with it, so the two cannot disagree.
//
// A strip is one row of equal cells, side by side, starting at x 0: the cell
// of the character at position i of `chars` spans x = i * cellWidth to
// (i + 1) * cellWidth, the whole height of the image. A character that is
// not in a strip has no cell and is drawn as a blank cell (CellIndex -1).
// The strip's image is cellWidth * strlen(chars) wide and cellHeight high.
#pragma once

#include <cstddef>

namespace skin {

struct ScreenSize {
    int width;
    int height;
};

// The screen sizes the skin is made for, in this order; 800 x 480 is the
// layout the toolbar is placed on, the others are scaled from it.
constexpr int kScreenSizeCount = 5;
constexpr ScreenSize kScreenSizes[kScreenSizeCount] = {
    {800, 480}, {320, 320}, {400, 240}, {640, 480}, {480, 800},
};

// The index of a screen size in kScreenSizes, or -1 for a size without a skin.
constexpr int ScreenSizeIndex(int width, int height)
{
    for (int i = 0; i < kScreenSizeCount; ++i) {
        if (kScreenSizes[i].width == width && kScreenSizes[i].height == height) return i;
    }
    return -1;
}

struct CellSize {
    int width;
    int height;
};

struct FontStrip {
    const char* file;  // below "05_font"
    const char* chars;
    CellSize cell[kScreenSizeCount];  // by index of kScreenSizes
};

// What each strip shows: the recording's elapsed time "hh:mm:ss"; the event
// sensitivity level 0 to 9; the speed (a "-" per digit while there is no
// fix), with and without transparency; the free room on the recording volume
// ("12.3GB", "85%"); small numbers on panels (counts, distances, times), with
// and without transparency; and the position and trip figures of the
// information display ("37.5665N", "12.4km", "-"; " " is a blank cell).
constexpr FontStrip kElapsedTime = {"font_Elapsed-Time_lite.png", "0123456789:",
                                    {{26, 40}, {13, 20}, {13, 20}, {21, 32}, {16, 24}}};
constexpr FontStrip kEventSensitivity = {"font_Event-Sensitivity_lite.png", "0123456789",
                                         {{44, 60}, {22, 30}, {22, 30}, {35, 48}, {26, 36}}};
constexpr FontStrip kSpeed = {"font_lite_speed.png", "0123456789-",
                              {{56, 84}, {28, 42}, {28, 42}, {45, 67}, {34, 50}}};
constexpr FontStrip kSpeedOpaque = {"font_lite_speed.jpg", "0123456789-",
                                    {{40, 60}, {20, 30}, {20, 30}, {32, 48}, {24, 36}}};
constexpr FontStrip kMemory = {"font_menory_lite.png", "0123456789.%GMB",
                               {{18, 26}, {10, 14}, {10, 14}, {14, 21}, {11, 16}}};
constexpr FontStrip kContents = {"font_contents01.png", "0123456789:.-/%",
                                 {{20, 30}, {10, 15}, {10, 15}, {16, 24}, {12, 18}}};
constexpr FontStrip kContentsOpaque = {"font_contents.jpg", "0123456789:.-/ ",
                                       {{20, 30}, {10, 15}, {10, 15}, {16, 24}, {12, 18}}};
constexpr FontStrip kInfo = {"font_info03.png", "0123456789.:-+/ NSEWkmh",
                             {{16, 24}, {10, 14}, {10, 14}, {13, 19}, {10, 14}}};

constexpr int kFontStripCount = 8;
constexpr const FontStrip* kFontStrips[kFontStripCount] = {
    &kElapsedTime, &kEventSensitivity, &kSpeed, &kSpeedOpaque, &kMemory, &kContents, &kContentsOpaque, &kInfo,
};

// The cell of `c` in the strip, or -1 when the strip does not hold it.
constexpr int CellIndex(const FontStrip& strip, char c)
{
    for (int i = 0; strip.chars[i] != '\0'; ++i) {
        if (strip.chars[i] == c) return i;
    }
    return -1;
}

constexpr int CellCount(const FontStrip& strip)
{
    int n = 0;
    while (strip.chars[n] != '\0') ++n;
    return n;
}

}  // namespace skin

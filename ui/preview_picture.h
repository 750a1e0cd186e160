// The picture area of the recording screen: the camera's latest preview
// picture while capture runs, and before any picture exists (or while
// capture is stopped) a colour-bar test pattern of our own as the layer
// below it. Both are 16-bit 5-6-5 bitmaps (the screen's format) kept by the
// screen and made again only when their size changes.
//
// Placement: the picture is centred in the area against a layout size (320
// x 240 when VideoSize is non-zero, else the capture size), so a larger
// picture shows its middle and a smaller one leaves a margin; whatever
// falls outside the area is cut off.
#pragma once

#include <cstdint>

#include "platform/graphics/graphics.h"

struct PreviewFrame;

struct PictureBitmap {
    os::HBITMAP bitmap = nullptr;
    std::uint16_t* bits = nullptr;  // rows top first
    int width = 0;
    int height = 0;
    std::uint32_t serial = 0;  // the preview picture it holds; 0 for none
};

// Where a frameW x frameH picture lands in `area` and the picture's point
// that lands on its top-left; an empty rectangle when nothing shows.
struct PictureFit {
    os::RECT dest{};
    int srcX = 0;
    int srcY = 0;
};
PictureFit FitPicture(const os::RECT& area, int layoutW, int layoutH, int frameW, int frameH);

// The test pattern's colour at (x, y) of a width x height picture: seven
// vertical bars (white, yellow, cyan, green, magenta, red, blue at 75 %)
// over the top three quarters, a grey ramp of eight steps below.
os::COLORREF TestPatternColour(int x, int y, int width, int height);

// Draws the latest preview picture when `live` and one exists, else the
// test pattern; 1 when the camera's picture was drawn.
int DrawPreviewPicture(os::HDC dc, const os::RECT& area, int layoutW, int layoutH, PreviewFrame* frame, bool live,
                       PictureBitmap* preview, PictureBitmap* pattern);
void ReleasePictureBitmap(PictureBitmap* picture);

// The simulator's side of the graphics: the screen as the user sees it and
// the count of live graphics objects. The screen is composed on request
// from the windows' surfaces: visible top-level windows from the bottom of
// the z-order to the top, each at its window rectangle, and each visible
// child (WS_CHILD) inside its owner at its rectangle relative to the
// owner's top-left, clipped to the owner. What no window covers is black.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os::sim {

struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3, top row first
};

// The screen at the display's current size.
ScreenImage CaptureScreen();
// One pixel of the composed screen as 0xRRGGBB; 0 outside the screen.
std::uint32_t ScreenPixel(int x, int y);
// Writes the composed screen as an 8-bit RGB PNG at a host path. False with
// *error when the file cannot be written.
bool SaveScreenPng(const std::string& hostPath, std::string* error);

struct GdiCounts {
    int dcs = 0;
    int bitmaps = 0;
    int brushes = 0;
    int pens = 0;
    int fonts = 0;
    int Total() const { return dcs + bitmaps + brushes + pens + fonts; }
};
// Live contexts and objects the program made (stock objects not counted).
GdiCounts GdiObjectCounts();
int GdiObjectCount();

}  // namespace os::sim

// For the graphics module only: how a blit maps destination pixels to
// source pixels. Destination pixel (x + i, y + j) takes source pixel
// (srcX + (2i+1)*srcW / (2w), srcY + (2j+1)*srcH / (2h)) (equal sizes: a
// plain copy); only destination pixels inside the context's drawable box
// whose source pixel lies inside the source surface are visited.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/internal/gdi_state.h"

namespace os::detail {

// x / 255 rounded to the nearest integer, exact for 0 <= x <= 255 * 255 * 2.
inline std::uint32_t Div255(std::uint32_t x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

struct BlitArgs {
    int x = 0, y = 0, width = 0, height = 0;
    int srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
};

// False (ERROR_INVALID_PARAMETER set) for a negative size or a side above kMaxBlitSide.
bool CheckBlitArgs(const BlitArgs& a);

// The destination pixels inside `box` of the w x h rectangle at (x, y).
RECT ClipDestination(const RECT& box, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h);

// Calls f(dstX, dstY, srcX, srcY) for every visited pixel, row by row.
template <class F>
void ForEachMapped(const BlitArgs& a, const RECT& box, const Surface& src, F f)
{
    if (a.width == 0 || a.height == 0 || a.srcWidth == 0 || a.srcHeight == 0) return;
    const RECT d = ClipDestination(box, a.x, a.y, a.width, a.height);
    if (IsEmpty(d)) return;
    std::vector<int> columns(static_cast<std::size_t>(d.right - d.left));
    for (LONG dx = d.left; dx < d.right; ++dx) {
        const std::int64_t i = static_cast<std::int64_t>(dx) - a.x;
        const std::int64_t sx = a.srcX + (2 * i + 1) * a.srcWidth / (2 * static_cast<std::int64_t>(a.width));
        columns[static_cast<std::size_t>(dx - d.left)] = sx >= 0 && sx < src.width ? static_cast<int>(sx) : -1;
    }
    for (LONG dy = d.top; dy < d.bottom; ++dy) {
        const std::int64_t j = static_cast<std::int64_t>(dy) - a.y;
        const std::int64_t sy = a.srcY + (2 * j + 1) * a.srcHeight / (2 * static_cast<std::int64_t>(a.height));
        if (sy < 0 || sy >= src.height) continue;
        for (LONG dx = d.left; dx < d.right; ++dx) {
            const int sx = columns[static_cast<std::size_t>(dx - d.left)];
            if (sx >= 0) f(static_cast<int>(dx), static_cast<int>(dy), sx, static_cast<int>(sy));
        }
    }
}

// The source as it was before the blit began, when it is the destination too.
std::shared_ptr<Surface> StableSource(Surface* src, Surface* dst);

}  // namespace os::detail

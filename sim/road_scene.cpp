#include "sim/road_scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/media/capture_index.h"

namespace sim {
namespace {

constexpr double kNearestMetres = 4;      // ground distance seen on the bottom row
constexpr double kEyeHeightMetres = 1.3;  // camera above the road
constexpr double kSpeedMetresPerSecond = 20;
constexpr double kDashMetres = 3;
constexpr double kDashPeriodMetres = 12;
constexpr double kPostPeriodMetres = 25;
constexpr double kFarthestPostMetres = 200;
constexpr double kPostHeightMetres = 1.0;

constexpr std::uint8_t kWhite = 225;
constexpr std::uint8_t kDark = 24;

// 5x7 glyphs, one byte a row, bit 4 the leftmost column: 0-9, ':' and '.'.
constexpr std::uint8_t kGlyphs[12][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C},
};
constexpr int kColon = 10;
constexpr int kDot = 11;
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kAdvance = kGlyphWidth + 1;

std::uint8_t Lerp(int from, int to, double t)
{
    return static_cast<std::uint8_t>(std::lround(from + (to - from) * t));
}

// Fills a rectangle of the luma plane (clipped); false when nothing of it is in the picture.
bool FillLuma(std::uint8_t* yv12, int width, int height, int& x0, int& y0, int& x1, int& y1, std::uint8_t luma)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    if (x0 >= x1 || y0 >= y1) return false;
    for (int y = y0; y < y1; ++y) std::memset(yv12 + static_cast<std::size_t>(y) * width + x0, luma, x1 - x0);
    return true;
}

// Fills a rectangle of the luma plane (clipped) and puts neutral chroma under it.
void FillRect(std::uint8_t* yv12, int width, int height, int x0, int y0, int x1, int y1, std::uint8_t luma)
{
    if (!FillLuma(yv12, width, height, x0, y0, x1, y1, luma)) return;
    const int cw = width / 2;
    std::uint8_t* v = yv12 + static_cast<std::size_t>(width) * height;
    std::uint8_t* u = v + static_cast<std::size_t>(cw) * (height / 2);
    for (int cy = y0 / 2; cy < (y1 + 1) / 2; ++cy) {
        std::memset(v + cy * cw + x0 / 2, 128, (x1 + 1) / 2 - x0 / 2);
        std::memset(u + cy * cw + x0 / 2, 128, (x1 + 1) / 2 - x0 / 2);
    }
}

// "hh:mm:ss.mmm" of the device time, white on a dark box, `scale` pixels a glyph dot.
void BurnInTime(std::uint8_t* yv12, int width, int height, std::int64_t deviceUs)
{
    const std::int64_t ms = std::max<std::int64_t>(deviceUs, 0) / 1000;
    const int fields[] = {static_cast<int>(ms / 3'600'000 % 100), static_cast<int>(ms / 60'000 % 60),
                          static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)};
    const int glyphs[] = {fields[0] / 10, fields[0] % 10, kColon, fields[1] / 10, fields[1] % 10, kColon,
                          fields[2] / 10, fields[2] % 10, kDot, fields[3] / 100, fields[3] / 10 % 10, fields[3] % 10};
    const int scale = std::max(1, width / 160);
    const int x0 = std::max(2, width / 40);
    const int y0 = os::kCaptureIndexRows + 2 * scale;
    const int count = static_cast<int>(std::size(glyphs));
    FillRect(yv12, width, height, x0 - scale, y0 - scale, x0 + count * kAdvance * scale, y0 + (kGlyphHeight + 1) * scale,
             kDark);
    // The box already put neutral chroma under every dot, so the dots touch
    // luma only, a run of dots on a glyph row at a time.
    for (int g = 0; g < count; ++g) {
        for (int gy = 0; gy < kGlyphHeight; ++gy) {
            const std::uint8_t bits = kGlyphs[glyphs[g]][gy];
            for (int gx = 0; gx < kGlyphWidth;) {
                if (!(bits & (0x10 >> gx))) {
                    ++gx;
                    continue;
                }
                const int first = gx;
                while (gx < kGlyphWidth && (bits & (0x10 >> gx))) ++gx;
                int x = x0 + (g * kAdvance + first) * scale;
                int y = y0 + gy * scale;
                int xEnd = x0 + (g * kAdvance + gx) * scale;
                int yEnd = y + scale;
                FillLuma(yv12, width, height, x, y, xEnd, yEnd, kWhite);
            }
        }
    }
}

}  // namespace

void RoadScene::Prepare(int width, int height)
{
    width_ = width;
    height_ = height;
    horizon_ = height * 2 / 5;
    const int ground = height - horizon_;
    background_.assign(static_cast<std::size_t>(width) * height * 3 / 2, 128);
    rows_.assign(height, Row{});
    // Classifies each pixel once; the chroma planes take the class of the top-left pixel of each 2x2 block.
    enum Area : std::uint8_t { Sky, Grass, Road, Line };
    std::vector<std::uint8_t> area(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* luma = background_.data() + static_cast<std::size_t>(y) * width;
        std::uint8_t* kind = area.data() + static_cast<std::size_t>(y) * width;
        if (y < horizon_) {
            std::memset(luma, Lerp(100, 175, static_cast<double>(y) / std::max(horizon_, 1)), width);
            std::memset(kind, Sky, width);
            continue;
        }
        const double r = (y - horizon_ + 0.5) / ground;  // 1 on the bottom row, towards 0 at the horizon
        Row& row = rows_[y];
        row.distance = kNearestMetres / r;
        row.center = width / 2;
        row.dashHalf = static_cast<int>(std::lround(r * 0.012 * width));
        const int roadHalf = static_cast<int>(std::lround(r * 0.42 * width));
        const int lineWidth = std::max(1, static_cast<int>(std::lround(r * 0.015 * width)));
        for (int x = 0; x < width; ++x) {
            const int off = std::abs(x - row.center);
            if (off > roadHalf) {
                luma[x] = Lerp(70, 105, r);
                kind[x] = Grass;
            } else if (off > roadHalf - lineWidth) {
                luma[x] = kWhite;
                kind[x] = Line;
            } else {
                // A little grain in the asphalt, fixed to the picture.
                luma[x] = static_cast<std::uint8_t>(78 + ((x * 7 + y * 13) % 5));
                kind[x] = Road;
            }
        }
    }
    const int cw = width / 2;
    const int ch = height / 2;
    std::uint8_t* v = background_.data() + static_cast<std::size_t>(width) * height;
    std::uint8_t* u = v + static_cast<std::size_t>(cw) * ch;
    for (int cy = 0; cy < ch; ++cy) {
        for (int cx = 0; cx < cw; ++cx) {
            const std::uint8_t kind = area[static_cast<std::size_t>(2 * cy) * width + 2 * cx];
            std::uint8_t cu = 128, cv = 128;
            if (kind == Sky) {
                cu = 152;
                cv = 112;
            } else if (kind == Grass) {
                cu = 104;
                cv = 118;
            }
            u[cy * cw + cx] = cu;
            v[cy * cw + cx] = cv;
        }
    }
}

void RoadScene::Fill(std::uint32_t, std::int64_t deviceUs, int width, int height, std::uint8_t* yv12)
{
    if (width != width_ || height != height_) Prepare(width, height);
    std::memcpy(yv12, background_.data(), background_.size());
    const double travelled = kSpeedMetresPerSecond * static_cast<double>(deviceUs) / 1e6;

    // Centre dashes: a row shows paint when its ground distance falls on a dash.
    for (int y = horizon_; y < height; ++y) {
        const Row& row = rows_[y];
        if (row.dashHalf <= 0 && row.distance > 60) continue;
        const double phase = std::fmod(row.distance + travelled, kDashPeriodMetres);
        if (phase >= kDashMetres) continue;
        const int half = std::max(row.dashHalf, 1);
        std::memset(yv12 + static_cast<std::size_t>(y) * width + row.center - half, kWhite, 2 * half);
    }

    // Posts on both verges, nearest last so they cover the far ones.
    const int ground = height - horizon_;
    const double first = kPostPeriodMetres - std::fmod(travelled, kPostPeriodMetres);
    for (double at = first + kFarthestPostMetres - kPostPeriodMetres; at >= kNearestMetres * 0.5; at -= kPostPeriodMetres) {
        if (at > kFarthestPostMetres) continue;
        const double r = kNearestMetres / at;
        const int base = horizon_ + static_cast<int>(std::lround(r * ground));
        const int tall = std::max(2, static_cast<int>(std::lround(r * ground * kPostHeightMetres / kEyeHeightMetres)));
        const int thick = std::max(1, static_cast<int>(std::lround(r * 0.02 * width)));
        const int side = static_cast<int>(std::lround(r * 0.42 * width * 1.25));
        for (int sign : {-1, 1}) {
            const int x = width / 2 + sign * side;
            FillRect(yv12, width, height, x - thick / 2, base - tall, x - thick / 2 + thick, base, kWhite);
            FillRect(yv12, width, height, x - thick / 2, base - tall, x - thick / 2 + thick, base - tall + (tall + 3) / 4,
                     kDark);
        }
    }

    BurnInTime(yv12, width, height, deviceUs);
}

}  // namespace sim

// Blits, blending, colour keys and pixel formats against reference models
// written from the documented rules, on DIB sections whose bits the test
// reads and writes itself.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_sim.h"
#include "tests/support/platform_fixture.h"

namespace {

using testing_support::PlatformTest;

// A DIB section selected into its own memory context, with direct access to its bits.
struct Dib {
    os::HDC dc = nullptr;
    os::HBITMAP bitmap = nullptr;
    os::HGDIOBJ previous = nullptr;
    std::uint8_t* bits = nullptr;
    int width = 0, height = 0, bpp = 0, stride = 0;
    bool topDown = true;

    Dib(int w, int h, int bitsPerPixel, bool rowsTopDown = true)
        : width(w), height(h), bpp(bitsPerPixel), topDown(rowsTopDown)
    {
        os::BITMAPINFO info;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = rowsTopDown ? -h : h;
        info.bmiHeader.biBitCount = static_cast<os::WORD>(bpp);
        info.bmiHeader.biCompression = os::BI_BITFIELDS;
        const os::DWORD masks16[3] = {0xF800, 0x07E0, 0x001F};
        const os::DWORD masks32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
        std::memcpy(info.bmiColors, bpp == 16 ? masks16 : masks32, sizeof(masks16));
        void* p = nullptr;
        bitmap = os::CreateDIBSection(nullptr, &info, os::DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint8_t*>(p);
        stride = ((w * bpp + 31) / 32) * 4;
        dc = os::CreateCompatibleDC(nullptr);
        previous = os::SelectObject(dc, bitmap);
    }
    ~Dib()
    {
        os::SelectObject(dc, previous);
        os::DeleteObject(bitmap);
        os::DeleteDC(dc);
    }
    std::uint8_t* At(int x, int y) const
    {
        const int row = topDown ? y : height - 1 - y;
        return bits + static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(x) * (bpp / 8);
    }
    std::uint32_t Raw(int x, int y) const
    {
        std::uint32_t v = 0;
        std::memcpy(&v, At(x, y), static_cast<std::size_t>(bpp / 8));
        return v;
    }
    void SetRaw(int x, int y, std::uint32_t v) { std::memcpy(At(x, y), &v, static_cast<std::size_t>(bpp / 8)); }
    std::vector<std::uint32_t> Snapshot() const
    {
        std::vector<std::uint32_t> all;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) all.push_back(Raw(x, y));
        }
        return all;
    }
    void Randomise(std::mt19937& rng)
    {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) SetRaw(x, y, bpp == 16 ? rng() & 0xFFFF : rng());
        }
    }
};

// 5-6-5 channels widened by repeating their top bits.
std::uint32_t Argb565(std::uint32_t v)
{
    const std::uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

std::uint32_t To565(std::uint32_t argb)
{
    return (((argb >> 16) & 0xFF) >> 3) << 11 | (((argb >> 8) & 0xFF) >> 2) << 5 | ((argb & 0xFF) >> 3);
}

// What a copy of source raw value `s` leaves in the destination.
std::uint32_t Converted(std::uint32_t s, int srcBpp, int dstBpp)
{
    if (srcBpp == dstBpp) return s;
    if (srcBpp == 16) return Argb565(s);  // into 32 bits, top byte 0
    return To565(s);
}

std::uint32_t RgbOf(os::COLORREF c)
{
    return static_cast<std::uint32_t>(os::GetRValue(c)) << 16 | static_cast<std::uint32_t>(os::GetGValue(c)) << 8 |
           os::GetBValue(c);
}

class GdiRasterTest : public PlatformTest {};

TEST_F(GdiRasterTest, BlitsCopyExactlyTheClippedOverlapAndNothingElse)
{
    std::mt19937 rng(20240607);
    const int before = os::sim::GdiObjectCount();
    for (int round = 0; round < 400; ++round) {
        const int srcBpp = rng() % 2 ? 16 : 32, dstBpp = rng() % 2 ? 16 : 32;
        Dib src(1 + static_cast<int>(rng() % 23), 1 + static_cast<int>(rng() % 23), srcBpp, rng() % 2);
        Dib dst(1 + static_cast<int>(rng() % 23), 1 + static_cast<int>(rng() % 23), dstBpp, rng() % 2);
        src.Randomise(rng);
        dst.Randomise(rng);
        const auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
        const int x = pick(-30, 30), y = pick(-30, 30), w = pick(0, 40), h = pick(0, 40);
        const int sx = pick(-30, 30), sy = pick(-30, 30);
        const bool stretch = rng() % 3 == 0;
        const int sw = stretch ? pick(1, 40) : w, sh = stretch ? pick(1, 40) : h;
        os::RECT clip{0, 0, dst.width, dst.height};
        if (rng() % 3 == 0) {
            clip = os::RECT{pick(-5, 20), pick(-5, 20), pick(0, 30), pick(0, 30)};
            os::IntersectClipRect(dst.dc, clip.left, clip.top, clip.right, clip.bottom);
        }
        const auto original = dst.Snapshot();
        const auto source = src.Snapshot();
        ASSERT_TRUE(stretch ? os::StretchBlt(dst.dc, x, y, w, h, src.dc, sx, sy, sw, sh, os::SRCCOPY)
                            : os::BitBlt(dst.dc, x, y, w, h, src.dc, sx, sy, os::SRCCOPY));
        for (int py = 0; py < dst.height; ++py) {
            for (int px = 0; px < dst.width; ++px) {
                std::uint32_t expected = original[static_cast<std::size_t>(py) * dst.width + px];
                const bool inDest = px >= x && px < x + w && py >= y && py < y + h && px >= clip.left &&
                                    px < clip.right && py >= clip.top && py < clip.bottom;
                if (inDest) {
                    const long i = px - x, j = py - y;
                    const long srcPx = sx + (2 * i + 1) * sw / (2 * w), srcPy = sy + (2 * j + 1) * sh / (2 * h);
                    if (srcPx >= 0 && srcPx < src.width && srcPy >= 0 && srcPy < src.height) {
                        expected = Converted(source[static_cast<std::size_t>(srcPy) * src.width + srcPx], srcBpp,
                                             dstBpp);
                    }
                }
                ASSERT_EQ(dst.Raw(px, py), expected)
                    << "round " << round << " pixel " << px << "," << py << " blit " << x << "," << y << " " << w
                    << "x" << h << " from " << sx << "," << sy << " " << sw << "x" << sh;
            }
        }
    }
    EXPECT_EQ(os::sim::GdiObjectCount(), before);

    // Refused sizes change nothing; far-off rectangles touch nothing.
    Dib src(8, 8, 32), dst(8, 8, 32);
    src.Randomise(rng);
    const auto original = dst.Snapshot();
    EXPECT_FALSE(os::BitBlt(dst.dc, 0, 0, -1, 4, src.dc, 0, 0, os::SRCCOPY));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(os::StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 4, os::kMaxBlitSide + 1, os::SRCCOPY));
    EXPECT_FALSE(os::BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 0x00EE0086));  // a raster operation not offered
    EXPECT_TRUE(os::BitBlt(dst.dc, INT_MAX - 2, INT_MAX - 2, 60000, 60000, src.dc, 0, 0, os::SRCCOPY));
    EXPECT_TRUE(os::BitBlt(dst.dc, 0, 0, 8, 8, src.dc, INT_MIN + 1, INT_MAX - 3, os::SRCCOPY));
    EXPECT_TRUE(os::StretchBlt(dst.dc, INT_MIN, 0, 65536, 8, src.dc, 0, 0, 65536, 8, os::SRCCOPY));
    EXPECT_EQ(dst.Snapshot(), original);

    // A copy within one bitmap reads the source as it was before the copy began.
    for (int dx : {-3, 3}) {
        Dib same(12, 9, 16);
        same.Randomise(rng);
        const auto before = same.Snapshot();
        ASSERT_TRUE(os::BitBlt(same.dc, dx, 2, 12, 9, same.dc, 0, 0, os::SRCCOPY));
        for (int py = 0; py < 9; ++py) {
            for (int px = 0; px < 12; ++px) {
                const int sx = px - dx, sy = py - 2;
                const bool copied = sx >= 0 && sx < 12 && sy >= 0;
                ASSERT_EQ(same.Raw(px, py), before[static_cast<std::size_t>(copied ? sy : py) * 12 + (copied ? sx : px)])
                    << dx << ": " << px << "," << py;
            }
        }
    }
}

TEST_F(GdiRasterTest, FillsAndRasterFillsStayInsideTheirRectangle)
{
    Dib dst(16, 12, 32);
    os::HBRUSH red = os::CreateSolidBrush(os::RGB(255, 0, 0));
    const os::RECT r{-4, 3, 5, 40};
    EXPECT_TRUE(os::FillRect(dst.dc, &r, red));
    os::SelectObject(dst.dc, red);
    EXPECT_TRUE(os::BitBlt(dst.dc, 10, 0, 3, 2, nullptr, 0, 0, os::PATCOPY));
    EXPECT_TRUE(os::BitBlt(dst.dc, 14, 10, 10, 10, nullptr, 0, 0, os::WHITENESS));
    os::SetBkColor(dst.dc, os::RGB(0, 0, 255));
    const os::RECT band{6, 0, 8, 1};
    EXPECT_TRUE(os::ExtTextOutW(dst.dc, 0, 0, os::ETO_OPAQUE, &band, nullptr, 0, nullptr));
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            std::uint32_t expected = 0;
            if (x < 5 && y >= 3) expected = 0xFF0000;
            if (x >= 10 && x < 13 && y < 2) expected = 0xFF0000;
            if (x >= 14 && y >= 10) expected = 0xFFFFFF;
            if (x >= 6 && x < 8 && y == 0) expected = 0x0000FF;
            ASSERT_EQ(dst.Raw(x, y), expected) << x << "," << y;
        }
    }
    // Rectangle: pen outline on the edges (right and bottom excluded), brush inside.
    os::HPEN green = os::CreatePen(os::PS_SOLID, 1, os::RGB(0, 255, 0));
    os::HGDIOBJ oldPen = os::SelectObject(dst.dc, green);
    EXPECT_TRUE(os::Rectangle(dst.dc, 2, 2, 6, 6));
    EXPECT_EQ(dst.Raw(2, 2), 0x00FF00u);
    EXPECT_EQ(dst.Raw(5, 5), 0x00FF00u);
    EXPECT_EQ(dst.Raw(3, 3), 0xFF0000u);
    EXPECT_EQ(dst.Raw(6, 6), 0u);
    // A line leaves its end point out.
    EXPECT_TRUE(os::MoveToEx(dst.dc, 0, 11, nullptr));
    EXPECT_TRUE(os::LineTo(dst.dc, 4, 11));
    EXPECT_EQ(dst.Raw(0, 11), 0x00FF00u);
    EXPECT_EQ(dst.Raw(3, 11), 0x00FF00u);
    EXPECT_EQ(dst.Raw(4, 11), 0xFF0000u);
    // A line no surface could show is refused, and draws nothing.
    const auto beforeLine = dst.Snapshot();
    EXPECT_TRUE(os::MoveToEx(dst.dc, 0, 0, nullptr));
    EXPECT_FALSE(os::LineTo(dst.dc, INT_MAX, 1));
    EXPECT_EQ(dst.Snapshot(), beforeLine);
    os::SelectObject(dst.dc, oldPen);
    os::SelectObject(dst.dc, os::GetStockObject(os::WHITE_BRUSH));
    EXPECT_TRUE(os::DeleteObject(green));
    EXPECT_TRUE(os::DeleteObject(red));
}

// Round to nearest of x / 255, computed in floating point.
std::uint32_t R255(double x) { return static_cast<std::uint32_t>(std::floor(x / 255.0 + 0.5)); }

TEST_F(GdiRasterTest, AlphaBlendFollowsTheSourceOverFormulaInBothDepths)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 60; ++round) {
        const int dstBpp = round % 2 ? 16 : 32;
        const bool perPixel = round % 3 != 0;
        const std::uint32_t ca = round % 4 == 0 ? 255 : rng() % 256;
        Dib src(9, 7, 32), dst(9, 7, dstBpp);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 9; ++x) {
                // Premultiplied: no channel above alpha.
                const std::uint32_t a = rng() % 256;
                const std::uint32_t r = a ? rng() % (a + 1) : 0, g = a ? rng() % (a + 1) : 0, b = a ? rng() % (a + 1) : 0;
                src.SetRaw(x, y, perPixel ? (a << 24 | r << 16 | g << 8 | b) : rng());
            }
        }
        dst.Randomise(rng);
        const auto original = dst.Snapshot();
        os::BLENDFUNCTION blend;
        blend.SourceConstantAlpha = static_cast<os::BYTE>(ca);
        blend.AlphaFormat = perPixel ? os::AC_SRC_ALPHA : 0;
        ASSERT_TRUE(os::AlphaBlend(dst.dc, 1, 0, 9, 7, src.dc, 0, 0, 9, 7, blend));
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 9; ++x) {
                const std::uint32_t d0 = original[static_cast<std::size_t>(y) * 9 + x];
                if (x == 0) {
                    ASSERT_EQ(dst.Raw(x, y), d0);
                    continue;
                }
                const std::uint32_t s = src.Raw(x - 1, y);
                const std::uint32_t d = dstBpp == 16 ? Argb565(d0) : d0;
                const std::uint32_t sa = R255(static_cast<double>(s >> 24) * ca);
                std::uint32_t expected = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const std::uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                    std::uint32_t v;
                    if (perPixel) {
                        v = std::min<std::uint32_t>(255, R255(static_cast<double>(sc) * ca) +
                                                              R255(static_cast<double>(dc) * (255 - sa)));
                    } else {
                        v = R255(static_cast<double>(sc) * ca + static_cast<double>(dc) * (255 - ca));
                    }
                    expected |= v << shift;
                }
                if (dstBpp == 16) expected = To565(expected);
                ASSERT_EQ(dst.Raw(x, y), expected) << "round " << round << " at " << x << "," << y;
            }
        }
    }
    // Per-pixel alpha needs a 32-bit source; other operations are refused.
    Dib src16(4, 4, 16), dst(4, 4, 32);
    os::BLENDFUNCTION perPixel;
    perPixel.AlphaFormat = os::AC_SRC_ALPHA;
    EXPECT_FALSE(os::AlphaBlend(dst.dc, 0, 0, 4, 4, src16.dc, 0, 0, 4, 4, perPixel));
    os::BLENDFUNCTION wrongOp;
    wrongOp.BlendOp = 1;
    EXPECT_FALSE(os::AlphaBlend(dst.dc, 0, 0, 4, 4, src16.dc, 0, 0, 4, 4, wrongOp));
    // A fully transparent premultiplied pixel leaves the destination; an opaque one replaces it.
    Dib src(2, 1, 32);
    src.SetRaw(0, 0, 0x00000000);
    src.SetRaw(1, 0, 0xFF123456);
    dst.SetRaw(0, 0, 0x00ABCDEF);
    dst.SetRaw(1, 0, 0x00ABCDEF);
    EXPECT_TRUE(os::AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, perPixel));
    EXPECT_EQ(dst.Raw(0, 0), 0x00ABCDEFu);
    EXPECT_EQ(dst.Raw(1, 0), 0xFF123456u);
}

TEST_F(GdiRasterTest, TransparentImageLeavesKeyPixelsAndCopiesTheRest)
{
    for (int srcBpp : {16, 32}) {
        std::mt19937 rng(static_cast<unsigned>(srcBpp));
        const os::COLORREF key = os::RGB(255, 0, 255);
        const std::uint32_t keyRaw = srcBpp == 16 ? To565(0xFF00FF) : 0xFF00FF;
        Dib src(10, 10, srcBpp), dst(20, 20, 16);
        src.Randomise(rng);
        for (int i = 0; i < 30; ++i) src.SetRaw(static_cast<int>(rng() % 10), static_cast<int>(rng() % 10), keyRaw);
        dst.Randomise(rng);
        const auto original = dst.Snapshot();
        // Doubled in size: each source pixel covers a 2 x 2 block.
        ASSERT_TRUE(os::TransparentImage(dst.dc, 0, 0, 20, 20, src.dc, 0, 0, 10, 10, key));
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                const std::uint32_t s = src.Raw(x / 2, y / 2);
                const std::uint32_t expected = (s & 0xFFFFFF) == keyRaw ? original[static_cast<std::size_t>(y) * 20 + x]
                                                                          : Converted(s, srcBpp, 16);
                ASSERT_EQ(dst.Raw(x, y), expected) << srcBpp << " bits at " << x << "," << y;
            }
        }
    }
}

TEST_F(GdiRasterTest, SixteenBitPixelsRoundTripAndDibRowOrderIsHonoured)
{
    Dib a(256, 256, 16), b(256, 256, 16);
    for (std::uint32_t v = 0; v < 65536; ++v) a.SetRaw(static_cast<int>(v % 256), static_cast<int>(v / 256), v);
    for (std::uint32_t v = 0; v < 65536; ++v) {
        const int x = static_cast<int>(v % 256), y = static_cast<int>(v / 256);
        const os::COLORREF c = os::GetPixel(a.dc, x, y);
        ASSERT_EQ(RgbOf(c), Argb565(v));
        os::SetPixel(b.dc, x, y, c);
        ASSERT_EQ(b.Raw(x, y), v);
    }
    // Any colour written reads back within one step of its channel's precision.
    for (int c = 0; c < 256; c += 3) {
        os::SetPixel(a.dc, 0, 0, os::RGB(c, c, c));
        const os::COLORREF back = os::GetPixel(a.dc, 0, 0);
        EXPECT_LE(std::abs(os::GetRValue(back) - c), 7);
        EXPECT_LE(std::abs(os::GetGValue(back) - c), 3);
        EXPECT_LE(std::abs(os::GetBValue(back) - c), 7);
    }
    EXPECT_EQ(os::GetPixel(a.dc, 256, 0), os::CLR_INVALID);

    // A bottom-up DIB keeps row 0 last in memory; a top-down one first.
    Dib up(3, 4, 32, false), down(3, 4, 32, true);
    os::SetPixel(up.dc, 1, 0, os::RGB(1, 2, 3));
    os::SetPixel(down.dc, 1, 0, os::RGB(1, 2, 3));
    std::uint32_t v = 0;
    std::memcpy(&v, up.bits + 3 * up.stride + 4, 4);
    EXPECT_EQ(v, 0x010203u);
    std::memcpy(&v, down.bits + 4, 4);
    EXPECT_EQ(v, 0x010203u);

    // Layouts the device does not hold are refused.
    os::BITMAPINFO info;
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 4;
    info.bmiHeader.biBitCount = 24;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(os::CreateDIBSection(nullptr, &info, os::DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biWidth = os::kMaxBitmapSide + 1;
    EXPECT_EQ(os::CreateDIBSection(nullptr, &info, os::DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = INT_MIN;
    EXPECT_EQ(os::CreateDIBSection(nullptr, &info, os::DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST_F(GdiRasterTest, ObjectsFollowSelectionRulesAndCountsReturnToTheirStart)
{
    const os::sim::GdiCounts start = os::sim::GdiObjectCounts();
    os::HDC screen = os::GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(os::GetDeviceCaps(screen, os::HORZRES), 800);
    EXPECT_EQ(os::GetDeviceCaps(screen, os::VERTRES), 480);
    EXPECT_EQ(os::GetDeviceCaps(screen, os::BITSPIXEL), 16);
    EXPECT_EQ(os::GetDeviceCaps(screen, os::LOGPIXELSX), 192);
    for (int cycle = 0; cycle < 50; ++cycle) {
        os::HDC mem = os::CreateCompatibleDC(screen);
        os::HBITMAP strip = os::CreateCompatibleBitmap(screen, 100, 120);
        os::BITMAP bm;
        ASSERT_EQ(os::GetObjectW(strip, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
        EXPECT_EQ(bm.bmWidth, 100);
        EXPECT_EQ(bm.bmHeight, 120);
        EXPECT_EQ(bm.bmBitsPixel, 16);
        os::HGDIOBJ previous = os::SelectObject(mem, strip);
        ASSERT_NE(previous, nullptr);
        // A bitmap lives in one memory context at a time and cannot be deleted while selected.
        os::HDC other = os::CreateCompatibleDC(nullptr);
        EXPECT_EQ(os::SelectObject(other, strip), nullptr);
        EXPECT_EQ(os::SelectObject(screen, strip), nullptr);
        EXPECT_FALSE(os::DeleteObject(strip));
        EXPECT_EQ(os::GetDeviceCaps(mem, os::BITSPIXEL), 16);

        os::LOGFONTW lf;
        ASSERT_EQ(os::GetObjectW(os::GetStockObject(os::SYSTEM_FONT), sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
        lf.lfHeight = -18;
        lf.lfWeight = os::FW_BOLD;
        os::HFONT font = os::CreateFontIndirectW(&lf);
        os::LOGFONTW back;
        ASSERT_GT(os::GetObjectW(font, sizeof(back), &back), 0);
        EXPECT_EQ(back.lfHeight, -18);
        EXPECT_EQ(back.lfWeight, os::FW_BOLD);
        os::HGDIOBJ oldFont = os::SelectObject(mem, font);
        os::HBRUSH brush = os::CreateSolidBrush(os::RGB(1, 2, 3));
        os::HPEN pen = os::CreatePen(os::PS_SOLID, 2, os::RGB(4, 5, 6));
        os::HGDIOBJ oldBrush = os::SelectObject(mem, brush);
        EXPECT_EQ(os::SelectObject(mem, pen) != nullptr, true);
        EXPECT_EQ(os::SelectObject(mem, oldBrush), brush);
        EXPECT_EQ(os::SelectObject(mem, oldFont), font);
        EXPECT_EQ(os::SelectObject(mem, previous), strip);
        EXPECT_TRUE(os::DeleteObject(font));
        EXPECT_TRUE(os::DeleteObject(brush));
        EXPECT_TRUE(os::DeleteDC(mem));  // the pen goes free with its context
        EXPECT_TRUE(os::DeleteObject(pen));
        EXPECT_TRUE(os::DeleteObject(strip));
        EXPECT_TRUE(os::DeleteDC(other));
        EXPECT_FALSE(os::DeleteObject(strip));  // already gone
        // Stock objects are shared and never deleted.
        EXPECT_TRUE(os::DeleteObject(os::GetStockObject(os::BLACK_BRUSH)));
        EXPECT_NE(os::GetObjectW(os::GetStockObject(os::BLACK_BRUSH), 0, nullptr), 0);
    }
    EXPECT_EQ(os::ReleaseDC(nullptr, screen), 1);
    const os::sim::GdiCounts end = os::sim::GdiObjectCounts();
    EXPECT_EQ(end.Total(), start.Total());
    EXPECT_EQ(end.bitmaps, start.bitmaps);
    EXPECT_EQ(end.dcs, start.dcs);
}

}  // namespace

// Text layout and ink: alignment, measuring, word breaks, Hangul through
// the fallback face, and the background modes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_sim.h"
#include "tests/support/platform_fixture.h"

namespace {

using testing_support::PlatformTest;

struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right and bottom exclusive
    int pixels = 0;
    std::vector<bool> mask;
};

// A white 32-bit canvas with black text in a font of the given pixel height.
class GdiTextTest : public PlatformTest {
protected:
    static constexpr int kW = 400, kH = 200;
    os::HDC dc = nullptr;
    os::HBITMAP bitmap = nullptr;
    os::HGDIOBJ oldBitmap = nullptr, oldFont = nullptr;
    os::HFONT font = nullptr;
    std::uint32_t* bits = nullptr;

    void SetUp() override
    {
        PlatformTest::SetUp();
        os::BITMAPINFO info;
        info.bmiHeader.biWidth = kW;
        info.bmiHeader.biHeight = -kH;
        info.bmiHeader.biBitCount = 32;
        void* p = nullptr;
        bitmap = os::CreateDIBSection(nullptr, &info, os::DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint32_t*>(p);
        dc = os::CreateCompatibleDC(nullptr);
        oldBitmap = os::SelectObject(dc, bitmap);
        os::SetBkMode(dc, os::TRANSPARENT);
        os::SetTextColor(dc, os::RGB(0, 0, 0));
        UseFont(-20, false);
        Clear();
    }
    void TearDown() override
    {
        os::SelectObject(dc, oldFont);
        os::DeleteObject(font);
        os::SelectObject(dc, oldBitmap);
        os::DeleteObject(bitmap);
        os::DeleteDC(dc);
        PlatformTest::TearDown();
    }
    void UseFont(int height, bool bold)
    {
        os::LOGFONTW lf;
        lf.lfHeight = height;
        lf.lfWeight = bold ? os::FW_BOLD : os::FW_NORMAL;
        lf.lfPitchAndFamily = 0x30;
        os::HFONT next = os::CreateFontIndirectW(&lf);
        ASSERT_NE(next, nullptr);
        os::HGDIOBJ previous = os::SelectObject(dc, next);
        if (font != nullptr) {
            os::DeleteObject(font);
        } else {
            oldFont = previous;
        }
        font = next;
    }
    void Clear()
    {
        for (int i = 0; i < kW * kH; ++i) bits[i] = 0xFFFFFF;
    }
    Ink InkBox() const
    {
        Ink ink;
        ink.mask.assign(kW * kH, false);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                if ((bits[y * kW + x] & 0xFFFFFF) == 0xFFFFFF) continue;
                ink.mask[static_cast<std::size_t>(y) * kW + x] = true;
                ++ink.pixels;
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x + 1);
                ink.bottom = std::max(ink.bottom, y + 1);
            }
        }
        return ink;
    }
};

TEST_F(GdiTextTest, AlignmentPlacesTheTextWhereTheFlagsSay)
{
    const char* text = "HIH";
    os::SIZE extent;
    ASSERT_TRUE(os::GetTextExtentPoint32W(dc, text, -1, &extent));
    ASSERT_GT(extent.cx, 20);
    os::TEXTMETRICW tm;
    ASSERT_TRUE(os::GetTextMetricsW(dc, &tm));
    EXPECT_EQ(extent.cy, tm.tmHeight);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_GE(tm.tmHeight, 20);
    EXPECT_LE(tm.tmHeight, 26);

    const os::RECT box{50, 40, 251, 141};
    os::RECT r = box;
    const int returned = os::DrawTextW(dc, text, -1, &r, os::DT_CENTER | os::DT_VCENTER | os::DT_SINGLELINE);
    Ink ink = InkBox();
    ASSERT_GT(ink.pixels, 0);
    // Centred: the ink's middle within a pixel of the box's middle, both ways.
    EXPECT_NEAR((ink.left + ink.right) / 2.0, (box.left + box.right) / 2.0, 1.0);
    const int cellTop = box.top + (101 - tm.tmHeight) / 2;
    EXPECT_GE(ink.top, cellTop);
    EXPECT_LE(ink.bottom, cellTop + tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(returned, cellTop + tm.tmHeight - box.top);

    Clear();
    r = box;
    os::DrawTextW(dc, text, -1, &r, os::DT_RIGHT | os::DT_BOTTOM | os::DT_SINGLELINE);
    ink = InkBox();
    EXPECT_LE(ink.right, box.right);
    EXPECT_GE(ink.right, box.right - 3);
    EXPECT_LE(ink.bottom, box.bottom);
    EXPECT_GE(ink.top, box.bottom - tm.tmHeight);

    Clear();
    r = box;
    os::DrawTextW(dc, text, -1, &r, os::DT_LEFT | os::DT_TOP);
    ink = InkBox();
    EXPECT_GE(ink.left, box.left);
    EXPECT_LE(ink.left, box.left + 3);
    EXPECT_GE(ink.top, box.top);
    EXPECT_LE(ink.bottom, box.top + tm.tmHeight);

    // Without DT_NOCLIP ink stays inside the rectangle; with it, it may leave.
    Clear();
    os::RECT narrow{100, 100, 110, 105};
    os::DrawTextW(dc, "WWWWWW", -1, &narrow, os::DT_LEFT | os::DT_SINGLELINE);
    ink = InkBox();
    EXPECT_GE(ink.left, 100);
    EXPECT_LE(ink.right, 110);
    EXPECT_LE(ink.bottom, 105);
    Clear();
    os::DrawTextW(dc, "WWWWWW", -1, &narrow, os::DT_LEFT | os::DT_SINGLELINE | os::DT_NOCLIP);
    EXPECT_GT(InkBox().right, 120);
}

TEST_F(GdiTextTest, CalcRectMeasuresWhatDrawingCovers)
{
    for (bool bold : {false, true}) {
        UseFont(-18, bold);
        for (const char* text : {"Version 1.1.0", "12:34:56", "Ardvane 안전"}) {
            os::SIZE extent;
            ASSERT_TRUE(os::GetTextExtentPoint32W(dc, text, -1, &extent));
            os::RECT r{10, 20, 10, 20};
            const int height = os::DrawTextW(dc, text, -1, &r, os::DT_CALCRECT | os::DT_SINGLELINE);
            EXPECT_EQ(r.right - r.left, extent.cx) << text;
            EXPECT_EQ(r.bottom - r.top, extent.cy) << text;
            EXPECT_EQ(height, extent.cy);
            EXPECT_EQ(InkBox().pixels, 0) << "DT_CALCRECT draws nothing";
            os::DrawTextW(dc, text, -1, &r, os::DT_SINGLELINE | os::DT_NOCLIP);
            const Ink ink = InkBox();
            EXPECT_GE(ink.left, r.left - 2) << text;
            EXPECT_LE(ink.right, r.right + 2) << text;
            EXPECT_GE(ink.top, r.top);
            EXPECT_LE(ink.bottom, r.bottom);
            Clear();
        }
    }
    os::SIZE regular, bold;
    UseFont(-18, false);
    os::GetTextExtentPoint32W(dc, "Version 1.1.0", -1, &regular);
    UseFont(-18, true);
    os::GetTextExtentPoint32W(dc, "Version 1.1.0", -1, &bold);
    EXPECT_GT(bold.cx, regular.cx);

    // Mnemonic prefixes: "&x" measures as x and "&&" as "&", unless DT_NOPREFIX.
    const auto calcWidth = [&](const char* text, os::UINT flags) {
        os::RECT r{0, 0, 0, 0};
        os::DrawTextW(dc, text, -1, &r, os::DT_CALCRECT | os::DT_SINGLELINE | flags);
        return r.right;
    };
    const auto extentWidth = [&](const char* text) {
        os::SIZE size;
        os::GetTextExtentPoint32W(dc, text, -1, &size);
        return size.cx;
    };
    EXPECT_EQ(calcWidth("&Exit", 0), extentWidth("Exit"));
    EXPECT_EQ(calcWidth("R&&D", 0), extentWidth("R&D"));
    EXPECT_EQ(calcWidth("&Exit", os::DT_NOPREFIX), extentWidth("&Exit"));

    // Word breaks: the notice wraps into several lines inside its width.
    UseFont(-16, false);
    const char* notice = "* Do not operate \"Ardvane\" while you are driving or moving.\r\n\r\n"
                         "* The data provided by \"Ardvane\" is intended to be only as reference.";
    os::RECT wrap{20, 10, 220, 10};
    const int height = os::DrawTextW(dc, notice, -1, &wrap, os::DT_CALCRECT | os::DT_WORDBREAK);
    os::TEXTMETRICW tm;
    os::GetTextMetricsW(dc, &tm);
    EXPECT_GE(height, 5 * tm.tmHeight);
    EXPECT_EQ(height % tm.tmHeight, 0);
    EXPECT_LE(wrap.right, 220);
    EXPECT_EQ(wrap.bottom - wrap.top, height);
    os::DrawTextW(dc, notice, -1, &wrap, os::DT_WORDBREAK | os::DT_NOCLIP);
    const Ink ink = InkBox();
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.right, 222);
    EXPECT_LE(ink.bottom, wrap.bottom);
    EXPECT_GT(ink.bottom, wrap.bottom - 2 * tm.tmHeight);

    // An ellipsis keeps an over-long line inside its rectangle.
    Clear();
    os::RECT cut{20, 150, 120, 180};
    os::RECT measured = cut;
    os::DrawTextW(dc, "A very long file name that does not fit.avi", -1, &measured,
                  os::DT_CALCRECT | os::DT_SINGLELINE | os::DT_END_ELLIPSIS);
    EXPECT_LE(measured.right, cut.right);
    os::DrawTextW(dc, "A very long file name that does not fit.avi", -1, &cut,
                  os::DT_SINGLELINE | os::DT_END_ELLIPSIS | os::DT_NOCLIP);
    EXPECT_LE(InkBox().right, cut.right + 1);
}

TEST_F(GdiTextTest, HangulDrawsDistinctGlyphsFromTheFallbackFace)
{
    UseFont(-24, false);
    std::vector<std::vector<bool>> masks;
    for (const char* syllable : {"가", "나", "한"}) {
        Clear();
        os::RECT r{10, 10, 200, 60};
        ASSERT_GT(os::DrawTextW(dc, syllable, -1, &r, os::DT_SINGLELINE), 0);
        const Ink ink = InkBox();
        EXPECT_GT(ink.pixels, 30) << syllable;
        EXPECT_GT(ink.right - ink.left, 10) << syllable;
        masks.push_back(ink.mask);
    }
    // Different syllables, different ink: not one missing-glyph box for all.
    EXPECT_NE(masks[0], masks[1]);
    EXPECT_NE(masks[1], masks[2]);
    // Byte counts: only the first syllable of "가나" when given its three bytes.
    os::SIZE one, both;
    os::GetTextExtentPoint32W(dc, "가나", 3, &one);
    os::GetTextExtentPoint32W(dc, "가나", -1, &both);
    EXPECT_GT(one.cx, 0);
    EXPECT_EQ(both.cx, 2 * one.cx);
}

TEST_F(GdiTextTest, BackgroundModesAndTextColour)
{
    os::SetTextColor(dc, os::RGB(255, 0, 0));
    os::SetBkColor(dc, os::RGB(0, 0, 255));
    os::SetBkMode(dc, os::OPAQUE);
    os::RECT r{10, 10, 300, 60};
    os::DrawTextW(dc, "Hi", -1, &r, os::DT_SINGLELINE);
    os::SIZE extent;
    os::GetTextExtentPoint32W(dc, "Hi", -1, &extent);
    int blue = 0, red = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const std::uint32_t p = bits[y * kW + x] & 0xFFFFFF;
            if (p == 0x0000FF) ++blue;
            if (p == 0xFF0000) ++red;
            // Nothing outside the text's cell changes.
            if (x < 10 || x >= 10 + extent.cx || y < 10 || y >= 10 + extent.cy) {
                ASSERT_EQ(p, 0xFFFFFFu) << x << "," << y;
            }
        }
    }
    EXPECT_GT(red, 10);
    EXPECT_GT(blue, extent.cx * extent.cy / 3);
    // ExtTextOutW with text draws its cell from (x, y); ETO_CLIPPED keeps it inside the rectangle.
    Clear();
    os::SetBkMode(dc, os::TRANSPARENT);
    const os::RECT clip{100, 100, 108, 140};
    EXPECT_TRUE(os::ExtTextOutW(dc, 100, 100, os::ETO_CLIPPED, &clip, "WWW", 3, nullptr));
    const Ink ink = InkBox();
    EXPECT_GE(ink.left, 100);
    EXPECT_LE(ink.right, 108);
    EXPECT_GT(ink.pixels, 0);
    EXPECT_FALSE(os::ExtTextOutW(dc, 0, 0, os::ETO_OPAQUE, nullptr, nullptr, 0, nullptr));
}

}  // namespace

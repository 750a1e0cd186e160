// The drawing toolkit over the generated skin: where pictures are found,
// button strips and their looks, premultiplied alpha pictures, character
// strips and the primitives, judged by the pixels they leave and by the
// drawing objects they leave behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/files/file_sim.h"
#include "platform/graphics/graphics_sim.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"
#include "ui/button_strip.h"
#include "ui/char_strip.h"
#include "ui/draw_prims.h"
#include "ui/skin_images.h"

namespace {

class SkinToolkit : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::FileSystemConfig config;
        config.deviceRoot = folder_.Path();
        config.programHostFolder = KESTRAVA_BINARY_DIR;
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
        canvasDc_ = os::CreateCompatibleDC(nullptr);
        canvas_ = os::CreateCompatibleBitmap(canvasDc_, 800, 480);
        old_ = os::SelectObject(canvasDc_, canvas_);
    }
    void TearDown() override
    {
        os::SelectObject(canvasDc_, old_);
        os::DeleteObject(canvas_);
        os::DeleteDC(canvasDc_);
        PlatformTest::TearDown();
    }
    std::string Menu(const char* name) const { return SkinFile(SkinFolder(800, 480), "02_menu", name); }

    testing_support::TempFolder folder_;
    os::HDC canvasDc_ = nullptr;
    os::HBITMAP canvas_ = nullptr;
    os::HGDIOBJ old_ = nullptr;
};

TEST_F(SkinToolkit, ButtonStripsStackTheirThreeLooksAndAMissingPictureKeepsItsPlace)
{
    EXPECT_EQ(SkinFolder(480, 800), "\\Program Files\\Kestrava\\image\\480x800");
    EXPECT_EQ(IdleSkinFolder(), "\\Program Files\\Kestrava\\image\\800x480");
    const int objects = os::sim::GdiObjectCount();

    const std::string looks[3] = {Menu("btn_liteexit_n.png"), Menu("btn_liteexit_c.png"), Menu("btn_liteexit_d.png")};
    const char* const paths[3] = {looks[0].c_str(), looks[1].c_str(), looks[2].c_str()};
    ButtonStrip exit;
    ASSERT_EQ(BuildButtonStrip(canvasDc_, paths, 0, 55, os::SIZE{1, 1}, &exit), 1);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(BitmapSize(exit.strip, &width, &height));
    EXPECT_EQ(width, exit.width);
    EXPECT_EQ(height, 3 * exit.height);
    EXPECT_EQ(exit.rect.bottom - exit.rect.top, exit.height);
    // Each look drawn lands on the button's rectangle as its own picture's pixels.
    for (int look = 0; look < 3; ++look) {
        DrawButtonLook(canvasDc_, exit, look);
        os::HBITMAP picture = LoadOpaqueImage(paths[look]);
        os::HDC pictureDc = os::CreateCompatibleDC(nullptr);
        os::HGDIOBJ before = os::SelectObject(pictureDc, picture);
        for (const auto& [x, y] : {std::pair{exit.width / 2, exit.height / 2}, std::pair{5, 5}}) {
            EXPECT_EQ(os::GetPixel(canvasDc_, exit.rect.left + x, exit.rect.top + y), os::GetPixel(pictureDc, x, y))
                << "look " << look;
        }
        os::SelectObject(pictureDc, before);
        os::DeleteDC(pictureDc);
        os::DeleteObject(picture);
    }
    ReleaseButtonStrip(&exit);

    const char* const missing[3] = {"\\nowhere_n.png", "\\nowhere_c.png", "\\nowhere_d.png"};
    ButtonStrip ghost;
    EXPECT_EQ(BuildButtonStrip(canvasDc_, missing, 10, 20, os::SIZE{126, 90}, &ghost), 0);
    EXPECT_EQ(ghost.rect.right - ghost.rect.left, 126) << "the touch area stays";
    EXPECT_EQ(ghost.rect.bottom - ghost.rect.top, 90);
    FillRectColor(canvasDc_, 0, 0, 200, 200, os::RGB(0, 0, 255));
    DrawButtonLook(canvasDc_, ghost, kLookPressed);
    EXPECT_EQ(os::GetPixel(canvasDc_, 50, 50), os::RGB(0, 0, 255)) << "and nothing is drawn";
    ReleaseButtonStrip(&ghost);
    EXPECT_EQ(os::sim::GdiObjectCount(), objects) << "every strip, context and picture is gone";
}

TEST_F(SkinToolkit, AlphaPicturesArePremultipliedAndBlendOverWhatLiesBelow)
{
    std::uint32_t pixels[] = {0x00FFFFFFu, 0x80FF0000u, 0xFF123456u, 0x40804020u};
    PremultiplyPixels(pixels, 4);
    EXPECT_EQ(pixels[0], 0u);
    EXPECT_EQ(pixels[1], 0x80800000u);
    EXPECT_EQ(pixels[2], 0xFF123456u);
    EXPECT_EQ(pixels[3], 0x40201008u);

    const int objects = os::sim::GdiObjectCount();
    os::IImagingFactory* factory = CreateSkinImagingFactory();
    ASSERT_NE(factory, nullptr);
    const std::string icon = SkinFile(SkinFolder(800, 480), "03_icon", "on_air.png");
    os::HBITMAP onAir = LoadAlphaImage(factory, icon.c_str());
    ASSERT_NE(onAir, nullptr);
    os::BITMAP info;
    ASSERT_NE(os::GetObjectW(onAir, sizeof info, &info), 0);
    EXPECT_EQ(info.bmBitsPixel, 32);
    const auto* bits = static_cast<const std::uint32_t*>(info.bmBits);
    const std::size_t count = static_cast<std::size_t>(info.bmWidth) * static_cast<std::size_t>(std::abs(info.bmHeight));
    bool transparent = false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t a = bits[i] >> 24;
        ASSERT_LE((bits[i] >> 16) & 0xFF, a) << "premultiplied colours never exceed their alpha";
        ASSERT_LE((bits[i] >> 8) & 0xFF, a);
        ASSERT_LE(bits[i] & 0xFF, a);
        transparent = transparent || a == 0;
    }
    EXPECT_TRUE(transparent) << "the mark has see-through parts";
    // Where the picture is fully transparent the blend leaves the canvas as it was.
    FillRectColor(canvasDc_, 0, 0, 800, 480, os::RGB(0, 255, 0));
    DrawAlphaImage(canvasDc_, onAir, 100, 100, 100 + info.bmWidth, 100 + std::abs(info.bmHeight), nullptr, 255,
                   os::AC_SRC_ALPHA);
    for (std::size_t i = 0; i < count; ++i) {
        if (bits[i] != 0) continue;
        const int x = static_cast<int>(i % static_cast<std::size_t>(info.bmWidth));
        const int y = static_cast<int>(i / static_cast<std::size_t>(info.bmWidth));
        EXPECT_EQ(os::GetPixel(canvasDc_, 100 + x, 100 + y), os::RGB(0, 255, 0));
        break;
    }
    EXPECT_EQ(LoadAlphaImage(factory, "\\no such picture.png"), nullptr);
    os::DeleteObject(onAir);
    ReleaseSkinImagingFactory(factory);
    EXPECT_EQ(os::sim::GdiObjectCount(), objects);
}

TEST_F(SkinToolkit, StripsDrawTheirCellsAndSkipWhatTheyDoNotHold)
{
    const std::string path = SkinFile(SkinFolder(800, 480), "05_font", skin::kContentsOpaque.file);
    os::HBITMAP strip = LoadOpaqueImage(path.c_str());
    ASSERT_NE(strip, nullptr);
    const skin::CellSize cell = skin::kContentsOpaque.cell[0];
    FillRectColor(canvasDc_, 0, 0, 800, 480, os::RGB(255, 0, 255));
    EXPECT_EQ(DrawStripText(canvasDc_, strip, skin::kContentsOpaque, cell, "1?2", 10, 10, false), 10 + 3 * cell.width);
    EXPECT_EQ(os::GetPixel(canvasDc_, 10 + cell.width + cell.width / 2, 10 + cell.height / 2), os::RGB(255, 0, 255))
        << "'?' is not in the strip: its cell stays empty";
    // The same digit drawn twice is the same picture.
    DrawStripText(canvasDc_, strip, skin::kContentsOpaque, cell, "2", 300, 10, false);
    for (int y = 0; y < cell.height; y += 3) {
        for (int x = 0; x < cell.width; x += 3) {
            ASSERT_EQ(os::GetPixel(canvasDc_, 10 + 2 * cell.width + x, 10 + y), os::GetPixel(canvasDc_, 300 + x, 10 + y));
        }
    }
    // A strip read with cells too wide for its picture draws nothing rather than read past it.
    FillRectColor(canvasDc_, 0, 0, 800, 480, os::RGB(255, 0, 255));
    DrawStripText(canvasDc_, strip, skin::kContentsOpaque, skin::CellSize{400, cell.height}, "9", 0, 0, false);
    EXPECT_EQ(os::GetPixel(canvasDc_, 5, 5), os::RGB(255, 0, 255));
    os::DeleteObject(strip);
}

TEST_F(SkinToolkit, PrimitivesPaintWhereTheySayAndLeaveNoObjectsBehind)
{
    const int objects = os::sim::GdiObjectCount();
    FillRectColor(canvasDc_, 0, 0, 800, 480, os::RGB(0, 0, 0));
    DrawBevel(canvasDc_, 10, 10, 110, 60, os::RGB(255, 255, 255), os::RGB(128, 128, 128), 3);
    EXPECT_EQ(os::GetPixel(canvasDc_, 50, 12), os::RGB(255, 255, 255));
    EXPECT_EQ(os::GetPixel(canvasDc_, 12, 40), os::RGB(255, 255, 255));
    EXPECT_EQ(os::GetPixel(canvasDc_, 108, 40), os::GetPixel(canvasDc_, 50, 58));
    EXPECT_NE(os::GetPixel(canvasDc_, 108, 40), os::RGB(255, 255, 255));
    EXPECT_EQ(os::GetPixel(canvasDc_, 50, 30), os::RGB(0, 0, 0)) << "the inside is untouched";

    os::HBRUSH red = os::CreateSolidBrush(os::RGB(255, 0, 0));
    FrameRectBrush(canvasDc_, os::RECT{200, 10, 260, 50}, red);
    os::DeleteObject(red);
    EXPECT_EQ(os::GetPixel(canvasDc_, 200, 30), os::RGB(255, 0, 0));
    EXPECT_EQ(os::GetPixel(canvasDc_, 259, 49), os::RGB(255, 0, 0));
    EXPECT_EQ(os::GetPixel(canvasDc_, 201, 30), os::RGB(0, 0, 0));
    EXPECT_EQ(os::GetPixel(canvasDc_, 260, 30), os::RGB(0, 0, 0));

    // Outlined text: black ink with white around it, on any background.
    FillRectColor(canvasDc_, 0, 100, 800, 100, os::RGB(0, 0, 255));
    os::HFONT font = CreateUiFont(40, true, false);
    os::HGDIOBJ oldFont = os::SelectObject(canvasDc_, font);
    DrawOutlinedText(canvasDc_, "EVENT 88", os::RECT{0, 100, 800, 200}, os::DT_CENTER | os::DT_VCENTER | os::DT_SINGLELINE);
    os::SelectObject(canvasDc_, oldFont);
    os::DeleteObject(font);
    int black = 0;
    int white = 0;
    for (int y = 100; y < 200; ++y) {
        for (int x = 0; x < 800; ++x) {
            const os::COLORREF c = os::GetPixel(canvasDc_, x, y);
            black += c == os::RGB(0, 0, 0) ? 1 : 0;
            white += c == os::RGB(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(black, 200);
    EXPECT_GT(white, 200);
    EXPECT_EQ(os::GetTextColor(canvasDc_), os::RGB(0, 0, 0)) << "the context's colour is put back";
    EXPECT_EQ(os::sim::GdiObjectCount(), objects);
}

}  // namespace

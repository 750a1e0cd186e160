// Image files through the device's file system: the imaging factory's
// straight ARGB pixels, the shell loader's screen-format bitmaps, and
// damaged or missing files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/files/file_sim.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/graphics/imaging.h"
#include "platform/media/jpeg_encode.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

#include <gif_lib.h>
#include <png.h>

namespace {

// Straight RGBA, row by row.
std::string MakePng(int width, int height, const std::vector<std::uint8_t>& rgba)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), width * 4, nullptr));
    std::string out(size, '\0');
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), width * 4, nullptr));
    out.resize(size);
    return out;
}

int AppendGif(GifFileType* gif, const GifByteType* bytes, int n)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
    return n;
}

// 4 x 3, palette red, green, blue and a transparent fourth entry.
std::string MakeGif(const GifByteType (&indexes)[3][4])
{
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, 4, 3, 2, 0, map), GIF_OK);
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = 3;
    GifByteType ext[4];
    const std::size_t length = EGifGCBToExtension(&gcb, ext);
    EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), ext), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, 4, 3, false, nullptr), GIF_OK);
    for (const auto& row : indexes) {
        GifByteType line[4] = {row[0], row[1], row[2], row[3]};
        EXPECT_EQ(EGifPutLine(gif, line, 4), GIF_OK);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

class GdiImageTest : public testing_support::PlatformTest {
protected:
    testing_support::TempFolder root_;
    os::ComPtr<os::IImagingFactory> factory;

    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_.Path();
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
        ASSERT_EQ(os::CoCreateInstance(os::CLSID_ImagingFactory, nullptr, os::CLSCTX_INPROC_SERVER,
                                       os::IID_IImagingFactory, factory.OutVoid()),
                  os::S_OK);
    }
    void TearDown() override
    {
        factory.Reset();
        PlatformTest::TearDown();
    }
    // Places a file at the device path "\image\<name>".
    void Place(const std::string& name, const std::string& bytes)
    {
        const std::filesystem::path host = root_.Path() + "/fs/image/" + name;
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << bytes;
    }
};

TEST_F(GdiImageTest, PngWithAlphaReadsBackAsTheFilesStraightArgb)
{
    const int w = 37, h = 23;
    std::mt19937 rng(5);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
    for (auto& b : rgba) b = static_cast<std::uint8_t>(rng());
    rgba[3] = 0;    // one fully transparent pixel
    rgba[7] = 255;  // and one opaque
    Place("alpha.png", MakePng(w, h, rgba));

    os::ComPtr<os::IImage> image;
    ASSERT_EQ(factory->CreateImageFromFile("\\image\\alpha.png", image.Out()), os::S_OK);
    os::ImageInfo info;
    ASSERT_EQ(image->GetImageInfo(&info), os::S_OK);
    EXPECT_EQ(info.Width, static_cast<os::UINT>(w));
    EXPECT_EQ(info.Height, static_cast<os::UINT>(h));
    EXPECT_EQ(info.PixelFormat, os::PixelFormat32bppARGB);

    os::ComPtr<os::IBitmapImage> bitmap;
    ASSERT_EQ(factory->CreateBitmapFromImage(image.Get(), info.Width, info.Height, os::PixelFormat32bppARGB,
                                             os::InterpolationHintDefault, bitmap.Out()),
              os::S_OK);
    const os::RECT all{0, 0, w, h};
    os::BitmapData data;
    ASSERT_EQ(bitmap->LockBits(&all, os::ImageLockModeRead, os::PixelFormat32bppARGB, &data), os::S_OK);
    EXPECT_EQ(data.Width, static_cast<os::UINT>(w));
    EXPECT_EQ(data.Height, static_cast<os::UINT>(h));
    os::BitmapData second;
    EXPECT_LT(bitmap->LockBits(&all, os::ImageLockModeRead, os::PixelFormat32bppARGB, &second), 0);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(data.Scan0) +
                                                                 static_cast<std::ptrdiff_t>(y) * data.Stride);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            const std::uint32_t expected = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
                                           static_cast<std::uint32_t>(p[1]) << 8 | p[2];
            ASSERT_EQ(row[x], expected) << x << "," << y;
        }
    }
    EXPECT_EQ(bitmap->UnlockBits(&data), os::S_OK);
    EXPECT_LT(bitmap->UnlockBits(&data), 0);

    // A bitmap image of twice the size repeats each pixel in a 2 x 2 block.
    os::ComPtr<os::IBitmapImage> doubled;
    ASSERT_EQ(factory->CreateBitmapFromImage(image.Get(), 2 * w, 2 * h, os::PixelFormat32bppARGB,
                                             os::InterpolationHintDefault, doubled.Out()),
              os::S_OK);
    const os::RECT corner{2 * w - 2, 2 * h - 2, 2 * w, 2 * h};
    ASSERT_EQ(doubled->LockBits(&corner, os::ImageLockModeRead, os::PixelFormat32bppARGB, &data), os::S_OK);
    const std::uint8_t* last = &rgba[(static_cast<std::size_t>(h) * w - 1) * 4];
    const std::uint32_t expected = static_cast<std::uint32_t>(last[3]) << 24 | static_cast<std::uint32_t>(last[0]) << 16 |
                                   static_cast<std::uint32_t>(last[1]) << 8 | last[2];
    EXPECT_EQ(static_cast<const std::uint32_t*>(data.Scan0)[1], expected);
    doubled->UnlockBits(&data);
    const os::RECT outside{0, 0, 2 * w + 1, 1};
    EXPECT_LT(doubled->LockBits(&outside, os::ImageLockModeRead, os::PixelFormat32bppARGB, &data), 0);
}

TEST_F(GdiImageTest, ShellLoaderGivesScreenFormatBitmapsOfJpegGifAndPng)
{
    const int before = os::sim::GdiObjectCount();
    // A mid-grey JPEG: video-range 128 stretches to about 130.
    const int w = 32, h = 16;
    std::vector<std::uint8_t> yv12(static_cast<std::size_t>(w) * h * 3 / 2, 128);
    std::vector<std::uint8_t> jpeg;
    std::string error;
    ASSERT_TRUE(os::EncodeJpeg(yv12.data(), w, h, 90, &jpeg, &error)) << error;
    Place("grey.jpg", std::string(jpeg.begin(), jpeg.end()));
    const GifByteType indexes[3][4] = {{0, 1, 2, 3}, {3, 3, 0, 0}, {2, 2, 2, 1}};
    Place("box.gif", MakeGif(indexes));
    Place("dot.png", MakePng(1, 1, {10, 200, 30, 255}));

    os::HDC dc = os::CreateCompatibleDC(nullptr);
    os::HBITMAP grey = os::SHLoadImageFile("\\image\\grey.jpg");
    ASSERT_NE(grey, nullptr);
    os::BITMAP bm;
    os::GetObjectW(grey, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, w);
    EXPECT_EQ(bm.bmHeight, h);
    EXPECT_EQ(bm.bmBitsPixel, 16);
    os::HGDIOBJ old = os::SelectObject(dc, grey);
    const os::COLORREF c = os::GetPixel(dc, 5, 5);
    EXPECT_NEAR(os::GetRValue(c), 130, 8);
    EXPECT_NEAR(os::GetGValue(c), 130, 8);
    os::SelectObject(dc, old);
    os::DeleteObject(grey);

    os::HBITMAP box = os::SHLoadImageFile("\\image\\box.gif");
    ASSERT_NE(box, nullptr);
    old = os::SelectObject(dc, box);
    EXPECT_EQ(os::GetPixel(dc, 0, 0), os::RGB(255, 0, 0));
    EXPECT_EQ(os::GetPixel(dc, 1, 0), os::RGB(0, 255, 0));
    EXPECT_EQ(os::GetPixel(dc, 3, 2), os::RGB(0, 255, 0));
    os::SelectObject(dc, old);
    os::DeleteObject(box);

    // GIF transparency reaches the imaging factory as alpha 0.
    os::ComPtr<os::IImage> image;
    ASSERT_EQ(factory->CreateImageFromFile("\\image\\box.gif", image.Out()), os::S_OK);
    os::ComPtr<os::IBitmapImage> bitmap;
    ASSERT_EQ(factory->CreateBitmapFromImage(image.Get(), 0, 0, os::PixelFormat32bppARGB, os::InterpolationHintDefault,
                                             bitmap.Out()),
              os::S_OK);
    os::BitmapData data;
    ASSERT_EQ(bitmap->LockBits(nullptr, os::ImageLockModeRead, os::PixelFormat32bppARGB, &data), os::S_OK);
    const auto* px = static_cast<const std::uint32_t*>(data.Scan0);
    EXPECT_EQ(px[0], 0xFFFF0000u);
    EXPECT_EQ(px[3] >> 24, 0u);
    bitmap->UnlockBits(&data);

    os::HBITMAP dot = os::SHLoadImageFile("\\image\\dot.png");
    ASSERT_NE(dot, nullptr);
    old = os::SelectObject(dc, dot);
    EXPECT_EQ(os::GetPixel(dc, 0, 0), os::RGB(8, 203, 24));  // 10, 200, 30 through 5-6-5
    os::SelectObject(dc, old);
    os::DeleteObject(dot);
    os::DeleteDC(dc);
    EXPECT_EQ(os::sim::GdiObjectCount(), before);
}

TEST_F(GdiImageTest, MissingAndDamagedFilesFailWithoutAnImage)
{
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 200);
    const std::string png = MakePng(16, 16, rgba);
    Place("cut.png", png.substr(0, png.size() / 2));
    std::string flipped = png;
    for (std::size_t i = 40; i < flipped.size(); i += 7) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
    Place("flipped.png", flipped);
    Place("noise.jpg", std::string("\xFF\xD8\xFF\xE0") + std::string(300, '\x13'));
    Place("stub.gif", "GIF89a\x01");
    Place("text.png", "not an image at all");
    // A PNG header that claims a side beyond what the device holds.
    std::string huge = MakePng(1, 1, {1, 2, 3, 4});
    huge[16] = 0x00;
    huge[17] = 0x01;  // width 65536 + ...
    Place("huge.png", huge);
    const int before = os::sim::GdiObjectCount();
    for (const char* name : {"\\image\\absent.png", "\\image\\cut.png", "\\image\\flipped.png", "\\image\\noise.jpg",
                             "\\image\\stub.gif", "\\image\\text.png", "\\image\\huge.png", "\\image"}) {
        EXPECT_EQ(os::SHLoadImageFile(name), nullptr) << name;
        os::ComPtr<os::IImage> image;
        EXPECT_LT(factory->CreateImageFromFile(name, image.Out()), 0) << name;
        EXPECT_FALSE(image) << name;
    }
    EXPECT_EQ(os::SHLoadImageFile(nullptr), nullptr);
    EXPECT_EQ(os::sim::GdiObjectCount(), before);
    os::ComPtr<os::IBitmapImage> bitmap;
    EXPECT_LT(factory->CreateBitmapFromImage(nullptr, 1, 1, os::PixelFormat32bppARGB, os::InterpolationHintDefault,
                                             bitmap.Out()),
              0);
}

}  // namespace

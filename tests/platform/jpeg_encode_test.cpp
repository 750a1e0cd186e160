// Still pictures: encoded JPEGs decode back (libjpeg) to the size and levels
// of the picture given, and real tools read the file.
#include "platform/media/jpeg_encode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sim/road_scene.h"
#include "tests/support/host_tool.h"
#include "tests/support/temp_folder.h"

// Last: libjpeg defines TRUE and FALSE as macros, which the platform's types name.
#include <jpeglib.h>

namespace {

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> luma;  // full range, as JFIF holds it
    double cbMean = 0;
    double crMean = 0;
};

// Decodes to YCbCr without colour conversion; the fields stay 0 when libjpeg cannot.
Decoded Decode(const std::vector<std::uint8_t>& jpeg)
{
    Decoded d;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), jpeg.size());
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return d;
    }
    info.out_color_space = JCS_YCbCr;
    jpeg_start_decompress(&info);
    d.width = static_cast<int>(info.output_width);
    d.height = static_cast<int>(info.output_height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(d.width) * 3);
    double cb = 0, cr = 0;
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        for (int x = 0; x < d.width; ++x) {
            d.luma.push_back(row[x * 3]);
            cb += row[x * 3 + 1];
            cr += row[x * 3 + 2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    d.cbMean = cb / static_cast<double>(d.luma.size());
    d.crMean = cr / static_cast<double>(d.luma.size());
    return d;
}

double Mean(const std::uint8_t* p, std::size_t n)
{
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += p[i];
    return sum / static_cast<double>(n);
}

// Video range to full range, the stretch JFIF readers expect.
double FullRangeLuma(double y) { return (y - 16) * 255.0 / 219; }
double FullRangeChroma(double c) { return 128 + (c - 128) * 255.0 / 224; }

TEST(JpegEncode, DecodesBackToTheSizeAndLevelsOfEveryPicture)
{
    struct Case {
        int width, height, quality;
    };
    // Sides that are and are not whole 16-pixel blocks, and qualities beyond the range.
    const Case cases[] = {{320, 240, 85}, {34, 18, 50}, {2, 2, 100}, {798, 478, 200}, {176, 144, -5}, {64, 480, 1}};
    sim::RoadScene scene;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " q" + std::to_string(c.quality));
        const std::size_t luma = static_cast<std::size_t>(c.width) * c.height;
        std::vector<std::uint8_t> picture(luma * 3 / 2);
        if (c.width >= 32 && c.height >= 16) {
            scene.Fill(0, 4'000'000, c.width, c.height, picture.data());
        } else {
            for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(40 + i * 37 % 150);
        }
        // V, then U: a strong tint in each tells them apart.
        for (std::size_t i = 0; i < luma / 4; ++i) {
            picture[luma + i] = 180;            // V (Cr)
            picture[luma + luma / 4 + i] = 90;  // U (Cb)
        }
        std::vector<std::uint8_t> jpeg;
        std::string error;
        ASSERT_TRUE(os::EncodeJpeg(picture.data(), c.width, c.height, c.quality, &jpeg, &error)) << error;
        ASSERT_GT(jpeg.size(), 100u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        const Decoded d = Decode(jpeg);
        ASSERT_EQ(d.width, c.width);
        ASSERT_EQ(d.height, c.height);
        // At quality 1 the DC steps alone are some 16 levels of chroma.
        const double tolerance = c.quality <= 1 ? 20 : 3;
        EXPECT_NEAR(Mean(d.luma.data(), d.luma.size()), FullRangeLuma(Mean(picture.data(), luma)), tolerance);
        EXPECT_NEAR(d.crMean, FullRangeChroma(180), tolerance);
        EXPECT_NEAR(d.cbMean, FullRangeChroma(90), tolerance);
    }
}

TEST(JpegEncode, QualityChangesTheFileAndOutOfRangeQualitiesAreClamped)
{
    constexpr int kW = 320, kH = 240;
    sim::RoadScene scene;
    std::vector<std::uint8_t> picture(kW * kH * 3 / 2);
    scene.Fill(0, 4'000'000, kW, kH, picture.data());
    auto encode = [&](int quality) {
        std::vector<std::uint8_t> jpeg;
        std::string error;
        EXPECT_TRUE(os::EncodeJpeg(picture.data(), kW, kH, quality, &jpeg, &error)) << error;
        return jpeg;
    };
    EXPECT_LT(encode(10).size(), encode(95).size());
    EXPECT_EQ(encode(500), encode(100));
    EXPECT_EQ(encode(0), encode(1));
    EXPECT_EQ(encode(-40), encode(1));
}

TEST(JpegEncode, BadSizesAreRefusedAndLeaveTheOutputAlone)
{
    std::vector<std::uint8_t> picture(640 * 480 * 3 / 2, 128);
    const std::pair<int, int> sizes[] = {{0, 240}, {320, 0}, {-320, 240}, {321, 240}, {320, 241}, {65502, 2}, {2, 65502}};
    for (const auto& [w, h] : sizes) {
        std::vector<std::uint8_t> out = {1, 2, 3};
        std::string error;
        EXPECT_FALSE(os::EncodeJpeg(picture.data(), w, h, 80, &out, &error)) << w << "x" << h;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
    }
    std::vector<std::uint8_t> out;
    std::string error;
    EXPECT_FALSE(os::EncodeJpeg(nullptr, 320, 240, 80, &out, &error));
    EXPECT_FALSE(error.empty());
}

TEST(JpegEncode, ImageMagickAndExiftoolReadTheFile)
{
    constexpr int kW = 320, kH = 240;
    sim::RoadScene scene;
    std::vector<std::uint8_t> picture(kW * kH * 3 / 2);
    scene.Fill(0, 4'000'000, kW, kH, picture.data());
    std::vector<std::uint8_t> jpeg;
    std::string error;
    ASSERT_TRUE(os::EncodeJpeg(picture.data(), kW, kH, 80, &jpeg, &error)) << error;
    testing_support::TempFolder folder;
    const std::string file = folder / "still.jpg";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                static_cast<std::streamsize>(jpeg.size()));
    int tried = 0;
    if (testing_support::HostToolPresent("identify")) {
        ++tried;
        const auto id = testing_support::RunHostTool("identify -format '%m %w %h %[colorspace]' '" + file + "'");
        EXPECT_EQ(id.exitCode, 0) << id.output;
        EXPECT_EQ(id.output, "JPEG 320 240 sRGB");
    } else {
        std::printf("identify (ImageMagick) is not installed: not tried\n");
    }
    if (testing_support::HostToolPresent("exiftool")) {
        ++tried;
        const auto exif = testing_support::RunHostTool("exiftool -s3 -FileType -ImageWidth -ImageHeight "
                                                       "-YCbCrSubSampling -Warning -Error '" + file + "'");
        EXPECT_EQ(exif.exitCode, 0) << exif.output;
        EXPECT_EQ(exif.output, "JPEG\n320\n240\nYCbCr4:2:0 (2 2)\n");
    } else {
        std::printf("exiftool is not installed: not tried\n");
    }
    if (tried == 0) GTEST_SKIP() << "neither identify nor exiftool is installed";
}

}  // namespace

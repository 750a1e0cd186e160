#include "skin/image_writers.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <gif_lib.h>
// After <cstdio>: libjpeg's header uses FILE without including it.
#include <jpeglib.h>

namespace skin {

namespace {

struct Rgb8 {
    std::uint8_t r, g, b;
};

// The surface's pixels as RGB rows; a picture with alpha is taken as laid
// over black (cairo keeps premultiplied colour, so that is its colour as is).
std::vector<Rgb8> Pixels(cairo_surface_t* surface, int* width, int* height)
{
    cairo_surface_flush(surface);
    *width = cairo_image_surface_get_width(surface);
    *height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<Rgb8> pixels(static_cast<std::size_t>(*width) * *height);
    for (int y = 0; y < *height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < *width; ++x) {
            const std::uint32_t p = row[x];
            pixels[static_cast<std::size_t>(y) * *width + x] = {static_cast<std::uint8_t>(p >> 16),
                                                                static_cast<std::uint8_t>(p >> 8),
                                                                static_cast<std::uint8_t>(p)};
        }
    }
    return pixels;
}

struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info)
{
    auto* error = reinterpret_cast<JpegError*>(info->err);
    info->err->format_message(info, error->message);
    std::longjmp(error->jump, 1);
}

// The palette of a picture: its colours counted in 5-bit-per-channel bins,
// the 256 fullest bins (ties to the lower bin) as entries holding their
// pixels' mean colour, every bin mapped to its nearest entry.
struct Palette {
    std::vector<Rgb8> colours;
    std::vector<std::uint8_t> binEntry;  // by bin
};

int Bin(const Rgb8& c)
{
    return (c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3);
}

Palette MakePalette(const std::vector<Rgb8>& pixels)
{
    constexpr int kBins = 1 << 15;
    std::vector<std::uint64_t> count(kBins), sumR(kBins), sumG(kBins), sumB(kBins);
    for (const Rgb8& c : pixels) {
        const int b = Bin(c);
        ++count[b];
        sumR[b] += c.r;
        sumG[b] += c.g;
        sumB[b] += c.b;
    }
    std::vector<int> used;
    for (int b = 0; b < kBins; ++b) {
        if (count[b] != 0) used.push_back(b);
    }
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return count[a] > count[b]; });
    if (used.size() > 256) used.resize(256);
    Palette palette;
    for (int b : used) {
        palette.colours.push_back({static_cast<std::uint8_t>(sumR[b] / count[b]),
                                   static_cast<std::uint8_t>(sumG[b] / count[b]),
                                   static_cast<std::uint8_t>(sumB[b] / count[b])});
    }
    palette.binEntry.assign(kBins, 0);
    for (int b = 0; b < kBins; ++b) {
        if (count[b] == 0) continue;
        const int r = static_cast<int>(sumR[b] / count[b]);
        const int g = static_cast<int>(sumG[b] / count[b]);
        const int bl = static_cast<int>(sumB[b] / count[b]);
        int best = 0;
        int bestDistance = 1 << 30;
        for (std::size_t i = 0; i < palette.colours.size(); ++i) {
            const Rgb8& p = palette.colours[i];
            const int d = (p.r - r) * (p.r - r) + (p.g - g) * (p.g - g) + (p.b - bl) * (p.b - bl);
            if (d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(i);
            }
        }
        palette.binEntry[b] = static_cast<std::uint8_t>(best);
    }
    palette.colours.resize(256, Rgb8{0, 0, 0});
    return palette;
}

}  // namespace

bool WritePng(cairo_surface_t* surface, const std::string& path, std::string* error)
{
    cairo_surface_flush(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    if (status == CAIRO_STATUS_SUCCESS) return true;
    *error = path + ": " + cairo_status_to_string(status);
    return false;
}

namespace {

// The setjmp frame holds only plain data: a longjmp back into a frame with
// live C++ objects would leave them clobbered.
bool CompressJpeg(std::FILE* file, const Rgb8* pixels, int width, int height, int quality, char* message)
{
    jpeg_compress_struct info{};
    JpegError jerr{};
    info.err = jpeg_std_error(&jerr.base);
    jerr.base.error_exit = JpegErrorExit;
    if (setjmp(jerr.jump) != 0) {
        jpeg_destroy_compress(&info);
        std::memcpy(message, jerr.message, JMSG_LENGTH_MAX);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // Full-resolution colour: the pictures are flat colours and thin lines,
    // which halved chroma would smear.
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<Rgb8*>(pixels) + static_cast<std::size_t>(info.next_scanline) * width);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

bool WriteJpeg(cairo_surface_t* surface, const std::string& path, int quality, std::string* error)
{
    int width = 0;
    int height = 0;
    const std::vector<Rgb8> pixels = Pixels(surface, &width, &height);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *error = path + ": cannot be created";
        return false;
    }
    char message[JMSG_LENGTH_MAX] = {};
    if (!CompressJpeg(file, pixels.data(), width, height, quality, message)) {
        std::fclose(file);
        *error = path + ": " + message;
        return false;
    }
    if (std::fclose(file) != 0) {
        *error = path + ": cannot be written";
        return false;
    }
    return true;
}

bool WriteGif(cairo_surface_t* surface, const std::string& path, std::string* error)
{
    static_assert(sizeof(Rgb8) == 3);
    int width = 0;
    int height = 0;
    const std::vector<Rgb8> pixels = Pixels(surface, &width, &height);
    const Palette palette = MakePalette(pixels);
    std::array<GifColorType, 256> colours{};
    for (int i = 0; i < 256; ++i) {
        colours[i] = {palette.colours[i].r, palette.colours[i].g, palette.colours[i].b};
    }
    int code = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &code);
    if (gif == nullptr) {
        *error = path + ": " + GifErrorString(code);
        return false;
    }
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    bool ok = map != nullptr && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    for (int y = 0; ok && y < height; ++y) {
        for (int x = 0; x < width; ++x) line[x] = palette.binEntry[Bin(pixels[static_cast<std::size_t>(y) * width + x])];
        ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
    }
    if (!ok) *error = path + ": " + GifErrorString(gif->Error);
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &code) != GIF_OK && ok) {
        *error = path + ": " + GifErrorString(code);
        ok = false;
    }
    return ok;
}

}  // namespace skin

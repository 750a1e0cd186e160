// Image files to straight ARGB pixels: PNG with libpng, JPEG with
// libjpeg-turbo, GIF with giflib.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files/file.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/internal/image_decode.h"
#include "platform/kernel/sync.h"

// After the platform's headers: the libraries define TRUE and FALSE as macros.
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

namespace os::detail {

namespace {

bool SizeAllowed(std::uint64_t width, std::uint64_t height, std::string* error)
{
    if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
        *error = "image size " + std::to_string(width) + "x" + std::to_string(height) + " is outside 1.." +
                 std::to_string(kMaxBitmapSide);
        return false;
    }
    return true;
}

bool DecodePng(const std::vector<std::uint8_t>& bytes, DecodedImage* out, std::string* error)
{
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        *error = std::string("PNG: ") + image.message;
        return false;
    }
    if (!SizeAllowed(image.width, image.height, error)) {
        png_image_free(&image);
        return false;
    }
    // B, G, R, A in memory: one little-endian 0xAARRGGBB per pixel, alpha straight.
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), static_cast<png_int_32>(image.width * 4), nullptr)) {
        *error = std::string("PNG: ") + image.message;
        png_image_free(&image);
        return false;
    }
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->argb = std::move(pixels);
    return true;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegExit(j_common_ptr info)
{
    auto* err = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {}

bool DecodeJpeg(const std::vector<std::uint8_t>& bytes, DecodedImage* out, std::string* error)
{
    jpeg_decompress_struct info;
    JpegError err;
    std::vector<std::uint32_t> pixels;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegExit;
    err.mgr.emit_message = JpegQuiet;
    err.message[0] = '\0';
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        *error = std::string("JPEG: ") + err.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (!SizeAllowed(info.image_width, info.image_height, error)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    pixels.resize(static_cast<std::size_t>(info.output_width) * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels.data() + static_cast<std::size_t>(info.output_scanline) *
                                                                      info.output_width);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    jpeg_destroy_decompress(&info);
    for (auto& p : pixels) p |= 0xFF000000u;
    out->argb = std::move(pixels);
    return true;
}

struct GifSource {
    const std::vector<std::uint8_t>* bytes;
    std::size_t at = 0;
};

int GifRead(GifFileType* gif, GifByteType* buffer, int want)
{
    auto* src = static_cast<GifSource*>(gif->UserData);
    const std::size_t left = src->bytes->size() - src->at;
    const std::size_t n = std::min(left, static_cast<std::size_t>(want < 0 ? 0 : want));
    std::memcpy(buffer, src->bytes->data() + src->at, n);
    src->at += n;
    return static_cast<int>(n);
}

bool DecodeGif(const std::vector<std::uint8_t>& bytes, DecodedImage* out, std::string* error)
{
    GifSource source{&bytes};
    int code = 0;
    GifFileType* gif = DGifOpen(&source, GifRead, &code);
    if (gif == nullptr) {
        *error = std::string("GIF: ") + GifErrorString(code);
        return false;
    }
    const auto fail = [&](const std::string& why) {
        *error = "GIF: " + why;
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
        return false;
    };
    if (!SizeAllowed(static_cast<std::uint64_t>(std::max(gif->SWidth, 0)),
                     static_cast<std::uint64_t>(std::max(gif->SHeight, 0)), error)) {
        return fail(*error);
    }
    if (DGifSlurp(gif) != GIF_OK) return fail(GifErrorString(gif->Error));
    if (gif->ImageCount < 1) return fail("no image");
    const SavedImage& frame = gif->SavedImages[0];
    const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    if (map == nullptr) return fail("no colour table");
    GraphicsControlBlock gcb;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, 0, &gcb);
    const int width = gif->SWidth, height = gif->SHeight;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0);
    const GifImageDesc& d = frame.ImageDesc;
    for (int y = 0; y < d.Height; ++y) {
        const int py = d.Top + y;
        if (py < 0 || py >= height) continue;
        for (int x = 0; x < d.Width; ++x) {
            const int px = d.Left + x;
            if (px < 0 || px >= width) continue;
            const int index = frame.RasterBits[static_cast<std::size_t>(y) * d.Width + x];
            if (index == gcb.TransparentColor || index >= map->ColorCount) continue;
            const GifColorType& c = map->Colors[index];
            pixels[static_cast<std::size_t>(py) * width + px] =
                0xFF000000u | (static_cast<std::uint32_t>(c.Red) << 16) | (static_cast<std::uint32_t>(c.Green) << 8) |
                c.Blue;
        }
    }
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
    out->width = width;
    out->height = height;
    out->argb = std::move(pixels);
    return true;
}

}  // namespace

bool ReadDeviceFile(const char* path, std::vector<std::uint8_t>* bytes, std::string* error)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = std::string("cannot open ") + (path ? path : "(null)") + " (error " +
                 std::to_string(GetLastError()) + ")";
        return false;
    }
    LONGLONG size = 0;
    bool ok = GetFileSizeEx(file, &size) && size >= 0 && static_cast<std::uint64_t>(size) <= kMaxImageFileBytes;
    if (!ok) *error = std::string(path) + " is too large for an image";
    if (ok) {
        bytes->resize(static_cast<std::size_t>(size));
        DWORD read = 0;
        ok = size == 0 || (ReadFile(file, bytes->data(), static_cast<DWORD>(size), &read, nullptr) &&
                           read == static_cast<DWORD>(size));
        if (!ok) *error = std::string("cannot read ") + path;
    }
    CloseHandle(file);
    return ok;
}

bool DecodeImage(const std::vector<std::uint8_t>& bytes, DecodedImage* out, std::string* error)
{
    static const std::uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kPng, 4) == 0) return DecodePng(bytes, out, error);
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        return DecodeJpeg(bytes, out, error);
    }
    if (bytes.size() >= 6 && std::memcmp(bytes.data(), "GIF8", 4) == 0) return DecodeGif(bytes, out, error);
    *error = "not a PNG, JPEG or GIF file";
    return false;
}

bool LoadImageFile(const char* path, DecodedImage* out, std::string* error)
{
    std::vector<std::uint8_t> bytes;
    return ReadDeviceFile(path, &bytes, error) && DecodeImage(bytes, out, error);
}

}  // namespace os::detail

#include "photo/still_decode.h"

#include <csetjmp>
#include <cstdio>

// Alone in its unit: the library defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace {

struct StillJpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void StillJpegExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<StillJpegError*>(info->err)->jump, 1);
}

void StillJpegQuiet(j_common_ptr, int) {}

}  // namespace

bool DecodeStill(const std::uint8_t* bytes, long length, StillPicture* out)
{
    if (bytes == nullptr || length <= 0) return false;
    jpeg_decompress_struct info;
    StillJpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = StillJpegExit;
    err.mgr.emit_message = StillJpegQuiet;
    // Filled only once the decode is through: a jump leaves *out as it was.
    std::vector<std::uint8_t> rgb;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(length));
    jpeg_read_header(&info, TRUE);
    unsigned denom = 1;
    while (denom < 8 && (info.image_width / denom > kStillDecodeMaxSide || info.image_height / denom > kStillDecodeMaxSide))
        denom *= 2;
    info.scale_num = 1;
    info.scale_denom = denom;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width == 0 || info.output_height == 0 ||
        info.output_width > 4 * kStillDecodeMaxSide || info.output_height > 4 * kStillDecodeMaxSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    rgb.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgb.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    jpeg_destroy_decompress(&info);
    out->rgb = std::move(rgb);
    return true;
}

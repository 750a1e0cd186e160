#include "platform/media/jpeg_encode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// After <cstdio>: libjpeg's header uses FILE without including it.
#include <jpeglib.h>

namespace os {

namespace {

constexpr int kMaxSide = 65500;  // JPEG_MAX_DIMENSION

// libjpeg reports a fatal error by calling error_exit, which must not return.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Video range to full range, as JFIF readers expect.
struct RangeTables {
    std::array<std::uint8_t, 256> luma;
    std::array<std::uint8_t, 256> chroma;
};

const RangeTables& Tables()
{
    static const RangeTables tables = [] {
        RangeTables t{};
        for (int i = 0; i < 256; ++i) {
            t.luma[i] = static_cast<std::uint8_t>(std::clamp(std::lround((i - 16) * 255.0 / 219), 0l, 255l));
            t.chroma[i] = static_cast<std::uint8_t>(std::clamp(std::lround(128 + (i - 128) * 255.0 / 224), 0l, 255l));
        }
        return t;
    }();
    return tables;
}

// One band of 16 luma rows and 8 rows of each chroma plane, widened to whole
// blocks by repeating the last column and row, as raw data input needs.
struct Band {
    int paddedWidth = 0;
    std::vector<std::uint8_t> y, cb, cr;
    std::array<JSAMPROW, 16> yRows{};
    std::array<JSAMPROW, 8> cbRows{}, crRows{};
    std::array<JSAMPARRAY, 3> planes{};

    explicit Band(int width) : paddedWidth((width + 15) / 16 * 16)
    {
        y.resize(static_cast<std::size_t>(paddedWidth) * 16);
        cb.resize(static_cast<std::size_t>(paddedWidth / 2) * 8);
        cr.resize(cb.size());
        for (int r = 0; r < 16; ++r) yRows[r] = y.data() + r * paddedWidth;
        for (int r = 0; r < 8; ++r) {
            cbRows[r] = cb.data() + r * (paddedWidth / 2);
            crRows[r] = cr.data() + r * (paddedWidth / 2);
        }
        planes = {yRows.data(), cbRows.data(), crRows.data()};
    }

    static void CopyRow(const std::uint8_t* from, int width, const std::array<std::uint8_t, 256>& table,
                        std::uint8_t* to, int paddedWidth)
    {
        for (int x = 0; x < width; ++x) to[x] = table[from[x]];
        std::memset(to + width, to[width - 1], paddedWidth - width);
    }

    void Fill(const std::uint8_t* yv12, int width, int height, int top)
    {
        const RangeTables& t = Tables();
        const int cw = width / 2;
        const int ch = height / 2;
        const std::uint8_t* v = yv12 + static_cast<std::size_t>(width) * height;
        const std::uint8_t* u = v + static_cast<std::size_t>(cw) * ch;
        for (int r = 0; r < 16; ++r) {
            const int row = std::min(top + r, height - 1);
            CopyRow(yv12 + static_cast<std::size_t>(row) * width, width, t.luma, yRows[r], paddedWidth);
        }
        for (int r = 0; r < 8; ++r) {
            const int row = std::min(top / 2 + r, ch - 1);
            CopyRow(u + static_cast<std::size_t>(row) * cw, cw, t.chroma, cbRows[r], paddedWidth / 2);
            CopyRow(v + static_cast<std::size_t>(row) * cw, cw, t.chroma, crRows[r], paddedWidth / 2);
        }
    }
};

// The part that may jump out: no object with a destructor lives in this frame.
bool Compress(jpeg_compress_struct* cinfo, ErrorManager* errors, const std::uint8_t* yv12, int width, int height,
              int quality, Band* band, unsigned char** buffer, unsigned long* size)
{
    if (setjmp(errors->jump)) return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = static_cast<JDIMENSION>(width);
    cinfo->image_height = static_cast<JDIMENSION>(height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_YCbCr;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    cinfo->raw_data_in = TRUE;
    cinfo->comp_info[0].h_samp_factor = 2;
    cinfo->comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        cinfo->comp_info[c].h_samp_factor = 1;
        cinfo->comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        band->Fill(yv12, width, height, static_cast<int>(cinfo->next_scanline));
        jpeg_write_raw_data(cinfo, band->planes.data(), 16);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

bool EncodeJpeg(const std::uint8_t* yv12, int width, int height, int quality, std::vector<std::uint8_t>* out,
                std::string* error)
{
    if (yv12 == nullptr || out == nullptr) {
        *error = "no picture to encode";
        return false;
    }
    if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0 || width > kMaxSide || height > kMaxSide) {
        *error = "cannot encode a " + std::to_string(width) + "x" + std::to_string(height) +
                 " picture: the sides must be even, from 2 to " + std::to_string(kMaxSide);
        return false;
    }
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = ErrorExit;
    Band band(width);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = Compress(&cinfo, &errors, yv12, width, height, std::clamp(quality, 1, 100), &band, &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    if (ok) out->assign(buffer, buffer + size);
    else *error = std::string("JPEG encoder: ") + errors.message;
    std::free(buffer);
    return ok;
}

}  // namespace os

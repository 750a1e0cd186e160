#include "ui/preview_picture.h"

#include <algorithm>
#include <cstring>

#include "recorder/preview_frame.h"
#include "ui/draw_prims.h"

namespace {

constexpr os::COLORREF kBars[7] = {os::RGB(191, 191, 191), os::RGB(191, 191, 0), os::RGB(0, 191, 191),
                                   os::RGB(0, 191, 0),     os::RGB(191, 0, 191), os::RGB(191, 0, 0),
                                   os::RGB(0, 0, 191)};
constexpr int kRampSteps = 8;

std::uint16_t Rgb565(os::COLORREF c)
{
    return static_cast<std::uint16_t>(((os::GetRValue(c) >> 3) << 11) | ((os::GetGValue(c) >> 2) << 5) |
                                      (os::GetBValue(c) >> 3));
}

// A top-down 5-6-5 bitmap of the given size, unless the one held has it already.
bool Reshape(PictureBitmap* picture, int width, int height)
{
    if (picture->bitmap != nullptr && picture->width == width && picture->height == height) return true;
    ReleasePictureBitmap(picture);
    os::BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 16;
    info.bmiHeader.biCompression = os::BI_BITFIELDS;
    const os::DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.bmiColors, masks, sizeof masks);
    void* bits = nullptr;
    picture->bitmap = os::CreateDIBSection(nullptr, &info, os::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (picture->bitmap == nullptr) return false;
    picture->bits = static_cast<std::uint16_t*>(bits);
    picture->width = width;
    picture->height = height;
    picture->serial = 0;
    return true;
}

// Rows are DWORD-aligned: an odd width has one spare pixel per row.
int RowPixels(int width)
{
    return (width + 1) / 2 * 2;
}

// Under the frame lock: the picture into the screen's bitmap, row by row.
void CopyPicture(const std::uint16_t* pixels, int width, int height, void* context)
{
    auto* preview = static_cast<PictureBitmap*>(context);
    if (!Reshape(preview, width, height)) return;
    const int stride = RowPixels(width);
    for (int y = 0; y < height; ++y) {
        std::memcpy(preview->bits + static_cast<std::ptrdiff_t>(y) * stride,
                    pixels + static_cast<std::ptrdiff_t>(y) * width, static_cast<std::size_t>(width) * 2);
    }
}

void MakePattern(PictureBitmap* pattern, int width, int height)
{
    if (pattern->bitmap != nullptr && pattern->width == width && pattern->height == height) return;
    if (!Reshape(pattern, width, height)) return;
    const int stride = RowPixels(width);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pattern->bits[static_cast<std::ptrdiff_t>(y) * stride + x] = Rgb565(TestPatternColour(x, y, width, height));
}

void Blit(os::HDC dc, const os::RECT& area, int layoutW, int layoutH, const PictureBitmap& picture)
{
    const PictureFit fit = FitPicture(area, layoutW, layoutH, picture.width, picture.height);
    if (fit.dest.right <= fit.dest.left || fit.dest.bottom <= fit.dest.top) return;
    BlitBitmap(dc, picture.bitmap, fit.dest.left, fit.dest.top, fit.dest.right, fit.dest.bottom, fit.srcX, fit.srcY);
}

}  // namespace

PictureFit FitPicture(const os::RECT& area, int layoutW, int layoutH, int frameW, int frameH)
{
    PictureFit fit;
    if (frameW <= 0 || frameH <= 0 || area.right <= area.left || area.bottom <= area.top) return fit;
    const int left = area.left + (area.right - area.left - layoutW) / 2;
    const int top = area.top + (area.bottom - area.top - layoutH) / 2;
    fit.dest = os::RECT{std::max(left, area.left), std::max(top, area.top), std::min(left + frameW, area.right),
                        std::min(top + frameH, area.bottom)};
    if (fit.dest.right <= fit.dest.left || fit.dest.bottom <= fit.dest.top) {
        fit.dest = os::RECT{};
        return fit;
    }
    fit.srcX = fit.dest.left - left;
    fit.srcY = fit.dest.top - top;
    return fit;
}

os::COLORREF TestPatternColour(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0) return 0;
    if (y < height * 3 / 4) return kBars[std::clamp(x * 7 / width, 0, 6)];
    const int level = std::clamp(x * kRampSteps / width, 0, kRampSteps - 1) * 255 / (kRampSteps - 1);
    return os::RGB(level, level, level);
}

int DrawPreviewPicture(os::HDC dc, const os::RECT& area, int layoutW, int layoutH, PreviewFrame* frame, bool live,
                       PictureBitmap* preview, PictureBitmap* pattern)
{
    const std::uint32_t serial = live && frame != nullptr ? PreviewFrame_Take(frame, preview->serial, CopyPicture, preview)
                                                          : 0;
    if (serial != 0 && preview->bitmap != nullptr) {
        preview->serial = serial;
        Blit(dc, area, layoutW, layoutH, *preview);
        return 1;
    }
    MakePattern(pattern, layoutW, layoutH);
    if (pattern->bitmap != nullptr) Blit(dc, area, layoutW, layoutH, *pattern);
    return 0;
}

void ReleasePictureBitmap(PictureBitmap* picture)
{
    if (picture->bitmap != nullptr) os::DeleteObject(picture->bitmap);
    *picture = PictureBitmap{};
}

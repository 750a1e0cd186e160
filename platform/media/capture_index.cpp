#include "platform/media/capture_index.h"

#include <cstring>

namespace os {

namespace {
constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kBlack = 16;
}  // namespace

void StampCaptureIndex(std::uint8_t* yv12, int width, int height, std::uint32_t index)
{
    if (width < kCaptureIndexCells || height < kCaptureIndexRows) return;
    const int cell = width / kCaptureIndexCells;
    for (int row = 0; row < kCaptureIndexRows; ++row) {
        std::uint8_t* line = yv12 + static_cast<std::size_t>(row) * width;
        for (int k = 0; k < kCaptureIndexCells; ++k) {
            const bool set = (index >> (31 - k)) & 1u;
            std::memset(line + k * cell, set ? kWhite : kBlack, cell);
        }
        std::memset(line + kCaptureIndexCells * cell, kBlack, width - kCaptureIndexCells * cell);
    }
    // Neutral chroma under the band, so colour bleeding cannot tip a cell.
    const int chromaWidth = width / 2;
    const int chromaRows = kCaptureIndexRows / 2;
    std::uint8_t* v = yv12 + static_cast<std::size_t>(width) * height;
    std::uint8_t* u = v + static_cast<std::size_t>(chromaWidth) * (height / 2);
    for (int row = 0; row < chromaRows; ++row) {
        std::memset(v + row * chromaWidth, 128, chromaWidth);
        std::memset(u + row * chromaWidth, 128, chromaWidth);
    }
}

std::optional<std::uint32_t> ReadCaptureIndex(const std::uint8_t* luma, int width, int height, int stride)
{
    if (width < kCaptureIndexCells || height < kCaptureIndexRows || stride < width) return std::nullopt;
    const int cell = width / kCaptureIndexCells;
    // Skip the rim of each cell, where block edges and ringing blur the level.
    const int margin = cell >= 6 ? 2 : 0;
    std::uint32_t index = 0;
    for (int k = 0; k < kCaptureIndexCells; ++k) {
        long sum = 0;
        int count = 0;
        for (int row = 3; row < kCaptureIndexRows - 3; ++row)
            for (int x = k * cell + margin; x < (k + 1) * cell - margin; ++x, ++count) sum += luma[row * stride + x];
        const long mean = count ? sum / count : 0;
        if (mean >= 170) index |= 1u << (31 - k);
        else if (mean > 80) return std::nullopt;
    }
    return index;
}

}  // namespace os

// The capture index band: the camera stamps every frame with the number of
// frames it has captured since it was opened, so that a recording can be
// checked for lost or repeated frames after compression. The top 16 rows are
// cut into 32 cells of width/32 pixels; cell k (from the left) is white
// (luma 235) when bit 31 - k of the index is set, else black (luma 16). The
// chroma under the band is neutral (128).
#pragma once

#include <cstdint>
#include <optional>

namespace os {

constexpr int kCaptureIndexRows = 16;
constexpr int kCaptureIndexCells = 32;

// Stamps `index` over the top band of a YV12 picture (width >= 32, height >= 16, both even).
void StampCaptureIndex(std::uint8_t* yv12, int width, int height, std::uint32_t index);
// Reads the index back from a luma plane with the given stride. Each cell is
// judged by the mean of its inner pixels (edges skipped, where compression
// smears); none when a cell is neither clearly white nor clearly black.
std::optional<std::uint32_t> ReadCaptureIndex(const std::uint8_t* luma, int width, int height, int stride);

}  // namespace os

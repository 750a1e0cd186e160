// Still pictures as JPEG: a planar YV12 picture (Y, then V, then U, each
// chroma plane width/2 x height/2) compressed with libjpeg-turbo into a
// baseline JFIF file in memory, 4:2:0 sampled. The camera's pictures are
// video-range (luma 16 to 235, chroma 16 to 240); JFIF is full-range, so
// the levels are stretched on the way in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {

// `quality` is clamped to 1..100. False with *error (and *out untouched)
// for a null picture, an odd or non-positive size, a side above 65500, or a
// failure inside the library.
bool EncodeJpeg(const std::uint8_t* yv12, int width, int height, int quality, std::vector<std::uint8_t>* out,
                std::string* error);

}  // namespace os

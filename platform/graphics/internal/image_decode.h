// For the graphics module only: image files of the device decoded to
// straight (not premultiplied) 0xAARRGGBB pixels, top row first. PNG (any
// colour type, with or without alpha), JPEG (opaque) and GIF (the first
// frame on its logical screen; transparent index and uncovered pixels get
// alpha 0) are told apart by their signatures. Sides above kMaxBitmapSide
// and files above kMaxImageFileBytes are refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os::detail {

constexpr std::size_t kMaxImageFileBytes = 64u << 20;

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// Reads the file through the device's file calls. False with *error.
bool ReadDeviceFile(const char* path, std::vector<std::uint8_t>* bytes, std::string* error);
bool DecodeImage(const std::vector<std::uint8_t>& bytes, DecodedImage* out, std::string* error);
// Both, for a device path.
bool LoadImageFile(const char* path, DecodedImage* out, std::string* error);

}  // namespace os::detail

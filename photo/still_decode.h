// A camera's JPEG still decoded to RGB24 (rows top first) for showing it: a
// large still is decoded at a reduced scale (1/2, 1/4 or 1/8) so that it
// stays near kStillDecodeMaxSide. Bytes that do not decode give false.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kStillDecodeMaxSide = 1280;

struct StillPicture {
    std::vector<std::uint8_t> rgb;
    int width = 0;
    int height = 0;
};

bool DecodeStill(const std::uint8_t* bytes, long length, StillPicture* out);

// Little-endian 32-bit values in byte buffers, as RIFF files and the
// recording journal store them.
#pragma once

#include <cstdint>
#include <vector>

inline std::uint32_t GetLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void PutLe32(std::vector<std::uint8_t>* out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

#include "photo/jpeg_head.h"

#include <cstring>

namespace {

// Segments with a length that may stand before an APP1 segment.
bool MayPrecedeApp1(uint8_t marker)
{
    return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE || marker == 0xDB || marker == 0xC4 ||
           marker == 0xCC || marker == 0xDD;
}

}  // namespace

std::size_t ExifInsertionPoint(const uint8_t* bytes, std::size_t available, uint64_t fileSize)
{
    if (available > fileSize || available < 6) return 0;
    if (bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF || !MayPrecedeApp1(bytes[3])) return 0;
    const std::size_t length = (static_cast<std::size_t>(bytes[4]) << 8) | bytes[5];
    if (length < 2 || length > kJpegHeadMax - 4) return 0;
    const std::size_t head = length + 4;
    if (head > available) return 0;
    const uint8_t* next = bytes + head;
    const std::size_t rest = available - head;
    if (rest >= 10 && next[0] == 0xFF && next[1] == 0xE1 && std::memcmp(next + 4, "Exif\0\0", 6) == 0) return 0;
    if (rest < 10 && fileSize > available) return 0;
    return head;
}

// Where the EXIF segment goes in a source JPEG: after its start-of-image
// marker and first segment, which are kept unchanged. The source is outside
// input (a camera driver's file), so its head is checked before any of it is
// trusted: FF D8, then a marker that may precede an APP1 segment (APPn, COM
// or a table), a length of 2 to 60 bytes, and the whole head inside the file.
// A source that already has an EXIF segment right after its head is refused
// too: a second one would contradict the first.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes to read from the start of a source for the check: the longest head
// (64 bytes) and the marker, length and "Exif" of the segment after it.
constexpr std::size_t kJpegProbeSize = 128;
constexpr std::size_t kJpegHeadMax = 64;

// The head's length (first segment length + 4) when the check passes; 0
// otherwise. `bytes` holds the first `available` bytes of a file of
// `fileSize` bytes.
std::size_t ExifInsertionPoint(const uint8_t* bytes, std::size_t available, uint64_t fileSize);

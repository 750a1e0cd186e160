// The AVI reader of kestrava-info: reads a whole RIFF/AVI file (OpenDML
// "AVIX" RIFFs included) from bytes in memory, checking every size against
// the bytes present. It never reads past the data it was given.
//
// ReadAvi returns 1 when the bytes start as an AVI file ("RIFF" ... "AVI ")
// and fills the result with what could be read, listing what was wrong in
// its problems; it returns 0 with a message when the bytes are no AVI file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/avi_file.h"

namespace kinfo {

int ReadAvi(const std::uint8_t* data, std::size_t size, AviFile* out, std::string* error);

// Printable form of a FourCC: bytes outside ASCII 32..126 as \xNN.
std::string PrintableTag(const std::uint8_t* p);

}  // namespace kinfo

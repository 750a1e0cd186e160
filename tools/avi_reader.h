// The AVI reader of kestrava-info: walks a RIFF/AVI file (OpenDML "AVIX"
// RIFFs included) through its chunk headers, checking every size against
// the bytes present and seeking over the media data. Only the headers, the
// index and the INFO chunks are read, each within a size limit, so a file
// of any size is read in bounded memory. It never reads past the source.
//
// ReadAvi returns 1 when the bytes start as an AVI file ("RIFF" ... "AVI ")
// and fills the result with what could be read, listing what was wrong in
// its problems; it returns 0 with a message when the bytes are no AVI file
// or the source cannot be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/avi_file.h"
#include "tools/host_file.h"

namespace kinfo {

// At most this many records of "IGPS" and of "IEVT" are read.
constexpr std::uint64_t kMaxTableRecords = 100000;

int ReadAvi(ByteSource& source, AviFile* out, std::string* error);
int ReadAvi(const std::uint8_t* data, std::size_t size, AviFile* out, std::string* error);

// Printable form of a FourCC: bytes outside ASCII 32..126 as \xNN.
std::string PrintableTag(const std::uint8_t* p);

}  // namespace kinfo

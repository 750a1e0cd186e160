// The structure checks of "kestrava-info check" on what the reader found:
// the reader's own problems (sizes, truncation), then the header counts
// against the chunks, "idx1" against "movi", and the recording data chunks
// ("IGPS", "IEVT", "IFND") against their sizes, counts and each other.
#pragma once

#include <string>
#include <vector>

#include "tools/avi_file.h"

namespace kinfo {

// Every problem of the file, in a sentence each; empty when it is sound.
std::vector<std::string> CheckAvi(const AviFile& file);

// Whether the file holds any of the recorder's own INFO chunks.
bool CarriesRecordingData(const AviFile& file);

}  // namespace kinfo

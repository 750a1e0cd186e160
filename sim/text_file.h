// Reading a whole host file given on the command line (profile, scenario).
#pragma once

#include <string>

namespace sim {

// Fills *text with the file's bytes; false with *error set (the reason,
// without the file name) when it cannot be opened or read.
bool ReadTextFile(const std::string& path, std::string* text, std::string* error);

}  // namespace sim

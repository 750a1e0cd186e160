// Whole-file reads of host files for kestrava-info, a host-side program that
// reads recordings copied off the phone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kinfo {

// 1 with the file's bytes, 0 with a message naming the path.
int ReadHostFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error);

}  // namespace kinfo

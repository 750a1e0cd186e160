// Reading a whole host file named by the user (profile, scenario, receiver
// log). What is read is bounded, so that a device such as /dev/zero given as
// a file ends in an error rather than filling the memory.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

// Profiles and scenarios are a few kilobytes; far more is a wrong file.
constexpr std::size_t kMaxInputFileBytes = 64u << 20;
// A recorded drive replayed by a sensor: hours of rows, but never more.
constexpr std::size_t kMaxReplayBytes = 256u << 20;

// Fills *text with the file's bytes; false with *error set (the reason,
// with the system's words, without the file name) when it cannot be opened
// or read, or holds more than maxBytes.
bool ReadTextFile(const std::string& path, std::size_t maxBytes, std::string* text, std::string* error);
// The same for a file that must be a regular file: a terminal, a FIFO or a
// device is refused before it is opened, so that nothing waits on it, with
// *error set to kNotARegularFile.
constexpr const char* kNotARegularFile = "not a regular file";
bool ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string* text, std::string* error);

}  // namespace sim

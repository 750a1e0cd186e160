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

// A camera's still is one picture: a bigger file is a wrong one.
constexpr std::size_t kMaxStillBytes = 32u << 20;

// The bytes of the host file a profile's `camera.still` names; false with
// *why (the reason, without the file name) when it is not a regular file,
// cannot be read, is empty or is larger than kMaxStillBytes. The bytes are
// not judged: a damaged JPEG is a still the program must cope with.
bool ReadStillPicture(const std::string& path, std::string* bytes, std::string* why);

}  // namespace sim

// Internal to the file system: device path text. Splitting and checking a
// device path, UTF-8 code points, case folding and wildcard patterns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"

namespace os::detail::fs {

// What the last component of a path may be.
enum class LastPart {
    Name,     // a file or folder name
    Pattern,  // a name that may hold "*" and "?"
    Any,      // not checked ("VOL:"); the caller checks it
};

// Splits a device path into its components, resolving "." and "..";
// ERROR_SUCCESS or the error of the file calls for a bad path.
DWORD ParseDevicePath(const char* path, LastPart last, std::vector<std::string>* parts);
// "\a\b"; "\" for the root.
std::string JoinDevicePath(const std::vector<std::string>& parts);

bool IsValidName(std::string_view name, bool wildcards);
// False for malformed UTF-8.
bool DecodeUtf8(std::string_view text, std::u32string* out);
std::size_t CountCodePoints(std::string_view text);
// The first count code points of text.
std::string TruncateCodePoints(const std::string& text, std::size_t count);

// The text as names compare: two names are equal when their foldings are.
std::u32string Folded(std::string_view text);
bool NamesEqual(std::string_view a, std::string_view b);
bool PrefixEquals(const std::vector<std::string>& prefix, const std::vector<std::string>& parts);
// Orders names as the listings show them: without case first, then exactly.
bool NameLess(std::string_view a, std::string_view b);
bool HasWildcards(std::string_view name);
bool MatchesPattern(std::string_view pattern, std::string_view name);

}  // namespace os::detail::fs

// Building the storage paths: printf-style formatting into a string, and
// storing a formed path into a fixed field only when it fits whole, so that
// a path is never silently cut short.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "settings/fixed_text.h"

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// True when the text is a usable path: at most MAX_PATH - 1 characters.
bool PathFits(std::string_view text);

// Stores the path when it fits and is UTF-8; otherwise changes nothing and
// returns false.
bool AssignPath(FixedText<os::MAX_PATH>* field, std::string_view text);

// folder + "\" + name, without doubling a backslash that ends the folder
// (the last recording's folder may end in one).
std::string JoinPath(std::string_view folder, std::string_view name);

#include "storage/path_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

bool PathFits(std::string_view text)
{
    // Every byte but a UTF-8 continuation byte starts a character.
    const auto characters = std::count_if(text.begin(), text.end(),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    return characters < os::MAX_PATH;
}

bool AssignPath(FixedText<os::MAX_PATH>* field, std::string_view text)
{
    return PathFits(text) && field->Assign(text);
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
    std::string path(folder);
    path += '\\';
    path += name;
    return path;
}

#include "storage/recording_names.h"

#include <array>
#include <cstddef>

namespace {

constexpr std::size_t kNameLength = 19;
constexpr std::size_t kExtensionAt = 15;
constexpr std::size_t kSeparatorAt = 6;
constexpr std::size_t kKeptComponents = 5;
constexpr std::size_t kDeepestChecked = 6;

bool AllDigits(std::string_view text)
{
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

struct Components {
    std::array<std::string_view, kKeptComponents> kept{};
    std::size_t count = 0;
};

// Splits at backslashes; empty components are skipped and only the first
// five are kept, but all are counted.
Components Split(std::string_view path)
{
    Components c;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) {
            if (c.count < kKeptComponents) c.kept[c.count] = path.substr(start, end - start);
            ++c.count;
        }
        start = end + 1;
    }
    return c;
}

bool TimeFolderComponents(const Components& c)
{
    return c.count >= 4 && c.kept[1] == "Ardvane" && c.kept[2].size() == 8 && AllDigits(c.kept[2]) &&
           c.kept[3].size() == 6 && AllDigits(c.kept[3]);
}

}  // namespace

bool IsRecordingFileName(std::string_view name)
{
    if (name.size() != kNameLength || name.find(".avi") != kExtensionAt || name[kSeparatorAt] != '_') return false;
    return AllDigits(name.substr(0, kSeparatorAt)) && AllDigits(name.substr(kSeparatorAt + 1, 8));
}

bool IsRecordingFolderPath(std::string_view path)
{
    const Components c = Split(path);
    if (c.count > kDeepestChecked) return true;
    if (!TimeFolderComponents(c)) return false;
    return c.count == 4 || c.kept[4] == "Event";
}

bool IsTimeFolderPath(std::string_view path)
{
    const Components c = Split(path);
    return c.count == 4 && TimeFolderComponents(c);
}

unsigned long long RecordingAge(std::string_view name)
{
    unsigned long long age = 0;
    for (const char c : name.substr(kSeparatorAt + 1, 8)) age = age * 10 + static_cast<unsigned>(c - '0');
    for (const char c : name.substr(0, kSeparatorAt)) age = age * 10 + static_cast<unsigned>(c - '0');
    return age;
}

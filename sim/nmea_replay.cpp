#include "sim/nmea_replay.h"

#include <cctype>
#include <optional>
#include <string_view>

namespace sim {
namespace {

constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;
constexpr std::int64_t kLongestGapMs = 10LL * 60 * 1000;
constexpr std::int64_t kGapStandInMs = 1000;

bool Digits(std::string_view text, std::size_t from, std::size_t count)
{
    if (text.size() < from + count) return false;
    for (std::size_t i = from; i < from + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

// Milliseconds of the day of a "hhmmss[.sss]" field.
std::optional<std::int64_t> TimeOfDay(std::string_view field)
{
    if (!Digits(field, 0, 6)) return std::nullopt;
    auto two = [&](std::size_t at) { return (field[at] - '0') * 10 + (field[at + 1] - '0'); };
    std::int64_t ms = ((two(0) * 60LL + two(2)) * 60 + two(4)) * 1000;
    if (field.size() > 7 && field[6] == '.') {
        std::int64_t scale = 100;
        for (std::size_t i = 7; i < field.size() && scale > 0 && std::isdigit(static_cast<unsigned char>(field[i]));
             ++i, scale /= 10)
            ms += (field[i] - '0') * scale;
    }
    return ms;
}

// The UTC time of a GGA, RMC or ZDA sentence: its first field.
std::optional<std::int64_t> SentenceTime(std::string_view line)
{
    const std::size_t start = line.find('$');
    if (start == std::string_view::npos || line.size() < start + 7 || line[start + 6] != ',') return std::nullopt;
    const std::string_view type = line.substr(start + 3, 3);
    if (type != "GGA" && type != "RMC" && type != "ZDA") return std::nullopt;
    const std::string_view rest = line.substr(start + 7);
    return TimeOfDay(rest.substr(0, rest.find_first_of(",*")));
}

}  // namespace

std::vector<ReplayChunk> PlanReplay(const std::string& log)
{
    std::vector<ReplayChunk> chunks;
    std::optional<std::int64_t> last;
    std::int64_t at = 0;
    std::size_t begin = 0;
    while (begin < log.size()) {
        std::size_t end = log.find('\n', begin);
        end = end == std::string::npos ? log.size() : end + 1;
        const std::string_view line(log.data() + begin, end - begin);
        begin = end;
        if (line.starts_with('#')) continue;
        if (const auto time = SentenceTime(line)) {
            std::int64_t step = last ? *time - *last : 0;
            if (step < -kDayMs / 2) step += kDayMs;
            if (step < 0) step = 0;
            if (step > kLongestGapMs) step = kGapStandInMs;
            at += step;
            if (step > 0 || !last) last = *time;
        }
        if (chunks.empty() || chunks.back().atMs != at) chunks.push_back(ReplayChunk{at, {}});
        chunks.back().bytes.append(line);
    }
    return chunks;
}

}  // namespace sim

// Durations as files and options write them. The parser must agree with the
// grammar of duration.h, written out again here in the plainest way with
// sums that cannot overflow: the same texts accepted, the same milliseconds,
// "too long" exactly for well-formed texts above the limit, and nothing
// changed when a text is refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "sim/duration.h"

namespace {

// Counts saturate here, far above kMaxDurationMs times any unit.
constexpr unsigned __int128 kCap = static_cast<unsigned __int128>(1) << 100;

enum class Shape { Bad, Ok };

struct Expected {
    Shape shape = Shape::Bad;
    unsigned __int128 ms = 0;
};

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

unsigned __int128 Number(std::string_view digits)
{
    unsigned __int128 value = 0;
    for (char c : digits) {
        value = std::min(kCap, value * 10 + static_cast<unsigned>(c - '0'));
    }
    return value;
}

// "H:MM:SS", minutes and seconds below 60.
Expected ClockForm(std::string_view text)
{
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first + 1);
    if (second == std::string_view::npos || text.substr(second + 1).find(':') != std::string_view::npos) {
        return {};
    }
    const std::string_view h = text.substr(0, first);
    const std::string_view m = text.substr(first + 1, second - first - 1);
    const std::string_view s = text.substr(second + 1);
    if (!AllDigits(h) || m.size() != 2 || !AllDigits(m) || s.size() != 2 || !AllDigits(s) || Number(m) > 59 ||
        Number(s) > 59) {
        return {};
    }
    return {Shape::Ok, std::min(kCap, Number(h) * 3'600'000) + Number(m) * 60'000 + Number(s) * 1000};
}

// Digits, then "ms", "s", "m", "h" or nothing (seconds).
Expected UnitForm(std::string_view text)
{
    struct Unit {
        std::string_view suffix;
        unsigned factor;
    };
    static constexpr Unit kUnits[] = {{"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}};
    for (const Unit& unit : kUnits) {
        if (text.ends_with(unit.suffix) && AllDigits(text.substr(0, text.size() - unit.suffix.size()))) {
            return {Shape::Ok, std::min(kCap, Number(text.substr(0, text.size() - unit.suffix.size())) * unit.factor)};
        }
    }
    return AllDigits(text) ? Expected{Shape::Ok, std::min(kCap, Number(text) * 1000)} : Expected{};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Expected expected = text.find(':') != std::string_view::npos ? ClockForm(text) : UnitForm(text);
    std::int64_t ms = -1;
    std::string error;
    const bool ok = sim::ParseDuration(text, &ms, &error);
    const bool fits = expected.shape == Shape::Ok && expected.ms <= static_cast<unsigned __int128>(sim::kMaxDurationMs);
    FUZZ_CHECK(ok == fits);
    if (ok) {
        FUZZ_CHECK(error.empty() && static_cast<unsigned __int128>(ms) == expected.ms);
        return 0;
    }
    FUZZ_CHECK(ms == -1);
    FUZZ_CHECK(error.find("\"" + std::string(text) + "\"") != std::string::npos);
    FUZZ_CHECK(error.starts_with("duration \"") == (expected.shape == Shape::Ok));
    return 0;
}

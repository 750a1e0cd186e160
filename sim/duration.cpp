#include "sim/duration.h"

namespace sim {
namespace {

enum class Digits { Ok, Bad, TooBig };

Digits ParseDigits(std::string_view text, std::int64_t* out)
{
    // The shape first: a malformed text is bad, however many digits it has.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return Digits::Bad;
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (value > (kMaxDurationMs - (c - '0')) / 10) {
            return Digits::TooBig;
        }
        value = value * 10 + (c - '0');
    }
    *out = value;
    return Digits::Ok;
}

Digits Scale(std::int64_t value, std::int64_t factor, std::int64_t* ms)
{
    if (value > kMaxDurationMs / factor) {
        return Digits::TooBig;
    }
    *ms = value * factor;
    return Digits::Ok;
}

Digits ParseClockForm(std::string_view text, std::int64_t* ms)
{
    std::size_t first = text.find(':');
    std::size_t second = text.find(':', first + 1);
    if (second == std::string_view::npos || text.find(':', second + 1) != std::string_view::npos ||
        second - first != 3 || text.size() - second != 3) {
        return Digits::Bad;
    }
    std::int64_t h = 0, m = 0, s = 0;
    if (ParseDigits(text.substr(first + 1, 2), &m) != Digits::Ok ||
        ParseDigits(text.substr(second + 1, 2), &s) != Digits::Ok || m > 59 || s > 59) {
        return Digits::Bad;
    }
    Digits hours = ParseDigits(text.substr(0, first), &h);
    if (hours != Digits::Ok) {
        return hours;
    }
    std::int64_t hourMs = 0;
    if (Scale(h, 3'600'000, &hourMs) != Digits::Ok || hourMs > kMaxDurationMs - (m * 60 + s) * 1000) {
        return Digits::TooBig;
    }
    *ms = hourMs + (m * 60 + s) * 1000;
    return Digits::Ok;
}

Digits ParseUnitForm(std::string_view text, std::int64_t* ms)
{
    struct Unit {
        std::string_view suffix;
        std::int64_t factor;
    };
    // "ms" before "m" and "s", which are its suffixes too.
    static constexpr Unit kUnits[] = {{"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}};
    std::int64_t factor = 1000;
    for (const Unit& unit : kUnits) {
        if (text.size() > unit.suffix.size() && text.ends_with(unit.suffix)) {
            text.remove_suffix(unit.suffix.size());
            factor = unit.factor;
            break;
        }
    }
    std::int64_t value = 0;
    Digits digits = ParseDigits(text, &value);
    return digits == Digits::Ok ? Scale(value, factor, ms) : digits;
}

}  // namespace

bool ParseDuration(std::string_view text, std::int64_t* ms, std::string* error)
{
    std::int64_t value = 0;
    Digits result = text.find(':') != std::string_view::npos ? ParseClockForm(text, &value)
                                                              : ParseUnitForm(text, &value);
    switch (result) {
    case Digits::Ok:
        *ms = value;
        return true;
    case Digits::TooBig:
        *error = "duration \"" + std::string(text) + "\" is too long";
        return false;
    case Digits::Bad:
        break;
    }
    *error = "bad duration \"" + std::string(text) + "\" (write 90, 90s, 1500ms, 10m, 1h or 0:01:30)";
    return false;
}

}  // namespace sim

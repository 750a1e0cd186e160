// Numbers and names as scenarios and "--post" write them, within the ranges
// their callers ask for. A value that parses lies in the range, is the same
// whatever narrower range still holds it, reads back from its decimal and
// hexadecimal spellings, and is the bitwise or of the terms around a "|";
// a refused text changes nothing and is named in the error.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "sim/symbols.h"

namespace {

struct Range {
    std::int64_t min;
    std::int64_t max;
};

// The ranges the scenario reader and the command line ask for, and the widest.
constexpr Range kRanges[] = {
    {0, UINT32_MAX}, {INT32_MIN, UINT32_MAX}, {0, 0xFFFF}, {1, 254}, {INT64_MIN, INT64_MAX},
};
constexpr Range kWidest = kRanges[4];

bool Parse(std::string_view text, Range range, std::int64_t* value)
{
    std::string error;
    return sim::ParseValueText(text, range.min, range.max, value, &error);
}

std::string Hex(std::int64_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// Single numbers are only promised for the ranges callers ask for; an or of
// terms can reach values past what one decimal term may spell.
void CheckSpellings(std::int64_t value)
{
    if (value < INT32_MIN || value > UINT32_MAX) {
        return;
    }
    std::int64_t again = 0;
    FUZZ_CHECK(Parse(std::to_string(value), kWidest, &again) && again == value);
    if (value >= 0) {
        FUZZ_CHECK(Parse(Hex(value), kWidest, &again) && again == value);
    }
}

void CheckTerms(std::string_view text, std::int64_t value)
{
    const std::size_t bar = text.find('|');
    if (bar == std::string_view::npos) {
        return;
    }
    std::int64_t first = 0, rest = 0;
    FUZZ_CHECK(Parse(text.substr(0, bar), kWidest, &first) && Parse(text.substr(bar + 1), kWidest, &rest));
    FUZZ_CHECK((first | rest) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::int64_t widest = 0;
    const bool anyValue = Parse(text, kWidest, &widest);
    for (const Range& range : kRanges) {
        std::int64_t value = -7;
        std::string error;
        const bool ok = sim::ParseValueText(text, range.min, range.max, &value, &error);
        FUZZ_CHECK(ok == (anyValue && widest >= range.min && widest <= range.max));
        if (ok) {
            FUZZ_CHECK(value == widest && error.empty());
        } else {
            FUZZ_CHECK(value == -7 && error.find("\"" + std::string(text) + "\"") != std::string::npos);
        }
    }
    if (anyValue) {
        CheckSpellings(widest);
        CheckTerms(text, widest);
    }
    return 0;
}

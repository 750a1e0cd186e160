// Numbers as scenarios and `--post` write them: decimal ("-1", "10436"),
// hexadecimal ("0x28C4"), or a name from the one small table below
// ("WM_CLOSE", "IDM_BUTTON"), and several of those joined with "|" to
// combine flags ("POWER_STATE_ON|POWER_STATE_BACKLIGHTON").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// The command a released screen button sends, with the button number as
// lParam; button 7 is the exit button.
constexpr std::int64_t kIdmButton = 40007;
constexpr std::int64_t kExitButton = 7;

// The value of a name of the table; nothing for an unknown name.
std::optional<std::int64_t> LookUpSymbol(std::string_view name);

// The value of `text`; false with *error naming the text when it is not a
// number or a known name, or the result lies outside [min, max].
bool ParseValueText(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t* out,
                    std::string* error);

}  // namespace sim

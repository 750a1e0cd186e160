#include "sim/symbols.h"

#include <cctype>

#include "platform/windows/window.h"

namespace sim {
namespace {

struct Symbol {
    std::string_view name;
    std::int64_t value;
};

// Only what a scenario needs to drive the program from outside: the window
// messages and commands it handles, the Enter key, and power-state flags.
constexpr Symbol kSymbols[] = {
    {"WM_ACTIVATE", os::WM_ACTIVATE},
    {"WM_CLOSE", os::WM_CLOSE},
    {"WM_KEYDOWN", os::WM_KEYDOWN},
    {"WM_KEYUP", os::WM_KEYUP},
    {"WM_COMMAND", os::WM_COMMAND},
    {"WM_TIMER", os::WM_TIMER},
    {"WM_LBUTTONDOWN", os::WM_LBUTTONDOWN},
    {"WM_LBUTTONUP", os::WM_LBUTTONUP},
    {"WM_DEVICECHANGE", os::WM_DEVICECHANGE},
    {"WM_HOTKEY", os::WM_HOTKEY},
    {"WM_RECORDER_PHONE_STATE", 10338},
    {"WM_RECORDER_GPS_PORT_CLOSE", 10436},
    {"WM_RECORDER_GPS_PORT_OPEN", 10437},
    {"WM_RECORDER_ACTIVATE", 10523},
    {"WM_RECORDER_ACCIDENT_ALERT", 10535},
    {"WM_RECORDER_SMS_POPUP", 10539},
    {"IDOK", 1},
    {"IDCANCEL", 2},
    {"IDM_ABOUT", 40002},
    {"IDM_REC_START", 40004},
    {"IDM_REC_STOP", 40005},
    {"IDM_BUTTON", kIdmButton},
    {"IDM_REC_PAUSE", 40008},
    {"IDM_SETTINGS", 40009},
    {"VK_RETURN", 13},
    {"VK_CAMERA", os::VK_CAMERA},
    {"POWER_STATE_ON", 0x00010000},
    {"POWER_STATE_IDLE", 0x00100000},
    {"POWER_STATE_SUSPEND", 0x00200000},
    {"POWER_STATE_UNATTENDED", 0x00400000},
    {"POWER_STATE_BACKLIGHTON", 0x02000000},
    {"POWER_STATE_PASSWORD", 0x10000000},
};

constexpr std::int64_t kTermLimit = INT64_MAX / 16;

bool ParseNumber(std::string_view text, std::int64_t* out)
{
    bool negative = text.starts_with('-');
    if (negative) {
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    std::int64_t value = 0;
    for (char c : text) {
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : base == 16 && std::isxdigit(static_cast<unsigned char>(c))
                        ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                        : -1;
        if (digit < 0 || value > kTermLimit) {
            return false;
        }
        value = value * base + digit;
    }
    *out = negative ? -value : value;
    return true;
}

bool ParseTerm(std::string_view term, std::int64_t* out)
{
    if (std::optional<std::int64_t> symbol = LookUpSymbol(term)) {
        *out = *symbol;
        return true;
    }
    return ParseNumber(term, out);
}

// The text in double quotes, built by appending (GCC 12 at -O3 warns
// falsely about prepending a literal to a string).
std::string DoubleQuoted(std::string_view text)
{
    std::string quoted(1, '"');
    quoted.append(text);
    quoted += '"';
    return quoted;
}

}  // namespace

std::optional<std::int64_t> LookUpSymbol(std::string_view name)
{
    for (const Symbol& s : kSymbols) {
        if (s.name == name) {
            return s.value;
        }
    }
    return std::nullopt;
}

bool ParseValueText(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t* out,
                    std::string* error)
{
    std::int64_t value = 0;
    std::string_view rest = text;
    while (true) {
        std::size_t bar = rest.find('|');
        std::int64_t term = 0;
        if (!ParseTerm(rest.substr(0, bar), &term)) {
            *error = DoubleQuoted(text) + " is not a number or a known name";
            return false;
        }
        value |= term;
        if (bar == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(bar + 1);
    }
    if (value < min || value > max) {
        *error = DoubleQuoted(text) + " is out of range: must be from " + std::to_string(min) +
                 " to " + std::to_string(max);
        return false;
    }
    *out = value;
    return true;
}

}  // namespace sim

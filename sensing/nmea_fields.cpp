#include "sensing/nmea_fields.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace nmea {

uint32_t LeadingInteger(const char* text, std::size_t maxChars)
{
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    uint32_t value = 0;
    for (std::size_t i = 0; i < maxChars && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint32_t digit = static_cast<uint32_t>(text[i] - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

uint32_t TwoDigitGroup(const char* text, std::size_t offset)
{
    return std::strlen(text) > offset ? LeadingInteger(text + offset, 2) : 0;
}

double Real(const char* text)
{
    const char* first = text[0] == '+' ? text + 1 : text;
    double value = 0;
    const auto result = std::from_chars(first, first + std::strlen(first), value);
    return result.ec == std::errc() ? value : 0;
}

double Coordinate(const char* text, std::size_t degreeDigits)
{
    const double degrees = LeadingInteger(text, degreeDigits);
    const double minutes = std::strlen(text) > degreeDigits ? Real(text + degreeDigits) : 0;
    return degrees + minutes / 60;
}

}  // namespace nmea

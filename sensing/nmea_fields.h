// Conversions of NMEA field texts, as the parser's decoders read them. None
// of them fails: a text that does not convert gives what the conversion
// makes of it (0 for an empty or non-numeric text).
#pragma once

#include <cstddef>
#include <cstdint>

namespace nmea {

// The value of the leading decimal digits of at most maxChars characters;
// a sign or any other character ends the digits. Saturates at UINT32_MAX.
uint32_t LeadingInteger(const char* text, std::size_t maxChars = SIZE_MAX);
// The two characters at offset (hh, mm, ss of a time; dd, mm, yy of a date).
uint32_t TwoDigitGroup(const char* text, std::size_t offset);
// Decimal conversion of the whole leading number ("+" allowed); 0 when none.
double Real(const char* text);
// ddmm.mmmm (degreeDigits 2) or dddmm.mmmm (3) to decimal degrees.
double Coordinate(const char* text, std::size_t degreeDigits);

}  // namespace nmea

// Feeding texts and shared log files to an NMEA parser in tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "sensing/nmea_parser.h"
#include "tests/support/shared_data.h"

namespace nmea_test {

inline const std::string kNmeaDataDir = testing_support::SharedDataPath("nmea/");

inline void Feed(CNMEAParser& parser, std::string_view bytes)
{
    parser.ParseBuffer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The XOR of the bytes between "$" and "*", as two upper-case hex digits.
inline std::string ChecksumOf(std::string_view body)
{
    uint8_t sum = 0;
    for (char c : body) sum ^= static_cast<uint8_t>(c);
    static constexpr char kHex[] = "0123456789ABCDEF";
    return {kHex[sum >> 4], kHex[sum & 15]};
}

// "$" body "*" checksum CR LF.
inline std::string Sentence(std::string_view body)
{
    return std::string(1, '$').append(body) + "*" + ChecksumOf(body) + "\r\n";
}

// A log of the shared data; a test that reads one starts with
// SKIP_WITHOUT_SHARED_DATA("nmea"), so a missing file here is a fault.
inline std::string ReadDataFile(const std::string& name)
{
    std::ifstream in(kNmeaDataDir + name, std::ios::binary);
    if (!in) ADD_FAILURE() << "cannot read " << kNmeaDataDir + name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace nmea_test

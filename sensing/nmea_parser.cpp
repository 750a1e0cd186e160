// Framing of the byte stream and the dispatch of framed sentences.
#include "sensing/nmea_parser.h"

#include <cstring>

#include "sensing/nmea_systems.h"

namespace {

constexpr uint16_t kAddressLimit = sizeof(NmeaFraming::address);
constexpr uint16_t kDataLimit = sizeof(NmeaFraming::data);

// Digits by their value, anything else as character - 55 ("A" to "F" give
// 10 to 15; lower case and other characters give values that fail the test).
uint8_t Nibble(uint8_t byte)
{
    return static_cast<uint8_t>(byte >= '0' && byte <= '9' ? byte - '0' : byte - 55);
}

// The sentence type of an address: a two-letter talker and three type
// letters, or none. "P" opens a maker's own sentences ("PGRMC" is Garmin's,
// not an RMC).
const char* SentenceType(const char* address)
{
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    if (std::strlen(address) != 5 || address[0] == 'P' || !upper(address[0]) || !upper(address[1])) return nullptr;
    return address + 2;
}

// Printable ASCII: what NMEA sentences are made of.
bool Printable(uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}

}  // namespace

int CNMEAParser::ParseBuffer(const uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) ProcessByte(bytes[i]);
    return 1;
}

void CNMEAParser::ProcessByte(uint8_t byte)
{
    switch (framing_.state) {
    case 0:
        if (byte == '$') {
            framing_.checksum = 0;
            framing_.index = 0;
            framing_.state = 1;
        }
        break;
    case 1:
        AddressByte(byte);
        break;
    case 2:
        DataByte(byte);
        break;
    default:
        ChecksumDigit(byte);
        break;
    }
}

void CNMEAParser::AddressByte(uint8_t byte)
{
    if (!Printable(byte)) {
        framing_.state = 0;
        return;
    }
    framing_.checksum ^= byte;
    if (byte == ',' || byte == '*') {
        framing_.address[framing_.index] = '\0';
        framing_.index = 0;
        framing_.state = 2;
        return;
    }
    framing_.address[framing_.index++] = static_cast<char>(byte);
    if (framing_.index == kAddressLimit) framing_.state = 0;
}

void CNMEAParser::DataByte(uint8_t byte)
{
    if (byte == '*' || byte == '\r') {
        framing_.data[framing_.index] = '\0';
        framing_.state = 3;
        if (byte == '\r') {
            framing_.state = 0;
            ProcessSentence(framing_.address, framing_.data);
        }
        return;
    }
    if (!Printable(byte)) {
        framing_.state = 0;
        return;
    }
    framing_.checksum ^= byte;
    framing_.data[framing_.index++] = static_cast<char>(byte);
    if (framing_.index == kDataLimit) framing_.state = 0;
}

void CNMEAParser::ChecksumDigit(uint8_t byte)
{
    if (!Printable(byte)) {
        framing_.state = 0;
        return;
    }
    if (framing_.state == 3) {
        framing_.receivedChecksum = static_cast<uint8_t>(Nibble(byte) << 4);
        framing_.state = 4;
        return;
    }
    framing_.receivedChecksum = static_cast<uint8_t>(framing_.receivedChecksum + Nibble(byte));
    framing_.state = 0;
    if (framing_.receivedChecksum == framing_.checksum) ProcessSentence(framing_.address, framing_.data);
}

int CNMEAParser::ProcessSentence(const char* address, const char* data)
{
    using Decoder = void (CNMEAParser::*)(const char*);
    struct Entry {
        const char* type;
        Decoder decode;
    };
    static constexpr Entry kDecoders[] = {
        {"GGA", &CNMEAParser::DecodeGga}, {"GSA", &CNMEAParser::DecodeGsa}, {"GSV", &CNMEAParser::DecodeGsv},
        {"RMB", &CNMEAParser::DecodeRmb}, {"RMC", &CNMEAParser::DecodeRmc}, {"ZDA", &CNMEAParser::DecodeZda},
        {"VTG", &CNMEAParser::DecodeVtg},
    };
    if (const char* type = SentenceType(address)) {
        talkerSystem_ = nmea::TalkerSystem(address);
        for (const Entry& entry : kDecoders) {
            if (std::strcmp(type, entry.type) == 0) {
                (this->*entry.decode)(data);
                break;
            }
        }
    }
    ++framing_.sentenceCount;
    return 1;
}

int CNMEAParser::GetField(const char* data, char* output, int fieldNumber, int capacity)
{
    if (capacity <= 0) return 0;
    output[0] = '\0';
    for (int skipped = 0; skipped < fieldNumber; ++skipped) {
        data = std::strchr(data, ',');
        if (data == nullptr) return 0;
        ++data;
    }
    int length = 0;
    while (data[length] != '\0' && data[length] != ',' && data[length] != '*' && length < capacity - 1) {
        output[length] = data[length];
        ++length;
    }
    output[length] = '\0';
    return length > 0 ? 1 : 0;
}

int CNMEAParser::IsPositionValid() const
{
    return gga_.latitude != 0 && gga_.longitude != 0 && gsa_.fixType > 1 ? 1 : 0;
}

int CNMEAParser::IsSatelliteUsed(uint16_t prn) const
{
    if (prn == 0) return 0;
    for (uint16_t used : gsa_.usedPrn) {
        if (used == prn) return 1;
    }
    return 0;
}

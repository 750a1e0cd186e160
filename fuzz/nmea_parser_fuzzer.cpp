// The NMEA parser on any byte stream. Checked for every input:
// - the framing agrees with the rule written out again here in the plainest
//   way (unbounded strings, then the limits, and sentences holding bytes that
//   are not printable dropped): the same number of sentences
//   handed over, and the parser never outside its states and limits;
// - counts never go down, a type's count only moves when a sentence is
//   handed over, and never by more than one per byte;
// - the input cut in two at any point gives the same counts;
// - GetField agrees with a plain split of the body on commas, and never
//   writes more than its capacity.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "sensing/nmea_parser.h"

namespace {

// How many sentences the framing rule hands over for these bytes.
uint32_t ExpectedSentences(std::string_view bytes)
{
    enum { Wait, Address, Body, High, Low } state = Wait;
    std::string address, body;
    uint8_t sum = 0;
    int received = 0;
    uint32_t handed = 0;
    const auto nibble = [](unsigned char c) { return c >= '0' && c <= '9' ? c - '0' : c - 55; };
    const auto printable = [](unsigned char c) { return c >= 0x20 && c <= 0x7E; };
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        // Inside a sentence, a byte that is not printable drops it; only the
        // carriage return that ends a body is taken.
        if (state != Wait && !printable(c) && !(state == Body && c == '\r')) {
            state = Wait;
            continue;
        }
        switch (state) {
        case Wait:
            if (c == '$') {
                state = Address;
                address.clear();
                body.clear();
                sum = 0;
            }
            break;
        case Address:
            sum ^= c;
            if (c == ',' || c == '*') {
                state = Body;
            } else {
                address += ch;
                if (address.size() >= 8) state = Wait;
            }
            break;
        case Body:
            if (c == '*') {
                state = High;
            } else if (c == '\r') {
                state = Wait;
                ++handed;
            } else {
                sum ^= c;
                body += ch;
                if (body.size() >= 256) state = Wait;
            }
            break;
        case High:
            received = nibble(c) * 16;
            state = Low;
            break;
        case Low:
            state = Wait;
            if (((received + nibble(c)) & 0xFF) == sum) ++handed;
            break;
        }
    }
    return handed;
}

std::array<uint32_t, 7> Counts(const CNMEAParser& p)
{
    return {p.Framing().sentenceCount, p.Gga().ggaCount, p.Gsa().gsaCount, p.Gsv().gsvCount,
            p.Rmb().rmbCount,          p.Rmc().rmcCount, p.Zda().zdaCount};
}

void CheckState(const CNMEAParser& p)
{
    const NmeaFraming& f = p.Framing();
    FUZZ_CHECK(f.state <= 4);
    if (f.state == 1) FUZZ_CHECK(f.index < sizeof(f.address));
    if (f.state == 2) FUZZ_CHECK(f.index < sizeof(f.data));
    FUZZ_CHECK(std::memchr(p.Rmb().originId, '\0', sizeof(p.Rmb().originId)) != nullptr);
    FUZZ_CHECK(std::memchr(p.Rmb().destinationId, '\0', sizeof(p.Rmb().destinationId)) != nullptr);
    for (const NmeaSatellite& slot : p.Gsv().slot) FUZZ_CHECK(slot.used <= 1);
    FUZZ_CHECK(p.IsPositionValid() == 0 || p.IsPositionValid() == 1);
    FUZZ_CHECK(p.Vtg().vtgSeen <= 1);
}

void CheckFields(std::string_view bytes)
{
    const std::string data(bytes.substr(0, bytes.find('\0')));
    std::size_t start = 0;
    for (int n = 0; n < 40; ++n) {
        const std::size_t comma = data.find(',', start);
        const std::string raw = start <= data.size() ? data.substr(start, comma - start) : std::string();
        const std::string field = raw.substr(0, raw.find('*'));
        for (const int capacity : {1, 4, CNMEAParser::kFieldCapacity}) {
            char out[CNMEAParser::kFieldCapacity + 1];
            std::memset(out, 'z', sizeof(out));
            const int present = CNMEAParser::GetField(data.c_str(), out, n, capacity);
            const std::string expected = field.substr(0, static_cast<std::size_t>(capacity - 1));
            FUZZ_CHECK(out[CNMEAParser::kFieldCapacity] == 'z');
            FUZZ_CHECK(out == expected);
            FUZZ_CHECK(present == (start <= data.size() && !expected.empty() ? 1 : 0));
        }
        start = comma == std::string::npos ? data.size() + 1 : comma + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    CNMEAParser whole;
    std::array<uint32_t, 7> before = Counts(whole);
    for (const std::uint8_t byte : bytes) {
        whole.ProcessByte(byte);
        const std::array<uint32_t, 7> after = Counts(whole);
        FUZZ_CHECK(after[0] == before[0] || after[0] == before[0] + 1);
        for (std::size_t i = 1; i < after.size(); ++i) {
            FUZZ_CHECK(after[i] == before[i] || (after[i] == before[i] + 1 && after[0] == before[0] + 1));
        }
        CheckState(whole);
        before = after;
    }
    FUZZ_CHECK(whole.Framing().sentenceCount == ExpectedSentences(bytes));

    const std::size_t cut = size == 0 ? 0 : data[0] % size;
    CNMEAParser split;
    split.ParseBuffer(data, cut);
    split.ParseBuffer(data + cut, size - cut);
    FUZZ_CHECK(Counts(split) == Counts(whole));
    FUZZ_CHECK(split.Framing().state == whole.Framing().state);

    CheckFields(bytes);
    return 0;
}

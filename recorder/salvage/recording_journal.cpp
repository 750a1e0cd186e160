#include "recorder/salvage/recording_journal.h"

#include <zlib.h>

#include <cstring>

#include "recorder/salvage/le_bytes.h"

namespace {

std::uint32_t Crc(const std::uint8_t* data, std::size_t size)
{
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
}

// The payload size each type must have.
std::size_t ExpectedSize(std::uint32_t type)
{
    switch (static_cast<JournalRecordType>(type)) {
    case JournalRecordType::Gps: return kJournalGpsBytes;
    case JournalRecordType::Event: return kJournalEventBytes;
    case JournalRecordType::DurablePoint: return 8 + kJournalSummaryBytes;
    }
    return 0;
}

}  // namespace

std::string JournalPathFor(const std::string& recordingPath)
{
    const std::size_t n = recordingPath.size();
    if (n >= 4 && recordingPath[n - 4] == '.' && (recordingPath.compare(n - 3, 3, "avi") == 0 ||
                                                  recordingPath.compare(n - 3, 3, "AVI") == 0)) {
        return recordingPath.substr(0, n - 3) + "jnl";
    }
    return recordingPath + ".jnl";
}

JournalBytes JournalHeader()
{
    JournalBytes out(kJournalMagic, kJournalMagic + 4);
    PutLe32(&out, kJournalVersion);
    return out;
}

JournalBytes JournalRecord(JournalRecordType type, const void* payload, std::size_t size)
{
    JournalBytes out;
    out.reserve(size + 12);
    PutLe32(&out, static_cast<std::uint32_t>(type));
    PutLe32(&out, static_cast<std::uint32_t>(size));
    const auto* bytes = static_cast<const std::uint8_t*>(payload);
    out.insert(out.end(), bytes, bytes + size);
    PutLe32(&out, Crc(out.data(), out.size()));
    return out;
}

JournalBytes JournalDurablePoint(std::uint64_t durableBytes, const void* summary)
{
    std::uint8_t payload[8 + kJournalSummaryBytes];
    for (int i = 0; i < 8; ++i) payload[i] = static_cast<std::uint8_t>(durableBytes >> (8 * i));
    std::memcpy(payload + 8, summary, kJournalSummaryBytes);
    return JournalRecord(JournalRecordType::DurablePoint, payload, sizeof payload);
}

bool ParseJournal(const std::uint8_t* data, std::size_t size, JournalContent* out, std::string* why)
{
    if (size < kJournalHeaderBytes || std::memcmp(data, kJournalMagic, 4) != 0) {
        *why = "not a recording journal";
        return false;
    }
    if (GetLe32(data + 4) != kJournalVersion) {
        *why = "a recording journal of version " + std::to_string(GetLe32(data + 4)) + ", this reads version " +
               std::to_string(kJournalVersion);
        return false;
    }
    JournalContent content;
    std::size_t at = kJournalHeaderBytes;
    while (size - at >= 12) {
        const std::uint32_t type = GetLe32(data + at);
        const std::uint32_t length = GetLe32(data + at + 4);
        if (ExpectedSize(type) == 0 || length != ExpectedSize(type) || size - at - 12 < length) break;
        if (GetLe32(data + at + 8 + length) != Crc(data + at, 8 + length)) break;
        const std::uint8_t* payload = data + at + 8;
        switch (static_cast<JournalRecordType>(type)) {
        case JournalRecordType::Gps: content.gps.emplace_back(payload, payload + length); break;
        case JournalRecordType::Event: content.events.emplace_back(payload, payload + length); break;
        case JournalRecordType::DurablePoint: {
            std::uint64_t bytes = 0;
            for (int i = 7; i >= 0; --i) bytes = bytes << 8 | payload[i];
            content.durableBytes = bytes;
            content.summary = JournalBytes(payload + 8, payload + length);
            break;
        }
        }
        at += 12 + length;
    }
    *out = std::move(content);
    return true;
}

// The journal kept beside a recording while it is written: what the AVI
// file would otherwise carry only from its close (its GPS records, event
// records and summary), so that a recording cut by a power loss can get them
// back. It is named as the recording with ".jnl" for ".avi", made durable
// about once a second with the recording, and deleted when the recording
// closes normally.
//
// Format, version 1, little-endian, append-only:
//   header  "KJNL", u32 version
//   record  u32 type, u32 payload bytes, payload, u32 CRC-32 (zlib) of the
//           type, the size and the payload
// Types: 1 GPS record (the file's 316-byte GpsTrackRecord), 2 event record
// (the 104 bytes of an EvtTagRecord the file keeps), 3 durable point (u64:
// bytes of the AVI file made durable before this record; then the file's
// 128-byte RecordingSummary as of this point). A reader takes the records
// up to the first one that is cut short or fails its check: what a power
// cut left past the last durable point is zeros, garbage or nothing.
// Platform-free: kestrava-info and the program both read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr char kJournalMagic[4] = {'K', 'J', 'N', 'L'};
constexpr std::uint32_t kJournalVersion = 1;
constexpr std::size_t kJournalHeaderBytes = 8;
// A journal holds a second's records at a time: one larger than this is no
// recording's, and is not read.
constexpr std::uint64_t kJournalMaxBytes = 64ull << 20;

enum class JournalRecordType : std::uint32_t { Gps = 1, Event = 2, DurablePoint = 3 };

constexpr std::size_t kJournalGpsBytes = 316;
constexpr std::size_t kJournalEventBytes = 104;
constexpr std::size_t kJournalSummaryBytes = 128;

using JournalBytes = std::vector<std::uint8_t>;

struct JournalContent {
    std::vector<JournalBytes> gps;     // in order, each kJournalGpsBytes
    std::vector<JournalBytes> events;  // each kJournalEventBytes
    // From the last durable point: the recording's bytes made durable, and
    // its summary then.
    std::optional<std::uint64_t> durableBytes;
    std::optional<JournalBytes> summary;
};

// "X\\Y.avi" -> "X\\Y.jnl"; any other name gets ".jnl" appended.
std::string JournalPathFor(const std::string& recordingPath);

JournalBytes JournalHeader();
// One record, ready to append.
JournalBytes JournalRecord(JournalRecordType type, const void* payload, std::size_t size);
JournalBytes JournalDurablePoint(std::uint64_t durableBytes, const void* summary);

// False with the reason when the bytes are no journal of a known version
// (a bad header); otherwise the valid records, which may be none.
bool ParseJournal(const std::uint8_t* data, std::size_t size, JournalContent* out, std::string* why);

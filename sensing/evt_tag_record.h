// The event tag: one record per detected shock or emergency touch, handed to
// the recording file of the moment. Little-endian, packed, 108 bytes; the
// file keeps its first 104 (elapsedSec stays in memory).
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct EvtTagRecord {
    std::uint32_t videoFrame;  // video frames already written to the file
    std::uint32_t sequence;    // number of this event within the file, from 0
    std::uint32_t kind;        // kEvtKindShock or kEvtKindManual
    float thresholdX;          // level table values, raw sample counts
    float thresholdY;
    float thresholdZ;
    float x;  // axes of the last detected sample, raw counts
    float y;
    float z;
    std::uint8_t zero[68];
    std::uint32_t elapsedSec;  // recording time shown when the event came
};

#pragma pack(pop)

constexpr std::uint32_t kEvtKindShock = 0;
constexpr std::uint32_t kEvtKindManual = 1;
// The part of a record that a recording file stores.
constexpr std::size_t kEvtTagStoredBytes = 104;

static_assert(sizeof(EvtTagRecord) == 108);
static_assert(offsetof(EvtTagRecord, kind) == 8);
static_assert(offsetof(EvtTagRecord, thresholdX) == 12);
static_assert(offsetof(EvtTagRecord, x) == 24);
static_assert(offsetof(EvtTagRecord, zero) == 36);
static_assert(offsetof(EvtTagRecord, elapsedSec) == kEvtTagStoredBytes);

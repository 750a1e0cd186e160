// The pre-event buffer of event-only recording: the newest encoded video and
// raw audio samples, oldest first, from which an event clip takes the seconds
// before the event and the seconds after it.
//
// Contract:
// - All memory is taken by PreEventBuffer_Create: one byte store for the
//   payloads (a bipartite ring: region A, and region B growing from the
//   store's start in front of A once the end is reached, so that a payload is
//   always one contiguous piece) and one pool of nodes. Append, removal and
//   clearing never allocate.
// - Append copies the payload in. When the free contiguous space is too small,
//   or every node is in use, the oldest samples are dropped, in order, until
//   it fits. A payload larger than the whole store, an empty payload or a null
//   one is refused (0, traced) and leaves the buffer as it was.
// - Results are 1 or 0. The module takes no lock: the recorder calls every
//   operation under its recorder lock. A node pointer and its payload are
//   good only until the lock is let go; a caller that comes back later for a
//   node it saw remembers its serial and asks PreEventBuffer_SerialOf, since
//   appends may have dropped the node and reused it for a newer sample.
#pragma once

#include <cstdint>

#include "sensing/gps_fix.h"

constexpr std::uint32_t kBufferedVideo = 0;
constexpr std::uint32_t kBufferedAudio = 1;

// Bounds of PreEventBuffer_CapacityFor. The floor keeps room for a few intra
// frames when the settings ask for almost nothing; the ceiling keeps a handset
// with settings out of range from asking for more memory than it has (beyond
// it the buffer simply holds fewer seconds).
constexpr std::uint32_t kPreEventMinBytes = 1u << 20;
constexpr std::uint32_t kPreEventMaxBytes = 64u << 20;

// One buffered sample. The payload pointer sits before its size so that the
// record packs into 376 bytes on a 64-bit build.
struct BufferedSample {
    BufferedSample* next;
    std::uint32_t kind;        // kBufferedVideo or kBufferedAudio
    std::uint32_t tick;        // ms tick count at arrival
    std::int64_t start;        // 100 ns units
    std::int64_t stop;
    const std::uint8_t* payload;  // inside the buffer's byte store
    std::uint32_t payloadSize;
    GpsFix gps;                // the live fix when the sample arrived
    double distanceDelta1;     // km, the two legs of the distance step
    double distanceDelta2;
};

static_assert(sizeof(void*) != 8 || sizeof(BufferedSample) == 376);

struct PreEventBuffer {
    BufferedSample* head = nullptr;  // oldest
    BufferedSample* tail = nullptr;  // newest
    std::uint32_t count = 0;

    // Byte store: region A is [aStart, aEnd), region B is [0, bEnd) and exists
    // only while bEnd > 0, always ending at or before aStart. Payloads are laid
    // down in arrival order: A front to back, then B front to back.
    std::uint8_t* store = nullptr;
    std::uint32_t capacity = 0;
    std::uint32_t aStart = 0;
    std::uint32_t aEnd = 0;
    std::uint32_t bEnd = 0;

    // Node pool: unused nodes on a free list; serials[i] is the serial of the
    // sample in nodes[i], kNoSerial while the node is free.
    BufferedSample* nodes = nullptr;
    std::uint64_t* serials = nullptr;
    std::uint32_t nodeCount = 0;
    BufferedSample* freeNodes = nullptr;
    std::uint64_t nextSerial = 0;  // serial of the next sample appended
};

constexpr std::uint64_t kNoSerial = ~std::uint64_t{0};

// Takes the store (byteCapacity bytes) and nodeCount nodes. 0 for a zero size
// or count, a buffer already created, or memory not available (each traced);
// the buffer then stays empty.
int PreEventBuffer_Create(PreEventBuffer* buffer, std::uint32_t byteCapacity, std::uint32_t nodeCount);
// Frees everything and leaves the buffer as a fresh one; harmless on a buffer
// never created.
void PreEventBuffer_Destroy(PreEventBuffer* buffer);

// Appends one sample as the newest, dropping the oldest ones as needed (see
// the contract). 0 when the payload cannot be stored.
int PreEventBuffer_Append(PreEventBuffer* buffer, std::uint32_t kind, std::uint32_t tick, std::int64_t start,
                          std::int64_t stop, const std::uint8_t* data, std::uint32_t size, const GpsFix& gps,
                          double distanceDelta1, double distanceDelta2);

// The oldest sample, or null when empty; the rest follow through `next`.
const BufferedSample* PreEventBuffer_Oldest(const PreEventBuffer* buffer);
// Drops the oldest sample; 0 when the buffer is empty.
int PreEventBuffer_RemoveOldest(PreEventBuffer* buffer);
// The arrival tick of the newest sample; 0 when the buffer is empty.
int PreEventBuffer_NewestTick(const PreEventBuffer* buffer, std::uint32_t* tick);
std::uint32_t PreEventBuffer_Count(const PreEventBuffer* buffer);
// Drops every sample.
void PreEventBuffer_Clear(PreEventBuffer* buffer);

// Serials number the samples in arrival order from 0 and are never reused
// while the buffer lives. kNoSerial for a node that is not in the buffer (or
// not one of its nodes).
std::uint64_t PreEventBuffer_SerialOf(const PreEventBuffer* buffer, const BufferedSample* node);

// Store size for 2 x eventTimeSec seconds of video and audio at the given bit
// rates (kbit/s), counted in 64 bits and held within
// [kPreEventMinBytes, kPreEventMaxBytes] whatever the settings say.
std::uint32_t PreEventBuffer_CapacityFor(std::uint32_t eventTimeSec, std::uint32_t videoKbps,
                                         std::uint32_t audioKbps);

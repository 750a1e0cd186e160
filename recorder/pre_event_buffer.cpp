#include "recorder/pre_event_buffer.h"

#include <cstring>
#include <new>

#include "platform/base/trace.h"

namespace {

std::uint32_t NodeIndex(const PreEventBuffer* buffer, const BufferedSample* node)
{
    const auto first = reinterpret_cast<std::uintptr_t>(buffer->nodes);
    const auto at = reinterpret_cast<std::uintptr_t>(node);
    if (at < first) return buffer->nodeCount;
    const std::uintptr_t offset = at - first;
    if (offset % sizeof(BufferedSample) != 0 || offset / sizeof(BufferedSample) >= buffer->nodeCount)
        return buffer->nodeCount;
    return static_cast<std::uint32_t>(offset / sizeof(BufferedSample));
}

// Offset of `size` free contiguous bytes in the store, or -1. Filling A up to
// the store's end comes first; B is opened at the start only when A's tail is
// too short, so the bytes stay in arrival order A then B.
std::int64_t Reserve(const PreEventBuffer* buffer, std::uint32_t size)
{
    if (buffer->bEnd > 0) {
        if (buffer->aStart - buffer->bEnd >= size) return buffer->bEnd;
        return -1;
    }
    if (buffer->capacity - buffer->aEnd >= size) return buffer->aEnd;
    if (buffer->aStart >= size) return 0;
    return -1;
}

void Commit(PreEventBuffer* buffer, std::uint32_t offset, std::uint32_t size)
{
    if (buffer->bEnd == 0 && offset == buffer->aEnd)
        buffer->aEnd += size;
    else
        buffer->bEnd = offset + size;
}

// The oldest payload always starts region A, since payloads are released in
// the order they were laid down. When A runs empty, B (if any) becomes A.
void Release(PreEventBuffer* buffer, std::uint32_t size)
{
    buffer->aStart += size;
    if (buffer->aStart != buffer->aEnd) return;
    buffer->aStart = 0;
    buffer->aEnd = buffer->bEnd;
    buffer->bEnd = 0;
}

void DropOldest(PreEventBuffer* buffer)
{
    BufferedSample* node = buffer->head;
    Release(buffer, node->payloadSize);
    buffer->head = node->next;
    if (buffer->head == nullptr) buffer->tail = nullptr;
    --buffer->count;
    buffer->serials[NodeIndex(buffer, node)] = kNoSerial;
    node->next = buffer->freeNodes;
    buffer->freeNodes = node;
}

}  // namespace

int PreEventBuffer_Create(PreEventBuffer* buffer, std::uint32_t byteCapacity, std::uint32_t nodeCount)
{
    if (buffer->store != nullptr) {
        os::Trace("Pre-event buffer already created\r\n");
        return 0;
    }
    if (byteCapacity == 0 || nodeCount == 0) {
        os::Trace("Pre-event buffer: bad size (%u bytes, %u nodes)\r\n", byteCapacity, nodeCount);
        return 0;
    }
    auto* store = new (std::nothrow) std::uint8_t[byteCapacity];
    auto* nodes = new (std::nothrow) BufferedSample[nodeCount];
    auto* serials = new (std::nothrow) std::uint64_t[nodeCount];
    if (store == nullptr || nodes == nullptr || serials == nullptr) {
        delete[] store;
        delete[] nodes;
        delete[] serials;
        os::Trace("Pre-event buffer: no memory for %u bytes and %u nodes\r\n", byteCapacity, nodeCount);
        return 0;
    }
    *buffer = PreEventBuffer{};
    buffer->store = store;
    buffer->capacity = byteCapacity;
    buffer->nodes = nodes;
    buffer->serials = serials;
    buffer->nodeCount = nodeCount;
    for (std::uint32_t i = 0; i < nodeCount; ++i) {
        nodes[i].next = i + 1 < nodeCount ? &nodes[i + 1] : nullptr;
        serials[i] = kNoSerial;
    }
    buffer->freeNodes = nodes;
    return 1;
}

void PreEventBuffer_Destroy(PreEventBuffer* buffer)
{
    delete[] buffer->store;
    delete[] buffer->nodes;
    delete[] buffer->serials;
    *buffer = PreEventBuffer{};
}

int PreEventBuffer_Append(PreEventBuffer* buffer, std::uint32_t kind, std::uint32_t tick, std::int64_t start,
                          std::int64_t stop, const std::uint8_t* data, std::uint32_t size, const GpsFix& gps,
                          double distanceDelta1, double distanceDelta2)
{
    if (buffer->store == nullptr || data == nullptr || (kind != kBufferedVideo && kind != kBufferedAudio)) {
        os::Trace("Pre-event buffer: sample refused (kind %u, %u bytes, buffer %s)\r\n", kind, size,
                  buffer->store != nullptr ? "ready" : "not created");
        return 0;
    }
    if (size == 0 || size > buffer->capacity) {
        os::Trace("Failed to insert data(size: %ubytes)\r\n", size);
        return 0;
    }
    // Ends at the latest when the buffer is empty: every node is free then
    // and the whole store, which the size check says is enough, is one piece.
    std::int64_t offset = -1;
    while (buffer->freeNodes == nullptr || (offset = Reserve(buffer, size)) < 0) DropOldest(buffer);

    const auto at = static_cast<std::uint32_t>(offset);
    std::memcpy(buffer->store + at, data, size);
    Commit(buffer, at, size);

    BufferedSample* node = buffer->freeNodes;
    buffer->freeNodes = node->next;
    node->next = nullptr;
    node->kind = kind;
    node->tick = tick;
    node->start = start;
    node->stop = stop;
    node->payload = buffer->store + at;
    node->payloadSize = size;
    node->gps = gps;
    node->distanceDelta1 = distanceDelta1;
    node->distanceDelta2 = distanceDelta2;
    buffer->serials[NodeIndex(buffer, node)] = buffer->nextSerial++;

    if (buffer->tail != nullptr)
        buffer->tail->next = node;
    else
        buffer->head = node;
    buffer->tail = node;
    ++buffer->count;
    return 1;
}

const BufferedSample* PreEventBuffer_Oldest(const PreEventBuffer* buffer) { return buffer->head; }

int PreEventBuffer_RemoveOldest(PreEventBuffer* buffer)
{
    if (buffer->head == nullptr) return 0;
    DropOldest(buffer);
    return 1;
}

int PreEventBuffer_NewestTick(const PreEventBuffer* buffer, std::uint32_t* tick)
{
    if (buffer->tail == nullptr) return 0;
    *tick = buffer->tail->tick;
    return 1;
}

std::uint32_t PreEventBuffer_Count(const PreEventBuffer* buffer) { return buffer->count; }

void PreEventBuffer_Clear(PreEventBuffer* buffer)
{
    while (buffer->head != nullptr) DropOldest(buffer);
}

std::uint64_t PreEventBuffer_SerialOf(const PreEventBuffer* buffer, const BufferedSample* node)
{
    const std::uint32_t index = NodeIndex(buffer, node);
    return index < buffer->nodeCount ? buffer->serials[index] : kNoSerial;
}

std::uint32_t PreEventBuffer_CapacityFor(std::uint32_t eventTimeSec, std::uint32_t videoKbps,
                                         std::uint32_t audioKbps)
{
    // At most 2^33 x 125 bytes a second and 2^33 seconds: the product alone
    // could pass 64 bits, so the ceiling is checked by division first.
    const std::uint64_t bytesPerSecond = (std::uint64_t{videoKbps} + audioKbps) * 125;
    const std::uint64_t seconds = 2 * std::uint64_t{eventTimeSec};
    if (bytesPerSecond != 0 && seconds > kPreEventMaxBytes / bytesPerSecond) return kPreEventMaxBytes;
    const std::uint64_t bytes = seconds * bytesPerSecond;
    return bytes < kPreEventMinBytes ? kPreEventMinBytes : static_cast<std::uint32_t>(bytes);
}

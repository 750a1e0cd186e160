// The chunks of one stream in the current RIFF, in writing order, for the
// "idx1" and "ix##" indexes. Entries live in blocks of 16 384, allocated as
// the stream grows and kept for the next RIFF; Release frees them all.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct AviIndexEntry {
    std::uint32_t flags;   // kAviKeyFrameFlag or 0
    std::uint32_t offset;  // of the chunk header from the "movi" FourCC of its RIFF
    std::uint32_t size;    // unpadded payload size
};

constexpr std::uint32_t kAviKeyFrameFlag = 0x10;
constexpr std::size_t kAviIndexBlockEntries = 16384;

class AviStreamIndex {
public:
    // False when a new block cannot be allocated; the entry is not kept.
    bool Add(const AviIndexEntry& entry);
    std::size_t Count() const { return count_; }
    const AviIndexEntry& At(std::size_t i) const
    {
        return blocks_[i / kAviIndexBlockEntries][i % kAviIndexBlockEntries];
    }
    // Empties the index for the next RIFF, keeping the blocks.
    void Restart() { count_ = 0; }
    void Release();
    std::size_t AllocatedBytes() const { return blocks_.size() * kAviIndexBlockEntries * sizeof(AviIndexEntry); }

private:
    std::vector<std::unique_ptr<AviIndexEntry[]>> blocks_;
    std::size_t count_ = 0;
};

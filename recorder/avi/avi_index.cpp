#include "recorder/avi/avi_index.h"

#include <new>

bool AviStreamIndex::Add(const AviIndexEntry& entry)
{
    if (count_ == blocks_.size() * kAviIndexBlockEntries) {
        std::unique_ptr<AviIndexEntry[]> block(new (std::nothrow) AviIndexEntry[kAviIndexBlockEntries]);
        if (!block) return false;
        blocks_.push_back(std::move(block));
    }
    blocks_[count_ / kAviIndexBlockEntries][count_ % kAviIndexBlockEntries] = entry;
    ++count_;
    return true;
}

void AviStreamIndex::Release()
{
    blocks_.clear();
    blocks_.shrink_to_fit();
    count_ = 0;
}

// Physically contiguous memory, as the codec's user-mode I/O driver hands it
// out: each block has a bus address for the codec, a virtual address for the
// program, an allocation handle and its size. The codec reads and writes
// blocks through their bus addresses only (video_codec.h).
//
// The pool is kPhysMemPoolBytes; an allocation that does not fit fails.
// Blocks start on 4096-byte boundaries, and freed space is reused. All calls
// are safe from any thread. StartPlatform frees every block.
#pragma once

#include <cstddef>

#include "platform/base/types.h"

namespace os {

constexpr DWORD kPhysMemPoolBytes = 64u * 1024 * 1024;

struct PhysMemBlock {
    DWORD phys = 0;        // bus address, 0 for none
    BYTE* virt = nullptr;  // the program's view of the same bytes
    DWORD handle = 0;      // allocation handle, 0 for none
    DWORD size = 0;        // bytes asked for
};

// FALSE with ERROR_INVALID_PARAMETER for a size of 0 or a null block, and
// ERROR_NOT_ENOUGH_MEMORY when the pool has no gap large enough; *block is
// then cleared. The bytes of a new block are zero.
BOOL AllocPhysMem(DWORD size, PhysMemBlock* block);
// Frees the block by its handle and clears *block; FALSE with
// ERROR_INVALID_HANDLE (and nothing changes) when the handle is not a live
// allocation or the addresses do not match it.
BOOL FreePhysMem(PhysMemBlock* block);
// Bytes held by live blocks (for leak checks).
std::size_t PhysMemInUse();

}  // namespace os

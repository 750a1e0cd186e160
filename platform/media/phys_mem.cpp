#include "platform/media/phys_mem.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/base/internal/fresh_start.h"
#include "platform/media/internal/phys_mem_map.h"

namespace os {

namespace {

// Where the pool sits on the bus: the start of the handset's DRAM bank.
constexpr DWORD kPoolBase = 0x50000000u;
constexpr DWORD kPageBytes = 4096;

struct Block {
    std::unique_ptr<BYTE[]> bytes;
    DWORD handle = 0;
    DWORD size = 0;
    DWORD span = 0;  // size rounded up to whole pages: the bus range it occupies
};

struct PhysPool {
    std::mutex mu;
    std::map<DWORD, Block> blocks;  // by bus address
    DWORD nextHandle = 1;
    std::size_t inUse = 0;
};

PhysPool& Pool()
{
    static PhysPool pool;
    return pool;
}

// The lowest bus address with `span` free bytes after it; 0 when the pool is full.
DWORD FirstFit(const std::map<DWORD, Block>& blocks, DWORD span)
{
    DWORD at = kPoolBase;
    for (const auto& [phys, block] : blocks) {
        if (phys - at >= span) return at;
        at = phys + block.span;
    }
    return kPoolBase + kPhysMemPoolBytes - at >= span ? at : 0;
}

}  // namespace

BOOL AllocPhysMem(DWORD size, PhysMemBlock* block)
{
    if (block == nullptr || size == 0) {
        if (block) *block = {};
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *block = {};
    if (size > kPhysMemPoolBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    const DWORD span = (size + kPageBytes - 1) / kPageBytes * kPageBytes;
    std::lock_guard lk(Pool().mu);
    const DWORD phys = FirstFit(Pool().blocks, span);
    if (phys == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    Block b;
    b.bytes = std::make_unique<BYTE[]>(size);
    b.handle = Pool().nextHandle++;
    if (Pool().nextHandle == 0) Pool().nextHandle = 1;
    b.size = size;
    b.span = span;
    block->phys = phys;
    block->virt = b.bytes.get();
    block->handle = b.handle;
    block->size = size;
    Pool().inUse += size;
    Pool().blocks.emplace(phys, std::move(b));
    return TRUE;
}

BOOL FreePhysMem(PhysMemBlock* block)
{
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lk(Pool().mu);
    const auto it = Pool().blocks.find(block->phys);
    if (it == Pool().blocks.end() || it->second.handle != block->handle || it->second.bytes.get() != block->virt) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Pool().inUse -= it->second.size;
    Pool().blocks.erase(it);
    *block = {};
    return TRUE;
}

std::size_t PhysMemInUse()
{
    std::lock_guard lk(Pool().mu);
    return Pool().inUse;
}

BYTE* detail::PhysToVirt(DWORD phys, std::size_t size)
{
    std::lock_guard lk(Pool().mu);
    auto it = Pool().blocks.upper_bound(phys);
    if (it == Pool().blocks.begin()) return nullptr;
    --it;
    const std::size_t offset = phys - it->first;
    if (offset > it->second.size || size > it->second.size - offset) return nullptr;
    return it->second.bytes.get() + offset;
}

void detail::ResetPhysMem()
{
    std::lock_guard lk(Pool().mu);
    Pool().blocks.clear();
    Pool().nextHandle = 1;
    Pool().inUse = 0;
}

}  // namespace os

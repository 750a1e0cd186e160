// For the platform layer only: waitable kernel objects and the handle table.
// All state here is guarded by Sched().mu.
#pragma once

#include <memory>
#include <vector>

#include "platform/kernel/internal/scheduler.h"
#include "platform/base/types.h"

namespace os::detail {

struct KernelObject {
    virtual ~KernelObject() = default;
    // True when a wait by `who` would be satisfied now.
    virtual bool Signaled(const ThreadRec* who) const = 0;
    // Called when a wait by `who` is satisfied (an auto-reset event resets).
    virtual void Acquire(ThreadRec*) {}

    std::vector<ThreadRec*> waiters;
    bool closed = false;  // its handle was closed; current waits fail

    void WakeWaiters();
};

struct EventObject : KernelObject {
    bool manualReset = false;
    bool state = false;
    bool Signaled(const ThreadRec*) const override { return state; }
    void Acquire(ThreadRec*) override
    {
        if (!manualReset) state = false;
    }
};

struct ThreadObject : KernelObject {
    std::weak_ptr<ThreadRec> rec;
    bool ended = false;
    DWORD exitCode = 259;  // STILL_ACTIVE
    bool Signaled(const ThreadRec*) const override { return ended; }
};

// Handle values of kernel objects stay below this bound; other handle kinds
// (files, comm ports) use ranges above it.
constexpr std::uintptr_t kKernelHandleLimit = 0x10000000;

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Removes the handle; the object is marked closed and its waiters woken.
bool RemoveHandle(HANDLE handle);
// Closes a handle of another kind (file, find, comm); false when none matches.
bool CloseOtherHandle(HANDLE handle);

}  // namespace os::detail

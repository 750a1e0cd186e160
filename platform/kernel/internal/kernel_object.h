// For the platform layer only: waitable kernel objects and their handles.
// All state here is guarded by Sched().mu. Handle values come from the one
// table of handle_table.h.
#pragma once

#include <map>
#include <memory>
#include <string>
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

// One open handle to a kernel object. Several handles may reach one object
// (a named event opened twice); closing one of them ends only the waits made
// through it, and the others stay usable.
struct KernelHandle {
    std::shared_ptr<KernelObject> object;
    bool closed = false;
};

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// The open handle, or null; GetCurrentThread's pseudo-handle included.
std::shared_ptr<KernelHandle> LookupKernelHandle(HANDLE handle);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Closes the handle: waits through it fail, the object's waiters are woken
// to look again. False when it is not an open kernel handle.
bool RemoveHandle(HANDLE handle);
// Closes a handle of another kind (file, find, comm); false when none matches.
bool CloseOtherHandle(HANDLE handle);
// Named events are shared within the process, as named kernel objects are.
std::map<std::string, std::weak_ptr<EventObject>>& NamedEvents();
// Forgets every kernel handle and named object (a fresh start of the platform).
void ResetKernelObjects();

}  // namespace os::detail

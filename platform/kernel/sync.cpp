// Events, waits and critical sections on the scheduler.
#include <string>

#include "platform/kernel/internal/kernel_object.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"

namespace os {

using detail::Sched;

namespace {

std::shared_ptr<detail::EventObject> EventOf(HANDLE handle)
{
    return std::dynamic_pointer_cast<detail::EventObject>(detail::LookupHandle(handle));
}

// The index of the first object that satisfies the wait, -1 for none.
int FirstReady(const std::vector<std::shared_ptr<detail::KernelObject>>& objects, bool waitAll,
               const detail::ThreadRec* self)
{
    if (waitAll) {
        for (const auto& o : objects) {
            if (!o->Signaled(self)) return -1;
        }
        return 0;
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->Signaled(self)) return static_cast<int>(i);
    }
    return -1;
}

void RemoveWaiter(detail::KernelObject& object, detail::ThreadRec* self)
{
    auto& w = object.waiters;
    for (auto it = w.begin(); it != w.end(); ++it) {
        if (*it == self) {
            w.erase(it);
            return;
        }
    }
}

}  // namespace

HANDLE CreateEventW(void*, BOOL manualReset, BOOL initialState, const char* name)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    std::shared_ptr<detail::EventObject> event;
    if (name != nullptr && *name != '\0') {
        event = detail::NamedEvents()[name].lock();
        if (event) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return detail::AddHandle(event);
        }
    }
    event = std::make_shared<detail::EventObject>();
    event->manualReset = manualReset != FALSE;
    event->state = initialState != FALSE;
    if (name != nullptr && *name != '\0') detail::NamedEvents()[name] = event;
    SetLastError(ERROR_SUCCESS);
    return detail::AddHandle(event);
}

BOOL SetEvent(HANDLE handle)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    auto event = EventOf(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->state = true;
    event->WakeWaiters();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    auto event = EventOf(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->state = false;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        if (detail::RemoveHandle(handle)) return TRUE;
    }
    if (detail::CloseOtherHandle(handle)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs)
{
    return WaitForMultipleObjects(1, &handle, FALSE, timeoutMs);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs)
{
    if (count == 0 || handles == nullptr || count > 64) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> lk(Sched().mu);
    // The wait holds the handles it was given: closing one of them ends it,
    // closing another handle to the same object does not.
    std::vector<std::shared_ptr<detail::KernelHandle>> opened;
    std::vector<std::shared_ptr<detail::KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto open = detail::LookupKernelHandle(handles[i]);
        if (!open) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(open->object);
        opened.push_back(std::move(open));
    }
    detail::ThreadRec* self = detail::Self();
    const std::int64_t deadline = detail::DeadlineAfterMs(timeoutMs);
    for (;;) {
        for (const auto& open : opened) {
            if (open->closed) {
                SetLastError(ERROR_INVALID_HANDLE);
                return WAIT_FAILED;
            }
        }
        const int ready = FirstReady(objects, waitAll != FALSE, self);
        if (ready >= 0) {
            if (waitAll) {
                for (const auto& o : objects) o->Acquire(self);
            } else {
                objects[static_cast<std::size_t>(ready)]->Acquire(self);
            }
            return WAIT_OBJECT_0 + static_cast<DWORD>(ready);
        }
        if (timeoutMs == 0 || Sched().Now() >= deadline) return WAIT_TIMEOUT;
        for (const auto& o : objects) o->waiters.push_back(self);
        Sched().Block(lk, deadline, count == 1 ? "WaitForSingleObject" : "WaitForMultipleObjects");
        for (const auto& o : objects) RemoveWaiter(*o, self);
    }
}

// A thread blocked in EnterCriticalSection keeps using the state, so a
// deletion while threads wait frees it only when the last of them has gone.
struct CriticalSectionState {
    DWORD owner = 0;  // thread id; 0: free (platform thread ids start at 1)
    int count = 0;
    std::deque<detail::ThreadRec*> waiters;
    int blockedInside = 0;
    bool deleted = false;
};

void InitializeCriticalSection(CRITICAL_SECTION* cs)
{
    cs->state = new CriticalSectionState();
}

void DeleteCriticalSection(CRITICAL_SECTION* cs)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    CriticalSectionState* state = cs->state;
    if (state == nullptr) {
        PlatformLog("DeleteCriticalSection: the section is not initialised or already deleted; nothing done");
        return;
    }
    cs->state = nullptr;
    if (state->owner != 0) {
        PlatformLog("DeleteCriticalSection: thread %u still holds the section; its further entering and leaving "
                    "do nothing",
                    state->owner);
    }
    if (state->blockedInside == 0) {
        delete state;
        return;
    }
    PlatformLog("DeleteCriticalSection: %d thread(s) waiting to enter give up without it", state->blockedInside);
    state->deleted = true;
    for (detail::ThreadRec* t : state->waiters) Sched().Wake(t);
    state->waiters.clear();
}

void EnterCriticalSection(CRITICAL_SECTION* cs)
{
    std::unique_lock<std::mutex> lk(Sched().mu);
    detail::ThreadRec* self = detail::RequireSelf("EnterCriticalSection");
    CriticalSectionState* state = cs->state;
    if (state == nullptr) {
        PlatformLog("EnterCriticalSection by thread %u on a deleted or uninitialised section: nothing done", self->id);
        return;
    }
    if (state->owner == 0) {
        state->owner = self->id;
        state->count = 1;
        return;
    }
    if (state->owner == self->id) {
        ++state->count;
        return;
    }
    state->waiters.push_back(self);
    ++state->blockedInside;
    while (state->owner != self->id && !state->deleted) {
        Sched().Block(lk, detail::kNoDeadline, "EnterCriticalSection");
    }
    --state->blockedInside;
    if (state->deleted) {
        PlatformLog("EnterCriticalSection by thread %u: the section was deleted while it waited; nothing done",
                    self->id);
        if (state->blockedInside == 0) delete state;
    }
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    detail::ThreadRec* self = detail::RequireSelf("TryEnterCriticalSection");
    CriticalSectionState* state = cs->state;
    if (state == nullptr) {
        PlatformLog("TryEnterCriticalSection by thread %u on a deleted or uninitialised section: nothing done",
                    self->id);
        return FALSE;
    }
    if (state->owner == 0) {
        state->owner = self->id;
        state->count = 1;
        return TRUE;
    }
    if (state->owner == self->id) {
        ++state->count;
        return TRUE;
    }
    return FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* cs)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    detail::ThreadRec* self = detail::RequireSelf("LeaveCriticalSection");
    CriticalSectionState* state = cs->state;
    if (state == nullptr) {
        PlatformLog("LeaveCriticalSection by thread %u on a deleted or uninitialised section: nothing done", self->id);
        return;
    }
    if (state->owner != self->id) {
        PlatformLog("LeaveCriticalSection by thread %u, which does not hold the section: nothing done", self->id);
        return;
    }
    if (--state->count > 0) return;
    state->owner = 0;
    if (!state->waiters.empty()) {
        // Ownership passes straight to the longest waiter, so the order of
        // owners does not depend on which host thread wakes first.
        detail::ThreadRec* next = state->waiters.front();
        state->waiters.pop_front();
        state->owner = next->id;
        state->count = 1;
        Sched().Wake(next);
    }
}

}  // namespace os

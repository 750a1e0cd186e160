// Events, waits and critical sections on the scheduler.
#include <map>
#include <string>

#include "platform/kernel/internal/kernel_object.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"

namespace os {

using detail::Sched;

namespace {

// Named events are shared within the process, as named kernel objects are.
std::map<std::string, std::weak_ptr<detail::EventObject>>& NamedEvents()
{
    static std::map<std::string, std::weak_ptr<detail::EventObject>> events;
    return events;
}

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
        event = NamedEvents()[name].lock();
        if (event) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return detail::AddHandle(event);
        }
    }
    event = std::make_shared<detail::EventObject>();
    event->manualReset = manualReset != FALSE;
    event->state = initialState != FALSE;
    if (name != nullptr && *name != '\0') NamedEvents()[name] = event;
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
    std::vector<std::shared_ptr<detail::KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = detail::LookupHandle(handles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    detail::ThreadRec* self = detail::Self();
    const std::int64_t deadline = detail::DeadlineAfterMs(timeoutMs);
    for (;;) {
        for (const auto& o : objects) {
            if (o->closed) {
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

struct CriticalSectionState {
    detail::ThreadRec* owner = nullptr;
    int count = 0;
    std::deque<detail::ThreadRec*> waiters;
};

void InitializeCriticalSection(CRITICAL_SECTION* cs)
{
    cs->state = new CriticalSectionState();
}

void DeleteCriticalSection(CRITICAL_SECTION* cs)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    if (cs->state == nullptr) return;
    if (cs->state->owner != nullptr || !cs->state->waiters.empty()) {
        // Freeing it would leave its users with a dangling lock; keep it.
        PlatformLog("DeleteCriticalSection: still owned or waited for; kept alive");
        cs->state = nullptr;
        return;
    }
    delete cs->state;
    cs->state = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* cs)
{
    std::unique_lock<std::mutex> lk(Sched().mu);
    CriticalSectionState* state = cs->state;
    detail::ThreadRec* self = detail::Self();
    if (state->owner == nullptr) {
        state->owner = self;
        state->count = 1;
        return;
    }
    if (state->owner == self) {
        ++state->count;
        return;
    }
    state->waiters.push_back(self);
    while (state->owner != self) Sched().Block(lk, detail::kNoDeadline, "EnterCriticalSection");
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    CriticalSectionState* state = cs->state;
    detail::ThreadRec* self = detail::Self();
    if (state->owner == nullptr) {
        state->owner = self;
        state->count = 1;
        return TRUE;
    }
    if (state->owner == self) {
        ++state->count;
        return TRUE;
    }
    return FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* cs)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    CriticalSectionState* state = cs->state;
    if (state->owner != detail::Self() || --state->count > 0) return;
    state->owner = nullptr;
    if (!state->waiters.empty()) {
        // Ownership passes straight to the longest waiter, so the order of
        // owners does not depend on which host thread wakes first.
        state->owner = state->waiters.front();
        state->waiters.pop_front();
        state->count = 1;
        Sched().Wake(state->owner);
    }
}

}  // namespace os

// Platform threads: host threads known to the scheduler from their first
// instruction to their last.
#include <string>
#include <system_error>
#include <thread>

#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/internal/kernel_object.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"
#include "platform/windows/internal/window_manager.h"

namespace os {

using detail::Sched;

namespace {

constexpr DWORD kFirstWorkerId = 2;  // 1 is the main thread
DWORD g_nextThreadId = kFirstWorkerId;  // under Sched().mu

std::shared_ptr<detail::ThreadObject> ThreadObjectOf(HANDLE handle, std::shared_ptr<detail::ThreadRec>* rec)
{
    auto object = std::dynamic_pointer_cast<detail::ThreadObject>(detail::LookupHandle(handle));
    if (object && rec) *rec = object->rec.lock();
    return object;
}

void RunThread(std::shared_ptr<detail::ThreadRec> rec, LPTHREAD_START_ROUTINE start, void* param)
{
    std::unique_lock<std::mutex> lk(Sched().mu);
    Sched().EnterThread(lk, rec.get());
    lk.unlock();
    const DWORD code = start(param);
    lk.lock();
    detail::OnThreadExit(lk, rec.get());
    rec->object->ended = true;
    rec->object->exitCode = code;
    rec->object->WakeWaiters();
    Sched().ExitThread(lk, rec.get());
}

}  // namespace

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, void* param, DWORD flags, DWORD* threadId)
{
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto rec = std::make_shared<detail::ThreadRec>();
    auto object = std::make_shared<detail::ThreadObject>();
    object->rec = rec;
    rec->object = object;
    const bool suspended = (flags & CREATE_SUSPENDED) != 0;

    std::unique_lock<std::mutex> lk(Sched().mu);
    rec->id = g_nextThreadId++;
    rec->name = "thread-" + std::to_string(rec->id);
    try {
        std::thread(RunThread, rec, start, param).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // The host thread waits for the lock held here, so it is known to the
    // scheduler before it can run a single step.
    Sched().AddThread(rec, suspended);
    HANDLE handle = detail::AddHandle(object);
    if (threadId) *threadId = rec->id;
    return handle;
}

BOOL SetThreadDescription(HANDLE thread, const char* name)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    std::shared_ptr<detail::ThreadRec> rec;
    if (!ThreadObjectOf(thread, &rec) || !rec || name == nullptr) return FALSE;
    rec->name = name;
    return TRUE;
}

DWORD ResumeThread(HANDLE thread)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    std::shared_ptr<detail::ThreadRec> rec;
    if (!ThreadObjectOf(thread, &rec)) return 0xFFFFFFFFu;
    if (!rec || rec->ended) return 0;
    const DWORD previous = static_cast<DWORD>(rec->suspendCount);
    if (rec->suspendCount > 0 && --rec->suspendCount == 0) Sched().Resumed(rec.get());
    return previous;
}

DWORD SuspendThread(HANDLE thread)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    std::shared_ptr<detail::ThreadRec> rec;
    if (!ThreadObjectOf(thread, &rec)) return 0xFFFFFFFFu;
    if (!rec || rec->ended) return 0;
    return static_cast<DWORD>(rec->suspendCount++);
}

BOOL SetThreadPriority(HANDLE thread, int priority)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    std::shared_ptr<detail::ThreadRec> rec;
    if (!ThreadObjectOf(thread, &rec) || !rec || priority < 0 || priority > 7) return FALSE;
    rec->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    std::shared_ptr<detail::ThreadRec> rec;
    if (!ThreadObjectOf(thread, &rec) || !rec) return THREAD_PRIORITY_NORMAL;
    return rec->priority;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    auto object = ThreadObjectOf(thread, nullptr);
    if (!object || exitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = object->exitCode;
    return TRUE;
}

BOOL TerminateThread(HANDLE thread, DWORD exitCode)
{
    std::string name;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        std::shared_ptr<detail::ThreadRec> rec;
        if (!ThreadObjectOf(thread, &rec)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (!rec || rec->ended) return TRUE;
        name = rec->name;
    }
    // A host thread cannot be stopped safely from outside: it runs on,
    // detached, holding its own references to what it uses.
    PlatformLog("TerminateThread(%s, %u): cannot kill a thread on this host; left running detached", name.c_str(),
                exitCode);
    return TRUE;
}

DWORD GetCurrentThreadId()
{
    detail::ThreadRec* self = detail::Self();
    return self ? self->id : 0;
}

HANDLE GetCurrentThread()
{
    // The pseudo-handle of the phone OS: it means "the calling thread" wherever it is used.
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0xFFFFFFFEu));
}

void detail::ResetThreadIds()
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    g_nextThreadId = kFirstWorkerId;
}

}  // namespace os

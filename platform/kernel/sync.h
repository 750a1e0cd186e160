// Threads, events, critical sections and waits. All of them are scheduled by
// the platform clock: a platform thread blocks only inside these calls (and
// the message waits of window.h), so the virtual clock always knows who is
// runnable.
//
// Handles are closed with CloseHandle; the object lives on while a thread or
// another handle (a named event opened twice) still uses it, and closing a
// handle fails only the waits made through that handle. A thread cannot be
// killed safely on the host: TerminateThread logs the request and leaves the
// thread running detached.
//
// Critical sections belong to platform threads, by thread id; taking one on
// any other thread aborts with a diagnostic. Deleting a section that is held
// or waited for lets its waiters go without it, and entering or leaving a
// deleted (or never initialised) section is a logged no-op.
#pragma once

#include <cstddef>

#include "platform/base/types.h"

namespace os {

using LPTHREAD_START_ROUTINE = DWORD (*)(void* param);

constexpr DWORD CREATE_SUSPENDED = 0x4;
constexpr DWORD STILL_ACTIVE = 259;

// Thread priorities of the phone OS: 0 (highest) to 7 (idle); 3 is normal.
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 0;
constexpr int THREAD_PRIORITY_HIGHEST = 1;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 2;
constexpr int THREAD_PRIORITY_NORMAL = 3;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = 4;
constexpr int THREAD_PRIORITY_LOWEST = 5;
constexpr int THREAD_PRIORITY_ABOVE_IDLE = 6;
constexpr int THREAD_PRIORITY_IDLE = 7;

HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start, void* param,
                    DWORD flags, DWORD* threadId);
// Names a thread for logs and for the virtual clock's stall diagnostic.
BOOL SetThreadDescription(HANDLE thread, const char* name);
// Both return the previous suspend count, or 0xFFFFFFFF for a bad handle.
// A suspension takes effect when the thread next enters a platform call.
DWORD ResumeThread(HANDLE thread);
DWORD SuspendThread(HANDLE thread);
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
BOOL TerminateThread(HANDLE thread, DWORD exitCode);
DWORD GetCurrentThreadId();
HANDLE GetCurrentThread();

HANDLE CreateEventW(void* security, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL CloseHandle(HANDLE handle);

// WAIT_OBJECT_0 + index, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs);

// Recursive, owned by one thread at a time, as on the phone; waiters take it
// in the order they came.
struct CriticalSectionState;
struct CRITICAL_SECTION {
    CriticalSectionState* state = nullptr;
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);

}  // namespace os

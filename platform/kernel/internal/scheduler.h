// For the platform layer only: the scheduler behind every platform wait.
//
// One lock (Scheduler::mu) guards the state of all kernel objects, message
// queues, windows and timers. A platform thread blocks only through Block(),
// and is woken only through Wake(), both under that lock.
//
// Real mode: Block() waits on the thread's condition variable until woken or
// until its deadline passes on the host's monotonic clock.
//
// Virtual mode: exactly one platform thread runs at a time; it holds the
// baton. Block() hands the baton to the next runnable thread (first in, first
// out). A thread waits for the baton on its own semaphore, not on the lock's
// condition variable; a thread handing the baton to itself makes no host call.
// When no thread is runnable, the clock jumps to the earliest deadline
// and the threads due then become runnable in (deadline, registration) order.
// A woken thread is queued as runnable by its waker before the lock is let
// go, so time never jumps while anyone still has work. Because the order of
// the run queue follows only from what the threads do, a run repeats itself
// exactly. When nobody is runnable and nothing has a deadline (and no thread
// waits on the host), the run stops with a diagnostic naming every waiting
// thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/base/types.h"

namespace os::detail {

constexpr std::int64_t kNoDeadline = INT64_MAX;

struct ThreadQueue;  // message queue of a thread, see window_manager.h
struct ThreadObject;

struct ThreadRec {
    DWORD id = 0;
    std::string name;
    std::condition_variable cv;            // real mode
    std::counting_semaphore<> baton{0};    // virtual mode: posted when the baton comes

    // Scheduling state, under Scheduler::mu.
    bool blocked = false;
    bool woken = false;
    bool hasBaton = false;
    bool inRunQueue = false;
    bool hostWait = false;
    bool ended = false;
    int suspendCount = 0;
    std::int64_t deadline = kNoDeadline;
    std::uint64_t deadlineSeq = 0;
    std::string waitWhat;

    int priority = 3;
    DWORD lastError = 0;
    std::shared_ptr<ThreadObject> object;
    std::unique_ptr<ThreadQueue> queue;

    ThreadRec();
    ~ThreadRec();
};

using StallHandler = std::function<void(const std::string& diagnostic)>;

class Scheduler {
public:
    std::mutex mu;

    // Under mu. Blocks the calling thread until Wake() or the deadline (device
    // microseconds, kNoDeadline for none). Returns true when woken, false on
    // time-out. `what` names the wait in the stall diagnostic.
    bool Block(std::unique_lock<std::mutex>& lk, std::int64_t deadline, const char* what);
    // Under mu. Makes a blocked thread runnable; does nothing to a running one.
    void Wake(ThreadRec* t);
    // Under mu. Gives the processor to the other runnable threads once.
    void Yield(std::unique_lock<std::mutex>& lk);

    // Under mu: the thread becomes known to the scheduler, runnable unless
    // `suspended`. Its host thread must call EnterThread() before running.
    void AddThread(const std::shared_ptr<ThreadRec>& t, bool suspended);
    // Called on the new host thread: waits until the thread may run.
    void EnterThread(std::unique_lock<std::mutex>& lk, ThreadRec* self);
    // Under mu: the calling thread ends and leaves the scheduler.
    void ExitThread(std::unique_lock<std::mutex>& lk, ThreadRec* self);
    // Under mu. Resume a suspended thread (count reached 0).
    void Resumed(ThreadRec* t);

    // Host waits: the thread counts as waiting without a deadline.
    void BeginHostWait(std::unique_lock<std::mutex>& lk, ThreadRec* self, const char* what);
    void EndHostWait(std::unique_lock<std::mutex>& lk, ThreadRec* self);

    std::int64_t Now() const;  // device microseconds, no lock needed
    ClockMode Mode() const { return mode_; }

    void Start(const ClockConfig& config, const std::shared_ptr<ThreadRec>& mainThread);
    void Stop();
    bool Started() const { return started_; }
    std::vector<std::shared_ptr<ThreadRec>> Threads();  // under mu
    void SetStallHandler(StallHandler handler);
    SYSTEMTIME StartLocalTime() const { return startLocal_; }

private:
    struct DeadlineKey {
        std::int64_t deadline;
        std::uint64_t seq;
        ThreadRec* thread;
        bool operator<(const DeadlineKey& o) const
        {
            return deadline != o.deadline ? deadline < o.deadline : seq < o.seq;
        }
    };

    void PassBaton();
    void WaitForBaton(std::unique_lock<std::mutex>& lk, ThreadRec* self);
    void MakeRunnable(ThreadRec* t);
    void DropDeadline(ThreadRec* t);
    void Stall();
    std::string Diagnostic();

    ClockMode mode_ = ClockMode::Real;
    bool started_ = false;
    std::int64_t hostStartNs_ = 0;
    std::atomic<std::int64_t> virtualNow_{0};
    SYSTEMTIME startLocal_;
    std::uint64_t seq_ = 0;
    ThreadRec* holder_ = nullptr;
    std::deque<ThreadRec*> runQueue_;
    std::set<DeadlineKey> deadlines_;
    std::vector<std::shared_ptr<ThreadRec>> threads_;
    StallHandler stallHandler_;
};

Scheduler& Sched();
// The calling platform thread, or null for a host thread the platform did not make.
ThreadRec* Self();
void SetSelf(ThreadRec* t);
// The calling platform thread. On any other thread `call` is a programming
// error: it is reported on standard error and the process aborts.
ThreadRec* RequireSelf(const char* call);
std::int64_t HostMonotonicNs();

// Device deadline of a time-out in milliseconds from now.
std::int64_t DeadlineAfterMs(DWORD ms);

}  // namespace os::detail

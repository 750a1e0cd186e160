#include "platform/kernel/internal/scheduler.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <unistd.h>

#include "platform/kernel/internal/kernel_object.h"
#include "platform/base/trace.h"
#include "platform/windows/internal/window_manager.h"

namespace os::detail {

namespace {

thread_local ThreadRec* t_self = nullptr;

SYSTEMTIME HostLocalTime()
{
    auto now = std::chrono::system_clock::now();
    std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&secs, &tm);
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    return st;
}

void DefaultStallHandler(const std::string& diagnostic)
{
    std::fputs(diagnostic.c_str(), stderr);
    std::fflush(stderr);
    CloseTraceFile();
    _exit(3);
}

}  // namespace

ThreadRec::ThreadRec() : queue(std::make_unique<ThreadQueue>()) {}
ThreadRec::~ThreadRec() = default;

Scheduler& Sched()
{
    static Scheduler scheduler;
    return scheduler;
}

ThreadRec* Self() { return t_self; }
void SetSelf(ThreadRec* t) { t_self = t; }

ThreadRec* RequireSelf(const char* call)
{
    if (t_self == nullptr) {
        std::fprintf(stderr, "platform: %s called on a thread the platform did not make\n", call);
        std::abort();
    }
    return t_self;
}

std::int64_t HostMonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t DeadlineAfterMs(DWORD ms)
{
    if (ms == INFINITE) return kNoDeadline;
    return Sched().Now() + static_cast<std::int64_t>(ms) * 1000;
}

std::int64_t Scheduler::Now() const
{
    if (mode_ == ClockMode::Virtual) return virtualNow_.load(std::memory_order_acquire);
    return (HostMonotonicNs() - hostStartNs_) / 1000;
}

void Scheduler::Start(const ClockConfig& config, const std::shared_ptr<ThreadRec>& mainThread)
{
    std::lock_guard<std::mutex> lk(mu);
    mode_ = config.mode;
    hostStartNs_ = HostMonotonicNs();
    virtualNow_.store(0);
    startLocal_ = config.start ? *config.start : HostLocalTime();
    seq_ = 0;
    runQueue_.clear();
    deadlines_.clear();
    threads_.clear();
    threads_.push_back(mainThread);
    holder_ = nullptr;
    if (mode_ == ClockMode::Virtual) {
        holder_ = mainThread.get();
        mainThread->hasBaton = true;
    }
    stallHandler_ = DefaultStallHandler;
    started_ = true;
}

void Scheduler::Stop()
{
    std::lock_guard<std::mutex> lk(mu);
    started_ = false;
    holder_ = nullptr;
    runQueue_.clear();
    deadlines_.clear();
    threads_.clear();
}

void Scheduler::SetStallHandler(StallHandler handler)
{
    std::lock_guard<std::mutex> lk(mu);
    stallHandler_ = handler ? std::move(handler) : StallHandler(DefaultStallHandler);
}

std::vector<std::shared_ptr<ThreadRec>> Scheduler::Threads() { return threads_; }

void Scheduler::MakeRunnable(ThreadRec* t)
{
    if (t->inRunQueue || t->hasBaton) return;
    t->inRunQueue = true;
    runQueue_.push_back(t);
}

void Scheduler::DropDeadline(ThreadRec* t)
{
    if (t->deadline == kNoDeadline) return;
    deadlines_.erase(DeadlineKey{t->deadline, t->deadlineSeq, t});
    t->deadline = kNoDeadline;
}

void Scheduler::PassBaton()
{
    holder_ = nullptr;
    for (;;) {
        if (!runQueue_.empty()) {
            ThreadRec* next = runQueue_.front();
            runQueue_.pop_front();
            next->inRunQueue = false;
            holder_ = next;
            next->hasBaton = true;
            if (next != t_self) next->baton.release();
            return;
        }
        if (!deadlines_.empty()) {
            const std::int64_t due = deadlines_.begin()->deadline;
            if (due > virtualNow_.load()) virtualNow_.store(due, std::memory_order_release);
            while (!deadlines_.empty() && deadlines_.begin()->deadline == due) {
                ThreadRec* t = deadlines_.begin()->thread;
                deadlines_.erase(deadlines_.begin());
                t->deadline = kNoDeadline;
                MakeRunnable(t);
            }
            continue;
        }
        for (const auto& t : threads_) {
            if (t->hostWait) return;  // idle until the host wakes that thread
        }
        Stall();
        return;
    }
}

// A post can come before its wait (a new thread given the baton before it
// starts waiting), so a wake-up without the baton waits again.
void Scheduler::WaitForBaton(std::unique_lock<std::mutex>& lk, ThreadRec* self)
{
    while (!self->hasBaton) {
        lk.unlock();
        self->baton.acquire();
        lk.lock();
    }
}

bool Scheduler::Block(std::unique_lock<std::mutex>& lk, std::int64_t deadline, const char* what)
{
    ThreadRec* self = RequireSelf(what);
    auto inner = [&](std::int64_t due, const char* label) {
        self->blocked = true;
        self->woken = false;
        self->waitWhat = label;
        if (mode_ == ClockMode::Virtual) {
            if (due != kNoDeadline) {
                self->deadline = due;
                self->deadlineSeq = ++seq_;
                deadlines_.insert(DeadlineKey{due, self->deadlineSeq, self});
            }
            self->hasBaton = false;
            PassBaton();
            WaitForBaton(lk, self);
            DropDeadline(self);
        } else {
            const auto hostDue = std::chrono::steady_clock::time_point(
                std::chrono::nanoseconds(hostStartNs_ + (due == kNoDeadline ? 0 : due * 1000)));
            while (!self->woken) {
                if (due == kNoDeadline) {
                    self->cv.wait(lk);
                } else if (self->cv.wait_until(lk, hostDue) == std::cv_status::timeout) {
                    break;
                }
            }
        }
        self->blocked = false;
        return self->woken;
    };
    const bool woken = inner(deadline, what);
    while (self->suspendCount > 0) inner(kNoDeadline, "suspended");
    return woken;
}

void Scheduler::Wake(ThreadRec* t)
{
    if (!t->blocked || t->woken) return;
    t->woken = true;
    if (mode_ == ClockMode::Virtual) {
        DropDeadline(t);
        MakeRunnable(t);
        if (holder_ == nullptr) PassBaton();
    } else {
        t->cv.notify_one();
    }
}

void Scheduler::Yield(std::unique_lock<std::mutex>& lk)
{
    ThreadRec* self = Self();
    if (mode_ == ClockMode::Virtual && self != nullptr) {
        self->hasBaton = false;
        MakeRunnable(self);
        PassBaton();
        WaitForBaton(lk, self);
    } else {
        lk.unlock();
        std::this_thread::yield();
        lk.lock();
    }
}

void Scheduler::AddThread(const std::shared_ptr<ThreadRec>& t, bool suspended)
{
    threads_.push_back(t);
    if (suspended) {
        t->suspendCount = 1;
        t->blocked = true;
        t->woken = false;
        t->waitWhat = "suspended";
    } else if (mode_ == ClockMode::Virtual) {
        MakeRunnable(t.get());
    }
}

void Scheduler::EnterThread(std::unique_lock<std::mutex>& lk, ThreadRec* self)
{
    SetSelf(self);
    if (mode_ == ClockMode::Virtual) {
        WaitForBaton(lk, self);
    } else {
        while (self->suspendCount > 0) self->cv.wait(lk);
    }
    self->blocked = false;
}

void Scheduler::Resumed(ThreadRec* t)
{
    if (t->blocked) {
        Wake(t);
    }
}

void Scheduler::ExitThread(std::unique_lock<std::mutex>&, ThreadRec* self)
{
    self->ended = true;
    for (auto it = threads_.begin(); it != threads_.end(); ++it) {
        if (it->get() == self) {
            threads_.erase(it);
            break;
        }
    }
    if (mode_ == ClockMode::Virtual) {
        self->hasBaton = false;
        PassBaton();
    }
    SetSelf(nullptr);
}

void Scheduler::BeginHostWait(std::unique_lock<std::mutex>&, ThreadRec* self, const char* what)
{
    self->hostWait = true;
    self->waitWhat = what;
    if (mode_ == ClockMode::Virtual) {
        self->hasBaton = false;
        PassBaton();
    }
}

void Scheduler::EndHostWait(std::unique_lock<std::mutex>& lk, ThreadRec* self)
{
    self->hostWait = false;
    if (mode_ == ClockMode::Virtual) {
        MakeRunnable(self);
        if (holder_ == nullptr) PassBaton();
        WaitForBaton(lk, self);
    }
}

std::string Scheduler::Diagnostic()
{
    std::string text = "virtual clock stalled at " + FormatDeviceTime(virtualNow_.load()) +
                       ": every thread waits and none has a deadline\n";
    for (const auto& t : threads_) {
        text += "  thread " + std::to_string(t->id) + " (" + t->name + "): waits in " + t->waitWhat + "\n";
    }
    return text;
}

void Scheduler::Stall()
{
    const std::string diagnostic = Diagnostic();
    if (stallHandler_) stallHandler_(diagnostic);
}

}  // namespace os::detail

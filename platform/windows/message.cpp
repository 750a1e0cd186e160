// Message queues: posting, sending, retrieval, timers and modal loops.
#include <algorithm>

#include "platform/kernel/clock.h"
#include "platform/windows/internal/window_manager.h"

namespace os {

using detail::Sched;
using detail::ThreadRec;
using detail::WindowRec;
using detail::WM;

namespace {

bool InRange(UINT message, UINT lo, UINT hi)
{
    return (lo == 0 && hi == 0) || (message >= lo && message <= hi);
}

bool InFilter(const MSG& m, HWND hwnd, UINT lo, UINT hi)
{
    if (hwnd != nullptr && m.hwnd != hwnd) return false;
    return InRange(m.message, lo, hi);
}

// A timer of the calling thread that a retrieval with this filter may return.
bool TimerInFilter(const std::pair<std::uint32_t, UINT_PTR>& key, const detail::TimerRec& t, const ThreadRec* self,
                   HWND filter, UINT lo, UINT hi)
{
    if (t.thread != self || !InRange(WM_TIMER, lo, hi)) return false;
    return filter == nullptr || detail::WindowId(filter) == key.first;
}

MSG MakeMsg(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    return m;
}

// Under mu: handles the oldest message sent to the calling thread.
void DispatchOneSent(std::unique_lock<std::mutex>& lk, ThreadRec* self)
{
    detail::SentMessage* sm = self->queue->sent.front();
    self->queue->sent.pop_front();
    WindowRec* w = detail::FindWindowRec(sm->hwnd);
    const bool exists = w != nullptr;
    WNDPROC proc = exists ? w->proc : nullptr;
    lk.unlock();
    const LRESULT result = exists ? CallWindowProcW(proc, sm->hwnd, sm->msg, sm->wParam, sm->lParam) : 0;
    lk.lock();
    sm->result = result;
    sm->done = true;
    if (sm->sender) Sched().Wake(sm->sender);
    if (sm->hostDone) sm->hostDone->notify_all();
}

// Under mu: the earliest due time of the thread's timers that the filter
// lets through; a timer it excludes must not end the wait.
std::int64_t NextTimerDue(const ThreadRec* self, HWND filter, UINT lo, UINT hi)
{
    std::int64_t due = detail::kNoDeadline;
    for (const auto& [key, t] : WM().timers) {
        if (TimerInFilter(key, t, self, filter, lo, hi)) due = std::min(due, t.due);
    }
    return due;
}

bool TakeTimer(const ThreadRec* self, HWND filter, UINT lo, UINT hi, bool remove, MSG* out)
{
    const std::int64_t now = Sched().Now();
    auto& timers = WM().timers;
    auto best = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        const detail::TimerRec& t = it->second;
        if (!TimerInFilter(it->first, t, self, filter, lo, hi) || t.due > now) continue;
        if (best == timers.end() || t.due < best->second.due ||
            (t.due == best->second.due && t.seq < best->second.seq)) {
            best = it;
        }
    }
    if (best == timers.end()) return false;
    *out = MakeMsg(detail::WindowHandle(best->first.first), WM_TIMER, best->first.second, 0);
    if (remove) {
        detail::TimerRec& t = best->second;
        t.due += t.period;
        if (t.due <= now) t.due = now + t.period;  // a late timer is not queued twice
        t.seq = ++WM().timerSeq;
    }
    return true;
}

bool TakePaint(const ThreadRec* self, HWND filter, MSG* out)
{
    for (std::uint32_t id : WM().zorder) {
        const WindowRec& w = *WM().windows.at(id);
        if (w.thread != self || !w.needsPaint || !w.visible) continue;
        if (filter != nullptr && detail::WindowId(filter) != id) continue;
        *out = MakeMsg(detail::WindowHandle(id), WM_PAINT, 0, 0);
        return true;
    }
    return false;
}

// Under mu: the next message for the calling thread, handling sent messages
// on the way: sent, posted, quit, paint, timer. False when there is none.
bool NextMessage(std::unique_lock<std::mutex>& lk, ThreadRec* self, MSG* out, HWND filter, UINT lo, UINT hi,
                 bool remove)
{
    detail::ThreadQueue& q = *self->queue;
    while (!q.sent.empty()) DispatchOneSent(lk, self);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!InFilter(*it, filter, lo, hi)) continue;
        *out = *it;
        if (remove) q.posted.erase(it);
        return true;
    }
    if (q.quit) {
        *out = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
        if (remove) q.quit = false;
        return true;
    }
    if (InRange(WM_PAINT, lo, hi) && TakePaint(self, filter, out)) return true;
    return TakeTimer(self, filter, lo, hi, remove, out);
}

}  // namespace

namespace detail {

void OnThreadExit(std::unique_lock<std::mutex>&, ThreadRec* self)
{
    ThreadQueue& q = *self->queue;
    q.dead = true;
    q.posted.clear();
    for (SentMessage* sm : q.sent) {
        sm->done = true;
        if (sm->sender) Sched().Wake(sm->sender);
        if (sm->hostDone) sm->hostDone->notify_all();
    }
    q.sent.clear();
    auto& wm = WM();
    for (auto it = wm.timers.begin(); it != wm.timers.end();) {
        it = it->second.thread == self ? wm.timers.erase(it) : std::next(it);
    }
    for (auto it = wm.windows.begin(); it != wm.windows.end();) {
        if (it->second->thread != self) {
            ++it;
            continue;
        }
        const std::uint32_t id = it->first;
        wm.zorder.erase(std::remove(wm.zorder.begin(), wm.zorder.end(), id), wm.zorder.end());
        if (wm.foreground == id) wm.foreground = 0;
        it = wm.windows.erase(it);
    }
}

bool QueueSentFromOutside(SentMessage* sm)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = FindWindowRec(sm->hwnd);
    if (w == nullptr || w->thread->queue->dead) return false;
    w->thread->queue->sent.push_back(sm);
    Sched().Wake(w->thread);
    return true;
}

bool WithdrawSent(SentMessage* sm)
{
    for (const auto& t : Sched().Threads()) {
        auto& sent = t->queue->sent;
        auto it = std::find(sent.begin(), sent.end(), sm);
        if (it != sent.end()) {
            sent.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace detail

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (detail::IsRemoteWindow(hwnd)) return detail::RemotePostMessage(hwnd, msg, wParam, lParam);
    std::lock_guard<std::mutex> lk(Sched().mu);
    ThreadRec* target = nullptr;
    if (hwnd == nullptr) {
        target = detail::Self();
    } else if (WindowRec* w = detail::FindWindowRec(hwnd)) {
        target = w->thread;
    }
    if (target == nullptr || target->queue->dead) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    target->queue->posted.push_back(MakeMsg(hwnd, msg, wParam, lParam));
    Sched().Wake(target);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    for (const auto& t : Sched().Threads()) {
        if (t->id != threadId || t->queue->dead) continue;
        t->queue->posted.push_back(MakeMsg(nullptr, msg, wParam, lParam));
        Sched().Wake(t.get());
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (detail::IsRemoteWindow(hwnd)) return detail::RemoteSendMessage(hwnd, msg, wParam, lParam);
    std::unique_lock<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    ThreadRec* self = detail::Self();
    if (w->thread == self) {
        WNDPROC proc = w->proc;
        lk.unlock();
        return CallWindowProcW(proc, hwnd, msg, wParam, lParam);
    }
    detail::RequireSelf("SendMessageW");
    if (w->thread->queue->dead) return 0;
    detail::SentMessage sm;
    sm.hwnd = hwnd;
    sm.msg = msg;
    sm.wParam = wParam;
    sm.lParam = lParam;
    sm.sender = self;
    w->thread->queue->sent.push_back(&sm);
    Sched().Wake(w->thread);
    while (!sm.done) {
        // Messages sent to this thread meanwhile are handled, so that two
        // threads sending to each other do not deadlock.
        if (!self->queue->sent.empty()) {
            DispatchOneSent(lk, self);
        } else {
            Sched().Block(lk, detail::kNoDeadline, "SendMessage");
        }
    }
    return sm.result;
}

void PostQuitMessage(int exitCode)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    ThreadRec* self = detail::RequireSelf("PostQuitMessage");
    self->queue->quit = true;
    self->queue->quitCode = exitCode;
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (msg == nullptr) return -1;
    std::unique_lock<std::mutex> lk(Sched().mu);
    ThreadRec* self = detail::RequireSelf("GetMessageW");
    while (!NextMessage(lk, self, msg, hwnd, filterMin, filterMax, true)) {
        Sched().Block(lk, NextTimerDue(self, hwnd, filterMin, filterMax), "GetMessage");
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (msg == nullptr) return FALSE;
    std::unique_lock<std::mutex> lk(Sched().mu);
    ThreadRec* self = detail::RequireSelf("PeekMessageW");
    return NextMessage(lk, self, msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WaitMessage()
{
    std::unique_lock<std::mutex> lk(Sched().mu);
    ThreadRec* self = detail::RequireSelf("WaitMessage");
    MSG probe;
    while (!NextMessage(lk, self, &probe, nullptr, 0, 0, false)) {
        Sched().Block(lk, NextTimerDue(self, nullptr, 0, 0), "WaitMessage");
    }
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg)
{
    // No character input exists on this device: keys stay key messages.
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(msg->hwnd);
        if (w == nullptr) return 0;
        proc = w->proc;
    }
    const LRESULT result = CallWindowProcW(proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
    // A paint handler that did not validate would otherwise be asked again
    // at once, forever, and the virtual clock would never move.
    if (msg->message == WM_PAINT) ValidateRect(msg->hwnd, nullptr);
    return result;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT periodMs, void*)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    detail::TimerRec t;
    t.period = static_cast<std::int64_t>(std::max<UINT>(periodMs, 1)) * 1000;
    t.due = Sched().Now() + t.period;
    t.seq = ++WM().timerSeq;
    t.thread = w->thread;
    WM().timers[{w->id, id}] = t;
    Sched().Wake(w->thread);  // its message wait has a new deadline
    return id != 0 ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    return WM().timers.erase({detail::WindowId(hwnd), id}) > 0 ? TRUE : FALSE;
}

LONG_PTR RunModalLoop(HWND hwnd)
{
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(hwnd);
        if (w == nullptr) return -1;
        w->modalEnded = false;
    }
    MSG msg;
    for (;;) {
        {
            std::lock_guard<std::mutex> lk(Sched().mu);
            WindowRec* w = detail::FindWindowRec(hwnd);
            if (w == nullptr) return -1;
            if (w->modalEnded) return w->modalResult;
        }
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
            return -1;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

BOOL EndModalLoop(HWND hwnd, LONG_PTR result)
{
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(hwnd);
        if (w == nullptr) return FALSE;
        w->modalEnded = true;
        w->modalResult = result;
    }
    return PostMessageW(hwnd, WM_NULL, 0, 0);
}

}  // namespace os

// For the platform layer only: windows, message queues and timers. All state
// is guarded by Sched().mu; window procedures are always called without it.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/internal/scheduler.h"
#include "platform/windows/window.h"

namespace os::detail {

// A message sent to a window of another thread, waiting to be handled there.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    ThreadRec* sender = nullptr;                   // a platform thread in SendMessageW
    std::condition_variable* hostDone = nullptr;  // a caller from outside the platform's threads
};

struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<SentMessage*> sent;
    bool quit = false;
    int quitCode = 0;
    bool dead = false;
};

struct WindowRec {
    std::uint32_t id = 0;
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    ThreadRec* thread = nullptr;
    std::uint32_t owner = 0;
    int controlId = 0;  // a child window's id within its owner (the hMenu it was made with)
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect;
    bool visible = false;
    bool needsPaint = false;
    RECT invalid;  // client coordinates; meaningful while needsPaint
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    bool modalEnded = false;
    LONG_PTR modalResult = 0;
};

struct TimerRec {
    std::int64_t period = 0;
    std::int64_t due = 0;
    std::uint64_t seq = 0;
    ThreadRec* thread = nullptr;
};

struct WindowManager {
    std::map<std::uint32_t, std::unique_ptr<WindowRec>> windows;
    std::vector<WNDCLASSW> classes;
    std::vector<std::string> classNames;
    std::vector<std::uint32_t> zorder;  // front is topmost
    std::map<std::pair<std::uint32_t, UINT_PTR>, TimerRec> timers;
    std::uint32_t foreground = 0;
    std::uint32_t nextId = 0x10010;
    std::uint64_t timerSeq = 0;
};

WindowManager& WM();
std::uint32_t WindowId(HWND hwnd);
HWND WindowHandle(std::uint32_t id);
WindowRec* FindWindowRec(HWND hwnd);  // under mu

// Under mu: the thread ends; its windows, timers and pending sends go.
void OnThreadExit(std::unique_lock<std::mutex>& lk, ThreadRec* self);
// Hands a message sent from outside the platform's threads (another
// process) to the window's thread; the caller waits on sm->hostDone.
bool QueueSentFromOutside(SentMessage* sm);
// Under mu: takes a queued sent message back; false when it is not queued.
bool WithdrawSent(SentMessage* sm);
// Local search only (for requests from other processes).
HWND FindLocalWindow(const char* className, const char* title);
// A window of this process that FindLocalWindow can find.
bool IsLocalTopLevelWindow(HWND hwnd);

// Remote windows of other processes on the device root (ipc.cpp).
bool IsRemoteWindow(HWND hwnd);
BOOL RemotePostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT RemoteSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HWND RemoteFindWindow(const char* className, const char* title);

}  // namespace os::detail

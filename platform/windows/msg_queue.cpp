// Message queues over kernel events: each handle is an event of its own,
// kept signalled while its side can proceed (messages to read, room to
// write). All blocking happens in WaitForSingleObject on that handle.
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/clock.h"
#include "platform/windows/internal/msg_queue_internal.h"
#include "platform/devices/power.h"
#include "platform/kernel/sync.h"

namespace os {

struct detail::MsgQueue {
    std::string name;
    DWORD maxMessages = 0;
    DWORD maxMessageBytes = 0;
    std::deque<std::vector<BYTE>> messages;
    std::deque<bool> alerts;
    std::vector<HANDLE> readers;
    std::vector<HANDLE> writers;

    bool Full() const { return maxMessages != 0 && messages.size() >= maxMessages; }
};

namespace {

using detail::MsgQueue;

struct QueueHandle {
    std::shared_ptr<MsgQueue> queue;
    bool read = false;
};

std::mutex g_msgQueueMutex;
std::map<HANDLE, QueueHandle> g_handles;
std::map<std::string, std::weak_ptr<MsgQueue>> g_named;

// Called with g_msgQueueMutex held; SetEvent and ResetEvent never wait.
void UpdateSignals(const MsgQueue& queue)
{
    for (HANDLE h : queue.readers)
        queue.messages.empty() ? ResetEvent(h) : SetEvent(h);
    for (HANDLE h : queue.writers)
        queue.Full() ? ResetEvent(h) : SetEvent(h);
}

// Time left of a wait of timeoutMs begun at tick `start`; INFINITE stays INFINITE.
DWORD Remaining(DWORD start, DWORD timeoutMs)
{
    if (timeoutMs == INFINITE)
        return INFINITE;
    const DWORD elapsed = GetTickCount() - start;
    return elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
}

void Enqueue(MsgQueue& queue, const void* data, DWORD size, bool alert)
{
    const auto* bytes = static_cast<const BYTE*>(data);
    queue.messages.emplace_back(bytes, bytes + size);
    queue.alerts.push_back(alert);
    UpdateSignals(queue);
}

std::shared_ptr<MsgQueue> FindOrCreate(const char* name, const MSGQUEUEOPTIONS& options)
{
    if (name != nullptr && name[0] != '\0') {
        auto it = g_named.find(name);
        if (it != g_named.end()) {
            if (auto existing = it->second.lock())
                return existing;
        }
    }
    auto queue = std::make_shared<MsgQueue>();
    queue->name = name != nullptr ? name : "";
    queue->maxMessages = options.dwMaxMessages;
    queue->maxMessageBytes = options.cbMaxMessage;
    if (!queue->name.empty())
        g_named[queue->name] = queue;
    return queue;
}


}  // namespace

HANDLE CreateMsgQueue(const char* name, const MSGQUEUEOPTIONS* options)
{
    if (options == nullptr || options->dwSize != sizeof(MSGQUEUEOPTIONS) || options->cbMaxMessage == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (handle == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_msgQueueMutex);
    auto queue = FindOrCreate(name, *options);
    const bool read = options->bReadAccess != FALSE;
    (read ? queue->readers : queue->writers).push_back(handle);
    g_handles[handle] = QueueHandle{queue, read};
    UpdateSignals(*queue);
    return handle;
}

BOOL ReadMsgQueue(HANDLE handle, void* buffer, DWORD bufferSize, DWORD* bytesRead, DWORD timeoutMs, DWORD* flags)
{
    if (buffer == nullptr || bytesRead == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD wait = 0;
        {
            std::lock_guard<std::mutex> lock(g_msgQueueMutex);
            auto it = g_handles.find(handle);
            if (it == g_handles.end()) {
                SetLastError(ERROR_INVALID_HANDLE);
                return FALSE;
            }
            if (!it->second.read) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            MsgQueue& queue = *it->second.queue;
            if (!queue.messages.empty()) {
                const auto& message = queue.messages.front();
                if (message.size() > bufferSize) {
                    SetLastError(ERROR_INSUFFICIENT_BUFFER);
                    return FALSE;
                }
                std::memcpy(buffer, message.data(), message.size());
                *bytesRead = static_cast<DWORD>(message.size());
                if (flags != nullptr)
                    *flags = queue.alerts.front() ? MSGQUEUE_MSGALERT : 0;
                queue.messages.pop_front();
                queue.alerts.pop_front();
                UpdateSignals(queue);
                return TRUE;
            }
            wait = Remaining(start, timeoutMs);
        }
        if (wait == 0) {
            SetLastError(ERROR_TIMEOUT);
            return FALSE;
        }
        if (WaitForSingleObject(handle, wait) == WAIT_FAILED) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
}

BOOL WriteMsgQueue(HANDLE handle, const void* data, DWORD size, DWORD timeoutMs, DWORD flags)
{
    if (data == nullptr && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD wait = 0;
        {
            std::lock_guard<std::mutex> lock(g_msgQueueMutex);
            auto it = g_handles.find(handle);
            if (it == g_handles.end()) {
                SetLastError(ERROR_INVALID_HANDLE);
                return FALSE;
            }
            if (it->second.read) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            MsgQueue& queue = *it->second.queue;
            if (size > queue.maxMessageBytes) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return FALSE;
            }
            if (!queue.Full()) {
                Enqueue(queue, data, size, (flags & MSGQUEUE_MSGALERT) != 0);
                return TRUE;
            }
            wait = Remaining(start, timeoutMs);
        }
        if (wait == 0) {
            SetLastError(ERROR_TIMEOUT);
            return FALSE;
        }
        if (WaitForSingleObject(handle, wait) == WAIT_FAILED) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
}

BOOL CloseMsgQueue(HANDLE handle)
{
    {
        std::lock_guard<std::mutex> lock(g_msgQueueMutex);
        auto it = g_handles.find(handle);
        if (it == g_handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        MsgQueue& queue = *it->second.queue;
        std::erase(queue.readers, handle);
        std::erase(queue.writers, handle);
        if (queue.readers.empty() && queue.writers.empty() && !queue.name.empty())
            g_named.erase(queue.name);
        g_handles.erase(it);
    }
    return CloseHandle(handle);
}

std::weak_ptr<detail::MsgQueue> detail::QueueOfHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(g_msgQueueMutex);
    auto it = g_handles.find(handle);
    if (it == g_handles.end())
        return {};
    return it->second.queue;
}

bool detail::PostToQueue(const std::weak_ptr<MsgQueue>& target, const void* data, DWORD size)
{
    std::lock_guard<std::mutex> lock(g_msgQueueMutex);
    auto queue = target.lock();
    if (!queue || queue->Full() || size > queue->maxMessageBytes)
        return false;
    Enqueue(*queue, data, size, false);
    return true;
}

void detail::ResetMessageQueues()
{
    std::lock_guard<std::mutex> lock(g_msgQueueMutex);
    g_handles.clear();
    g_named.clear();
}

}  // namespace os

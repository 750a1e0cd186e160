// Serial ports: the table of attached lines and open ports, opening and
// closing, reading with the port's time-outs, writing, and the line's side.
#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/clock.h"
#include "platform/devices/internal/comm_internal.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"

namespace os {
namespace {

constexpr DWORD kGenericRead = 0x80000000;
constexpr DWORD kGenericWrite = 0x40000000;

struct Attachment {
    std::shared_ptr<sim::CommLine> line;
    std::weak_ptr<detail::CommPort> open;
};

std::map<std::string, Attachment> g_lines;  // by upper-case name
std::map<HANDLE, std::shared_ptr<detail::CommPort>> g_ports;

bool PortIsOpen(const Attachment& attachment)
{
    auto port = attachment.open.lock();
    return port && !port->closed;
}

std::string Key(const std::string& name)
{
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    return key;
}

// What a read may still wait, from its time-outs. Limits are in ms; INFINITE: none.
struct ReadPlan {
    bool returnAtOnce = false;      // interval MAXDWORD, totals 0
    bool returnOnFirstByte = false;  // interval and multiplier MAXDWORD
    DWORD totalMs = INFINITE;
    DWORD intervalMs = INFINITE;
};

ReadPlan PlanRead(const COMMTIMEOUTS& t, DWORD size)
{
    ReadPlan plan;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
        plan.returnAtOnce = true;
        return plan;
    }
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD) {
        plan.returnOnFirstByte = true;
        plan.totalMs = t.ReadTotalTimeoutConstant == MAXDWORD ? INFINITE : t.ReadTotalTimeoutConstant;
        return plan;
    }
    if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
        const ULONGLONG total =
            static_cast<ULONGLONG>(t.ReadTotalTimeoutMultiplier) * size + t.ReadTotalTimeoutConstant;
        plan.totalMs = total >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(total);
    }
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD)
        plan.intervalMs = t.ReadIntervalTimeout;
    return plan;
}

DWORD Left(DWORD limitMs, DWORD sinceTick)
{
    if (limitMs == INFINITE)
        return INFINITE;
    const DWORD elapsed = GetTickCount() - sinceTick;
    return elapsed >= limitMs ? 0 : limitMs - elapsed;
}

}  // namespace

std::mutex& detail::CommMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<detail::CommPort> detail::FindCommPortLocked(HANDLE handle)
{
    auto it = g_ports.find(handle);
    if (it == g_ports.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

void detail::UpdateCommSignals(CommPort& port)
{
    port.received.empty() ? ResetEvent(port.dataEvent) : SetEvent(port.dataEvent);
    if ((port.pendingEvents & port.mask) != 0)
        SetEvent(port.commEvent);
}

bool detail::IsCommDeviceName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(CommMutex());
    return g_lines.count(Key(name)) != 0;
}

bool detail::IsCommHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(CommMutex());
    return g_ports.count(handle) != 0;
}

HANDLE detail::OpenCommDevice(const std::string& name, DWORD access)
{
    HANDLE dataEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE commEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::unique_lock<std::mutex> lock(CommMutex());
    auto it = g_lines.find(Key(name));
    LONG error = ERROR_SUCCESS;
    if (dataEvent == nullptr || commEvent == nullptr)
        error = ERROR_NOT_ENOUGH_MEMORY;
    else if (it == g_lines.end())
        error = ERROR_FILE_NOT_FOUND;
    else if (PortIsOpen(it->second))
        error = ERROR_ACCESS_DENIED;
    if (error != ERROR_SUCCESS) {
        lock.unlock();
        if (dataEvent != nullptr)
            CloseHandle(dataEvent);
        if (commEvent != nullptr)
            CloseHandle(commEvent);
        SetLastError(static_cast<DWORD>(error));
        return nullptr;
    }
    auto port = std::make_shared<CommPort>();
    port->name = it->first;
    port->line = it->second.line;
    port->canRead = (access & kGenericRead) != 0;
    port->canWrite = (access & kGenericWrite) != 0;
    port->dataEvent = dataEvent;
    port->commEvent = commEvent;
    it->second.open = port;
    HANDLE handle = reinterpret_cast<HANDLE>(NewHandleValue(HandleKind::Comm));
    g_ports[handle] = port;
    std::shared_ptr<sim::CommLine> line = port->line;
    lock.unlock();
    PlatformLog("comm: %s opened", port->name.c_str());
    line->OnPortOpened();
    return handle;
}

BOOL detail::CloseComm(HANDLE handle)
{
    std::shared_ptr<CommPort> port;
    std::shared_ptr<sim::CommLine> line;
    {
        std::lock_guard<std::mutex> lock(CommMutex());
        port = FindCommPortLocked(handle);
        if (!port)
            return FALSE;
        port->closed = true;
        line = std::move(port->line);
        g_ports.erase(handle);
        ReleaseHandleValue(reinterpret_cast<std::uintptr_t>(handle), HandleKind::Comm);
    }
    // Closing the events ends every wait on them; the waiters then find the port closed.
    CloseHandle(port->dataEvent);
    CloseHandle(port->commEvent);
    PlatformLog("comm: %s closed", port->name.c_str());
    if (line)
        line->OnPortClosed();
    return TRUE;
}

BOOL detail::ReadComm(HANDLE handle, void* buffer, DWORD size, DWORD* bytesRead)
{
    if (buffer == nullptr || bytesRead == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *bytesRead = 0;
    auto* out = static_cast<BYTE*>(buffer);
    const DWORD start = GetTickCount();
    DWORD lastByte = start;
    ReadPlan plan;
    unsigned aborts = 0;
    for (bool first = true;; first = false) {
        HANDLE dataEvent = nullptr;
        DWORD wait = 0;
        {
            std::lock_guard<std::mutex> lock(CommMutex());
            auto port = FindCommPortLocked(handle);
            if (!port)
                return FALSE;
            if (!port->canRead) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            if (first) {
                plan = PlanRead(port->timeouts, size);
                aborts = port->readAborts;
            }
            const DWORD take = std::min<DWORD>(size - *bytesRead, static_cast<DWORD>(port->received.size()));
            std::copy_n(port->received.begin(), take, out + *bytesRead);
            port->received.erase(port->received.begin(), port->received.begin() + take);
            UpdateCommSignals(*port);
            *bytesRead += take;
            if (take != 0)
                lastByte = GetTickCount();
            const bool done = *bytesRead == size || plan.returnAtOnce ||
                              (plan.returnOnFirstByte && *bytesRead != 0) || port->readAborts != aborts;
            if (done)
                return TRUE;
            wait = Left(plan.totalMs, start);
            if (*bytesRead != 0)
                wait = std::min(wait, Left(plan.intervalMs, lastByte));
            if (wait == 0)
                return TRUE;
            dataEvent = port->dataEvent;
        }
        if (WaitForSingleObject(dataEvent, wait) == WAIT_FAILED) {  // the port was closed
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
}

BOOL detail::WriteComm(HANDLE handle, const void* data, DWORD size, DWORD* bytesWritten)
{
    if ((data == nullptr && size != 0) || bytesWritten == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<sim::CommLine> line;
    {
        std::lock_guard<std::mutex> lock(CommMutex());
        auto port = FindCommPortLocked(handle);
        if (!port)
            return FALSE;
        if (!port->canWrite) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        line = port->line;
    }
    if (line && size != 0)
        line->OnProgramWrite(static_cast<const BYTE*>(data), size);
    *bytesWritten = size;
    return TRUE;
}

bool sim::AttachCommPort(const std::string& name, std::shared_ptr<CommLine> line)
{
    if (!line || name.empty())
        return false;
    std::lock_guard<std::mutex> lock(detail::CommMutex());
    const std::string key = Key(name);
    if (g_lines.count(key) != 0 || !line->portName_.empty())
        return false;
    line->portName_ = key;
    g_lines[key] = Attachment{std::move(line), {}};
    return true;
}

bool sim::DetachCommPort(const std::string& name)
{
    std::shared_ptr<CommLine> wasOpen;
    {
        std::lock_guard<std::mutex> lock(detail::CommMutex());
        auto it = g_lines.find(Key(name));
        if (it == g_lines.end())
            return false;
        if (auto port = it->second.open.lock(); port && port->line)
            wasOpen = std::exchange(port->line, nullptr);
        g_lines.erase(it);
    }
    if (wasOpen)
        wasOpen->OnPortClosed();
    return true;
}

std::size_t sim::CommLine::Feed(const void* data, std::size_t size)
{
    std::lock_guard<std::mutex> lock(detail::CommMutex());
    auto it = g_lines.find(portName_);
    if (it == g_lines.end() || it->second.line.get() != this)
        return 0;
    auto port = it->second.open.lock();
    if (!port || port->closed)
        return 0;
    const auto* bytes = static_cast<const BYTE*>(data);
    const std::size_t room = port->inQueueSize > port->received.size() ? port->inQueueSize - port->received.size() : 0;
    const std::size_t accepted = std::min(size, room);
    port->received.insert(port->received.end(), bytes, bytes + accepted);
    if (accepted != 0)
        port->pendingEvents |= EV_RXCHAR & port->mask;
    if (accepted < size) {
        port->errors |= CE_RXOVER;
        port->pendingEvents |= EV_ERR & port->mask;
    }
    detail::UpdateCommSignals(*port);
    return accepted;
}

bool sim::CommLine::PortOpen() const
{
    std::lock_guard<std::mutex> lock(detail::CommMutex());
    auto it = g_lines.find(portName_);
    return it != g_lines.end() && it->second.line.get() == this && PortIsOpen(it->second);
}

void sim::CommLine::OnProgramWrite(const BYTE* data, std::size_t size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    written_.append(reinterpret_cast<const char*>(data), size);
}

void sim::CommLine::OnSettingsChanged(const DCB& settings)
{
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = settings;
}

std::string sim::CommLine::TakeWritten()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(written_, std::string());
}

DCB sim::CommLine::LastSettings() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}

void detail::ResetCommPorts()
{
    std::lock_guard<std::mutex> lock(CommMutex());
    for (const auto& [handle, port] : g_ports) {
        port->closed = true;
        port->line = nullptr;
        ReleaseHandleValue(reinterpret_cast<std::uintptr_t>(handle), HandleKind::Comm);
    }
    g_ports.clear();
    g_lines.clear();
}

}  // namespace os

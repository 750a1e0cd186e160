// The power manager: notification requests, power broadcasts into message
// queues, system power state requests and the battery status.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/kernel/internal/handle_table.h"
#include "platform/windows/internal/msg_queue_internal.h"
#include "platform/devices/power.h"
#include "platform/base/trace.h"

namespace os {
namespace {

struct Subscription {
    std::weak_ptr<detail::MsgQueue> queue;
    DWORD mask = 0;
};

struct PowerManager {
    std::map<std::uintptr_t, Subscription> subscriptions;
    std::vector<sim::PowerStateRequest> requests;
    SYSTEM_POWER_STATUS_EX2 status;
    int dropped = 0;
};

SYSTEM_POWER_STATUS_EX2 StatusFor(bool acOnline, int percent)
{
    SYSTEM_POWER_STATUS_EX2 status;
    status.ACLineStatus = acOnline ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
    status.BatteryLifePercent = static_cast<BYTE>(percent);
    if (percent >= 40)
        status.BatteryFlag = BATTERY_FLAG_HIGH;
    else if (percent >= 10)
        status.BatteryFlag = BATTERY_FLAG_LOW;
    else
        status.BatteryFlag = BATTERY_FLAG_CRITICAL;
    if (acOnline && percent < 100)
        status.BatteryFlag |= BATTERY_FLAG_CHARGING;
    status.BatteryVoltage = 3600 + static_cast<DWORD>(percent) * 6;
    status.BatteryChemistry = 0x04;  // lithium ion
    return status;
}

PowerManager FreshManager()
{
    PowerManager manager;
    manager.status = StatusFor(true, 100);
    return manager;
}

std::mutex g_powerMutex;
PowerManager g_manager = FreshManager();

// Writes the first 12 + Length bytes of the record to every queue that asked
// for this message type; a full or closed queue loses the message.
void Broadcast(const POWER_BROADCAST& record)
{
    const DWORD size = POWER_BROADCAST_HEADER_BYTES + record.Length;
    int dropped = 0;
    {
        std::lock_guard<std::mutex> lock(g_powerMutex);
        for (const auto& [handle, subscription] : g_manager.subscriptions) {
            if ((subscription.mask & record.Message) == 0)
                continue;
            if (!detail::PostToQueue(subscription.queue, &record, size))
                ++dropped;
        }
        g_manager.dropped += dropped;
    }
    if (dropped != 0)
        PlatformLog("power manager: message 0x%x lost by %d queue(s)", record.Message, dropped);
}

}  // namespace

HANDLE RequestPowerNotifications(HANDLE queue, DWORD mask)
{
    if (mask == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto target = detail::QueueOfHandle(queue);
    if (target.expired()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_powerMutex);
    const std::uintptr_t handle = detail::NewHandleValue(detail::HandleKind::PowerNotification);
    g_manager.subscriptions[handle] = Subscription{target, mask};
    return reinterpret_cast<HANDLE>(handle);
}

BOOL StopPowerNotifications(HANDLE notification)
{
    std::lock_guard<std::mutex> lock(g_powerMutex);
    const auto value = reinterpret_cast<std::uintptr_t>(notification);
    if (g_manager.subscriptions.erase(value) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    detail::ReleaseHandleValue(value, detail::HandleKind::PowerNotification);
    return TRUE;
}

DWORD SetSystemPowerState(const char* stateName, DWORD state, DWORD options)
{
    const std::string name = stateName != nullptr ? stateName : "";
    if (name.empty() && state == 0)
        return static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    {
        std::lock_guard<std::mutex> lock(g_powerMutex);
        g_manager.requests.push_back(sim::PowerStateRequest{name, state, options});
    }
    PlatformLog("SetSystemPowerState name=\"%s\" state=0x%x options=0x%x", name.c_str(), state, options);
    return static_cast<DWORD>(ERROR_SUCCESS);
}

DWORD GetSystemPowerStatusEx2(SYSTEM_POWER_STATUS_EX2* status, DWORD length, BOOL /*update*/)
{
    if (status == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD count = length < sizeof(SYSTEM_POWER_STATUS_EX2) ? length : sizeof(SYSTEM_POWER_STATUS_EX2);
    std::lock_guard<std::mutex> lock(g_powerMutex);
    std::memcpy(status, &g_manager.status, count);
    return count;
}

bool sim::PowerTransition(DWORD flags, const std::string& stateName)
{
    if (stateName.size() >= POWER_STATE_NAME_BYTES)
        return false;
    POWER_BROADCAST record;
    record.Message = PBT_TRANSITION;
    record.Flags = flags;
    std::memcpy(record.SystemPowerState, stateName.data(), stateName.size());
    record.Length = stateName.empty() ? 0 : static_cast<DWORD>(stateName.size() + 1);
    PlatformLog("power: transition flags=0x%x state=\"%s\"", flags, stateName.c_str());
    Broadcast(record);
    return true;
}

void sim::PowerResume()
{
    POWER_BROADCAST record;
    record.Message = PBT_RESUME;
    PlatformLog("power: resume");
    Broadcast(record);
}

bool sim::SetPowerInfo(bool acOnline, int batteryPercent)
{
    if (batteryPercent < 0 || batteryPercent > 100)
        return false;
    {
        std::lock_guard<std::mutex> lock(g_powerMutex);
        g_manager.status = StatusFor(acOnline, batteryPercent);
    }
    POWER_BROADCAST record;
    record.Message = PBT_POWERINFOCHANGE;
    PlatformLog("power: %s, battery %d%%", acOnline ? "external power" : "battery", batteryPercent);
    Broadcast(record);
    return true;
}

std::vector<sim::PowerStateRequest> sim::PowerStateRequests()
{
    std::lock_guard<std::mutex> lock(g_powerMutex);
    return g_manager.requests;
}

int sim::ActivePowerNotifications()
{
    std::lock_guard<std::mutex> lock(g_powerMutex);
    return static_cast<int>(g_manager.subscriptions.size());
}

int sim::DroppedPowerMessages()
{
    std::lock_guard<std::mutex> lock(g_powerMutex);
    return g_manager.dropped;
}

void sim::ResetPower()
{
    std::lock_guard<std::mutex> lock(g_powerMutex);
    for (const auto& entry : g_manager.subscriptions) {
        detail::ReleaseHandleValue(entry.first, detail::HandleKind::PowerNotification);
    }
    g_manager = FreshManager();
}

}  // namespace os

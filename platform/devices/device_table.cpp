// The device names CreateFileW opens, the handles of driver instances, and
// DeviceIoControl.
#include <map>
#include <mutex>

#include "platform/base/internal/fresh_start.h"
#include "platform/devices/comm.h"
#include "platform/devices/device_io.h"
#include "platform/devices/internal/device_table.h"
#include "platform/kernel/internal/handle_table.h"

namespace os::detail {
namespace {

struct NamedDriver {
    bool (*serves)(const std::string& name);
    HANDLE (*open)(const std::string& name, DWORD access);
};

// One row per driver; a name is served by the first row that claims it.
// Serial ports are every name a line is attached to ("COM1:", "GPD0:").
constexpr NamedDriver kDrivers[] = {
    {IsCommDeviceName, OpenCommDevice},
    {IsAccelerometerName, OpenAccelerometer},
};

std::mutex g_deviceTableMutex;
std::map<HANDLE, std::shared_ptr<DeviceInstance>> g_instances;

std::shared_ptr<DeviceInstance> FindInstance(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(g_deviceTableMutex);
    const auto it = g_instances.find(handle);
    return it != g_instances.end() ? it->second : nullptr;
}

}  // namespace

bool OpenNamedDevice(const std::string& name, DWORD access, HANDLE* handle)
{
    for (const NamedDriver& driver : kDrivers) {
        if (driver.serves(name)) {
            *handle = driver.open(name, access);
            return true;
        }
    }
    return false;
}

HANDLE AddDeviceHandle(std::shared_ptr<DeviceInstance> instance)
{
    std::lock_guard<std::mutex> lock(g_deviceTableMutex);
    HANDLE handle = reinterpret_cast<HANDLE>(NewHandleValue(HandleKind::Device));
    g_instances.emplace(handle, std::move(instance));
    return handle;
}

bool CloseDeviceHandle(HANDLE handle)
{
    std::shared_ptr<DeviceInstance> instance;
    {
        std::lock_guard<std::mutex> lock(g_deviceTableMutex);
        const auto it = g_instances.find(handle);
        if (it == g_instances.end()) return false;
        instance = std::move(it->second);
        g_instances.erase(it);
        ReleaseHandleValue(reinterpret_cast<std::uintptr_t>(handle), HandleKind::Device);
    }
    // The instance goes outside the lock: its destructor is the driver's.
    instance.reset();
    return true;
}

void ResetDeviceHandles()
{
    std::map<HANDLE, std::shared_ptr<DeviceInstance>> instances;
    {
        std::lock_guard<std::mutex> lock(g_deviceTableMutex);
        instances.swap(g_instances);
        for (const auto& entry : instances)
            ReleaseHandleValue(reinterpret_cast<std::uintptr_t>(entry.first), HandleKind::Device);
    }
}

}  // namespace os::detail

namespace os {

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
                     void* overlapped)
{
    DWORD written = 0;
    DWORD error = ERROR_SUCCESS;
    const std::shared_ptr<detail::DeviceInstance> instance = detail::FindInstance(device);
    if (!instance)
        error = detail::IsCommHandle(device) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE;
    else if (overlapped != nullptr)
        error = ERROR_INVALID_PARAMETER;
    else
        error = instance->Control(code, in, inSize, out, outSize, &written);
    if (error != ERROR_SUCCESS) written = 0;
    if (returned != nullptr) *returned = written;
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

}  // namespace os

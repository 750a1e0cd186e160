// The device profile behind SystemParametersInfoW and GlobalMemoryStatus.
#include "platform/devices/device.h"

#include <mutex>

#include "platform/base/internal/fresh_start.h"
#include "platform/devices/display.h"

namespace os {
namespace {

std::mutex g_deviceMutex;
sim::DeviceProfile g_profile;

std::size_t CountCharacters(const std::string& text)
{
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

}  // namespace

BOOL SystemParametersInfoW(UINT action, UINT maxChars, std::string* out, UINT /*winIni*/)
{
    if (out == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string text;
    {
        std::lock_guard<std::mutex> lock(g_deviceMutex);
        switch (action) {
        case SPI_GETOEMINFO:
            text = g_profile.oemInfo;
            break;
        case SPI_GETPLATFORMTYPE:
            text = g_profile.platformType;
            break;
        case SPI_GETPLATFORMMANUFACTURER:
            text = g_profile.manufacturer;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    if (CountCharacters(text) + 1 > maxChars) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *out = std::move(text);
    return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status)
{
    if (status == nullptr)
        return;
    std::lock_guard<std::mutex> lock(g_deviceMutex);
    const DWORD total = g_profile.totalPhysicalMemory;
    const DWORD available = g_profile.availablePhysicalMemory;
    *status = MEMORYSTATUS{};
    status->dwTotalPhys = total;
    status->dwAvailPhys = available;
    status->dwMemoryLoad = total == 0 ? 0 : static_cast<DWORD>((static_cast<ULONGLONG>(total - available) * 100) / total);
    // The phone has no page file; each process has a 32 MB slot.
    status->dwTotalVirtual = 32u * 1024 * 1024;
    status->dwAvailVirtual = status->dwTotalVirtual / 2;
}

bool sim::ConfigureDevice(const DeviceProfile& profile)
{
    if (profile.availablePhysicalMemory > profile.totalPhysicalMemory)
        return false;
    if (!ConfigureDisplay(profile.screenWidth, profile.screenHeight, profile.orientation))
        return false;
    std::lock_guard<std::mutex> lock(g_deviceMutex);
    g_profile = profile;
    return true;
}

sim::DeviceProfile sim::CurrentDeviceProfile()
{
    std::lock_guard<std::mutex> lock(g_deviceMutex);
    DeviceProfile profile = g_profile;
    profile.orientation = CurrentOrientation();
    return profile;
}

bool sim::SetAvailablePhysicalMemory(DWORD bytes)
{
    std::lock_guard<std::mutex> lock(g_deviceMutex);
    if (bytes > g_profile.totalPhysicalMemory)
        return false;
    g_profile.availablePhysicalMemory = bytes;
    return true;
}

void detail::ResetDevice()
{
    std::lock_guard<std::mutex> lock(g_deviceMutex);
    g_profile = sim::DeviceProfile{};
}

}  // namespace os

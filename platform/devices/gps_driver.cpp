#include "platform/devices/gps_driver.h"

#include <algorithm>
#include <mutex>

#include "platform/base/internal/fresh_start.h"

namespace os {
namespace {

std::mutex g_gpsDriverMutex;
sim::GpsDeviceConfig g_device;

bool Fits(const std::string& text, int capacity)
{
    return static_cast<int>(text.size()) < capacity &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; });
}

void Copy(const std::string& text, WCHAR* out)
{
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
}

}  // namespace

DWORD GPSGetDeviceState(GPS_DEVICE* device)
{
    if (device == nullptr || device->dwVersion != GPS_VERSION_1 || device->dwSize != sizeof(GPS_DEVICE))
        return static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    sim::GpsDeviceConfig config = sim::CurrentGpsDevice();
    if (!config.present)
        return static_cast<DWORD>(ERROR_DEVICE_NOT_AVAILABLE);
    *device = GPS_DEVICE{};
    device->dwVersion = GPS_VERSION_1;
    device->dwSize = sizeof(GPS_DEVICE);
    device->dwServiceState = SERVICE_STATE_ON;
    device->dwDeviceState = SERVICE_STATE_ON;
    Copy(config.driverPrefix, device->szGPSDriverPrefix);
    Copy(config.multiplexPort, device->szGPSMultiplexPrefix);
    Copy(config.friendlyName, device->szGPSFriendlyName);
    return static_cast<DWORD>(ERROR_SUCCESS);
}

std::string GpsDeviceText(const WCHAR* text, int capacity)
{
    std::string out;
    for (int i = 0; i < capacity && text[i] != 0; ++i)
        out += static_cast<char>(text[i] < 0x80 ? text[i] : '?');
    return out;
}

bool sim::ConfigureGpsDevice(const GpsDeviceConfig& config)
{
    if (!Fits(config.driverPrefix, GPS_MAX_PREFIX_NAME) || !Fits(config.multiplexPort, GPS_MAX_PREFIX_NAME) ||
        !Fits(config.friendlyName, GPS_MAX_FRIENDLY_NAME))
        return false;
    std::lock_guard<std::mutex> lock(g_gpsDriverMutex);
    g_device = config;
    return true;
}

sim::GpsDeviceConfig sim::CurrentGpsDevice()
{
    std::lock_guard<std::mutex> lock(g_gpsDriverMutex);
    return g_device;
}

void detail::ResetGpsDriver()
{
    std::lock_guard<std::mutex> lock(g_gpsDriverMutex);
    g_device = sim::GpsDeviceConfig{};
}

}  // namespace os

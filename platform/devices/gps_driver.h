// The GPS Intermediate Driver, as far as the program uses it: the device
// state, whose multiplexer prefix names the serial port that carries the
// receiver's NMEA stream. Which receiver the handset has, and on which port,
// comes from the device profile (os::sim below); a handset without one
// answers every query with ERROR_DEVICE_NOT_AVAILABLE.
#pragma once

#include <string>

#include "platform/base/types.h"

namespace os {

using WCHAR = char16_t;

constexpr DWORD GPS_VERSION_1 = 1;
constexpr int GPS_MAX_PREFIX_NAME = 16;
constexpr int GPS_MAX_FRIENDLY_NAME = 64;

constexpr DWORD SERVICE_STATE_OFF = 0;
constexpr DWORD SERVICE_STATE_ON = 1;

struct GPS_DEVICE {
    DWORD dwVersion = 0;  // GPS_VERSION_1
    DWORD dwSize = 0;     // sizeof(GPS_DEVICE)
    DWORD dwServiceState = 0;
    DWORD dwDeviceState = 0;
    FILETIME ftLastDataReceived;
    WCHAR szGPSDriverPrefix[GPS_MAX_PREFIX_NAME] = {};
    WCHAR szGPSMultiplexPrefix[GPS_MAX_PREFIX_NAME] = {};
    WCHAR szGPSFriendlyName[GPS_MAX_FRIENDLY_NAME] = {};
};
static_assert(sizeof(GPS_DEVICE) == 216);

// Fills the record. ERROR_INVALID_PARAMETER for a null record, another
// version or size; ERROR_DEVICE_NOT_AVAILABLE when the handset has no GPS.
DWORD GPSGetDeviceState(GPS_DEVICE* device);

// A zero-terminated name of the record as UTF-8 (the names are ASCII).
std::string GpsDeviceText(const WCHAR* text, int capacity);

}  // namespace os

// ---- Simulator side: the receiver the profile gives the handset.
namespace os::sim {

struct GpsDeviceConfig {
    bool present = false;
    std::string driverPrefix = "GPD0:";
    std::string multiplexPort = "COM4:";  // the port the program reads
    std::string friendlyName = "GPS receiver";
};

// False, nothing changed, when a name does not fit its field or is not ASCII.
bool ConfigureGpsDevice(const GpsDeviceConfig& config);
GpsDeviceConfig CurrentGpsDevice();

}  // namespace os::sim

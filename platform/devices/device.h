// What the handset says about itself: the OEM information (model text), the
// platform manufacturer and the memory status. The values come from the
// device profile that the simulator sets (os::sim below); before that, the
// defaults of DeviceProfile apply.
#pragma once

#include <string>

#include "platform/base/types.h"

namespace os {

// SystemParametersInfoW actions that return text.
constexpr UINT SPI_GETPLATFORMTYPE = 257;
constexpr UINT SPI_GETOEMINFO = 258;
constexpr UINT SPI_GETPLATFORMMANUFACTURER = 262;

// Copies the text asked for by `action` into *out. `maxChars` is the size of
// the caller's buffer in characters, terminator included, as on the phone: a
// text that does not fit fails with ERROR_INSUFFICIENT_BUFFER. Other actions
// fail with ERROR_INVALID_PARAMETER.
BOOL SystemParametersInfoW(UINT action, UINT maxChars, std::string* out, UINT winIni);

struct MEMORYSTATUS {
    DWORD dwLength = sizeof(MEMORYSTATUS);
    DWORD dwMemoryLoad = 0;  // percent in use
    DWORD dwTotalPhys = 0;
    DWORD dwAvailPhys = 0;
    DWORD dwTotalPageFile = 0;
    DWORD dwAvailPageFile = 0;
    DWORD dwTotalVirtual = 0;
    DWORD dwAvailVirtual = 0;
};

void GlobalMemoryStatus(MEMORYSTATUS* status);

}  // namespace os

// ---- Simulator side: set by the simulator from the device profile, never by the program.
namespace os::sim {

struct DeviceProfile {
    std::string oemInfo = "SCH-M490";
    std::string platformType = "PocketPC";
    std::string manufacturer = "SAMSUNG Electronics";
    DWORD totalPhysicalMemory = 128u * 1024 * 1024;
    DWORD availablePhysicalMemory = 64u * 1024 * 1024;
    // Screen size in the handset's natural orientation (DMDO_0, portrait),
    // and the orientation the display starts in (DMDO_270: 800 x 480).
    int screenWidth = 480;
    int screenHeight = 800;
    DWORD orientation = 4;
};

// Replaces the whole profile, display included. A profile with a screen
// dimension below 1, an unknown orientation or more memory available than
// installed is refused (false) and nothing changes.
bool ConfigureDevice(const DeviceProfile& profile);
DeviceProfile CurrentDeviceProfile();
// Other programs come and go: the free memory changes under the program.
// False, nothing changed, for more than the installed memory.
bool SetAvailablePhysicalMemory(DWORD bytes);

}  // namespace os::sim

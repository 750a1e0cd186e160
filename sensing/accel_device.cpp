#include "sensing/accel_device.h"

#include "platform/devices/device_io.h"
#include "platform/files/file.h"
#include "platform/kernel/sync.h"

namespace {

constexpr const char* kDeviceName = "ACC1:";

}  // namespace

bool ReadAccelDevice(std::int16_t axes[3])
{
    const os::HANDLE device = os::CreateFileW(kDeviceName, 0, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    if (device == os::INVALID_HANDLE_VALUE) return false;
    unsigned char raw[os::kAccelerometerReadBytes] = {};
    os::DWORD returned = 0;
    const bool read = os::DeviceIoControl(device, os::IOCTL_ACCELEROMETER_READ_XYZ, nullptr, 0, raw, sizeof raw, &returned,
                                          nullptr) &&
                      returned == os::kAccelerometerReadBytes;
    os::CloseHandle(device);
    if (!read) return false;
    // Little-endian signed 16-bit X, Y, Z.
    for (int i = 0; i < 3; ++i) axes[i] = static_cast<std::int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return true;
}

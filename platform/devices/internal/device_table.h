// Inside the platform layer: the device names CreateFileW opens and the
// handles of driver instances.
//
// A device name ("COM1:", "ACC1:") belongs to one driver; names compare
// without case. Serial ports keep their own handles (HandleKind::Comm, see
// comm.h); every other driver instance is a HandleKind::Device handle here,
// which CloseHandle closes and DeviceIoControl reaches. The table's mutex is
// held only for bookkeeping, never while a driver answers.
#pragma once

#include <memory>
#include <string>

#include "platform/base/types.h"

namespace os::detail {

// One open instance of a driver.
class DeviceInstance {
public:
    virtual ~DeviceInstance() = default;
    // ERROR_SUCCESS, or the error DeviceIoControl reports; *returned is set
    // either way.
    virtual DWORD Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) = 0;
};

// False when no driver serves `name`. True otherwise, with *handle the open
// instance, or null with the last error set when the driver refused.
bool OpenNamedDevice(const std::string& name, DWORD access, HANDLE* handle);

// A fresh HandleKind::Device handle for the instance.
HANDLE AddDeviceHandle(std::shared_ptr<DeviceInstance> instance);
// False when the handle is not an open driver instance.
bool CloseDeviceHandle(HANDLE handle);

// The accelerometer driver (accelerometer.cpp).
bool IsAccelerometerName(const std::string& name);
// Null with the last error set when the sensor is configured to fail its open.
HANDLE OpenAccelerometer(const std::string& name, DWORD access);

}  // namespace os::detail

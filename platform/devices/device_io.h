// Control codes to device drivers. A driver instance opened by name with
// CreateFileW ("ACC1:") answers DeviceIoControl with its own codes; the
// handle is closed with CloseHandle.
//
// DeviceIoControl is synchronous: `overlapped` must be null. It fails with
// ERROR_INVALID_HANDLE for a handle that is not an open driver instance (a
// file, an event, a closed value), ERROR_INVALID_PARAMETER for a code the
// driver does not know (a serial port knows none) or an overlapped request,
// and ERROR_INSUFFICIENT_BUFFER when `out` cannot take the answer; the
// driver's own failure sets the driver's error. `returned` (may be null)
// receives the bytes written to `out`, 0 on failure.
#pragma once

#include "platform/base/types.h"

namespace os {

// The accelerometer driver ("ACC1:"): fills 6 bytes with the three axes,
// X, Y, Z, each a signed 16-bit little-endian count. A failing sensor
// answers ERROR_GEN_FAILURE. Nothing goes in.
constexpr DWORD IOCTL_ACCELEROMETER_READ_XYZ = 0x80122EF0;
constexpr DWORD kAccelerometerReadBytes = 6;

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
                     void* overlapped);

}  // namespace os

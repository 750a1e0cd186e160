// For other platform modules: the file system's part in handle closing and
// the host path behind a device path.
#pragma once

#include <string>

#include "platform/base/types.h"

namespace os::detail {

// CloseHandle's part for handles of the file system: false when the handle
// is not an open file, "VOL:" device or store (the caller then reports it).
bool CloseFileHandle(HANDLE handle);

// The host path of a device path, by the same lookup as the file calls.
// A missing last component is allowed (the path it would be created at);
// ERROR_SUCCESS or the error the file calls would report.
DWORD ResolveDevicePath(const std::string& devicePath, std::string* hostPath);

// Opens a regular file of the program's folder for reading, by the same
// lookup: ERROR_SUCCESS with *fd (the caller closes it), ERROR_ACCESS_DENIED
// for a path outside the program's folder, or the error of the file calls.
DWORD OpenProgramFile(const std::string& devicePath, int* fd);

}  // namespace os::detail

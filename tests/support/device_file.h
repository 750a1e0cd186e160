// Reading a file of the simulated phone's file system whole, through the
// device's own file calls, as the program would see it.
#pragma once

#include <string>

#include "platform/files/file.h"
#include "platform/kernel/sync.h"

namespace testing_support {

// The bytes of a device file, or "<none>" when it does not open.
inline std::string ReadDeviceFile(const std::string& path)
{
    os::HANDLE file = os::CreateFileW(path.c_str(), os::GENERIC_READ, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return "<none>";
    std::string bytes;
    char chunk[4096];
    os::DWORD got = 0;
    while (os::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0) bytes.append(chunk, got);
    os::CloseHandle(file);
    return bytes;
}

}  // namespace testing_support

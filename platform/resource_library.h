// Inside the platform layer: access to the table of a loaded resource library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "platform/types.h"
#include "res/resource_table.h"

namespace os::detail {

struct LoadedResources {
    const kestrava::res::ResourceTable* table = nullptr;
    std::unordered_map<std::uint32_t, const char*> strings;

    // The text of string `id`, or null.
    const char* Text(std::uint32_t id) const;
};

// Runs `use` on the library's resources while the library cannot be freed.
// False, with ERROR_INVALID_HANDLE set, for a handle that is not loaded.
// `use` must not call back into the resource functions.
bool WithResources(HINSTANCE library, const std::function<void(const LoadedResources&)>& use);

// Maps the device path of a library to the host file to open. The file-system
// module's device-path resolver belongs here; until it is wired in, only
// absolute host paths are accepted and anything else is refused with
// ERROR_PATH_NOT_FOUND.
bool LibraryHostPath(const std::string& devicePath, std::string* hostPath);

}  // namespace os::detail

// Inside the platform layer: access to the table of a loaded resource library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "platform/shell/resource.h"
#include "platform/base/types.h"
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

// Calls use(resources, entry) for the entry numbered `id` among the entries
// that select(table) gives as {pointer, count}. False when there is none;
// then, if the library itself is loaded, the last error is
// ERROR_RESOURCE_NAME_NOT_FOUND.
template <typename Select, typename Use>
bool WithResourceEntry(HINSTANCE library, UINT id, Select select, Use use)
{
    bool found = false;
    const bool loaded = WithResources(library, [&](const LoadedResources& resources) {
        const auto [entries, count] = select(*resources.table);
        for (std::uint32_t i = 0; i < count && !found; ++i) {
            if (entries[i].id != id) continue;
            found = true;
            use(resources, entries[i]);
        }
    });
    if (loaded && !found) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return found;
}

}  // namespace os::detail

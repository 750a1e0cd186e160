#include "platform/registry/registry.h"
#include "platform/registry/internal/registry_state.h"
#include "platform/kernel/internal/handle_table.h"

namespace os {

LONG RegistryNotifyWindow(HKEY root, const char* subkey, const char* valueName, HWND hwnd, UINT msg,
                          DWORD userData, void* condition, HREGNOTIFY* out)
{
    if (!out || !hwnd) {
        return ERROR_INVALID_PARAMETER;
    }
    if (condition) {
        return ERROR_NOT_SUPPORTED;
    }
    detail::RegistryLock lock;
    std::string base;
    if (const LONG result = lock.KeyPath(root, &base); result != ERROR_SUCCESS) {
        return result;
    }
    const std::string name = valueName ? valueName : "";
    const std::optional<std::string> path = detail::AppendSubkey(base, subkey);
    if (!path || !detail::IsValidUtf8(*path) || !detail::IsValidUtf8(name)) {
        return ERROR_INVALID_NAME;
    }
    const std::uintptr_t id = lock.NewHandle();
    lock.State().watches[id] = detail::ValueWatch{*path, name, hwnd, msg, userData};
    *out = reinterpret_cast<HREGNOTIFY>(id);
    return ERROR_SUCCESS;
}

LONG RegistryCloseNotification(HREGNOTIFY notification)
{
    detail::RegistryLock lock;
    if (!lock.State().open) {
        return ERROR_DEVICE_NOT_AVAILABLE;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(notification);
    if (lock.State().watches.erase(value) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    detail::ReleaseHandleValue(value, detail::HandleKind::Registry);
    return ERROR_SUCCESS;
}

}  // namespace os

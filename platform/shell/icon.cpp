// Icons copied out of resource libraries.
#include <map>
#include <mutex>
#include <utility>

#include "platform/shell/resource.h"
#include "platform/shell/internal/resource_library.h"
#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/internal/handle_table.h"

namespace os {
namespace {

std::mutex g_iconMutex;
std::map<std::uintptr_t, IconImage> g_icons;

std::uintptr_t FromHandle(HICON handle) { return reinterpret_cast<std::uintptr_t>(handle); }

}  // namespace

HICON LoadIconW(HINSTANCE library, UINT id)
{
    IconImage image;
    const auto icons = [](const kestrava::res::ResourceTable& t) { return std::pair(t.icons, t.iconCount); };
    const bool found = detail::WithResourceEntry(
        library, id, icons, [&](const detail::LoadedResources&, const kestrava::res::IconResource& icon) {
            image.width = icon.width;
            image.height = icon.height;
            image.pixels.assign(icon.pixels, icon.pixels + static_cast<std::size_t>(icon.width) * icon.height);
        });
    if (!found) return nullptr;
    std::lock_guard<std::mutex> lock(g_iconMutex);
    const std::uintptr_t handle = detail::NewHandleValue(detail::HandleKind::Icon);
    g_icons.emplace(handle, std::move(image));
    return reinterpret_cast<HICON>(handle);
}

BOOL GetIconImage(HICON icon, IconImage* out)
{
    std::lock_guard<std::mutex> lock(g_iconMutex);
    auto it = g_icons.find(FromHandle(icon));
    if (it == g_icons.end() || out == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *out = it->second;
    return TRUE;
}

BOOL DestroyIcon(HICON icon)
{
    std::lock_guard<std::mutex> lock(g_iconMutex);
    if (g_icons.erase(FromHandle(icon)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    detail::ReleaseHandleValue(FromHandle(icon), detail::HandleKind::Icon);
    return TRUE;
}

void detail::ResetIcons()
{
    std::lock_guard<std::mutex> lock(g_iconMutex);
    g_icons.clear();
}

}  // namespace os

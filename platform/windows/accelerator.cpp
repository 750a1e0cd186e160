// Accelerator tables copied out of resource libraries, and their translation
// of key presses into commands.
#include <map>
#include <mutex>
#include <utility>

#include "platform/shell/resource.h"
#include "platform/shell/internal/resource_library.h"
#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/internal/handle_table.h"

namespace os {
namespace {

std::mutex g_acceleratorMutex;
std::map<std::uintptr_t, std::vector<ACCEL>> g_tables;

std::uintptr_t FromHandle(HACCEL handle) { return reinterpret_cast<std::uintptr_t>(handle); }

bool Matches(const ACCEL& entry, const MSG& msg)
{
    if ((entry.fVirt & (FSHIFT | FCONTROL | FALT)) != 0)
        return false;
    const UINT wanted = (entry.fVirt & FVIRTKEY) != 0 ? WM_KEYDOWN : WM_CHAR;
    return msg.message == wanted && msg.wParam == entry.key;
}

}  // namespace

HACCEL LoadAcceleratorsW(HINSTANCE library, UINT id)
{
    std::vector<ACCEL> entries;
    const auto tables = [](const kestrava::res::ResourceTable& t) { return std::pair(t.accelerators, t.acceleratorCount); };
    const bool found = detail::WithResourceEntry(
        library, id, tables, [&](const detail::LoadedResources&, const kestrava::res::AcceleratorTable& accelerators) {
            for (std::uint32_t e = 0; e < accelerators.entryCount; ++e) {
                const auto& entry = accelerators.entries[e];
                entries.push_back(ACCEL{entry.flags, entry.key, entry.commandId});
            }
        });
    if (!found) return nullptr;
    std::lock_guard<std::mutex> lock(g_acceleratorMutex);
    const std::uintptr_t handle = detail::NewHandleValue(detail::HandleKind::Accelerator);
    g_tables.emplace(handle, std::move(entries));
    return reinterpret_cast<HACCEL>(handle);
}

BOOL DestroyAcceleratorTable(HACCEL table)
{
    std::lock_guard<std::mutex> lock(g_acceleratorMutex);
    if (g_tables.erase(FromHandle(table)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    detail::ReleaseHandleValue(FromHandle(table), detail::HandleKind::Accelerator);
    return TRUE;
}

bool GetAcceleratorEntries(HACCEL table, std::vector<ACCEL>* out)
{
    std::lock_guard<std::mutex> lock(g_acceleratorMutex);
    auto it = g_tables.find(FromHandle(table));
    if (it == g_tables.end() || out == nullptr)
        return false;
    *out = it->second;
    return true;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg)
{
    if (hwnd == nullptr || msg == nullptr)
        return 0;
    WORD command = 0;
    {
        std::lock_guard<std::mutex> lock(g_acceleratorMutex);
        auto it = g_tables.find(FromHandle(table));
        if (it == g_tables.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        for (const ACCEL& entry : it->second) {
            if (Matches(entry, *msg)) {
                command = entry.cmd;
                break;
            }
        }
    }
    if (command == 0)
        return 0;
    SendMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(MAKELPARAM(command, 1)), 0);
    return 1;
}

void detail::ResetAccelerators()
{
    std::lock_guard<std::mutex> lock(g_acceleratorMutex);
    g_tables.clear();
}

}  // namespace os

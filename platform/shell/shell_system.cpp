// Cursor, optical-mouse mode, idle timer and hot keys.
#include <algorithm>
#include <mutex>

#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/shell/internal/shell_state.h"
#include "platform/base/trace.h"

namespace os {
namespace {

struct SystemState {
    UINT cursor = IDC_ARROW;
    DWORD opticalMouse = SMI_OPTICALMOUSE_KEYPAD;
    int idleResets = 0;
    std::vector<sim::HotKeyRecord> hotKeys;
};

std::mutex g_shellSystemMutex;
SystemState g_state;

// System cursor handles are their ids.
HCURSOR CursorHandle(UINT id) { return reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(id)); }
UINT CursorId(HCURSOR cursor) { return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(cursor)); }

bool KnownCursor(UINT id) { return id == IDC_ARROW || id == IDC_WAIT; }

}  // namespace

void detail::ResetShellSystem()
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    g_state = SystemState{};
}

HCURSOR LoadCursorW(HINSTANCE instance, UINT id)
{
    if (instance != nullptr || !KnownCursor(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return CursorHandle(id);
}

HCURSOR SetCursor(HCURSOR cursor)
{
    const UINT id = CursorId(cursor);
    if (cursor != nullptr && !KnownCursor(id)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    UINT previous = 0;
    {
        std::lock_guard<std::mutex> lock(g_shellSystemMutex);
        previous = g_state.cursor;
        g_state.cursor = id;
    }
    if (previous != id)
        PlatformLog("SetCursor %u", id);
    return previous == 0 ? nullptr : CursorHandle(previous);
}

HCURSOR GetCursor()
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    return g_state.cursor == 0 ? nullptr : CursorHandle(g_state.cursor);
}

DWORD SmiOpticalMouseGetMode(DWORD* mode)
{
    if (mode == nullptr)
        return SMI_ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    *mode = g_state.opticalMouse;
    return SMI_SUCCESS;
}

DWORD SmiOpticalMouseSetMode(DWORD mode)
{
    if (mode != SMI_OPTICALMOUSE_KEYPAD && mode != SMI_OPTICALMOUSE_MOUSE)
        return SMI_ERROR_INVALID_PARAMETER;
    {
        std::lock_guard<std::mutex> lock(g_shellSystemMutex);
        g_state.opticalMouse = mode;
    }
    PlatformLog("SmiOpticalMouseSetMode %u", mode);
    return SMI_SUCCESS;
}

void SystemIdleTimerReset()
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    ++g_state.idleResets;
}

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT virtualKey)
{
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    {
        std::lock_guard<std::mutex> lock(g_shellSystemMutex);
        for (auto& key : g_state.hotKeys) {
            const bool sameKey = key.modifiers == modifiers && key.virtualKey == virtualKey;
            if (sameKey && key.hwnd != hwnd) {
                SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
                return FALSE;
            }
        }
        std::erase_if(g_state.hotKeys, [&](const sim::HotKeyRecord& k) { return k.hwnd == hwnd && k.id == id; });
        g_state.hotKeys.push_back(sim::HotKeyRecord{hwnd, id, modifiers, virtualKey});
    }
    PlatformLog("RegisterHotKey id=%d modifiers=0x%x vk=0x%x", id, modifiers, virtualKey);
    return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id)
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    const auto removed =
        std::erase_if(g_state.hotKeys, [&](const sim::HotKeyRecord& k) { return k.hwnd == hwnd && k.id == id; });
    if (removed == 0) {
        SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
        return FALSE;
    }
    return TRUE;
}

UINT sim::CurrentCursorId()
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    return g_state.cursor;
}

DWORD sim::OpticalMouseMode()
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    return g_state.opticalMouse;
}

int sim::IdleTimerResetCount()
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    return g_state.idleResets;
}

std::vector<sim::HotKeyRecord> sim::RegisteredHotKeys()
{
    std::lock_guard<std::mutex> lock(g_shellSystemMutex);
    return g_state.hotKeys;
}

bool sim::PressHotKey(UINT modifiers, UINT virtualKey)
{
    HotKeyRecord target;
    {
        std::lock_guard<std::mutex> lock(g_shellSystemMutex);
        auto it = std::find_if(g_state.hotKeys.begin(), g_state.hotKeys.end(), [&](const HotKeyRecord& k) {
            return k.modifiers == modifiers && k.virtualKey == virtualKey;
        });
        if (it == g_state.hotKeys.end())
            return false;
        target = *it;
    }
    return PostMessageW(target.hwnd, WM_HOTKEY, static_cast<WPARAM>(target.id),
                        MAKELPARAM(static_cast<int>(modifiers), static_cast<int>(virtualKey))) != FALSE;
}

}  // namespace os

// Inside the platform layer: the per-window records of the shell stand-ins.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/shell/shell.h"

namespace os::detail {

struct ShellRecord {
    sim::ShellWindowState state;
    std::vector<UINT> menuCommands;  // every command of the menu bar's menu
    std::vector<std::string> menuTexts;  // its top-level items, as the bar shows them
};

// Runs `change` on the record of hwnd (created on first use) under the shell
// lock. `change` must not call out of the shell module.
void WithShellRecord(HWND hwnd, const std::function<void(ShellRecord&)>& change);
// A copy of the record of hwnd; false when the shell has none.
bool CopyShellRecord(HWND hwnd, ShellRecord* out);
void ResetShellWindows();
void ResetShellSystem();

// True for a live window; otherwise sets ERROR_INVALID_WINDOW_HANDLE.
bool CheckWindow(HWND hwnd);

}  // namespace os::detail

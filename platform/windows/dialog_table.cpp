// The open dialogs and the history of those that ended, with the simulator's
// view of them.
#include <algorithm>
#include <mutex>

#include "platform/base/internal/fresh_start.h"
#include "platform/windows/internal/dialog_table.h"
#include "platform/kernel/sync.h"

namespace os {
namespace {

std::mutex g_dialogTableMutex;
std::vector<detail::OpenDialogEntry> g_open;  // in the order opened
std::vector<sim::DialogRecord> g_dialogHistory;

// Under g_dialogTableMutex.
detail::OpenDialogEntry* Find(HWND dialog)
{
    auto it = std::find_if(g_open.begin(), g_open.end(), [dialog](const auto& e) { return e.hwnd == dialog; });
    return it == g_open.end() ? nullptr : &*it;
}

sim::DialogState StateOf(const detail::OpenDialogEntry& entry)
{
    sim::DialogState state{entry.hwnd, entry.owner, entry.templateId, GetWindowText(entry.hwnd), {}};
    for (const detail::DialogControlEntry& c : entry.controls) {
        state.controls.push_back({c.id, c.kind, c.hwnd, GetWindowText(c.hwnd)});
    }
    return state;
}

}  // namespace

namespace detail {

void AddOpenDialog(OpenDialogEntry entry)
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    g_open.push_back(std::move(entry));
}

DLGPROC DialogProcOf(HWND dialog)
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    const OpenDialogEntry* entry = Find(dialog);
    return entry != nullptr ? entry->proc : nullptr;
}

bool DialogEnded(HWND dialog)
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    const OpenDialogEntry* entry = Find(dialog);
    return entry != nullptr && entry->ended;
}

void RaiseOpenDialog(HWND dialog)
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    auto it = std::find_if(g_open.begin(), g_open.end(), [dialog](const auto& e) { return e.hwnd == dialog; });
    if (it != g_open.end()) std::rotate(it, it + 1, g_open.end());
}

bool MarkDialogEnded(HWND dialog, INT_PTR result)
{
    const bool ownThread = GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    OpenDialogEntry* entry = Find(dialog);
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (!ownThread) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    entry->ended = true;
    entry->result = result;
    return true;
}

sim::DialogState DialogStateOf(HWND dialog)
{
    OpenDialogEntry entry;
    {
        std::lock_guard<std::mutex> lock(g_dialogTableMutex);
        if (const OpenDialogEntry* found = Find(dialog)) entry = *found;
    }
    return StateOf(entry);
}

INT_PTR CloseDialog(HWND dialog, const sim::DialogState& last)
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    auto it = std::find_if(g_open.begin(), g_open.end(), [dialog](const auto& e) { return e.hwnd == dialog; });
    if (it == g_open.end()) return -1;
    const INT_PTR result = it->ended ? it->result : -1;
    g_open.erase(it);
    g_dialogHistory.push_back({last, result});
    return result;
}

}  // namespace detail

std::vector<sim::DialogState> sim::OpenDialogs()
{
    std::vector<detail::OpenDialogEntry> open;
    {
        std::lock_guard<std::mutex> lock(g_dialogTableMutex);
        open.assign(g_open.rbegin(), g_open.rend());
    }
    std::vector<DialogState> states;
    for (const detail::OpenDialogEntry& entry : open) states.push_back(StateOf(entry));
    return states;
}

bool sim::DialogCommand(UINT id)
{
    HWND top = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_dialogTableMutex);
        if (g_open.empty()) return false;
        top = g_open.back().hwnd;
    }
    HWND control = detail::FindControl(top, static_cast<int>(id));
    return PostMessageW(top, WM_COMMAND, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(control)) != FALSE;
}

std::vector<sim::DialogRecord> sim::DialogHistory()
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    return g_dialogHistory;
}

void sim::ClearDialogHistory()
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    g_dialogHistory.clear();
}

void detail::ResetDialogs()
{
    std::lock_guard<std::mutex> lock(g_dialogTableMutex);
    g_open.clear();
    g_dialogHistory.clear();
}

}  // namespace os

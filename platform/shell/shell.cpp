// Shell helper stand-ins that act on one window: input panel, full screen,
// navigation-bar title, activation, dialog initialisation, Done button; and
// ShellExecuteEx.
#include "platform/shell/shell.h"

#include <map>
#include <mutex>

#include "platform/devices/display.h"
#include "platform/shell/internal/shell_state.h"
#include "platform/base/trace.h"

namespace os {
namespace {

std::mutex g_shellMutex;
std::map<HWND, detail::ShellRecord> g_windows;
bool g_inputPanelUp = false;
std::vector<sim::ShellExecuteRecord> g_executed;

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

void ApplyFullScreen(sim::ShellWindowState& state, DWORD flags)
{
    state.lastFullScreen = flags;
    if ((flags & SHFS_HIDETASKBAR) != 0)
        state.taskBarHidden = true;
    if ((flags & SHFS_SHOWTASKBAR) != 0)
        state.taskBarHidden = false;
    if ((flags & SHFS_HIDESIPBUTTON) != 0)
        state.sipButtonHidden = true;
    if ((flags & SHFS_SHOWSIPBUTTON) != 0)
        state.sipButtonHidden = false;
    if ((flags & SHFS_HIDESTARTICON) != 0)
        state.startIconHidden = true;
    if ((flags & SHFS_SHOWSTARTICON) != 0)
        state.startIconHidden = false;
}

void SetInputPanel(int state)
{
    std::lock_guard<std::mutex> lock(g_shellMutex);
    if (state == SIP_UP || state == SIP_INPUTDIALOG)
        g_inputPanelUp = true;
    else if (state == SIP_DOWN || state == SIP_FORCEDOWN)
        g_inputPanelUp = false;
}

}  // namespace

bool detail::CheckWindow(HWND hwnd)
{
    if (hwnd != nullptr && IsWindow(hwnd))
        return true;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

void detail::WithShellRecord(HWND hwnd, const std::function<void(ShellRecord&)>& change)
{
    std::lock_guard<std::mutex> lock(g_shellMutex);
    change(g_windows[hwnd]);
}

bool detail::CopyShellRecord(HWND hwnd, ShellRecord* out)
{
    std::lock_guard<std::mutex> lock(g_shellMutex);
    auto it = g_windows.find(hwnd);
    if (it == g_windows.end())
        return false;
    *out = it->second;
    return true;
}

void detail::ResetShellWindows()
{
    std::lock_guard<std::mutex> lock(g_shellMutex);
    g_windows.clear();
    g_inputPanelUp = false;
    g_executed.clear();
}

BOOL SHSipPreference(HWND hwnd, int state)
{
    if (state < SIP_UP || state > SIP_INPUTDIALOG) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    detail::WithShellRecord(hwnd, [&](detail::ShellRecord& r) { r.state.sipPreference = state; });
    SetInputPanel(state);
    return TRUE;
}

BOOL SHFullScreen(HWND hwnd, DWORD state)
{
    constexpr DWORD kKnown = SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR | SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON |
                             SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON;
    if ((state & ~kKnown) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    detail::WithShellRecord(hwnd, [&](detail::ShellRecord& r) { ApplyFullScreen(r.state, state); });
    PlatformLog("SHFullScreen hwnd=%p flags=0x%x", static_cast<void*>(hwnd), state);
    return TRUE;
}

BOOL SHSetNavBarText(HWND hwnd, const char* text)
{
    if (text == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    detail::WithShellRecord(hwnd, [&](detail::ShellRecord& r) {
        r.state.hasNavBarTitle = true;
        r.state.navBarTitle = text;
    });
    PlatformLog("SHSetNavBarText \"%s\"", text);
    return TRUE;
}

BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM /*lParam*/, SHACTIVATEINFO* info, DWORD /*flags*/)
{
    if (info == nullptr || info->cbSize != sizeof(SHACTIVATEINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    detail::WithShellRecord(hwnd, [&](detail::ShellRecord& r) {
        ++r.state.activateCalls;
        r.state.lastActivateState = wParam;
    });
    return TRUE;
}

BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM /*wParam*/, LPARAM /*lParam*/, SHACTIVATEINFO* info)
{
    if (info == nullptr || info->cbSize != sizeof(SHACTIVATEINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    detail::WithShellRecord(hwnd, [&](detail::ShellRecord& r) { ++r.state.settingChangeCalls; });
    return TRUE;
}

BOOL SHInitDialog(SHINITDLGINFO* info)
{
    if (info == nullptr || (info->dwMask & SHIDIM_FLAGS) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(info->hDlg))
        return FALSE;
    const DWORD flags = info->dwFlags;
    detail::WithShellRecord(info->hDlg, [&](detail::ShellRecord& r) {
        r.state.dialogInitialised = true;
        r.state.initDialogFlags = flags;
        if ((flags & SHIDIF_DONEBUTTON) != 0)
            r.state.doneButton = SHDB_SHOW;
    });
    if ((flags & SHIDIF_SIPDOWN) != 0)
        SetInputPanel(SIP_DOWN);
    if ((flags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) != 0)
        MoveWindow(info->hDlg, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
    return TRUE;
}

BOOL SHSetImeMode(HWND hwnd, DWORD mode)
{
    if (mode > SHIME_MODE_NUMBERS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    detail::WithShellRecord(hwnd, [&](detail::ShellRecord& r) { r.state.imeMode = mode; });
    PlatformLog("SHSetImeMode hwnd=%p mode=%u", static_cast<void*>(hwnd), static_cast<unsigned>(mode));
    return TRUE;
}

BOOL SHDoneButton(HWND hwnd, DWORD state)
{
    if (state != SHDB_SHOW && state != SHDB_HIDE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(hwnd))
        return FALSE;
    detail::WithShellRecord(hwnd, [&](detail::ShellRecord& r) { r.state.doneButton = state; });
    return TRUE;
}

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info)
{
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFO) || info->lpFile == nullptr ||
        info->lpFile[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    sim::ShellExecuteRecord record{info->hwnd, OrEmpty(info->lpVerb), info->lpFile, OrEmpty(info->lpParameters)};
    PlatformLog("ShellExecuteEx verb=\"%s\" file=\"%s\"", record.verb.c_str(), record.file.c_str());
    {
        std::lock_guard<std::mutex> lock(g_shellMutex);
        g_executed.push_back(std::move(record));
    }
    constexpr std::uintptr_t kStarted = 33;
    info->hInstApp = reinterpret_cast<HINSTANCE>(kStarted);
    return TRUE;
}

sim::ShellWindowState sim::ShellStateOf(HWND hwnd)
{
    detail::ShellRecord record;
    detail::CopyShellRecord(hwnd, &record);
    record.state.menuBar = SHFindMenuBar(hwnd);
    return record.state;
}

bool sim::InputPanelUp()
{
    std::lock_guard<std::mutex> lock(g_shellMutex);
    return g_inputPanelUp;
}

std::vector<sim::ShellExecuteRecord> sim::ShellExecuteHistory()
{
    std::lock_guard<std::mutex> lock(g_shellMutex);
    return g_executed;
}

void sim::ResetShell()
{
    detail::ResetShellWindows();
    detail::ResetShellSystem();
}

}  // namespace os

// Menu bars: a window of class "menu_worker" owned by its parent, with the
// commands of the menu resource it was built from.
#include "platform/devices/display.h"
#include "platform/graphics/graphics.h"
#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/shell/internal/shell_state.h"
#include "platform/base/trace.h"

namespace os {
namespace {

constexpr const char* kMenuBarClass = "menu_worker";
constexpr int kMenuBarHeight = 52;

// The bar shows its menu's top-level items side by side.
LRESULT MenuBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
    detail::ShellRecord record;
    detail::CopyShellRecord(GetWindow(hwnd, GW_OWNER), &record);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = CreateSolidBrush(RGB(40, 44, 52));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    LOGFONTW lf;
    lf.lfHeight = -22;
    lf.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const auto count = static_cast<LONG>(record.menuTexts.size());
    for (LONG i = 0; i < count; ++i) {
        RECT cell{r.right * i / count, r.top, r.right * (i + 1) / count, r.bottom};
        DrawTextW(dc, record.menuTexts[static_cast<std::size_t>(i)].c_str(), -1, &cell,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
    return 0;
}

// The window manager forgets classes when the platform restarts, so the
// class is registered on every use; "already exists" is the usual answer.
bool EnsureMenuBarClass()
{
    WNDCLASSW wc;
    wc.lpfnWndProc = MenuBarProc;
    wc.lpszClassName = kMenuBarClass;
    return RegisterClassW(&wc) != 0 || GetLastError() == static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS);
}

void CollectCommands(const std::vector<MenuItemInfo>& items, std::vector<UINT>* out)
{
    for (const MenuItemInfo& item : items) {
        if (item.commandId != 0)
            out->push_back(item.commandId);
        CollectCommands(item.popup, out);
    }
}

}  // namespace

BOOL SHCreateMenuBar(SHMENUBARINFO* info)
{
    if (info == nullptr || info->cbSize != sizeof(SHMENUBARINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!detail::CheckWindow(info->hwndParent))
        return FALSE;
    std::vector<UINT> commands;
    std::vector<std::string> texts;
    if ((info->dwFlags & SHCMBF_EMPTYBAR) == 0) {
        MenuInfo menu;
        if (!LoadMenuResource(info->hInstRes, info->nToolBarId, &menu))
            return FALSE;
        CollectCommands(menu.items, &commands);
        for (const MenuItemInfo& item : menu.items)
            texts.push_back(item.text);
    }
    if (!EnsureMenuBarClass())
        return FALSE;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int top = GetSystemMetrics(SM_CYSCREEN) - kMenuBarHeight;
    const DWORD style = WS_POPUP | ((info->dwFlags & SHCMBF_HIDDEN) != 0 ? 0 : WS_VISIBLE);
    HWND bar = CreateWindowExW(0, kMenuBarClass, "", style, 0, top, width, kMenuBarHeight, info->hwndParent,
                               nullptr, nullptr, nullptr);
    if (bar == nullptr)
        return FALSE;
    const UINT resource = (info->dwFlags & SHCMBF_EMPTYBAR) != 0 ? 0 : info->nToolBarId;
    detail::WithShellRecord(info->hwndParent, [&](detail::ShellRecord& r) {
        r.state.menuBar = bar;
        r.state.menuBarResource = resource;
        r.menuCommands = std::move(commands);
        r.menuTexts = std::move(texts);
    });
    info->hwndMB = bar;
    PlatformLog("SHCreateMenuBar parent=%p menu=%u", static_cast<void*>(info->hwndParent), resource);
    return TRUE;
}

HWND SHFindMenuBar(HWND hwnd)
{
    detail::ShellRecord record;
    if (!detail::CopyShellRecord(hwnd, &record) || record.state.menuBar == nullptr)
        return nullptr;
    return IsWindow(record.state.menuBar) ? record.state.menuBar : nullptr;
}

bool sim::ChooseMenuBarCommand(HWND hwnd, UINT commandId)
{
    detail::ShellRecord record;
    if (SHFindMenuBar(hwnd) == nullptr || !detail::CopyShellRecord(hwnd, &record))
        return false;
    for (UINT command : record.menuCommands) {
        if (command == commandId)
            return PostMessageW(hwnd, WM_COMMAND, commandId, 0) != FALSE;
    }
    return false;
}

}  // namespace os

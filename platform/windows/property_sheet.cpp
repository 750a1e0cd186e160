// The property sheet: its window, its pages made as they are first shown,
// and the simulator's view of it.
#include "platform/windows/property_sheet.h"

#include <algorithm>
#include <mutex>

#include "platform/base/trace.h"
#include "platform/devices/display.h"
#include "platform/graphics/graphics.h"
#include "platform/shell/shell.h"
#include "platform/windows/internal/dialog_table.h"

namespace os {
namespace {

constexpr char kSheetClass[] = "PropertySheet";

struct SheetRec {
    HWND hwnd = nullptr;
    std::string caption;
    std::vector<PROPSHEETPAGEW> descriptions;
    std::vector<HWND> pages;
    std::vector<HWND> made;  // in the order made
    int current = -1;
};

// The open sheets, innermost last. Touched on the sheets' thread; the
// simulator reads it under the lock.
std::mutex g_sheetMutex;
std::vector<SheetRec> g_sheets;

SheetRec* FindSheet(HWND hwnd)
{
    auto it = std::find_if(g_sheets.begin(), g_sheets.end(), [hwnd](const SheetRec& s) { return s.hwnd == hwnd; });
    return it == g_sheets.end() ? nullptr : &*it;
}

// Makes page `index` when it is new and shows it in place of the current one.
bool ShowSheetPage(HWND sheet, int index)
{
    PROPSHEETPAGEW description;
    HWND page = nullptr;
    HWND previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_sheetMutex);
        SheetRec* s = FindSheet(sheet);
        if (s == nullptr || index < 0 || index >= static_cast<int>(s->pages.size())) return false;
        description = s->descriptions[static_cast<std::size_t>(index)];
        page = s->pages[static_cast<std::size_t>(index)];
        previous = s->current >= 0 ? s->pages[static_cast<std::size_t>(s->current)] : nullptr;
    }
    if (page == nullptr) {
        page = detail::CreateDialogWindows(description.hInstance, description.pszTemplate, sheet,
                                           description.pfnDlgProc);
        if (page == nullptr) return false;
        {
            std::lock_guard<std::mutex> lock(g_sheetMutex);
            SheetRec* s = FindSheet(sheet);
            s->pages[static_cast<std::size_t>(index)] = page;
            s->made.push_back(page);
        }
        SendMessageW(page, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&description));
    }
    if (previous != nullptr && previous != page) {
        ShowWindow(previous, SW_HIDE);
        if (HWND bar = SHFindMenuBar(previous)) ShowWindow(bar, SW_HIDE);
    }
    ShowWindow(page, SW_SHOW);
    if (HWND bar = SHFindMenuBar(page)) ShowWindow(bar, SW_SHOW);
    detail::RaiseOpenDialog(page);
    std::lock_guard<std::mutex> lock(g_sheetMutex);
    FindSheet(sheet)->current = index;
    return true;
}

LRESULT SheetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndModalLoop(hwnd, LOWORD(wParam) == IDOK ? 1 : 0);
        }
        return 0;
    case PSM_SETCURSEL: return ShowSheetPage(hwnd, static_cast<int>(wParam)) ? TRUE : FALSE;
    case PSM_GETCURRENTPAGEHWND: {
        std::lock_guard<std::mutex> lock(g_sheetMutex);
        const SheetRec* s = FindSheet(hwnd);
        return s != nullptr && s->current >= 0
                   ? reinterpret_cast<LRESULT>(s->pages[static_cast<std::size_t>(s->current)])
                   : 0;
    }
    case WM_PAINT: detail::PaintDialogBackground(hwnd); return 0;
    case WM_CLOSE: PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// Destroys the pages made so far, the last made first (as the windows'
// list of the sheet has them), into the dialog history.
void DestroySheetPages(HWND sheet)
{
    std::vector<HWND> pages;
    {
        std::lock_guard<std::mutex> lock(g_sheetMutex);
        if (const SheetRec* s = FindSheet(sheet)) pages.assign(s->made.rbegin(), s->made.rend());
    }
    for (HWND page : pages) {
        const sim::DialogState last = detail::DialogStateOf(page);
        if (IsWindow(page)) DestroyWindow(page);
        detail::CloseDialog(page, last);
    }
}

}  // namespace

INT_PTR PropertySheetW(const PROPSHEETHEADERW* header)
{
    if (header == nullptr || header->dwSize != sizeof(PROPSHEETHEADERW) || header->nPages == 0 ||
        header->ppsp == nullptr || header->nStartPage >= header->nPages) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    for (UINT i = 0; i < header->nPages; ++i) {
        if (header->ppsp[i].dwSize != sizeof(PROPSHEETPAGEW) || header->ppsp[i].pfnDlgProc == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return -1;
        }
    }
    WNDCLASSW wc;
    wc.lpfnWndProc = SheetProc;
    wc.lpszClassName = kSheetClass;
    if (RegisterClassW(&wc) == 0 && GetLastError() != static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS)) return -1;
    const char* caption = header->pszCaption != nullptr ? header->pszCaption : "";
    const bool maximised = (header->dwFlags & PSH_MAXIMIZE) != 0;
    const int width = maximised ? GetSystemMetrics(SM_CXSCREEN) : CW_USEDEFAULT;
    const int height = maximised ? GetSystemMetrics(SM_CYSCREEN) : CW_USEDEFAULT;
    HWND sheet = CreateWindowExW(0, kSheetClass, caption, WS_POPUP | WS_CAPTION, 0, 0, width, height,
                                 header->hwndParent, nullptr, header->hInstance, nullptr);
    if (sheet == nullptr) return -1;
    {
        std::lock_guard<std::mutex> lock(g_sheetMutex);
        SheetRec s;
        s.hwnd = sheet;
        s.caption = caption;
        s.descriptions.assign(header->ppsp, header->ppsp + header->nPages);
        s.pages.assign(header->nPages, nullptr);
        g_sheets.push_back(std::move(s));
    }
    PlatformLog("property sheet \"%s\" opened with %u pages", caption, header->nPages);
    HWND previousForeground = GetForegroundWindow();
    ShowWindow(sheet, SW_SHOW);
    SetForegroundWindow(sheet);
    INT_PTR result = -1;
    if (ShowSheetPage(sheet, static_cast<int>(header->nStartPage))) {
        if ((header->dwFlags & PSH_USECALLBACK) != 0 && header->pfnCallback != nullptr) {
            header->pfnCallback(sheet, PSCB_INITIALIZED, 0);
        }
        result = RunModalLoop(sheet);
    }
    const DWORD error = GetLastError();
    DestroySheetPages(sheet);
    DestroyWindow(sheet);
    {
        std::lock_guard<std::mutex> lock(g_sheetMutex);
        g_sheets.erase(std::remove_if(g_sheets.begin(), g_sheets.end(), [sheet](const SheetRec& s) { return s.hwnd == sheet; }),
                       g_sheets.end());
    }
    if (previousForeground != nullptr && IsWindow(previousForeground)) SetForegroundWindow(previousForeground);
    PlatformLog("property sheet \"%s\" ended with %ld", caption, static_cast<long>(result));
    if (result < 0) SetLastError(error);
    return result;
}

bool sim::OpenSheet(SheetState* out)
{
    std::lock_guard<std::mutex> lock(g_sheetMutex);
    if (g_sheets.empty() || out == nullptr) return false;
    const SheetRec& s = g_sheets.back();
    *out = SheetState{s.hwnd, s.caption, s.current, s.pages};
    return true;
}

bool sim::SelectSheetPage(int index)
{
    SheetState state;
    if (!OpenSheet(&state) || index < 0 || index >= static_cast<int>(state.pages.size())) return false;
    return PostMessageW(state.hwnd, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != FALSE;
}

bool sim::SheetMenuCommand(UINT commandId)
{
    SheetState state;
    if (!OpenSheet(&state) || state.currentPage < 0) return false;
    return ChooseMenuBarCommand(state.pages[static_cast<std::size_t>(state.currentPage)], commandId);
}

}  // namespace os

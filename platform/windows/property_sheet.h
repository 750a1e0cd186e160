// The common controls' property sheet: a modal window of pages, each a dialog
// made from a template of a resource library with its own procedure.
//
// PropertySheetW makes the sheet (class "PropertySheet", the header's
// caption, covering the screen with PSH_MAXIMIZE) owned by hwndParent, makes
// the start page, calls the sheet callback with PSCB_INITIALIZED and runs the
// platform's modal loop. A page is made the first time it is shown: its
// procedure gets WM_INITDIALOG with lParam pointing at its PROPSHEETPAGEW.
// Only the current page is visible. IDOK or IDCANCEL posted (or sent) to the
// sheet closes it: every page made so far is destroyed, the last made first
// (its procedure gets WM_DESTROY), the sheet goes, and PropertySheetW returns 1
// for IDOK and 0 for IDCANCEL; -1 with the last error set when the sheet or
// its start page cannot be made. Pages are in the table of open dialogs while
// they live (sim::OpenDialogs, the current page first among them) and in the
// dialog history after.
#pragma once

#include <vector>

#include "platform/base/types.h"
#include "platform/windows/dialog.h"

namespace os {

constexpr DWORD PSP_DEFAULT = 0x0000;
constexpr DWORD PSH_PROPSHEETPAGE = 0x0008;
constexpr DWORD PSH_NOAPPLYNOW = 0x0080;
constexpr DWORD PSH_USECALLBACK = 0x0100;
constexpr DWORD PSH_MAXIMIZE = 0x2000;

constexpr UINT PSCB_INITIALIZED = 1;
constexpr UINT PSM_SETCURSEL = WM_USER + 101;          // wParam: page index
constexpr UINT PSM_GETCURRENTPAGEHWND = WM_USER + 118;

struct PROPSHEETPAGEW {
    DWORD dwSize = sizeof(PROPSHEETPAGEW);
    DWORD dwFlags = PSP_DEFAULT;
    HINSTANCE hInstance = nullptr;
    UINT pszTemplate = 0;
    DLGPROC pfnDlgProc = nullptr;
    LPARAM lParam = 0;
};

using PFNPROPSHEETCALLBACK = int (*)(HWND, UINT, LPARAM);

struct PROPSHEETHEADERW {
    DWORD dwSize = sizeof(PROPSHEETHEADERW);
    DWORD dwFlags = 0;
    HWND hwndParent = nullptr;
    HINSTANCE hInstance = nullptr;
    const char* pszCaption = nullptr;
    UINT nPages = 0;
    UINT nStartPage = 0;
    const PROPSHEETPAGEW* ppsp = nullptr;
    PFNPROPSHEETCALLBACK pfnCallback = nullptr;
};

INT_PTR PropertySheetW(const PROPSHEETHEADERW* header);

}  // namespace os

// ---- Simulator side.
namespace os::sim {

struct SheetState {
    HWND hwnd = nullptr;
    std::string caption;
    int currentPage = -1;
    std::vector<HWND> pages;  // null for a page not made yet
};
// False when no sheet is open.
bool OpenSheet(SheetState* out);
// The user turns to page `index`; false when no sheet is open or there is no such page.
bool SelectSheetPage(int index);
// The user picks a command of the current page's menu bar.
bool SheetMenuCommand(UINT commandId);

}  // namespace os::sim

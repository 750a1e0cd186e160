// Page 4 of the settings sheet: the About dialog's content (program name,
// version and the way to the help page) as a page of the sheet.
#include "platform/shell/shell.h"
#include "platform/windows/controls.h"
#include "settings/sheet_pages.h"

namespace {

constexpr int kVersionControl = 202;
constexpr os::UINT kHelpCommand = 9;
constexpr const char* kVersionText = "Ardvane v1.1.0";

}  // namespace

os::INT_PTR AboutPageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM)
{
    switch (msg) {
    case os::WM_INITDIALOG:
        InitSheetPage(page, &Sheet().about);
        os::SetDlgItemTextW(page, kVersionControl, kVersionText);
        Sheet().about.initialised = 1;
        return os::TRUE;
    case os::WM_COMMAND:
        if (HandleDoneCommand(page, wParam)) return os::TRUE;
        if (os::LOWORD(wParam) == kHelpCommand) {
            os::PostMessageW(Sheet().mainWindow, os::WM_HELP, 0, 0);
            return os::TRUE;
        }
        return os::FALSE;
    case os::WM_DESTROY: DestroyPageMenuBar(&Sheet().about); return os::TRUE;
    default: return os::FALSE;
    }
}

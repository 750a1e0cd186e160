// The About dialog: full screen with its own menu bar, the program's name and
// version, and the way to the help page.
#include "app/app_state.h"
#include "app/commands.h"
#include "app/messages.h"
#include "platform/windows/dialog.h"
#include "platform/shell/shell.h"
#include "platform/windows/window.h"

namespace {

constexpr os::UINT kAboutTemplate = 112;
constexpr os::UINT kDialogMenuBar = 110;
constexpr int kVersionControl = 202;
constexpr os::UINT kHelpCommand = 9;
constexpr const char* kVersionText = "Ardvane v1.1.0";

void InitAboutDialog(os::HWND dialog)
{
    os::SHMENUBARINFO menuBar;
    menuBar.hwndParent = dialog;
    menuBar.nToolBarId = kDialogMenuBar;
    menuBar.hInstRes = g_hResourceLibrary;
    os::SHCreateMenuBar(&menuBar);
    os::SHINITDLGINFO init;
    init.dwMask = os::SHIDIM_FLAGS;
    init.hDlg = dialog;
    init.dwFlags = os::SHIDIF_DONEBUTTON | os::SHIDIF_SIZEDLGFULLSCREEN | os::SHIDIF_SIPDOWN;
    os::SHInitDialog(&init);
    os::SetDlgItemTextW(dialog, kVersionControl, kVersionText);
}

os::INT_PTR AboutDialogProc(os::HWND dialog, os::UINT msg, os::WPARAM wParam, os::LPARAM)
{
    switch (msg) {
    case os::WM_INITDIALOG:
        InitAboutDialog(dialog);
        return os::TRUE;
    case os::WM_COMMAND:
        switch (os::LOWORD(wParam)) {
        case IDOK:
            os::EndDialog(dialog, IDOK);
            return os::TRUE;
        case kHelpCommand:
            os::PostMessageW(g_hMainWindow, os::WM_HELP, 0, 0);
            return os::TRUE;
        case IDM_BUTTON:
            os::PostMessageW(g_hMainWindow, os::WM_COMMAND, IDOK, 0);
            return os::TRUE;
        default:
            return os::FALSE;
        }
    case os::WM_CLOSE:
        os::EndDialog(dialog, IDOK);
        return os::TRUE;
    case os::WM_DESTROY:
        if (os::HWND menuBar = os::SHFindMenuBar(dialog)) os::DestroyWindow(menuBar);
        return os::TRUE;
    default:
        return os::FALSE;
    }
}

}  // namespace

void ShowAboutDialog(os::HWND hwnd)
{
    os::DialogBoxParamW(g_hResourceLibrary, kAboutTemplate, hwnd, AboutDialogProc, 0);
}

// The sheet itself and what its pages share: the menu bar, the message boxes
// and the small control helpers.
#include "settings/settings_sheet.h"

#include "app/app_state.h"
#include "platform/devices/display.h"
#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/windows/controls.h"
#include "platform/windows/message_box.h"
#include "platform/windows/property_sheet.h"
#include "settings/sheet_pages.h"

namespace {

constexpr const char* kSheetCaption = "Kestrava-Settings";
constexpr const char* kMessageCaption = "Ardvane";
constexpr os::UINT kPageMenuBar = 110;
constexpr os::UINT kDoneCommand = 40007;
constexpr int kMaxResourceChars = 100;

SheetContext g_sheet;

// Templates by page: landscape, portrait.
struct PageTemplate {
    os::UINT landscape;
    os::UINT portrait;
    os::DLGPROC proc;
};
constexpr PageTemplate kPages[] = {
    {119, 114, StoragePageProc},
    {122, 117, RecordingPageProc},
    {127, 126, EventPageProc},
    {112, 112, AboutPageProc},
};

int SheetCallback(os::HWND, os::UINT, os::LPARAM) { return 0; }

}  // namespace

SheetContext& Sheet() { return g_sheet; }

EventRecorderApp* SheetApp() { return AppFromWindow(g_sheet.mainWindow); }

std::string SheetText(os::UINT id)
{
    std::string text;
    os::LoadStringW(g_sheet.resources, id, &text, kMaxResourceChars);
    return text;
}

int SheetMessage(os::UINT id, os::UINT type)
{
    return os::MessageBoxW(os::GetForegroundWindow(), SheetText(id).c_str(), kMessageCaption, type);
}

void InitSheetPage(os::HWND page, SheetPageState* state)
{
    os::SHMENUBARINFO menuBar;
    menuBar.hwndParent = page;
    menuBar.nToolBarId = kPageMenuBar;
    menuBar.hInstRes = g_sheet.resources;
    state->menuBar = os::SHCreateMenuBar(&menuBar) ? menuBar.hwndMB : nullptr;
    os::SHINITDLGINFO init;
    init.dwMask = os::SHIDIM_FLAGS;
    init.hDlg = page;
    init.dwFlags = os::SHIDIF_DONEBUTTON | os::SHIDIF_SIZEDLGFULLSCREEN | os::SHIDIF_SIPDOWN;
    os::SHInitDialog(&init);
}

bool HandleDoneCommand(os::HWND page, os::WPARAM wParam)
{
    if (os::LOWORD(wParam) != kDoneCommand) return false;
    os::PostMessageW(os::GetWindow(page, os::GW_OWNER), os::WM_COMMAND, os::IDOK, 0);
    return true;
}

void DestroyPageMenuBar(SheetPageState* state)
{
    if (state->menuBar != nullptr && os::IsWindow(state->menuBar)) os::DestroyWindow(state->menuBar);
    state->menuBar = nullptr;
}

void AddListEntry(os::HWND page, int id, const std::string& text)
{
    os::SendMessageW(os::GetDlgItem(page, id), os::CB_ADDSTRING, 0, reinterpret_cast<os::LPARAM>(text.c_str()));
}

void SelectListEntry(os::HWND page, int id, int index)
{
    os::SendMessageW(os::GetDlgItem(page, id), os::CB_SETCURSEL, static_cast<os::WPARAM>(index), 0);
}

int ListSelection(os::HWND page, int id)
{
    return static_cast<int>(os::SendMessageW(os::GetDlgItem(page, id), os::CB_GETCURSEL, 0, 0));
}

std::string ListSelectionText(os::HWND page, int id)
{
    std::string text;
    const int index = ListSelection(page, id);
    if (index >= 0) {
        os::SendMessageW(os::GetDlgItem(page, id), os::CB_GETLBTEXT, static_cast<os::WPARAM>(index),
                         reinterpret_cast<os::LPARAM>(&text));
    }
    return text;
}

bool IsChecked(os::HWND page, int id)
{
    return os::SendMessageW(os::GetDlgItem(page, id), os::BM_GETCHECK, 0, 0) == os::BST_CHECKED;
}

void SetChecked(os::HWND page, int id, bool checked)
{
    os::SendMessageW(os::GetDlgItem(page, id), os::BM_SETCHECK, checked ? os::BST_CHECKED : os::BST_UNCHECKED, 0);
}

void EnableControl(os::HWND page, int id, bool enable)
{
    os::EnableWindow(os::GetDlgItem(page, id), enable ? os::TRUE : os::FALSE);
}

void HideControl(os::HWND page, int id) { os::ShowWindow(os::GetDlgItem(page, id), os::SW_HIDE); }

int RunSettingsSheet(os::HINSTANCE resources, os::HWND mainWindow)
{
    EventRecorderApp* app = AppFromWindow(mainWindow);
    if (app == nullptr) return 0;
    g_sheet = SheetContext{};
    g_sheet.resources = resources;
    g_sheet.mainWindow = mainWindow;
    os::PROPSHEETPAGEW pages[std::size(kPages)];
    for (std::size_t i = 0; i < std::size(kPages); ++i) {
        pages[i].hInstance = resources;
        pages[i].pszTemplate = app->landscape ? kPages[i].landscape : kPages[i].portrait;
        pages[i].pfnDlgProc = kPages[i].proc;
    }
    os::PROPSHEETHEADERW header;
    header.dwFlags = os::PSH_PROPSHEETPAGE | os::PSH_NOAPPLYNOW | os::PSH_USECALLBACK | os::PSH_MAXIMIZE;
    header.hwndParent = mainWindow;
    header.hInstance = resources;
    header.pszCaption = kSheetCaption;
    header.nPages = static_cast<os::UINT>(std::size(pages));
    header.nStartPage = 0;
    header.ppsp = pages;
    header.pfnCallback = SheetCallback;
    app->restartRecording = 0;
    app->settingsSheetOpen = 1;
    const os::INT_PTR result = os::PropertySheetW(&header);
    app->settingsSheetOpen = 0;
    if (os::GetSystemMetrics(os::SM_CXSCREEN) == 800 && os::GetSystemMetrics(os::SM_CYSCREEN) == 480) {
        os::SHSipPreference(mainWindow, os::SIP_FORCEDOWN);
        os::SHFullScreen(mainWindow, os::SHFS_HIDESIPBUTTON);
    }
    return result < 0 ? 0 : 1;
}

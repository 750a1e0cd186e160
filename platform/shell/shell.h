// The shell helper library and the small system services around it: input
// panel, full-screen control, menu bars, navigation-bar title, activation
// and setting-change handling, dialog initialisation, the Done button,
// ShellExecuteEx, the cursor, the optical-mouse mode, the idle timer and hot
// keys. There is no real shell on the host: each call checks its arguments,
// keeps its effect as state (per window where the shell keeps it per window),
// and writes a platform log line for changes, so that the simulator and tests
// can see what the program asked for. Menu bars are real windows (class
// "menu_worker") owned by their parent, so ShowWindow and DestroyWindow work
// on them as on the phone.
#pragma once

#include <string>
#include <vector>

#include "platform/base/smi_result.h"
#include "platform/base/types.h"
#include "platform/windows/window.h"

namespace os {

// Soft input panel.
constexpr int SIP_UP = 0;
constexpr int SIP_DOWN = 1;
constexpr int SIP_FORCEDOWN = 2;
constexpr int SIP_UNCHANGED = 3;
constexpr int SIP_INPUTDIALOG = 4;
BOOL SHSipPreference(HWND hwnd, int state);

// Full-screen control; each show/hide pair sets or clears one element.
constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
constexpr DWORD SHFS_HIDESTARTICON = 0x0020;
BOOL SHFullScreen(HWND hwnd, DWORD state);

// Menu bars, built from a menu resource of hInstRes (nToolBarId).
constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
constexpr DWORD SHCMBF_HIDDEN = 0x0002;
constexpr DWORD SHCMBF_HIDESIPBUTTON = 0x0004;

struct SHMENUBARINFO {
    DWORD cbSize = sizeof(SHMENUBARINFO);
    HWND hwndParent = nullptr;
    DWORD dwFlags = 0;
    UINT nToolBarId = 0;
    HINSTANCE hInstRes = nullptr;
    int nBmpId = 0;
    int cBmpImages = 0;
    HWND hwndMB = nullptr;  // out
};

// Creates the menu bar of hwndParent (replacing an earlier one) and returns
// it in hwndMB. Fails with ERROR_RESOURCE_NAME_NOT_FOUND when the menu
// resource does not exist (unless SHCMBF_EMPTYBAR).
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
// The menu bar of a window, or null when it has none (or it was destroyed).
HWND SHFindMenuBar(HWND hwnd);

BOOL SHSetNavBarText(HWND hwnd, const char* text);

// The input panel's input method for a window (an edit field): what its
// keys give. Kept as the window's state; the simulator types characters as such.
constexpr DWORD SHIME_MODE_NONE = 0;
constexpr DWORD SHIME_MODE_SPELL = 1;
constexpr DWORD SHIME_MODE_AMBIGUOUS = 2;
constexpr DWORD SHIME_MODE_NUMBERS = 3;
BOOL SHSetImeMode(HWND hwnd, DWORD mode);

// The activation record the shell keeps for a window.
struct SHACTIVATEINFO {
    DWORD cbSize = sizeof(SHACTIVATEINFO);
    HWND hwndLastFocus = nullptr;
    DWORD flags = 0;
};
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);

// Dialog initialisation.
constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;

struct SHINITDLGINFO {
    DWORD dwMask = 0;
    HWND hDlg = nullptr;
    DWORD dwFlags = 0;
};
// With SHIDIF_SIZEDLGFULLSCREEN the dialog is moved to cover the screen;
// SHIDIF_SIPDOWN lowers the input panel; SHIDIF_DONEBUTTON shows the Done button.
BOOL SHInitDialog(SHINITDLGINFO* info);

constexpr DWORD SHDB_SHOW = 1;
constexpr DWORD SHDB_HIDE = 2;
BOOL SHDoneButton(HWND hwnd, DWORD state);

struct SHELLEXECUTEINFO {
    DWORD cbSize = sizeof(SHELLEXECUTEINFO);
    DWORD fMask = 0;
    HWND hwnd = nullptr;
    const char* lpVerb = nullptr;
    const char* lpFile = nullptr;
    const char* lpParameters = nullptr;
    const char* lpDirectory = nullptr;
    int nShow = 0;
    HINSTANCE hInstApp = nullptr;  // out: a value above 32 on success
};
// Hands the document to the shell; the simulator has no viewer, so the
// request is recorded and reported as started.
BOOL ShellExecuteEx(SHELLEXECUTEINFO* info);

// The system cursors; LoadCursorW only knows these (instance null).
constexpr UINT IDC_ARROW = 32512;
constexpr UINT IDC_WAIT = 32514;
HCURSOR LoadCursorW(HINSTANCE instance, UINT id);
// Returns the previous cursor. Null hides the cursor.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// The optical mouse (the handset's navigation pad) of the Samsung Mobile SDK.
// Modes: 0 navigation keys, 1 mouse pointer.
constexpr DWORD SMI_OPTICALMOUSE_KEYPAD = 0;
constexpr DWORD SMI_OPTICALMOUSE_MOUSE = 1;
DWORD SmiOpticalMouseGetMode(DWORD* mode);
DWORD SmiOpticalMouseSetMode(DWORD mode);

// Keeps the device from suspending or dimming for another idle period.
void SystemIdleTimerReset();

constexpr UINT MOD_ALT = 0x0001;
constexpr UINT MOD_CONTROL = 0x0002;
constexpr UINT MOD_SHIFT = 0x0004;
constexpr UINT MOD_WIN = 0x0008;
constexpr UINT MOD_KEYUP = 0x1000;
// A key registered by one window cannot be registered by another
// (ERROR_HOTKEY_ALREADY_REGISTERED); the same window may register it again.
constexpr LONG ERROR_HOTKEY_ALREADY_REGISTERED = 1409;
constexpr LONG ERROR_HOTKEY_NOT_REGISTERED = 1419;
BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT virtualKey);
BOOL UnregisterHotKey(HWND hwnd, int id);

}  // namespace os

// ---- Simulator side: what the shell holds, and the user's hand on it.
namespace os::sim {

struct ShellWindowState {
    int sipPreference = -1;       // last SHSipPreference state, -1 none
    DWORD lastFullScreen = 0;     // flags of the last SHFullScreen call
    bool taskBarHidden = false;
    bool sipButtonHidden = false;
    bool startIconHidden = false;
    bool hasNavBarTitle = false;
    std::string navBarTitle;
    int activateCalls = 0;        // SHHandleWMActivate
    WPARAM lastActivateState = 0;
    int settingChangeCalls = 0;   // SHHandleWMSettingChange
    bool dialogInitialised = false;
    DWORD initDialogFlags = 0;
    DWORD doneButton = 0;         // last SHDoneButton state, 0 none
    HWND menuBar = nullptr;       // as SHFindMenuBar would answer
    UINT menuBarResource = 0;
    DWORD imeMode = SHIME_MODE_NONE;  // last SHSetImeMode
};

ShellWindowState ShellStateOf(HWND hwnd);
bool InputPanelUp();

struct ShellExecuteRecord {
    HWND owner = nullptr;
    std::string verb;
    std::string file;
    std::string parameters;
};
std::vector<ShellExecuteRecord> ShellExecuteHistory();

// The system cursor id last set (IDC_ARROW, IDC_WAIT), 0 when hidden.
UINT CurrentCursorId();
DWORD OpticalMouseMode();
int IdleTimerResetCount();

struct HotKeyRecord {
    HWND hwnd = nullptr;
    int id = 0;
    UINT modifiers = 0;
    UINT virtualKey = 0;
};
std::vector<HotKeyRecord> RegisteredHotKeys();
// The user presses a registered key: posts WM_HOTKEY (wParam id, lParam
// modifiers and key) to its window. False when the key is not registered.
bool PressHotKey(UINT modifiers, UINT virtualKey);
// The user picks a command of a window's menu bar: posts WM_COMMAND to the
// window. False when the window has no menu bar or its menu lacks the command.
bool ChooseMenuBarCommand(HWND hwnd, UINT commandId);

// Forgets every shell state above (a new simulated boot).
void ResetShell();

}  // namespace os::sim

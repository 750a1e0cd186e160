// The controls of dialogs and settings pages: drop-down lists (class
// "combobox"), check boxes (class "button" with BS_AUTOCHECKBOX), single-line
// edit fields (class "edit"), static texts, and enabling, focus and painting.
//
// Each control keeps its state with its window and answers the phone OS's
// messages for it on its own thread. Where the phone passes a text buffer the
// stand-in passes a std::string* (CB_GETLBTEXT, WM_GETTEXT) and UTF-8 texts
// (CB_ADDSTRING, WM_SETTEXT). A disabled control (EnableWindow) keeps its
// state but takes no hand: the simulator's taps and choices on it are refused.
// A list whose selection the hand changes sends WM_COMMAND (CBN_SELCHANGE) to
// its owner; a check box the hand clicks flips and sends BN_CLICKED. An edit
// field takes each WM_CHAR at its end (backspace takes the last character
// away); WM_PASTE carries the pasted text in lParam, as the simulator has no
// clipboard. Every control paints itself: labels, framed boxes with the
// selected entry, a ticked box; grey when disabled.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/windows/window.h"

namespace os {

constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD BS_AUTOCHECKBOX = 0x00000003;
constexpr DWORD ES_AUTOHSCROLL = 0x00000080;

constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;          // wParam: at most this many characters, lParam: std::string*
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PASTE = 0x0302;            // lParam: const char* text pasted
constexpr UINT EM_SETSEL = 0x00B1;           // wParam start, lParam end; -1 = the end
constexpr UINT EM_GETSEL = 0x00B0;           // returns start | end << 16
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT CB_ADDSTRING = 0x0143;        // lParam: const char*; returns the index
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_GETLBTEXT = 0x0148;        // wParam index, lParam std::string*; returns its length
constexpr UINT CB_GETLBTEXTLEN = 0x0149;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_SETCURSEL = 0x014E;        // -1 clears the selection
constexpr LRESULT CB_ERR = -1;

constexpr WPARAM BST_UNCHECKED = 0;
constexpr WPARAM BST_CHECKED = 1;
constexpr WORD BN_CLICKED = 0;
constexpr WORD CBN_SELCHANGE = 1;
constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;

constexpr UINT VK_BACK = 0x08;

constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(low) | static_cast<WPARAM>(high) << 16; }

// Returns whether the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// On the window's own thread: WM_KILLFOCUS to the window that had the focus,
// WM_SETFOCUS to the new one (wParam: the other window). Returns the previous
// focus of the thread, null when there was none.
HWND SetFocus(HWND hwnd);
HWND GetFocus();

}  // namespace os

namespace os::detail {
// Registers the control classes; "already exists" counts as done.
bool RegisterControlClasses();
}  // namespace os::detail

// ---- Simulator side: the hand on a control of the topmost open dialog.
namespace os::sim {

struct ControlView {
    std::vector<std::string> entries;  // a list's entries
    int selection = -1;                // a list's selection, -1 none
    bool checked = false;              // a check box
    bool enabled = true;
    bool visible = true;
    std::string text;
};
// False when the topmost open dialog has no control `id`.
bool ViewControl(UINT id, ControlView* out);

// Each is false (nothing done) when the topmost dialog has no such control of
// that kind, it is hidden or disabled, or the entry does not exist.
bool ChooseListEntry(UINT id, int index);
// Clicks the check box when its state is not `checked` already.
bool TickCheckBox(UINT id, bool checked);
// Gives the field the focus and types `text`, one WM_CHAR a character; a
// '\b' is a backspace. With `paste` the text is pasted at once instead.
bool TypeIntoField(UINT id, const std::string& text, bool paste);

}  // namespace os::sim

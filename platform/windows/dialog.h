// Modal dialogs built from the dialog templates of a resource library.
//
// DialogBoxParamW makes a hidden top-level window of class "Dialog", owned by
// `owner`, at the top left of the screen with the template's caption and
// size, and one child window per control: its id, text and rectangle (relative
// to the dialog, which is also the screen), of class "static" (labels and
// texts), "button" (buttons, check boxes) or "combobox". The procedure gets
// WM_INITDIALOG (wParam 0, lParam: param); unless it ended the dialog there, the dialog
// shows, takes the foreground and the calling thread pumps its queue in the
// platform's modal loop, so the thread's other windows keep their messages and
// timers. EndDialog ends the loop; the dialog is destroyed (the procedure gets
// WM_DESTROY), the foreground goes back to the window that had it, and
// EndDialog's value is returned.
//
// A procedure returns TRUE for a message it handled and FALSE for the default
// handling: WM_CLOSE becomes a posted WM_COMMAND IDCANCEL, as on the phone, so
// closing ends a dialog only when its procedure handles IDCANCEL; everything
// else goes to DefWindowProcW. A tap released on a button or check box posts
// WM_COMMAND with its id (lParam: its window) to the dialog.
//
// Every dialog is written to the platform log when it opens and when it ends.
#pragma once

#include <string>
#include <vector>

#include "platform/windows/message_box.h"  // IDOK, IDCANCEL
#include "platform/shell/resource.h"
#include "platform/base/types.h"
#include "platform/windows/window.h"

namespace os {

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr LONG ERROR_CONTROL_ID_NOT_FOUND = 1421;

// -1 with the last error set when the dialog cannot be made: the loader's
// error for an unknown library or template, ERROR_INVALID_PARAMETER without a
// procedure or off the platform's threads, ERROR_INVALID_WINDOW_HANDLE for a
// bad owner. A WM_QUIT arriving while the dialog is up ends it (the quit stays
// queued for the outer loop) with -1 unless EndDialog came first.
INT_PTR DialogBoxParamW(HINSTANCE library, UINT templateId, HWND owner, DLGPROC proc, LPARAM param);
// On the dialog's own thread only (ERROR_ACCESS_DENIED otherwise); the
// simulator reaches a dialog from outside with sim::DialogCommand.
BOOL EndDialog(HWND dialog, INT_PTR result);

// The control `id` of a dialog; null with ERROR_CONTROL_ID_NOT_FOUND.
HWND GetDlgItem(HWND dialog, int id);
// The id of a control window; 0 for a window that is not a control.
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemTextW(HWND dialog, int id, const char* text);
// Copies the control's text, cut to at most maxChars characters, into *out
// and returns its length in characters; 0 (and *out emptied) for an unknown
// control.
UINT GetDlgItemTextW(HWND dialog, int id, std::string* out, int maxChars);

}  // namespace os

// ---- Simulator side: the dialogs on the screen, and the user's hand on them.
namespace os::sim {

struct DialogControlState {
    UINT id = 0;
    ControlKind kind = ControlKind::Label;
    HWND hwnd = nullptr;
    std::string text;
};

struct DialogState {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    UINT templateId = 0;
    std::string caption;
    std::vector<DialogControlState> controls;  // in template order
};

// The open dialogs, the most recently opened (the topmost) first.
std::vector<DialogState> OpenDialogs();
// Posts WM_COMMAND `id` to the topmost open dialog, as pressing its control
// `id` would (lParam: that control's window, or null when it has none).
// False when no dialog is open.
bool DialogCommand(UINT id);

struct DialogRecord {
    DialogState dialog;  // as it was when it ended; its handles are gone
    INT_PTR result = 0;
};
std::vector<DialogRecord> DialogHistory();
void ClearDialogHistory();

}  // namespace os::sim

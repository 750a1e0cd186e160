// For the dialog module only: the table of open dialogs and their history.
// Guarded by a mutex of its own, never held while a window procedure runs.
#pragma once

#include <vector>

#include "platform/windows/dialog.h"

namespace os::detail {

// Fills a dialog's or a property sheet's client area with the page colour.
void PaintDialogBackground(HWND hwnd);
// Fills the client area of `hwnd`, painted through `dc`, with the page
// colour: the face of dialogs and of the controls on them.
void FillDialogFace(HWND hwnd, HDC dc);

struct DialogControlEntry {
    UINT id = 0;
    ControlKind kind = ControlKind::Label;
    HWND hwnd = nullptr;
};

struct OpenDialogEntry {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    UINT templateId = 0;
    DLGPROC proc = nullptr;
    std::vector<DialogControlEntry> controls;
    bool ended = false;
    INT_PTR result = 0;
};

void AddOpenDialog(OpenDialogEntry entry);
// Null for a window that is not an open dialog.
DLGPROC DialogProcOf(HWND dialog);
bool DialogEnded(HWND dialog);
// Makes an open dialog the topmost one (a sheet's page turned to).
void RaiseOpenDialog(HWND dialog);
// Records EndDialog's value; false with the last error set for a window that
// is not an open dialog or belongs to another thread.
bool MarkDialogEnded(HWND dialog, INT_PTR result);
// The dialog with its controls' texts as they are now.
sim::DialogState DialogStateOf(HWND dialog);
// Takes the dialog out of the table into the history, with `last` as its final
// state; returns EndDialog's value, or -1 when it was not ended.
INT_PTR CloseDialog(HWND dialog, const sim::DialogState& last);
// A dialog from a template, hidden, with its controls, entered in the table
// of open dialogs (and logged); null with the last error set on failure.
// The caller sends WM_INITDIALOG. Pages of a property sheet are made so too.
HWND CreateDialogWindows(HINSTANCE library, UINT templateId, HWND owner, DLGPROC proc);
// The control `id` of a dialog, or null; the last error is left alone.
HWND FindControl(HWND dialog, int id);

}  // namespace os::detail

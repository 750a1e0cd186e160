// The controls of a dialog: child windows of the dialog, found by their ids.
#include "platform/windows/internal/dialog_table.h"
#include "platform/files/internal/file_path.h"
#include "platform/windows/internal/window_manager.h"

namespace os {

HWND detail::FindControl(HWND dialog, int id)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    const std::uint32_t owner = WindowId(dialog);
    for (const auto& [handle, w] : WM().windows) {
        if (w->owner == owner && (w->style & WS_CHILD) && w->controlId == id) return WindowHandle(handle);
    }
    return nullptr;
}

HWND GetDlgItem(HWND dialog, int id)
{
    HWND control = detail::FindControl(dialog, id);
    if (control == nullptr) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return control;
}

int GetDlgCtrlID(HWND control)
{
    std::lock_guard<std::mutex> lk(detail::Sched().mu);
    const detail::WindowRec* w = detail::FindWindowRec(control);
    if (w == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w != nullptr && (w->style & WS_CHILD) ? w->controlId : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, const char* text)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, std::string* out, int maxChars)
{
    if (out == nullptr || maxChars <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    out->clear();
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return 0;
    *out = detail::fs::TruncateCodePoints(GetWindowText(control), static_cast<std::size_t>(maxChars));
    return static_cast<UINT>(detail::fs::CountCodePoints(*out));
}

}  // namespace os

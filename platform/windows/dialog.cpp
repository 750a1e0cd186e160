// Modal dialogs: making them from a template, their window procedure and the
// modal loop they run in.
#include "platform/windows/dialog.h"

#include "platform/windows/internal/dialog_table.h"
#include "platform/base/trace.h"

namespace os {
namespace {

constexpr char kDialogClass[] = "Dialog";
constexpr char kStaticClass[] = "static";
constexpr char kButtonClass[] = "button";
constexpr char kComboBoxClass[] = "combobox";

LRESULT DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DLGPROC proc = detail::DialogProcOf(hwnd);
    if (proc != nullptr) {
        const INT_PTR handled = proc(hwnd, msg, wParam, lParam);
        if (handled != FALSE) return handled;
    }
    if (msg == WM_CLOSE) {
        PostMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(IDCANCEL),
                     reinterpret_cast<LPARAM>(detail::FindControl(hwnd, IDCANCEL)));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_LBUTTONUP) return DefWindowProcW(hwnd, msg, wParam, lParam);
    PostMessageW(GetWindow(hwnd, GW_OWNER), WM_COMMAND, static_cast<WPARAM>(LOWORD(GetDlgCtrlID(hwnd))),
                 reinterpret_cast<LPARAM>(hwnd));
    return 0;
}

// Classes go with every platform restart, so each dialog makes sure of them.
bool RegisterDialogClasses()
{
    const std::pair<const char*, WNDPROC> classes[] = {
        {kDialogClass, DialogWindowProc}, {kStaticClass, nullptr}, {kButtonClass, ButtonProc}, {kComboBoxClass, nullptr}};
    for (const auto& [name, proc] : classes) {
        WNDCLASSW wc;
        wc.lpfnWndProc = proc;
        wc.lpszClassName = name;
        if (RegisterClassW(&wc) == 0 && GetLastError() != static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS)) return false;
    }
    return true;
}

const char* ClassOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox: return kButtonClass;
    case ControlKind::ComboBox: return kComboBoxClass;
    case ControlKind::Label:
    case ControlKind::Text: break;
    }
    return kStaticClass;
}

// The dialog and its controls, hidden; null (nothing left behind) on failure.
HWND CreateDialogWindows(HINSTANCE library, const DialogTemplateInfo& info, HWND owner, DLGPROC proc)
{
    HWND dialog = CreateWindowExW(0, kDialogClass, info.caption.c_str(), WS_POPUP | WS_CAPTION, 0, 0, info.width,
                                  info.height, owner, nullptr, library, nullptr);
    if (dialog == nullptr) return nullptr;
    detail::OpenDialogEntry entry{dialog, owner, info.id, proc, {}, false, 0};
    for (const DialogControlInfo& c : info.controls) {
        auto* id = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(c.id));
        HWND control = CreateWindowExW(0, ClassOf(c.kind), c.text.c_str(), WS_CHILD | WS_VISIBLE, c.rect.left,
                                       c.rect.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, dialog,
                                       id, library, nullptr);
        if (control == nullptr) {
            const DWORD error = GetLastError();
            DestroyWindow(dialog);
            SetLastError(error);
            return nullptr;
        }
        entry.controls.push_back({c.id, c.kind, control});
    }
    detail::AddOpenDialog(std::move(entry));
    return dialog;
}

// Shows the dialog and pumps messages until it ends; the window that had the
// foreground is returned.
HWND RunDialog(HWND dialog)
{
    HWND previous = GetForegroundWindow();
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    RunModalLoop(dialog);
    return previous;
}

}  // namespace

INT_PTR DialogBoxParamW(HINSTANCE library, UINT templateId, HWND owner, DLGPROC proc, LPARAM param)
{
    if (proc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DialogTemplateInfo info;
    if (!LoadDialogTemplate(library, templateId, &info) || !RegisterDialogClasses()) return -1;
    HWND dialog = CreateDialogWindows(library, info, owner, proc);
    if (dialog == nullptr) return -1;
    PlatformLog("dialog %u \"%s\" opened", templateId, info.caption.c_str());
    SendMessageW(dialog, WM_INITDIALOG, 0, param);
    HWND previous = detail::DialogEnded(dialog) ? nullptr : RunDialog(dialog);
    // Read before the windows go; a dialog that its procedure destroyed leaves no texts.
    const sim::DialogState last = detail::DialogStateOf(dialog);
    if (IsWindow(dialog)) DestroyWindow(dialog);
    const INT_PTR result = detail::CloseDialog(dialog, last);
    if (previous != nullptr && IsWindow(previous)) SetForegroundWindow(previous);
    PlatformLog("dialog %u ended with %ld", templateId, static_cast<long>(result));
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    if (!detail::MarkDialogEnded(dialog, result)) return FALSE;
    return EndModalLoop(dialog, result);
}

}  // namespace os

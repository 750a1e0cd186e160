// Modal dialogs: making them from a template, their window procedure and the
// modal loop they run in.
#include "platform/windows/dialog.h"

#include "platform/windows/internal/dialog_table.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/controls.h"
#include "platform/base/trace.h"

namespace os {
namespace {

constexpr char kDialogClass[] = "Dialog";
constexpr COLORREF kDialogColour = RGB(236, 236, 236);

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
    if (msg == WM_PAINT) {
        detail::PaintDialogBackground(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Classes go with every platform restart, so each dialog makes sure of them.
bool RegisterDialogClasses()
{
    WNDCLASSW wc;
    wc.lpfnWndProc = DialogWindowProc;
    wc.lpszClassName = kDialogClass;
    if (RegisterClassW(&wc) == 0 && GetLastError() != static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS)) return false;
    return detail::RegisterControlClasses();
}

const char* ClassOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox: return "button";
    case ControlKind::ComboBox: return "combobox";
    case ControlKind::Label:
    case ControlKind::Text: break;
    }
    return "static";
}

}  // namespace

HWND detail::CreateDialogWindows(HINSTANCE library, UINT templateId, HWND owner, DLGPROC proc)
{
    DialogTemplateInfo info;
    if (!LoadDialogTemplate(library, templateId, &info) || !RegisterDialogClasses()) return nullptr;
    HWND dialog = CreateWindowExW(0, kDialogClass, info.caption.c_str(), WS_POPUP | WS_CAPTION, 0, 0, info.width,
                                  info.height, owner, nullptr, library, nullptr);
    if (dialog == nullptr) return nullptr;
    detail::OpenDialogEntry entry{dialog, owner, info.id, proc, {}, false, 0};
    for (const DialogControlInfo& c : info.controls) {
        auto* id = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(c.id));
        const DWORD style = WS_CHILD | WS_VISIBLE | (c.kind == ControlKind::CheckBox ? BS_AUTOCHECKBOX : 0);
        HWND control = CreateWindowExW(0, ClassOf(c.kind), c.text.c_str(), style, c.rect.left, c.rect.top,
                                       c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, dialog, id, library,
                                       nullptr);
        if (control == nullptr) {
            const DWORD error = GetLastError();
            DestroyWindow(dialog);
            SetLastError(error);
            return nullptr;
        }
        entry.controls.push_back({c.id, c.kind, control});
    }
    detail::AddOpenDialog(std::move(entry));
    PlatformLog("dialog %u \"%s\" opened", templateId, info.caption.c_str());
    return dialog;
}

namespace {

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
    HWND dialog = detail::CreateDialogWindows(library, templateId, owner, proc);
    if (dialog == nullptr) return -1;
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

namespace detail {

void FillDialogFace(HWND hwnd, HDC dc)
{
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = CreateSolidBrush(kDialogColour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void PaintDialogBackground(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc == nullptr) return;
    FillDialogFace(hwnd, dc);
    EndPaint(hwnd, &ps);
}

}  // namespace detail

}  // namespace os

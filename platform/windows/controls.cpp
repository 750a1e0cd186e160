// The controls' window procedures, their state and the simulator's hand on
// them. A control's state lives in a table keyed by its window, dropped when
// the window goes.
#include "platform/windows/controls.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/files/internal/file_path.h"
#include "platform/graphics/graphics.h"
#include "platform/kernel/sync.h"
#include "platform/windows/internal/dialog_table.h"
#include "platform/windows/internal/window_manager.h"

namespace os {
namespace {

constexpr char kComboBoxClass[] = "combobox";
constexpr char kButtonClass[] = "button";
constexpr char kEditClass[] = "edit";
constexpr char kStaticClass[] = "static";

// Private to the platform: the simulator gives a control the focus through
// its own thread. Well above the program's WM_USER and WM_APP ranges.
constexpr UINT kTakeFocusMessage = 0xBF00;

struct ControlRec {
    std::vector<std::string> entries;
    int selection = -1;
    bool checked = false;
};

std::mutex g_controlMutex;
std::map<HWND, ControlRec> g_controls;
HWND g_controlFocus = nullptr;

template <typename F>
auto WithControlData(HWND hwnd, F f)
{
    std::lock_guard<std::mutex> lock(g_controlMutex);
    return f(g_controls[hwnd]);
}

void ForgetControl(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(g_controlMutex);
    g_controls.erase(hwnd);
    if (g_controlFocus == hwnd) g_controlFocus = nullptr;
}

DWORD ControlStyle(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

void NotifyControlOwner(HWND hwnd, WORD code)
{
    SendMessageW(GetWindow(hwnd, GW_OWNER), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), code),
                 reinterpret_cast<LPARAM>(hwnd));
}

// ---- Painting: plain shapes and one font, legible on a screenshot.

constexpr COLORREF kControlBoxColour = RGB(255, 255, 255);
constexpr COLORREF kControlInk = RGB(16, 16, 16);
constexpr COLORREF kControlGreyInk = RGB(150, 150, 150);
constexpr COLORREF kControlFrameColour = RGB(90, 90, 90);

enum class ControlLook { Label, Box, CheckBox, Button };
constexpr LONG kControlRowHeight = 44;

void PaintControlWindow(HWND hwnd, ControlLook look, const std::string& text, bool checked)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc == nullptr) return;
    detail::FillDialogFace(hwnd, dc);
    RECT r;
    GetClientRect(hwnd, &r);
    const bool enabled = IsWindowEnabled(hwnd) != FALSE;
    HPEN pen = CreatePen(PS_SOLID, 1, enabled ? kControlFrameColour : kControlGreyInk);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HBRUSH white = CreateSolidBrush(kControlBoxColour);
    HGDIOBJ oldBrush = SelectObject(dc, white);
    // A list's window reaches down over its drop-down; closed, it shows one row.
    if (look == ControlLook::Box) r.bottom = std::min<LONG>(r.bottom, r.top + kControlRowHeight);
    RECT textRect = r;
    textRect.left += 6;
    if (look == ControlLook::Box || look == ControlLook::Button) {
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        if (look == ControlLook::Box) {
            // The drop-down mark of a list: a small box at the right end.
            const LONG mark = r.bottom - r.top;
            Rectangle(dc, r.right - mark, r.top, r.right, r.bottom);
            const LONG cx = r.right - mark / 2;
            const LONG cy = (r.top + r.bottom) / 2;
            MoveToEx(dc, cx - mark / 5, cy - mark / 10, nullptr);
            LineTo(dc, cx, cy + mark / 10);
            LineTo(dc, cx + mark / 5 + 1, cy - mark / 10 - 1);
            textRect.right -= mark;
        }
    } else if (look == ControlLook::CheckBox) {
        const LONG side = std::min<LONG>(24, r.bottom - r.top);
        const LONG top = (r.top + r.bottom - side) / 2;
        Rectangle(dc, r.left + 2, top, r.left + 2 + side, top + side);
        if (checked) {
            MoveToEx(dc, r.left + 6, top + side / 2, nullptr);
            LineTo(dc, r.left + 2 + side / 2, top + side - 5);
            LineTo(dc, r.left + side - 2, top + 4);
        }
        textRect.left = r.left + side + 12;
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(white);
    DeleteObject(pen);
    LOGFONTW lf;
    lf.lfHeight = -20;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? kControlInk : kControlGreyInk);
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                        (look == ControlLook::Button ? DT_CENTER : DT_LEFT);
    DrawTextW(dc, text.c_str(), -1, &textRect, format);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
}

// ---- Window procedures.

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PAINT) {
        PaintControlWindow(hwnd, ControlLook::Label, GetWindowText(hwnd), false);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const bool checkBox = (ControlStyle(hwnd) & BS_AUTOCHECKBOX) == BS_AUTOCHECKBOX;
    switch (msg) {
    case WM_LBUTTONUP:
        if (!IsWindowEnabled(hwnd)) return 0;
        if (checkBox) {
            WithControlData(hwnd, [](ControlRec& d) { d.checked = !d.checked; });
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        PostMessageW(GetWindow(hwnd, GW_OWNER), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
        return 0;
    case BM_GETCHECK: return WithControlData(hwnd, [](ControlRec& d) { return d.checked ? BST_CHECKED : BST_UNCHECKED; });
    case BM_SETCHECK:
        WithControlData(hwnd, [wParam](ControlRec& d) { d.checked = wParam == BST_CHECKED; });
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        const bool checked = WithControlData(hwnd, [](ControlRec& d) { return d.checked; });
        PaintControlWindow(hwnd, checkBox ? ControlLook::CheckBox : ControlLook::Button, GetWindowText(hwnd), checked);
        return 0;
    }
    case WM_DESTROY: ForgetControl(hwnd); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT ComboBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const auto index = static_cast<long>(static_cast<INT_PTR>(wParam));
    LRESULT result = 0;
    switch (msg) {
    case CB_ADDSTRING:
        if (lParam == 0) return CB_ERR;
        result = WithControlData(hwnd, [lParam](ControlRec& d) {
            d.entries.emplace_back(reinterpret_cast<const char*>(lParam));
            return static_cast<LRESULT>(d.entries.size() - 1);
        });
        return result;
    case CB_RESETCONTENT:
        WithControlData(hwnd, [](ControlRec& d) { d = ControlRec{}; });
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case CB_GETCOUNT: return WithControlData(hwnd, [](ControlRec& d) { return static_cast<LRESULT>(d.entries.size()); });
    case CB_GETCURSEL: return WithControlData(hwnd, [](ControlRec& d) { return static_cast<LRESULT>(d.selection); });
    case CB_SETCURSEL:
        result = WithControlData(hwnd, [index](ControlRec& d) {
            if (index < 0 || index >= static_cast<long>(d.entries.size())) {
                d.selection = -1;
                return CB_ERR;
            }
            d.selection = static_cast<int>(index);
            return static_cast<LRESULT>(index);
        });
        InvalidateRect(hwnd, nullptr, FALSE);
        return result;
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN:
        return WithControlData(hwnd, [&](ControlRec& d) {
            if (index < 0 || index >= static_cast<long>(d.entries.size())) return CB_ERR;
            const std::string& entry = d.entries[static_cast<std::size_t>(index)];
            if (msg == CB_GETLBTEXT) {
                if (lParam == 0) return CB_ERR;
                *reinterpret_cast<std::string*>(lParam) = entry;
            }
            return static_cast<LRESULT>(detail::fs::CountCodePoints(entry));
        });
    case WM_PAINT: {
        const std::string shown = WithControlData(hwnd, [](ControlRec& d) {
            return d.selection >= 0 ? d.entries[static_cast<std::size_t>(d.selection)] : std::string();
        });
        PaintControlWindow(hwnd, ControlLook::Box, shown, false);
        return 0;
    }
    case WM_DESTROY: ForgetControl(hwnd); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// The UTF-8 form of one character.
std::string ControlCharUtf8(WPARAM codePoint)
{
    std::string out;
    const auto c = static_cast<std::uint32_t>(codePoint);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The text without its last character.
std::string DropLastChar(const std::string& text)
{
    std::size_t end = text.size();
    while (end > 0 && (static_cast<unsigned char>(text[end - 1]) & 0xC0) == 0x80) --end;
    return text.substr(0, end > 0 ? end - 1 : 0);
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CHAR: {
        const std::string text = GetWindowText(hwnd);
        SetWindowTextW(hwnd, (wParam == VK_BACK ? DropLastChar(text) : text + ControlCharUtf8(wParam)).c_str());
        return 0;
    }
    case WM_PASTE:
        if (lParam != 0) SetWindowTextW(hwnd, (GetWindowText(hwnd) + reinterpret_cast<const char*>(lParam)).c_str());
        return 0;
    case WM_SETTEXT:
        SetWindowTextW(hwnd, lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
        return TRUE;
    case WM_GETTEXT: {
        if (lParam == 0) return 0;
        auto* out = reinterpret_cast<std::string*>(lParam);
        *out = detail::fs::TruncateCodePoints(GetWindowText(hwnd), static_cast<std::size_t>(wParam));
        return static_cast<LRESULT>(detail::fs::CountCodePoints(*out));
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(detail::fs::CountCodePoints(GetWindowText(hwnd)));
    // The caret always stands at the end of the text: a selection is accepted and has no effect.
    case EM_SETSEL: return 0;
    case EM_GETSEL: {
        const auto end = static_cast<LRESULT>(detail::fs::CountCodePoints(GetWindowText(hwnd)));
        return end | end << 16;
    }
    case WM_SETFOCUS: NotifyControlOwner(hwnd, EN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyControlOwner(hwnd, EN_KILLFOCUS); return 0;
    case kTakeFocusMessage: SetFocus(hwnd); return 0;
    case WM_PAINT: PaintControlWindow(hwnd, ControlLook::Box, GetWindowText(hwnd), false); return 0;
    case WM_DESTROY: ForgetControl(hwnd); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// The control `id` of the topmost open dialog, visible and enabled, of the
// window class `className`; null otherwise.
HWND HandControl(UINT id, const char* className)
{
    const std::vector<sim::DialogState> open = sim::OpenDialogs();
    if (open.empty()) return nullptr;
    HWND control = detail::FindControl(open.front().hwnd, static_cast<int>(id));
    if (control == nullptr || !IsWindowVisible(control) || !IsWindowEnabled(control)) return nullptr;
    std::lock_guard<std::mutex> lk(detail::Sched().mu);
    const detail::WindowRec* w = detail::FindWindowRec(control);
    return w != nullptr && w->className == className ? control : nullptr;
}

}  // namespace

bool detail::RegisterControlClasses()
{
    const std::pair<const char*, WNDPROC> classes[] = {
        {kStaticClass, StaticProc}, {kButtonClass, ButtonProc}, {kComboBoxClass, ComboBoxProc}, {kEditClass, EditProc}};
    for (const auto& [name, proc] : classes) {
        WNDCLASSW wc;
        wc.lpfnWndProc = proc;
        wc.lpszClassName = name;
        if (RegisterClassW(&wc) == 0 && GetLastError() != static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS)) return false;
    }
    return true;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    std::lock_guard<std::mutex> lk(detail::Sched().mu);
    detail::WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const BOOL wasDisabled = (w->style & WS_DISABLED) != 0 ? TRUE : FALSE;
    w->style = enable ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
    if (w->visible && (wasDisabled != FALSE) != (enable == FALSE)) {
        w->needsPaint = true;
        w->invalid = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        detail::Sched().Wake(w->thread);
    }
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    std::lock_guard<std::mutex> lk(detail::Sched().mu);
    const detail::WindowRec* w = detail::FindWindowRec(hwnd);
    return w != nullptr && (w->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

HWND SetFocus(HWND hwnd)
{
    if (hwnd != nullptr && GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HWND previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_controlMutex);
        previous = g_controlFocus;
        g_controlFocus = hwnd;
    }
    if (previous == hwnd) return previous;
    if (previous != nullptr && IsWindow(previous)) {
        SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    }
    if (hwnd != nullptr) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND GetFocus()
{
    std::lock_guard<std::mutex> lock(g_controlMutex);
    return g_controlFocus;
}

bool sim::ViewControl(UINT id, ControlView* out)
{
    const std::vector<DialogState> open = OpenDialogs();
    if (open.empty() || out == nullptr) return false;
    HWND control = detail::FindControl(open.front().hwnd, static_cast<int>(id));
    if (control == nullptr) return false;
    ControlView view;
    {
        std::lock_guard<std::mutex> lock(g_controlMutex);
        if (auto it = g_controls.find(control); it != g_controls.end()) {
            view.entries = it->second.entries;
            view.selection = it->second.selection;
            view.checked = it->second.checked;
        }
    }
    view.enabled = IsWindowEnabled(control) != FALSE;
    view.visible = IsWindowVisible(control) != FALSE;
    view.text = GetWindowText(control);
    *out = std::move(view);
    return true;
}

bool sim::ChooseListEntry(UINT id, int index)
{
    HWND control = HandControl(id, kComboBoxClass);
    if (control == nullptr) return false;
    const bool chosen = WithControlData(control, [index](ControlRec& d) {
        if (index < 0 || index >= static_cast<int>(d.entries.size())) return false;
        d.selection = index;
        return true;
    });
    if (!chosen) return false;
    InvalidateRect(control, nullptr, FALSE);
    return PostMessageW(GetWindow(control, GW_OWNER), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(control)) != FALSE;
}

bool sim::TickCheckBox(UINT id, bool checked)
{
    HWND control = HandControl(id, kButtonClass);
    if (control == nullptr || (ControlStyle(control) & BS_AUTOCHECKBOX) != BS_AUTOCHECKBOX) return false;
    const bool now = WithControlData(control, [](ControlRec& d) { return d.checked; });
    if (now == checked) return true;
    return PostMessageW(control, WM_LBUTTONUP, 0, 0) != FALSE;
}

bool sim::TypeIntoField(UINT id, const std::string& text, bool paste)
{
    HWND control = HandControl(id, kEditClass);
    if (control == nullptr) return false;
    // The focus and a paste reach the field before this returns, so the keys posted after follow them.
    SendMessageW(control, kTakeFocusMessage, 0, 0);
    if (paste) {
        SendMessageW(control, WM_PASTE, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return true;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 1;
        while (at + length < text.size() && (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) ++length;
        const std::string one = text.substr(at, length);
        char32_t c = 0;
        const auto lead = static_cast<unsigned char>(one[0]);
        if (length == 1) {
            c = one[0] == '\b' ? VK_BACK : lead;
        } else {
            c = lead & (0xFF >> (length + 1));
            for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(one[k]) & 0x3F);
        }
        if (!PostMessageW(control, WM_CHAR, static_cast<WPARAM>(c), 0)) return false;
        at += length;
    }
    return true;
}

}  // namespace os

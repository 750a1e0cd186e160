// Window classes, windows, z-order, foreground and painting state.
#include <algorithm>
#include <cstring>
#include <strings.h>
#include <unistd.h>

#include "platform/devices/display.h"
#include "platform/graphics/internal/gdi_state.h"
#include "platform/windows/internal/window_manager.h"

namespace os {

using detail::Sched;
using detail::WindowRec;
using detail::WM;

namespace detail {

WindowManager& WM()
{
    static WindowManager manager;
    return manager;
}

std::uint32_t WindowId(HWND hwnd) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hwnd)); }

HWND WindowHandle(std::uint32_t id) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id)); }

WindowRec* FindWindowRec(HWND hwnd)
{
    auto it = WM().windows.find(WindowId(hwnd));
    return it == WM().windows.end() ? nullptr : it->second.get();
}

HWND FindLocalWindow(const char* className, const char* title)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    for (const auto& [id, w] : WM().windows) {
        if (w->style & WS_CHILD) continue;
        if (className && strcasecmp(className, w->className.c_str()) != 0) continue;
        if (title && w->title != title) continue;
        return WindowHandle(id);
    }
    return nullptr;
}

bool IsLocalTopLevelWindow(HWND hwnd)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    const WindowRec* w = FindWindowRec(hwnd);
    return w != nullptr && (w->style & WS_CHILD) == 0;
}

}  // namespace detail

namespace {

const WNDCLASSW* FindClass(const char* name)
{
    auto& wm = WM();
    for (std::size_t i = 0; i < wm.classNames.size(); ++i) {
        if (strcasecmp(wm.classNames[i].c_str(), name) == 0) return &wm.classes[i];
    }
    return nullptr;
}

void RaiseInZOrder(std::uint32_t id)
{
    auto& z = WM().zorder;
    z.erase(std::remove(z.begin(), z.end(), id), z.end());
    z.insert(z.begin(), id);
    // Owned pop-ups stay above their owner.
    std::vector<std::uint32_t> owned;
    for (std::uint32_t other : z) {
        auto it = WM().windows.find(other);
        if (it != WM().windows.end() && it->second->owner == id) owned.push_back(other);
    }
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        z.erase(std::remove(z.begin(), z.end(), *it), z.end());
        z.insert(z.begin(), *it);
    }
}

RECT ClientOf(const WindowRec* w) { return RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top}; }

// Adds `rect` (null: the whole client area) to the window's invalid
// rectangle: the smallest rectangle holding both.
void MarkForPaint(WindowRec* w, const RECT* rect = nullptr)
{
    const RECT client = ClientOf(w);
    const RECT add = rect ? detail::Intersect(*rect, client) : client;
    if (rect != nullptr && detail::IsEmpty(add)) return;
    if (!w->needsPaint || detail::IsEmpty(w->invalid)) {
        w->invalid = add;
    } else {
        w->invalid = RECT{std::min(w->invalid.left, add.left), std::min(w->invalid.top, add.top),
                          std::max(w->invalid.right, add.right), std::max(w->invalid.bottom, add.bottom)};
    }
    w->needsPaint = true;
    Sched().Wake(w->thread);
}

// A window of default size covers the screen as the display reports it now.
RECT DefaultRect()
{
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace

ATOM RegisterClassW(const WNDCLASSW* wc)
{
    if (wc == nullptr || wc->lpszClassName == nullptr || *wc->lpszClassName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> lk(Sched().mu);
    if (FindClass(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto& wm = WM();
    wm.classNames.emplace_back(wc->lpszClassName);
    wm.classes.push_back(*wc);
    wm.classes.back().lpszClassName = nullptr;  // the name lives in classNames
    return static_cast<ATOM>(0xC000 + wm.classes.size());
}

BOOL UnregisterClassW(const char* className, HINSTANCE)
{
    if (className == nullptr) return FALSE;
    std::lock_guard<std::mutex> lk(Sched().mu);
    auto& wm = WM();
    for (std::size_t i = 0; i < wm.classNames.size(); ++i) {
        if (strcasecmp(wm.classNames[i].c_str(), className) != 0) continue;
        for (const auto& [id, w] : wm.windows) {
            if (strcasecmp(w->className.c_str(), className) == 0) return FALSE;  // still in use
        }
        wm.classNames.erase(wm.classNames.begin() + static_cast<long>(i));
        wm.classes.erase(wm.classes.begin() + static_cast<long>(i));
        return TRUE;
    }
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
}

HWND CreateWindowExW(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                     int height, HWND owner, HMENU menu, HINSTANCE instance, void* param)
{
    detail::ThreadRec* self = detail::Self();
    if (self == nullptr || className == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND hwnd = nullptr;
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        const WNDCLASSW* wc = FindClass(className);
        if (wc == nullptr) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (owner != nullptr && detail::FindWindowRec(owner) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        auto w = std::make_unique<WindowRec>();
        w->id = WM().nextId++;
        w->className = className;
        w->title = title ? title : "";
        w->proc = proc = wc->lpfnWndProc;
        w->thread = self;
        w->owner = detail::WindowId(owner);
        if (style & WS_CHILD) w->controlId = static_cast<int>(reinterpret_cast<std::intptr_t>(menu));
        w->style = style;
        w->exStyle = exStyle;
        w->instance = instance;
        RECT r = DefaultRect();
        if (x != CW_USEDEFAULT) {
            r.left = x;
            r.top = y;
        }
        if (width != CW_USEDEFAULT) {
            r.right = r.left + width;
            r.bottom = r.top + height;
        }
        w->rect = r;
        w->visible = (style & WS_VISIBLE) != 0;
        if (w->visible) {
            w->needsPaint = true;
            w->invalid = ClientOf(w.get());
        }
        hwnd = detail::WindowHandle(w->id);
        WM().zorder.push_back(w->id);
        if (w->visible) RaiseInZOrder(w->id);
        WM().windows[w->id] = std::move(w);
    }
    CREATESTRUCTW cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = owner;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (CallWindowProcW(proc, hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    bool activate = false;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(hwnd);
        if (w == nullptr) return nullptr;  // destroyed during WM_CREATE
        activate = w->visible && !(w->style & WS_CHILD) && WM().foreground == 0;
    }
    if (activate) SetForegroundWindow(hwnd);
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd)
{
    std::vector<HWND> owned;
    std::vector<HWND> children;
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(hwnd);
        if (w == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->thread != detail::Self()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        for (const auto& [id, other] : WM().windows) {
            if (other->owner != w->id) continue;
            ((other->style & WS_CHILD) ? children : owned).push_back(detail::WindowHandle(id));
        }
        proc = w->proc;
    }
    // Owned pop-ups go first; child windows after the window's own WM_DESTROY,
    // so that a dialog still reads its controls there.
    for (HWND popup : owned) DestroyWindow(popup);
    CallWindowProcW(proc, hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children) {
        if (IsWindow(child)) DestroyWindow(child);
    }
    const std::uint32_t id = detail::WindowId(hwnd);
    detail::DropWindowSurface(id);
    std::lock_guard<std::mutex> lk(Sched().mu);
    auto& wm = WM();
    auto it = wm.windows.find(id);
    if (it == wm.windows.end()) return TRUE;
    for (auto t = wm.timers.begin(); t != wm.timers.end();) {
        t = t->first.first == id ? wm.timers.erase(t) : std::next(t);
    }
    auto& posted = it->second->thread->queue->posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), [hwnd](const MSG& m) { return m.hwnd == hwnd; }),
                 posted.end());
    wm.zorder.erase(std::remove(wm.zorder.begin(), wm.zorder.end(), id), wm.zorder.end());
    if (wm.foreground == id) wm.foreground = 0;
    wm.windows.erase(it);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    if (detail::IsRemoteWindow(hwnd)) return TRUE;
    std::lock_guard<std::mutex> lk(Sched().mu);
    return detail::FindWindowRec(hwnd) != nullptr;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
        ValidateRect(hwnd, nullptr);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

BOOL ShowWindow(HWND hwnd, int cmd)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return FALSE;
    const BOOL wasVisible = w->visible ? TRUE : FALSE;
    auto& wm = WM();
    if (cmd == SW_HIDE) {
        w->visible = false;
        if (wm.foreground == w->id) {
            wm.foreground = 0;
            for (std::uint32_t id : wm.zorder) {
                auto it = wm.windows.find(id);
                if (it != wm.windows.end() && it->second->visible && !(it->second->style & WS_CHILD)) {
                    wm.foreground = id;
                    break;
                }
            }
        }
    } else {
        w->visible = true;
        RaiseInZOrder(w->id);
        MarkForPaint(w);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    return w != nullptr && w->visible;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return FALSE;
    w->rect = RECT{x, y, x + width, y + height};
    if (repaint && w->visible) MarkForPaint(w);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr || rect == nullptr) return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr || rect == nullptr) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

LONG_PTR GetWindowLongW(HWND hwnd, int index)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return 0;
    switch (index) {
    case GWL_USERDATA: return w->userData;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    default: return 0;
    }
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWL_USERDATA:
        previous = w->userData;
        w->userData = value;
        break;
    case GWL_STYLE:
        previous = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(value);
        break;
    case GWL_EXSTYLE:
        previous = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        break;
    case GWL_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        break;
    }
    return previous;
}

HWND GetWindow(HWND hwnd, UINT relation)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr || relation != GW_OWNER) return nullptr;
    return detail::WindowHandle(w->owner);
}

BOOL SetWindowTextW(HWND hwnd, const char* text)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return FALSE;
    w->title = text ? text : "";
    // A control shows its text: it is drawn again. A top-level window's title is not drawn.
    if ((w->style & WS_CHILD) && w->visible) MarkForPaint(w);
    return TRUE;
}

std::string GetWindowText(HWND hwnd)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    return w ? w->title : std::string();
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return 0;
    if (processId) *processId = static_cast<DWORD>(getpid());
    return w->thread->id;
}

HWND FindWindowW(const char* className, const char* title)
{
    if (HWND local = detail::FindLocalWindow(className, title)) return local;
    return detail::RemoteFindWindow(className, title);
}

BOOL SetForegroundWindow(HWND hwnd)
{
    HWND previous = nullptr;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(hwnd);
        if (w == nullptr) return FALSE;
        auto& wm = WM();
        RaiseInZOrder(w->id);
        if (wm.foreground == w->id) return TRUE;
        previous = wm.foreground ? detail::WindowHandle(wm.foreground) : nullptr;
        wm.foreground = w->id;
    }
    if (previous) PostMessageW(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    PostMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    return TRUE;
}

HWND GetForegroundWindow()
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    return WM().foreground ? detail::WindowHandle(WM().foreground) : nullptr;
}

HWND WindowFromPoint(POINT pt)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    for (std::uint32_t id : WM().zorder) {
        const WindowRec& w = *WM().windows.at(id);
        if (w.visible && pt.x >= w.rect.left && pt.x < w.rect.right && pt.y >= w.rect.top && pt.y < w.rect.bottom) {
            return detail::WindowHandle(id);
        }
    }
    return nullptr;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    if (hwnd == nullptr) {
        for (auto& [id, w] : WM().windows) MarkForPaint(w.get());
        return TRUE;
    }
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return FALSE;
    MarkForPaint(w, rect);
    return TRUE;
}

// The invalid area is one rectangle: a rectangle that covers it validates
// the window, one that covers only part of it leaves it as it was.
BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    std::lock_guard<std::mutex> lk(Sched().mu);
    WindowRec* w = detail::FindWindowRec(hwnd);
    if (w == nullptr) return FALSE;
    const RECT& inv = w->invalid;
    if (rect == nullptr || (rect->left <= inv.left && rect->top <= inv.top && rect->right >= inv.right &&
                            rect->bottom >= inv.bottom)) {
        w->needsPaint = false;
        w->invalid = RECT{};
    }
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd)
{
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(hwnd);
        if (w == nullptr) return FALSE;
        if (!w->needsPaint || !w->visible) return TRUE;
    }
    SendMessageW(hwnd, WM_PAINT, 0, 0);
    ValidateRect(hwnd, nullptr);
    return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps)
{
    if (ps == nullptr) return nullptr;
    RECT paint;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        WindowRec* w = detail::FindWindowRec(hwnd);
        if (w == nullptr) return nullptr;
        paint = w->needsPaint ? w->invalid : RECT{};
        w->needsPaint = false;
        w->invalid = RECT{};
    }
    ps->hdc = detail::OpenPaintDc(hwnd, paint);
    ps->fErase = FALSE;
    ps->rcPaint = paint;
    return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps)
{
    if (ps != nullptr) detail::ClosePaintDc(ps->hdc);
    return IsWindow(hwnd);
}

void BroadcastMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::vector<HWND> targets;
    {
        std::lock_guard<std::mutex> lk(Sched().mu);
        for (const auto& [id, w] : WM().windows) {
            if (!(w->style & WS_CHILD)) targets.push_back(detail::WindowHandle(id));
        }
    }
    for (HWND hwnd : targets) PostMessageW(hwnd, msg, wParam, lParam);
}

}  // namespace os

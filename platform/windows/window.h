// Windows, message queues, timers and painting, as the phone OS offers them.
//
// Every window belongs to the thread that created it; that thread's queue
// receives its posted messages, WM_TIMER when one of its timers is due (by
// the platform clock) and WM_PAINT when it was invalidated. SendMessageW to a
// window of another thread blocks until that thread handles it; while it
// waits, the sender keeps handling messages sent to it, so two threads
// sending to each other do not deadlock. Windows of another kestrava process
// on the same device root are found with FindWindowW and reached with
// PostMessageW and SendMessageW (see ipc.h).
#pragma once

#include <string>

#include "platform/base/types.h"

namespace os {

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using HICON = void*;
using HCURSOR = void*;
using HBRUSH = void*;
using HMENU = void*;

// Messages of the phone OS used by the program.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_HELP = 0x0053;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_HOTKEY = 0x0312;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// The handset's camera key: the first of the application keys (0xC1 to
// 0xC6) the phone OS gives its hardware buttons.
constexpr UINT VK_CAMERA = 0xC1;

// WM_DEVICECHANGE wParam values broadcast when a volume comes or goes.
constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;

constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_SIZEBOX = 0x00040000;
constexpr DWORD WS_THICKFRAME = WS_SIZEBOX;
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWNA = 8;

// GetWindowLongW / SetWindowLongW indexes.
constexpr int GWL_WNDPROC = -4;
constexpr int GWL_STYLE = -16;
constexpr int GWL_USERDATA = -21;
constexpr int GWL_EXSTYLE = -20;

constexpr UINT GW_OWNER = 4;

// PeekMessageW options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

struct WNDCLASSW {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
};

struct CREATESTRUCTW {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    LONG style = 0;
    const char* lpszName = nullptr;
    const char* lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint;
};

ATOM RegisterClassW(const WNDCLASSW* wc);
BOOL UnregisterClassW(const char* className, HINSTANCE instance);
// Sends WM_CREATE (lParam: CREATESTRUCTW*) before it returns; a window whose
// WM_CREATE returns -1 is destroyed and 0 is returned. A child window
// (WS_CHILD) takes `menu` as its control id within its owner.
HWND CreateWindowExW(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND owner, HMENU menu, HINSTANCE instance, void* param);
// Sends WM_DESTROY, then the handle is invalid. Owned pop-ups go first, child
// windows (controls) right after the window's WM_DESTROY.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
LONG_PTR GetWindowLongW(HWND hwnd, int index);
LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value);
HWND GetWindow(HWND hwnd, UINT relation);
BOOL SetWindowTextW(HWND hwnd, const char* text);
std::string GetWindowText(HWND hwnd);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);
// Top-level window by class and title (either may be null to match any),
// first in this process, then in other kestrava processes on the device root.
HWND FindWindowW(const char* className, const char* title);
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// The topmost visible window of this process under a screen point.
HWND WindowFromPoint(POINT pt);

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Returns 0 on WM_QUIT, -1 on error, otherwise nonzero.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
// Blocks until the calling thread's queue has input or the time-out passes.
BOOL WaitMessage();

// Periodic timer of a window: WM_TIMER with wParam = id is delivered through
// the owner thread's queue each period, by the platform clock. A timer that
// falls behind is not queued twice. Setting an existing id restarts it.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT periodMs, void* timerProc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL UpdateWindow(HWND hwnd);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

// Modal loop: pumps the calling thread's messages until EndModalLoop is
// called for the window; returns the value given there. Dialogs and the
// settings sheet run on it.
LONG_PTR RunModalLoop(HWND hwnd);
BOOL EndModalLoop(HWND hwnd, LONG_PTR result);

// Posts a message to every visible or hidden top-level window of the process.
void BroadcastMessage(UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace os

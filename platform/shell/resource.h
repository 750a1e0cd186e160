// Resource libraries: the per-language shared objects of res/ (format in
// res/resource_table.h), loaded by device path and read by resource id.
//
// A library is referenced by an HINSTANCE until FreeLibrary drops its last
// reference. Every accessor copies what it returns, so nothing handed out
// points into a library that may be freed later. Texts are UTF-8; limits
// given in characters count code points, not bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/windows/window.h"
#include "res/resource_table.h"

namespace os {

constexpr LONG ERROR_MOD_NOT_FOUND = 126;
constexpr LONG ERROR_BAD_EXE_FORMAT = 193;
constexpr LONG ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// Loads the library at a device path in the program's folder; a library
// already loaded gains a reference and keeps its handle. Null with the last
// error set on failure: ERROR_ACCESS_DENIED for a path outside the program's
// folder or through a symbolic link, ERROR_MOD_NOT_FOUND when there is no
// such file, ERROR_BAD_EXE_FORMAT when the file is not a resource library of
// this format version.
HINSTANCE LoadLibraryW(const char* devicePath);
BOOL FreeLibrary(HINSTANCE library);

// Copies string `id`, cut to at most maxChars characters, into *out and
// returns its length in characters; 0 (and *out emptied) when the library or
// the id is unknown.
int LoadStringW(HINSTANCE library, UINT id, std::string* out, int maxChars);

using ControlKind = kestrava::res::ControlKind;

struct DialogControlInfo {
    UINT id = 0;
    ControlKind kind = ControlKind::Label;
    std::string text;
    RECT rect;
};

struct DialogTemplateInfo {
    UINT id = 0;
    std::string caption;
    int width = 0;
    int height = 0;
    std::vector<DialogControlInfo> controls;
};

// A dialog template with its texts resolved in the library's language.
BOOL LoadDialogTemplate(HINSTANCE library, UINT id, DialogTemplateInfo* out);

struct MenuItemInfo {
    UINT commandId = 0;  // 0 for a pop-up
    std::string text;
    std::vector<MenuItemInfo> popup;
};

struct MenuInfo {
    UINT id = 0;
    std::vector<MenuItemInfo> items;
};

BOOL LoadMenuResource(HINSTANCE library, UINT id, MenuInfo* out);

// Accelerator tables.
struct HACCEL__;
using HACCEL = HACCEL__*;

constexpr BYTE FVIRTKEY = kestrava::res::kAccelVirtKey;
constexpr BYTE FSHIFT = kestrava::res::kAccelShift;
constexpr BYTE FCONTROL = kestrava::res::kAccelControl;
constexpr BYTE FALT = kestrava::res::kAccelAlt;

struct ACCEL {
    BYTE fVirt = 0;
    WORD key = 0;
    WORD cmd = 0;
};

HACCEL LoadAcceleratorsW(HINSTANCE library, UINT id);
BOOL DestroyAcceleratorTable(HACCEL table);
// The entries of a loaded table; false for an unknown handle.
bool GetAcceleratorEntries(HACCEL table, std::vector<ACCEL>* out);
// When `msg` is a key press that the table maps to a command, sends
// WM_COMMAND (low word: the command, high word: 1) to hwnd and returns 1.
// The handset has no Shift, Control or Alt key: entries that need one never
// match. Virtual-key entries match WM_KEYDOWN, the others WM_CHAR.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg);

// Icons. The image stays valid until DestroyIcon, also after FreeLibrary.
struct IconImage {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows top-down
};

HICON LoadIconW(HINSTANCE library, UINT id);
BOOL GetIconImage(HICON icon, IconImage* out);
BOOL DestroyIcon(HICON icon);

}  // namespace os

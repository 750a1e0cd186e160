// The screen: its size as the system reports it, and the display rotation.
// Turning the display by 90 or 270 degrees swaps the reported width and
// height. The simulator turns the handset through os::sim::RotateDisplay;
// the program reads and sets the rotation with ChangeDisplaySettingsEx.
#pragma once

#include "platform/base/types.h"

namespace os {

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CYMENU = 15;
// Unknown indexes give 0, as on the phone.
int GetSystemMetrics(int index);

// Display orientations.
constexpr DWORD DMDO_0 = 0;
constexpr DWORD DMDO_90 = 1;
constexpr DWORD DMDO_180 = 2;
constexpr DWORD DMDO_270 = 4;

constexpr DWORD DM_DISPLAYORIENTATION = 0x00800000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;

// Flags: CDS_TEST only reads the fields asked for.
constexpr DWORD CDS_TEST = 0x00000002;
constexpr DWORD CDS_RESET = 0x40000000;

constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr LONG DISP_CHANGE_BADFLAGS = -4;
constexpr LONG DISP_CHANGE_BADPARAM = -5;

// The part of the display mode record the program uses.
struct DEVMODEW {
    WORD dmSize = sizeof(DEVMODEW);
    DWORD dmFields = 0;
    DWORD dmPelsWidth = 0;
    DWORD dmPelsHeight = 0;
    DWORD dmDisplayOrientation = 0;
};

// With CDS_TEST: fills the fields named in dmFields (orientation, width,
// height) from the current mode. Without it: applies dmDisplayOrientation
// when DM_DISPLAYORIENTATION is named; other fields cannot be changed. The
// device name and the last two arguments are not used (null). A change, like
// a turn of the handset, is kept in degrees as the DWORD "Rotation" of
// HKEY_CURRENT_USER "\Software\SAMSUNG\MotionSettings" (0, 90, 180, 270).
LONG ChangeDisplaySettingsEx(const char* deviceName, DEVMODEW* mode, HWND hwnd, DWORD flags, void* param);

}  // namespace os

// ---- Simulator side.
namespace os::sim {

// Screen size in the natural orientation, and the current orientation. False,
// nothing changed, for a size below 1 or an unknown orientation.
bool ConfigureDisplay(int naturalWidth, int naturalHeight, DWORD orientation);
// The user turns the handset (auto-orientation follows it): false for a value
// that is not one of the DMDO_ orientations.
bool RotateDisplay(DWORD orientation);
DWORD CurrentOrientation();
// How many times the program changed the orientation.
int OrientationChangeCount();

}  // namespace os::sim

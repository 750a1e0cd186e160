// The display orientation, the system's auto-orientation setting and the
// phone's call state, as start-up, the main window and shutdown use them.
#pragma once

#include "platform/base/types.h"

int GetDisplayRotation(os::DWORD* rotation);
int SetDisplayRotation(os::DWORD rotation);
// Writes "AutoOrientation" as 0 when `disable`, else 1; with `saved`, first
// stores 1 there if it was 0, else 0, so that passing it back restores it.
int SetAutoOrientation(os::DWORD disable, os::DWORD* saved);
// On a screen higher than wide: turn to 270 degrees and switch
// auto-orientation off; the first time, save the rotation and the
// auto-orientation state, which the destroy sequence restores.
void ApplyLandscapeRule();
bool ScreenIsPortrait();
// 1 while the phone reports a call start time; its file time into `startTime`.
int IsOnCall(os::HWND hwnd, os::FILETIME* startTime);

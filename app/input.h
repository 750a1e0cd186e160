// Touches and keys on the main window. Touches are ignored until the first
// paint has laid out the screen; buttons act on release, only when the finger
// went down and came up on the same enabled button. A touch in the picture's
// emergency area asks for a manual event, unless it closes the information
// panel lying there; a touch on the speed box opens or closes the panel.
// The camera key takes a photo (photo_key.h).
#pragma once

#include "platform/base/types.h"

void OnButtonDown(os::HWND hwnd, int x, int y);
void OnButtonUp(os::HWND hwnd, int x, int y);
void OnKeyDown(os::HWND hwnd, os::UINT vk);
void OnKeyUp(os::HWND hwnd, os::UINT vk, os::LPARAM keyData);

// Whether the point lies in the emergency area of the given screen mode.
bool InEmergencyArea(int mode, int x, int y);

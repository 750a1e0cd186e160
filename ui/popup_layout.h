// Where the on-screen message box and its buttons sit in the client area:
// a box centred in the client area, and for the kinds with buttons (1: OK and
// Cancel, 4: two buttons) two buttons side by side at its foot.
#pragma once

#include "platform/base/types.h"

os::RECT PopupBox(const os::RECT& client);
// Button 0 (OK, or the first) or 1 (Cancel, or the second) of a message of `kind`.
os::RECT PopupButton(const os::RECT& client, int button);
bool PopupHasButtons(int kind);
// The index of the message button under the point, or -1.
int PopupButtonAt(const os::RECT& client, int kind, int x, int y);

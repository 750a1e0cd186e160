// The accident-SMS cancel pop-up's face: the envelope box of the skin
// stretched over the pop-up, the title, the number the message goes to, the
// seconds left in large figures and the cancel button where the pop-up
// takes its touch (kSmsCancelButton). Painted on the main window's thread
// when the pop-up is shown and at each second of the countdown; every
// drawing object it makes is gone when it returns.
#pragma once

#include "platform/base/types.h"

void PaintSmsCancelPopup(os::HWND popup);

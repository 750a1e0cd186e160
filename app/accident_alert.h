// The accident alert: what the main window does when a tagged event asks for
// the accident SMS. The message never goes out without a chance to cancel:
// the cancel pop-up shows with a countdown of kAccidentSmsCountdownSec; its
// cancel button (or Escape) ends the alert, and at zero the message is sent
// exactly once to EvtTagSMSRecvNum with EvtTagSMSMsgText. An alert that
// comes while one is pending joins it; a recipient that is not a phone
// number (digits only) raises none. The destroy sequence ends a pending
// alert first, so nothing is sent after shutdown began.
//
// Everything runs on the main window's thread.
#pragma once

#include "platform/base/types.h"

constexpr int kAccidentSmsCountdownSec = 10;
// The cancel button in the pop-up's client area (the pop-up is 628 x 318).
constexpr os::RECT kSmsCancelButton{214, 222, 414, 292};

struct AccidentAlert {
    int pending = 0;
    int secondsLeft = 0;
    int sent = 0;  // messages the network took in the run
};

// WM_RECORDER_ACCIDENT_ALERT.
void OnAccidentAlert(os::HWND hwnd);
// One second of the countdown (timer kAccidentSmsTimer).
void OnAccidentSmsTick(os::HWND hwnd);
// The pop-up's cancel; 1 when a pending alert ended.
int CancelAccidentAlert(os::HWND hwnd);
// The destroy sequence's end of a pending alert, without sending.
void EndAccidentAlert(os::HWND hwnd);

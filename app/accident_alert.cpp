#include "app/accident_alert.h"

#include "app/app_state.h"
#include "app/popups.h"
#include "app/timers.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "sensing/accident_sms.h"

namespace {

constexpr os::UINT kCountdownStepMs = 1000;
// The network reports whether the message reached the recipient.
constexpr int kAskStatusReport = 1;

void CloseAlert(os::HWND hwnd, AccidentAlert* alert)
{
    os::KillTimer(hwnd, kAccidentSmsTimer);
    alert->pending = 0;
    alert->secondsLeft = 0;
    OnSmsPopup(0);
}

void SendAccidentSms(const RecorderSettings& settings, AccidentAlert* alert)
{
    if (SmsSendAccident(settings.EvtTagSMSRecvNum.c_str(), settings.EvtTagSMSMsgText.c_str(), kAskStatusReport)) {
        ++alert->sent;
        os::Trace("Accident alert: SMS sent to %s", settings.EvtTagSMSRecvNum.c_str());
    } else {
        os::Trace("Accident alert: the SMS to %s was not sent", settings.EvtTagSMSRecvNum.c_str());
    }
}

}  // namespace

void OnAccidentAlert(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || g_destroying) return;
    AccidentAlert& alert = app->accidentAlert;
    if (alert.pending) {
        os::Trace("Accident alert: joins the pending alert, %d s left", alert.secondsLeft);
        return;
    }
    const RecorderSettings& settings = app->settings;
    if (settings.EvtTagSMSSend == 0) return;
    if (!IsValidSmsRecipient(settings.EvtTagSMSRecvNum.View())) {
        os::Trace("Accident alert: the recipient \"%s\" is not a phone number, no SMS",
                  settings.EvtTagSMSRecvNum.c_str());
        return;
    }
    alert.pending = 1;
    alert.secondsLeft = kAccidentSmsCountdownSec;
    os::SetTimer(hwnd, kAccidentSmsTimer, kCountdownStepMs, nullptr);
    OnSmsPopup(1);
    os::Trace("Accident alert: SMS to %s in %d s unless cancelled", settings.EvtTagSMSRecvNum.c_str(),
              alert.secondsLeft);
}

void OnAccidentSmsTick(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || !app->accidentAlert.pending) {
        os::KillTimer(hwnd, kAccidentSmsTimer);
        return;
    }
    AccidentAlert& alert = app->accidentAlert;
    if (--alert.secondsLeft > 0) {
        if (g_hAccSmsCancelWindow != nullptr) os::InvalidateRect(g_hAccSmsCancelWindow, nullptr, os::FALSE);
        return;
    }
    CloseAlert(hwnd, &alert);
    SendAccidentSms(app->settings, &alert);
}

int CancelAccidentAlert(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || !app->accidentAlert.pending) return 0;
    CloseAlert(hwnd, &app->accidentAlert);
    os::Trace("Accident alert: cancelled, no SMS");
    return 1;
}

void EndAccidentAlert(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || !app->accidentAlert.pending) return;
    CloseAlert(hwnd, &app->accidentAlert);
    os::Trace("Accident alert: ended at shutdown, no SMS");
}

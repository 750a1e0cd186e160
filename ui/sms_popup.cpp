#include "ui/sms_popup.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/accident_alert.h"
#include "app/app_state.h"
#include "app/resource_text.h"
#include "platform/windows/window.h"
#include "res/resource_ids.h"
#include "ui/draw_prims.h"
#include "ui/skin_images.h"

namespace {

constexpr os::COLORREF kCountdownAmber = os::RGB(255, 176, 0);
constexpr os::COLORREF kMuted = os::RGB(170, 184, 196);
constexpr int kSmsTextLeft = 220;  // right of the box's envelope, stretched with the box

void DrawLine(os::HDC dc, const std::string& text, const os::RECT& rect, int height, os::COLORREF color)
{
    os::HFONT font = CreateUiFont(height, true, false);
    const os::HGDIOBJ oldFont = os::SelectObject(dc, font);
    const os::COLORREF oldColor = os::SetTextColor(dc, color);
    os::RECT r = rect;
    os::DrawTextW(dc, text.c_str(), -1, &r, os::DT_LEFT | os::DT_VCENTER | os::DT_SINGLELINE | os::DT_NOPREFIX |
                                                os::DT_END_ELLIPSIS);
    os::SetTextColor(dc, oldColor);
    os::SelectObject(dc, oldFont);
    os::DeleteObject(font);
}

void DrawFace(os::HDC dc, const os::RECT& client, EventRecorderApp* app)
{
    FillRectColor(dc, client, kBlack);
    const MainScreenImages& images = app->mainScreen;
    DrawAlphaImage(dc, images.smsBox, client.left, client.top, client.right, client.bottom, nullptr, 255,
                   os::AC_SRC_ALPHA);
    const int oldMode = os::SetBkMode(dc, os::TRANSPARENT);
    DrawLine(dc, ResourceText(kestrava::res::IDS_DLG_SEND_SMS), os::RECT{kSmsTextLeft, 20, client.right - 24, 60}, 28,
             kWhite);
    DrawLine(dc, std::string(app->settings.EvtTagSMSRecvNum.View()), os::RECT{kSmsTextLeft, 62, client.right - 24, 96},
             24, kMuted);
    char seconds[16];
    std::snprintf(seconds, sizeof seconds, "%d s", std::max(app->accidentAlert.secondsLeft, 0));
    DrawLine(dc, seconds, os::RECT{kSmsTextLeft, 100, client.right - 24, 180}, 72, kCountdownAmber);
    os::SetBkMode(dc, oldMode);
    // The look is centred on the touch area.
    ButtonStrip cancel = images.smsCancel;
    const os::RECT& place = kSmsCancelButton;
    cancel.rect.left = place.left + (place.right - place.left - cancel.width) / 2;
    cancel.rect.top = place.top + (place.bottom - place.top - cancel.height) / 2;
    DrawButtonLook(dc, cancel, kLookNormal);
}

}  // namespace

void PaintSmsCancelPopup(os::HWND popup)
{
    os::PAINTSTRUCT ps;
    os::HDC dc = os::BeginPaint(popup, &ps);
    EventRecorderApp* app = AppFromWindow(g_hMainWindow);
    if (dc != nullptr && app != nullptr) {
        os::RECT client{};
        os::GetClientRect(popup, &client);
        // Under the screen lock like the main screen.
        os::EnterCriticalSection(&app->screenLock);
        DrawBuffered(dc, client, [&](os::HDC buffer) { DrawFace(buffer, client, app); });
        os::LeaveCriticalSection(&app->screenLock);
    }
    os::EndPaint(popup, &ps);
}

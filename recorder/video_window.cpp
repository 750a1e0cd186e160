// Where the live preview goes: centred in the client area, or at the fixed
// place the 800x480 layout keeps for it, and scaled down to the client
// height when the area is lower than the picture.
#include "platform/base/trace.h"
#include "platform/devices/display.h"
#include "platform/windows/window.h"
#include "recorder/mov.h"

namespace {

constexpr int kWideLayout = 3;
constexpr int kSmallLayout = 1;
constexpr int kWideLeft = 136;
constexpr int kWideLeftLarge = 148;
constexpr int kWideTop = 67;

}  // namespace

int MOV_SetupVideoWindow(os::HWND hwnd)
{
    RecorderState* s = MOV_State(hwnd);
    if (s == nullptr) return 0;
    os::RECT client{};
    if (!os::GetClientRect(hwnd, &client)) return 0;
    os::Trace("Window  : Left = %d, Top = %d, right = %d, bottom = %d, cxscreen=%d, cyscreen=%d, caption hegiht=%d, "
              "menu height=%d \r\n",
              client.left, client.top, client.right, client.bottom, os::GetSystemMetrics(os::SM_CXSCREEN),
              os::GetSystemMetrics(os::SM_CYSCREEN), os::GetSystemMetrics(os::SM_CYCAPTION),
              os::GetSystemMetrics(os::SM_CYMENU));
    const bool large = s->settings != nullptr && s->settings->VideoSize != 0;
    const int w = large ? 320 : s->previewWidth;
    const int h = large ? 240 : s->previewHeight;
    const int cw = client.right - client.left;
    const int ch = client.bottom - client.top;
    os::RECT r{};
    r.left = cw < w || s->screenLayout != kWideLayout ? 0 : (large ? kWideLeftLarge : kWideLeft);
    r.right = r.left + w;
    if (ch < h) {
        r.top = 0;
        r.right = r.left + ch * w / h;
        r.bottom = ch;
    } else if (s->screenLayout == kWideLayout) {
        r.top = kWideTop;
        r.bottom = h + kWideTop;
    } else {
        r.top = client.top + (ch - h) / 2;
        r.bottom = r.top + h;
    }
    if (s->screenLayout == kSmallLayout) r.right += 2;
    os::Trace("SetupVideoWindow : Left = %d, Top = %d, right = %d, bottom = %d\r\n", r.left, r.top, r.right, r.bottom);
    s->previewRect = r;
    return 1;
}

#include "ui/main_screen.h"

#include "app/app_state.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"

void PaintMainWindow(os::HWND hwnd, os::HDC hdc)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    os::PAINTSTRUCT ps;
    if (hdc == nullptr) os::BeginPaint(hwnd, &ps);
    if (app != nullptr) {
        os::EnterCriticalSection(&app->screenLock);
        if (app->cmdMode == 4) {
            const RecorderSettings& s = app->settings;
            ActivateMainScreenButtons(&app->screens, s.EnablePlaySound != 0, s.DisableRecordAudio != 0);
        }
        os::Trace("PaintMainWindow: drawing not built yet");
        os::LeaveCriticalSection(&app->screenLock);
        g_touchEnabled = true;
    }
    if (hdc == nullptr) os::EndPaint(hwnd, &ps);
}

void RequestRepaint(os::HWND hwnd)
{
    os::InvalidateRect(hwnd, nullptr, os::FALSE);
}

void PrepareSensitivityScreen(os::HWND)
{
    // Will lay out the sensitivity screen's gauges.
    os::Trace("PrepareSensitivityScreen: screens not built yet");
}

void ClearPreviewArea(os::HWND, int width, int height)
{
    // Will fill the preview area with black on the screen.
    os::Trace("ClearPreviewArea %dx%d: drawing not built yet", width, height);
}

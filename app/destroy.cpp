// The destroy sequences: the orderly one, and the power-loss variant that the
// power thread asks for with WM_CLOSE lParam 1911.
#include <string>

#include "app/accident_alert.h"
#include "app/event_link.h"
#include "app/app_state.h"
#include "app/display_state.h"
#include "app/lst.h"
#include "app/main_window.h"
#include "app/recording_control.h"
#include "app/workers.h"
#include "platform/devices/display.h"
#include "platform/files/file.h"
#include "platform/registry/registry.h"
#include "platform/base/trace.h"
#include "recorder/mov.h"
#include "sensing/gps_acquisition.h"
#include "sensing/gps_log.h"
#include "storage/event_filing.h"
#include "storage/space_management.h"
#include "storage/folder_layout.h"
#include "storage/volume_select.h"
#include "ui/cmd.h"

int OnDestroyProc(os::HWND hwnd, bool powerLoss)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    g_destroying = true;
    EndAccidentAlert(hwnd);
    os::KillTimer(hwnd, 13);
    if (!powerLoss) os::Trace("Start OnDestroyProc");
    // The last file is filed and counted as a split would do it.
    StopAndAccountRecording(hwnd, 1, powerLoss);
    MOV_StopPreview(hwnd);
    RunQueuedEventMoves(hwnd);
    GpsLogStop(hwnd, 1);
    app->gpsScreenActive = 0;
    const bool gpsEnded = GpsDeinit(hwnd) != 0;
    if (!powerLoss) os::Trace("MEMO_DeInit");
    // The rotation watch acts on the recording: it ends before the recorder goes.
    bool keepState = app->resolutionClass != 0 && !StopRotationWatchThread();
    MOV_DeInit(hwnd);
    UnregisterEventRecorderLink();
    MOV_Detach(hwnd);
    os::Trace("MOV_DeInit");
    LST_DeInit(hwnd);
    os::Trace("LST_DeInit");
    StopPowerNotificationThread(hwnd);
    os::Trace("CLoseMsqQueue");
    // The storage maintenance thread uses the storage lock and the state:
    // it stops here, while both are still alive.
    if (!StopStorageMaintenanceThread(hwnd)) keepState = true;
    os::RegistryCloseNotification(app->phoneStateNotification);
    CMD_Deinit(hwnd);
    os::Trace("CMD_Deinit");
    os::DestroyWindow(g_hAlertWindow);
    if (!gpsEnded) keepState = true;
    if (!powerLoss) os::DestroyWindow(g_hAccSmsCancelWindow);
    ReleaseImagingFactory(app->imagingFactory);
    if (keepState) {
        // A worker that did not end may still reach the state or hold one of
        // its locks (the rotation watch takes the recorder lock): neither is freed.
        os::Trace("OnDestroyProc: a worker did not end; the application state and its locks are kept");
    } else {
        os::DeleteCriticalSection(&app->screenLock);
        os::DeleteCriticalSection(&app->storageLock);
        PhotoDeinit(&app->photo);
        DeleteSpaceState(&app->space);
        delete app;
    }
    os::SetWindowLongW(hwnd, os::GWL_USERDATA, 0);
    os::Trace("SetWindowLong NULL");
    if (!ScreenIsPortrait()) {
        SetDisplayRotation(os::DMDO_0);
        if (g_orientationSaved.exchange(false)) SetAutoOrientation(g_savedAutoOrientation, nullptr);
    }
    if (!powerLoss) os::Trace("End OnDestroyProc");
    return 1;
}

// The deferred initialisation: runs from the message loop once the main
// window exists and is shown, and brings the modules up in a fixed order.
#include <string>

#include "app/app_state.h"
#include "app/resource_text.h"
#include "app/cmd_run.h"
#include "app/display_state.h"
#include "app/lst.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/workers.h"
#include "platform/kernel/clock.h"
#include "platform/files/file.h"
#include "platform/windows/message_box.h"
#include "platform/registry/registry.h"
#include "platform/shell/resource.h"
#include "platform/shell/shell.h"
#include "platform/base/trace.h"
#include "recorder/cut_recordings.h"
#include "recorder/mov.h"
#include "sensing/gps_acquisition.h"
#include "settings/settings_store.h"
#include "storage/deletion_pass.h"
#include "storage/folder_layout.h"
#include "storage/space_counters.h"
#include "storage/space_management.h"
#include "storage/volume_select.h"
#include "ui/cmd.h"

namespace {

constexpr os::UINT kCaptureDeviceError = 1065;
constexpr uint64_t kSmallVolumeBytes = 1073741824ULL;

void ChooseStorage(os::HWND hwnd, EventRecorderApp* app)
{
    bool enoughSpace = false;
    if (!CheckStorageCard(hwnd, &enoughSpace) && !SelectOtherMountedVolume(hwnd)) {
        os::MessageBoxW(os::GetForegroundWindow(), ResourceText(kNoStorageCard).c_str(), kAppTitle, os::MB_ICONERROR);
        os::Trace("WM_CLOSE Msg Send by Kestrava 1\r\n");
        os::PostMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
    }
    os::Trace("CheckStorageCard : select disk name=%s", app->settings.SelectDisk.c_str());
    UpdateUsableSpaceSetting(hwnd);
}


// The space bookkeeping of the recording volume, and the storage class that
// decides whether recording may start at all.
void AccountStorage(os::HWND hwnd, EventRecorderApp* app)
{
    app->storageMaintenanceEnabled = 1;
    os::ULONGLONG freeToCaller = 0, total = 0, totalFree = 0;
    os::GetDiskFreeSpaceExW(app->storage.StorageRoot.c_str(), &freeToCaller, &total, &totalFree);
    app->freeSpaceBytes = totalFree;
    RefreshMemoryVars(hwnd);
    NoteDeletionPlace(hwnd);
    DeleteOldRecordings(hwnd);
    const uint64_t quota = static_cast<uint64_t>(app->settings.FreeSpaceMB) * 1048576ULL;
    if (total < kSmallVolumeBytes) {
        app->storageClass = 1;
    } else if (app->settings.FreeSpaceMB != 0 &&
               (quota <= app->AviTotal || app->AviTotal + app->freeSpaceBytes <= quota)) {
        app->storageClass = 2;
    } else {
        app->storageClass = 0;
    }
}

}  // namespace

int OnInitProc(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    os::GetLocalTime(&app->startTime);
    os::SHSipPreference(hwnd, os::SIP_FORCEDOWN);
    os::SHFullScreen(hwnd, kFullScreenFlags);
    ApplyLandscapeRule();
    if (os::HWND menuBar = os::SHFindMenuBar(hwnd)) os::ShowWindow(menuBar, os::SW_HIDE);
    os::SetTimer(hwnd, 13, 1000, nullptr);
    LoadSettings(hwnd);
    app->captureWidth = 320;
    app->captureHeight = 240;
    app->settings.VideoSize = 0;
    ChooseStorage(hwnd, app);
    StartPowerNotificationThread(hwnd);
    os::HREGNOTIFY notification = nullptr;
    if (os::RegistryNotifyWindow(os::HKEY_LOCAL_MACHINE, "System\\State\\Phone", "Call Start Time", hwnd,
                                 WM_RECORDER_PHONE_STATE, kPhoneStateUserData, nullptr,
                                 &notification) != os::ERROR_SUCCESS) {
        return 0;
    }
    app->phoneStateNotification = notification;
    app->onCall = IsOnCall(hwnd, nullptr);
    app->recorder.phoneCall.store(app->onCall);
    PrepareRecordingRoot(hwnd);
    os::Trace("CreateDirectory");
    CMD_Init(hwnd);
    os::Trace("CMD_Init");
    LST_Init(hwnd);
    os::Trace("LST_Init");
    // Before the space is counted and the first recording opens: the clips
    // a power loss cut are whole again, and counted as such.
    RepairCutRecordings(hwnd, app->storage.RecordingRoot.c_str());
    AccountStorage(hwnd, app);
    const RecorderSettings& s = app->settings;
    app->recorder.resources = g_hResourceLibrary;
    if (!MOV_Init(hwnd, s.VideoBitrate, s.AudioBitrate, s.JpegQuality, s.StillWidth, s.StillHeight)) {
        os::Trace("MOV_Init failed: nothing can be recorded");
    }
    if (app->recorder.cameraUnavailable) {
        app->captureDeviceError = 1;
        g_recordingBlocked = true;
    }
    uint32_t stillWidth = 0;
    uint32_t stillHeight = 0;
    if (MOV_GetStillSize(hwnd, &stillWidth, &stillHeight)) {
        app->settings.StillWidth = stillWidth;
        app->settings.StillHeight = stillHeight;
    }
    os::Trace("MOV_Init");
    CMD_Run(hwnd, 4);
    os::InvalidateRect(hwnd, nullptr, os::TRUE);
    os::Trace("InvalidateRect");
    if (app->captureDeviceError) ShowScreenMessage(hwnd, ResourceText(kCaptureDeviceError).c_str(), 0xFFFFFFFF, 0, -1);
    StartStorageMaintenanceThread(hwnd);
    MOV_ApplyCameraSettings(hwnd);
    // Recording does not depend on GPS: when the user declines to go on
    // without it, the recorder still runs, only without positions.
    if (!GpsInit(hwnd)) os::Trace("GpsInit failed: recording without GPS");
    return 1;
}

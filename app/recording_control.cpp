#include "app/recording_control.h"

#include <algorithm>
#include <string>

#include "app/app_state.h"
#include "app/cmd_run.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/resource_text.h"
#include "app/timers.h"
#include "app/wait_cursor.h"
#include "platform/kernel/clock.h"
#include "platform/files/file.h"
#include "platform/windows/message_box.h"
#include "platform/base/trace.h"
#include "recorder/mov.h"
#include "sensing/gps_log.h"
#include "settings/settings_sheet.h"
#include "settings/settings_store.h"
#include "storage/folder_layout.h"
#include "storage/space_management.h"
#include "storage/volume_select.h"
#include "ui/main_screen.h"

namespace {

constexpr os::UINT kCaptureFailed = 28;
constexpr os::UINT kStorageFull = 18;
constexpr os::UINT kVolumeTooSmall = 1280;
constexpr os::UINT kQuotaUnmet = 1281;
constexpr os::UINT kNoStorageCard = 26;

uint64_t FileSize(const std::string& path)
{
    os::WIN32_FIND_DATAW data;
    os::HANDLE find = os::FindFirstFileW(path.c_str(), &data);
    if (find == os::INVALID_HANDLE_VALUE) return 0;
    os::FindClose(find);
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The free space of the recording volume now.
uint64_t VolumeFreeBytes(EventRecorderApp* app)
{
    os::ULONGLONG toCaller = 0, total = 0, totalFree = 0;
    if (!os::GetDiskFreeSpaceExW(app->storage.StorageRoot.c_str(), &toCaller, &total, &totalFree)) return 0;
    return toCaller;
}

// A split time too long for a timer's period (over 24 days) takes the longest one.
void ArmSplitTimer(os::HWND hwnd, uint32_t splitTimeSec)
{
    constexpr uint64_t kLongestPeriodMs = 0x7FFFFFFF;
    if (splitTimeSec == 0) return;
    const uint64_t periodMs = std::min<uint64_t>(static_cast<uint64_t>(splitTimeSec) * 1000, kLongestPeriodMs);
    os::SetTimer(hwnd, kSplitTimer, static_cast<os::UINT>(periodMs), nullptr);
}

// The clip that just ended goes to its "Event" folder when an event was tagged in it.
void FileTaggedClip(os::HWND hwnd, EventRecorderApp* app, const std::string& folder, const std::string& name)
{
    os::CreateDirectoryW((folder + "\\Event\\").c_str(), nullptr);
    QueueEventMove(hwnd, folder + "\\" + name, folder + "\\Event\\" + name);
    ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
    ++app->filedEvents;
}

}  // namespace

void RunCapture(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    app->captureRunning = 1;
    RequestRepaint(hwnd);
    MOV_RunPreview(hwnd);
}

void StopCapture(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    app->captureRunning = 0;
    MOV_StopPreview(hwnd);
}

void StartCaptureAndRecording(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    app->RecordMode = app->settings.EnableMovRecordAfterLaunch == 1 ? kRecordContinuous : kRecordEventOnly;
    if (app->storageClass == 1 || app->storageClass == 2) {
        ShowResourceMessage(hwnd, app->storageClass == 1 ? kVolumeTooSmall : kQuotaUnmet);
        return;
    }
    if (app->freeSpaceBytes < FreeSpaceReserve(app->settings.MinFreeSpaceMB)) {
        ShowResourceMessage(hwnd, kStorageFull);
        return;
    }
    if (!MOV_Prepare(hwnd, kStreamAudioVideo, app->RecordMode)) {
        app->cmdMode = 4;
        os::MessageBoxW(os::GetForegroundWindow(), ResourceText(kCaptureFailed).c_str(), kAppTitle, os::MB_ICONERROR);
        return;
    }
    app->captureRunning = 1;
    os::SendMessageW(hwnd, os::WM_COMMAND, IDM_REC_START, 0);
}

void OnRecStart(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
    const int mode = static_cast<int>(app->cmdMode);
    PrepareTimeFolder(hwnd, mode);
    std::string path;
    if (mode == 1) {
        if (MakeRecordingPath(&app->storage, app->storage.TimeFolder.View(), kRecordingGps, "gps", &path, 0)) {
            GpsLogStart(hwnd, path.c_str(), 1);
        }
    } else if (mode == 4 && !g_recordingBlocked) {
        if (MakeRecordingPath(&app->storage, app->storage.TimeFolder.View(), kRecordingVideo, "avi", &path, 0)) {
            MOV_SetBitrate(hwnd, app->settings.VideoBitrate, app->settings.AudioBitrate);
            if (MOV_Start(hwnd, path.c_str(), 1)) {
                app->recordingFileStatus = 0;
                if (app->RecordMode == kRecordContinuous) ArmSplitTimer(hwnd, app->settings.SplitTimeSec);
            }
        }
    }
    if (mode != 4 || (app->RecordMode == kRecordContinuous && !g_recordingBlocked)) {
        if (mode < kScreenCount) app->screens[mode].active = 1;
    }
    RequestRepaint(hwnd);
}

void OnRecStop(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    const int mode = static_cast<int>(app->cmdMode);
    ShowWaitCursor();
    if (mode == 1) GpsLogStop(hwnd, 1);
    if (mode == 4) {
        if (app->screens[4].paused) ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
        app->screens[4].paused = 0;
        MOV_Stop(hwnd, 0, 1);
    }
    os::KillTimer(hwnd, kSplitTimer);
    if (mode < kScreenCount && (mode != 4 || app->RecordMode == kRecordContinuous)) app->screens[mode].active = 0;
    HideWaitCursor();
    if ((mode == 1 || mode == 4) && app->captureRunning) StopCapture(hwnd);
}

void OnRecPause(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    ScreenEntry& recording = app->screens[4];
    if (app->cmdMode != 4 || !recording.active) return;
    if (recording.paused) {
        if (MOV_Resume(hwnd)) recording.paused = 0;
    } else if (MOV_Pause(hwnd)) {
        recording.paused = 1;
    }
}

// The file just closed by a split: filed when it holds an event, and counted.
void AccountClosedFile(os::HWND hwnd, EventRecorderApp* app, const std::string& folder, const std::string& name)
{
    const int tagged = EventTaggedFlag;
    if (tagged) FileTaggedClip(hwnd, app, folder, name);
    UpdateTarvoMemoryVar(hwnd, FileSize(folder + "\\" + name), tagged);
    EventTaggedFlag = 0;
    RunQueuedEventMoves(hwnd);
}

void SplitRecordingFile(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    os::KillTimer(hwnd, kSplitTimer);
    if (app->screens[4].paused) {
        // A paused recording keeps its file until it goes on.
        ArmSplitTimer(hwnd, app->settings.SplitTimeSec);
        return;
    }
    std::string folder;
    std::string name;
    GetLastRecording(&app->storage, &folder, &name);
    // After the settings sheet stopped capture, the timer starts a new recording instead.
    const bool recording = app->recorder.status.recording != 0;
    if (VolumeFreeBytes(app) < FreeSpaceReserve(app->settings.MinFreeSpaceMB)) {
        if (recording) {
            MOV_Stop(hwnd, 0, 0);
            AccountClosedFile(hwnd, app, folder, name);
        }
        // The file closed above was the last one: nothing is being recorded now.
        app->recordingFileStatus = 2;
        ShowResourceMessage(hwnd, kStorageFull);
        return;
    }
    ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
    MOV_RestartRecording(hwnd);
    PrepareTimeFolder(hwnd, kRecordingVideo);
    std::string next;
    int opened = 0;
    if (MakeRecordingPath(&app->storage, app->storage.TimeFolder.View(), kRecordingVideo, "avi", &next, 0)) {
        MOV_SetBitrate(hwnd, app->settings.VideoBitrate, app->settings.AudioBitrate);
        // The streams keep running: the next file takes over at once.
        opened = recording ? MOV_SplitFile(hwnd, next.c_str()) : MOV_Start(hwnd, next.c_str(), 0);
    } else if (recording) {
        MOV_Stop(hwnd, 0, 0);
    }
    if (recording) AccountClosedFile(hwnd, app, folder, name);
    if (opened && app->RecordMode == kRecordContinuous) ArmSplitTimer(hwnd, app->settings.SplitTimeSec);
    app->recordingFileStatus = opened ? 0 : 2;
    RequestRepaint(hwnd);
    if (app->storageThread.workEvent != nullptr) os::SetEvent(app->storageThread.workEvent);
}

void OnSettings(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    const std::string language(app->settings.Langauge.View());
    SnapshotRecordingSettings(hwnd);
    RunSettingsSheet(g_hResourceLibrary, hwnd);
    if (app->settings.Langauge.View() != language) {
        LoadResourceLibrary();
        LoadScreenTitles(&app->screens, g_hResourceLibrary);
        RequestRepaint(hwnd);
    }
    PrepareRecordingRoot(hwnd);
    SetScreenTitle(hwnd);
    if (app->restartRecording) {
        if (app->freeSpaceBytes > FreeSpaceReserve(app->settings.MinFreeSpaceMB)) {
            RunCapture(hwnd);
            os::SetTimer(hwnd, kSplitTimer, kSettingsRestartDelayMs, nullptr);
        }
        RefreshMemoryVars(hwnd);
    }
}

void CheckRecordingVolume(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    ShowWaitCursor();
    const std::string disk(app->settings.SelectDisk.View());
    const bool present =
        disk.find("Storage") != std::string::npos ? IsVolumeMounted(disk) : CheckStorageCard(hwnd, nullptr) != 0;
    if (!present) {
        if (app->cmdMode == 1) GpsLogStop(hwnd, 1);
        if (app->cmdMode == 4) MOV_Stop(hwnd, 0, 1);
        os::MessageBoxW(os::GetForegroundWindow(), ResourceText(kNoStorageCard).c_str(), kAppTitle, os::MB_ICONERROR);
        HideWaitCursor();
        os::Trace("WM_CLOSE Msg Send by Kestrava 3\r\n");
        os::PostMessageW(hwnd, os::WM_CLOSE, 0, kCloseOrderly);
    }
    HideWaitCursor();
}

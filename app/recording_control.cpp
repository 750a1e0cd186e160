#include "app/recording_control.h"

#include <algorithm>
#include <string>
#include <vector>

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
#include "storage/event_filing.h"
#include "storage/folder_layout.h"
#include "storage/path_text.h"
#include "storage/space_counters.h"
#include "storage/space_management.h"
#include "storage/space_state.h"
#include "storage/volume_select.h"
#include "ui/main_screen.h"

namespace {

constexpr os::UINT kCaptureFailed = 28;
constexpr os::UINT kStorageFull = 18;
constexpr os::UINT kVolumeTooSmall = 1280;
constexpr os::UINT kQuotaUnmet = 1281;

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

// A neighbour of an event clip goes to "Event" too; it was counted as an
// ordinary clip when it ended.
void FileOlderClip(os::HWND hwnd, const ClipEventBlock& older)
{
    const std::string path = JoinPath(older.folder.View(), older.name.View());
    const uint64_t size = FileBytesAt(path);
    if (!FileEventClip(hwnd, older.folder.View(), older.name.View())) return;
    ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
    CountClipAsProtected(hwnd, size);
}

bool ContinuousRecordingRuns(const EventRecorderApp* app)
{
    return app->recorder.status.recording != 0 && app->RecordMode == kRecordContinuous;
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
    ForgetClosedClips(&app->space);
    if (mode == 1) {
        if (MakeRecordingPath(&app->storage, app->storage.TimeFolder.View(), kRecordingGps, "gps", &path, 0)) {
            GpsLogStart(hwnd, path.c_str(), 1);
        }
    } else if (mode == 4 && !g_recordingBlocked) {
        if (MakeRecordingPath(&app->storage, app->storage.TimeFolder.View(), kRecordingVideo, "avi", &path, 0)) {
            MOV_SetBitrate(hwnd, app->settings.VideoBitrate, app->settings.AudioBitrate);
            if (MOV_Start(hwnd, path.c_str(), 1)) {
                SetOpenClip(&app->space, path);
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
        StopAndAccountRecording(hwnd, 1, false);
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

namespace {

// The file a split or a stop just closed: filed with its neighbours where an
// event asks for it, and counted.
void AccountClosedFile(os::HWND hwnd, const std::string& folder, const std::string& name)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    const int tagged = EventTaggedFlag;
    EventTaggedFlag = 0;
    std::vector<EvtTagRecord> events(kClipEventRecords);
    const int count = MOV_ReadClosedEvents(hwnd, events.data(), kClipEventRecords);
    const AdjacentFilings adjacent =
        RecordClosedClip(&app->space, events.data(), count, folder, name, app->settings.SplitTimeSec);
    const bool filed = tagged || adjacent.newer;
    if (filed && FileEventClip(hwnd, folder, name)) {
        ShowScreenMessage(hwnd, nullptr, 0, 0, 0);
        if (tagged) ++app->filedEvents;
    }
    UpdateTarvoMemoryVar(hwnd, FileBytesAt(JoinPath(folder, name)), filed);
    if (adjacent.older) FileOlderClip(hwnd, app->space.olderClip);
    RunQueuedEventMoves(hwnd);
}

}  // namespace

void StopAndAccountRecording(os::HWND hwnd, int withSound, bool release)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    std::string folder;
    std::string name;
    GetLastRecording(&app->storage, &folder, &name);
    const bool accounted = ContinuousRecordingRuns(app);
    if (release) {
        MOV_StopAndRelease(hwnd, 0, withSound);
    } else {
        MOV_Stop(hwnd, 0, withSound);
    }
    SetOpenClip(&app->space, "");
    if (accounted) AccountClosedFile(hwnd, folder, name);
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
    const uint64_t reserve = FreeSpaceReserve(app->settings.MinFreeSpaceMB, recording ? kSplitSlack : kRestartSlack);
    if (VolumeFreeBytes(app) < reserve || ReadSpaceCounters(hwnd).EvtFree < reserve) {
        if (recording) StopAndAccountRecording(hwnd, 0, false);
        // The file closed above was the last one: nothing is being recorded now.
        app->recordingFileStatus = 2;
        ShowResourceMessage(hwnd, kStorageFull);
        // A split that finds no room keeps the clips it has; the restart after a
        // settings change lets the maintenance thread make room for the next try.
        if (!recording) SignalStorageMaintenance(hwnd);
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
    SetOpenClip(&app->space, opened ? next : std::string());
    if (recording) AccountClosedFile(hwnd, folder, name);
    if (opened && app->RecordMode == kRecordContinuous) ArmSplitTimer(hwnd, app->settings.SplitTimeSec);
    app->recordingFileStatus = opened ? 0 : 2;
    RequestRepaint(hwnd);
    SignalStorageMaintenance(hwnd);
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
        // The encoder takes a new bit rate as its streams start: the file being
        // recorded ends here, and timer 2 starts the next one afresh.
        if (app->recorder.status.recording) StopAndAccountRecording(hwnd, 0, false);
        NoteSpaceSettingsChanged(hwnd);
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

#include "app/app_state.h"
#include "settings/settings_store.h"

int SnapshotRecordingSettings(os::HWND mainWindow)
{
    EventRecorderApp* app = AppFromWindow(mainWindow);
    if (!app) {
        return 0;
    }
    const RecorderSettings& now = app->settings;
    RecorderSettings& saved = app->savedSettings;
    saved.SelectDisk = now.SelectDisk;
    saved.FreeSpaceMB = now.FreeSpaceMB;
    saved.FileDeleteLevel = now.FileDeleteLevel;
    saved.DisableRecordAudio = now.DisableRecordAudio;
    saved.EnableBgAudioRecordOnCall = now.EnableBgAudioRecordOnCall;
    saved.SplitTimeSec = now.SplitTimeSec;
    saved.AudioBitrate = now.AudioBitrate;
    saved.VideoBitrate = now.VideoBitrate;
    saved.StillWidth = now.StillWidth;
    saved.StillHeight = now.StillHeight;
    return 1;
}

// The still size is kept with the others but does not concern a recording.
int RecordingSettingsChanged(os::HWND mainWindow)
{
    const EventRecorderApp* app = AppFromWindow(mainWindow);
    if (!app) {
        return 0;
    }
    const RecorderSettings& now = app->settings;
    const RecorderSettings& saved = app->savedSettings;
    const bool changed = now.VideoBitrate != saved.VideoBitrate || now.AudioBitrate != saved.AudioBitrate ||
                         now.SplitTimeSec != saved.SplitTimeSec ||
                         now.EnableBgAudioRecordOnCall != saved.EnableBgAudioRecordOnCall ||
                         now.DisableRecordAudio != saved.DisableRecordAudio ||
                         now.FileDeleteLevel != saved.FileDeleteLevel || now.FreeSpaceMB != saved.FreeSpaceMB ||
                         !(now.SelectDisk == saved.SelectDisk);
    return changed ? 1 : 0;
}

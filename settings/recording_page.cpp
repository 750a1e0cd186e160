// Page 2 of the settings sheet: sound, sound during calls, file length and
// the quality preset (the audio and video bit rates together).
#include "app/app_state.h"
#include "platform/windows/controls.h"
#include "platform/windows/message_box.h"
#include "settings/settings_store.h"
#include "settings/sheet_pages.h"

namespace {

constexpr int kRecordSound = 1005;
constexpr int kSoundOnCall = 1016;
constexpr int kSplitTimeList = 1022;
constexpr int kQualityList = 1023;
constexpr int kHiddenControls[] = {1033, 1027, 1009, 1010};

constexpr os::UINT kSoundOnCallQuestion = 70;
constexpr os::UINT kQualityChangeWarning = 1270;
constexpr os::UINT kSplitStrings[] = {1050, 1051, 1052};
constexpr uint32_t kSplitSeconds[] = {30, 60, 120};
constexpr os::UINT kQualityStrings[] = {59, 60, 61};

struct Quality {
    uint32_t audio;
    uint32_t video;
};
constexpr Quality kQualities[] = {{64, 128}, {128, 384}, {160, 512}};
constexpr int kDefaultQuality = 1;

int SplitIndexOf(uint32_t seconds)
{
    switch (seconds / 30) {
    case 2: return 1;
    case 4: return 2;
    default: return 0;
    }
}

int QualityIndexOf(const RecorderSettings& s)
{
    for (int i = 0; i < 3; ++i) {
        if (kQualities[i].audio == s.AudioBitrate && kQualities[i].video == s.VideoBitrate) return i;
    }
    return -1;
}

void InitRecordingPage(os::HWND page)
{
    const RecorderSettings& s = SheetApp()->settings;
    InitSheetPage(page, &Sheet().recording);
    SetChecked(page, kRecordSound, s.DisableRecordAudio == 0);
    SetChecked(page, kSoundOnCall, s.EnableBgAudioRecordOnCall != 0);
    EnableControl(page, kSoundOnCall, s.DisableRecordAudio == 0);
    for (os::UINT id : kSplitStrings) AddListEntry(page, kSplitTimeList, SheetText(id));
    SelectListEntry(page, kSplitTimeList, SplitIndexOf(s.SplitTimeSec));
    for (os::UINT id : kQualityStrings) AddListEntry(page, kQualityList, SheetText(id));
    SelectListEntry(page, kQualityList, QualityIndexOf(s));
    for (int id : kHiddenControls) HideControl(page, id);
    Sheet().recording.initialised = 1;
}

void OnSoundOnCallClicked(os::HWND page)
{
    if (IsChecked(page, kSoundOnCall) && SheetMessage(kSoundOnCallQuestion, os::MB_YESNO | os::MB_ICONWARNING) == os::IDNO) {
        SetChecked(page, kSoundOnCall, false);
    }
}

void RestoreRecordingDefaults(os::HWND page)
{
    SetChecked(page, kRecordSound, true);
    EnableControl(page, kSoundOnCall, true);
    SetChecked(page, kSoundOnCall, false);
    SelectListEntry(page, kSplitTimeList, 0);
    const bool qualityChanges = ListSelection(page, kQualityList) != kDefaultQuality;
    SelectListEntry(page, kQualityList, kDefaultQuality);
    if (qualityChanges) SheetMessage(kQualityChangeWarning, os::MB_ICONWARNING);
}

void WriteBackRecordingPage(os::HWND page)
{
    RecorderSettings& s = SheetApp()->settings;
    s.DisableRecordAudio = IsChecked(page, kRecordSound) ? 0 : 1;
    s.EnableBgAudioRecordOnCall = IsChecked(page, kSoundOnCall) ? 1 : 0;
    const int split = ListSelection(page, kSplitTimeList);
    s.SplitTimeSec = split >= 0 && split < 3 ? kSplitSeconds[split] : 0;
    const int quality = ListSelection(page, kQualityList);
    const Quality& chosen = kQualities[quality == 0 || quality == 2 ? quality : kDefaultQuality];
    s.AudioBitrate = chosen.audio;
    s.VideoBitrate = chosen.video;
    SaveSettings(Sheet().mainWindow);
}

}  // namespace

os::INT_PTR RecordingPageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM)
{
    switch (msg) {
    case os::WM_INITDIALOG: InitRecordingPage(page); return os::TRUE;
    case os::WM_COMMAND:
        if (HandleDoneCommand(page, wParam)) return os::TRUE;
        switch (os::LOWORD(wParam)) {
        case kDefaultsCommand: RestoreRecordingDefaults(page); return os::TRUE;
        case kRecordSound: EnableControl(page, kSoundOnCall, IsChecked(page, kRecordSound)); return os::TRUE;
        case kSoundOnCall: OnSoundOnCallClicked(page); return os::TRUE;
        case kQualityList:
            if (os::HIWORD(wParam) == os::CBN_SELCHANGE) SheetMessage(kQualityChangeWarning, os::MB_ICONWARNING);
            return os::TRUE;
        default: return os::FALSE;
        }
    case os::WM_DESTROY:
        if (Sheet().recording.initialised) WriteBackRecordingPage(page);
        DestroyPageMenuBar(&Sheet().recording);
        return os::TRUE;
    default: return os::FALSE;
    }
}

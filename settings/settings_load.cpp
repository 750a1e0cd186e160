// Loading and saving the whole record, and the single-value writes of the
// main window's commands. The value lists below keep the load and save
// orders; each entry names its field once, so value name and field agree.
#include <algorithm>
#include <iterator>

#include "app/app_state.h"
#include "platform/registry/registry.h"
#include "platform/shell/resource.h"
#include "settings/settings_store.h"

namespace {

struct DwordSetting {
    const char* name;
    uint32_t RecorderSettings::*field;
};

struct DwordDefault {
    DwordSetting setting;
    uint32_t value;
};

#define SETTING(field) DwordSetting{#field, &RecorderSettings::field}

constexpr DwordDefault kLoadFirst[] = {
    {SETTING(DisableRecordAudio), 0},
    {SETTING(AudioBitrate), 128},
    {SETTING(VideoBitrate), 384},
    {SETTING(JpegQuality), 75},
    {SETTING(EnableBgAudioRecordOnCall), 0},
    {SETTING(SplitTimeSec), 30},
    {SETTING(EventTimeSec), 30},
    {SETTING(VideoSize), 0},
    {SETTING(EnablePlaySound), 1},
    {SETTING(ContrastLevel), 0},
    {SETTING(StabilizationOnOff), 1},
    {SETTING(WDROnOff), 0},
    {SETTING(FileDeleteLevel), 100},
    {SETTING(LcdOffTime), 0},
    {SETTING(EnableMovRecordAfterLaunch), 1},
    {SETTING(EnableGpsRecordAfterLaunch), 0},
    {SETTING(EnableMovRecordWidthEvtTag), 1},
    {SETTING(EventTagDetectLevelX), 6},
    {SETTING(EventTagDetectLevelY), 6},
    {SETTING(EventTagDetectLevelZ), 6},
    {SETTING(MemoInputType), 0},
};

constexpr DwordDefault kLoadAfterStillSize[] = {
    {SETTING(EnableAutoFocus), 1},
    {SETTING(EnableCameraFlash), 1},
    {SETTING(FreeSpaceMB), 0},
    {SETTING(EventDetectLevel), 0},
    {SETTING(UseGPS4Event), 0},
    {SETTING(UseGSensor4Event), 0},
};

constexpr DwordDefault kLoadLast[] = {
    {SETTING(EvtTagSMSSend), 0},
    {SETTING(AccidentSound), 1},
    {SETTING(SendSmsScaleX), 1900},
    {SETTING(SendSmsScaleY), 1900},
    {SETTING(SendSmsScaleZ), 1900},
};

constexpr DwordSetting kSaveBeforeTexts[] = {
    SETTING(EventDetectLevel),
    SETTING(UseGPS4Event),
    SETTING(UseGSensor4Event),
    SETTING(FreeSpaceMB),
    SETTING(DisableRecordAudio),
    SETTING(AudioBitrate),
    SETTING(VideoBitrate),
    SETTING(JpegQuality),
    SETTING(EnableBgAudioRecordOnCall),
    SETTING(SplitTimeSec),
    SETTING(EventTimeSec),
    SETTING(VideoSize),
    SETTING(EnablePlaySound),
    SETTING(ContrastLevel),
    SETTING(StabilizationOnOff),
    SETTING(WDROnOff),
    SETTING(FileDeleteLevel),
    SETTING(LcdOffTime),
    SETTING(EnableMovRecordAfterLaunch),
    SETTING(EnableGpsRecordAfterLaunch),
    SETTING(EnableMovRecordWidthEvtTag),
    SETTING(EventTagDetectLevelX),
    SETTING(EventTagDetectLevelY),
    SETTING(EventTagDetectLevelZ),
    SETTING(MemoInputType),
    SETTING(EnableAutoFocus),
    SETTING(EnableCameraFlash),
    SETTING(StillWidth),
    SETTING(StillHeight),
};

constexpr DwordSetting kSaveAfterTexts[] = {
    SETTING(EvtTagSMSSend),
    SETTING(AccidentSound),
    SETTING(SendSmsScaleX),
    SETTING(SendSmsScaleY),
    SETTING(SendSmsScaleZ),
};

#undef SETTING

constexpr os::UINT kDefaultSmsTextId = 1260;
constexpr int kResourceTextMaxChars = 100;
constexpr uint32_t kMinFreeSpaceMB = 10;

template <std::size_t Count>
void ReadWithDefaults(os::HKEY key, const DwordDefault (&list)[Count], RecorderSettings* settings)
{
    for (const DwordDefault& entry : list) {
        uint32_t& field = settings->*entry.setting.field;
        if (!ReadDwordValue(key, entry.setting.name, &field)) {
            field = entry.value;
        }
    }
}

template <std::size_t Count>
void WriteAll(os::HKEY key, const DwordSetting (&list)[Count], const RecorderSettings& settings)
{
    for (const DwordSetting& entry : list) {
        WriteDwordValue(key, entry.name, settings.*entry.field);
    }
}

void LoadDefaultSmsText(FixedText<260>* field)
{
    std::string text;
    os::LoadStringW(g_hResourceLibrary, kDefaultSmsTextId, &text, kResourceTextMaxChars);
    field->Assign(text);
}

template <std::size_t Count>
const DwordSetting* FindIn(const DwordSetting (&list)[Count], uint32_t RecorderSettings::*field)
{
    const auto it = std::find_if(std::begin(list), std::end(list),
                                 [field](const DwordSetting& entry) { return entry.field == field; });
    return it == std::end(list) ? nullptr : it;
}

// Opens the key for a write of values from the main window's record.
template <typename Write>
int WriteFromRecord(os::HWND mainWindow, Write write)
{
    const EventRecorderApp* app = AppFromWindow(mainWindow);
    if (!app) {
        return 0;
    }
    const os::HKEY key = OpenSettingsKey();
    if (!key) {
        return 0;
    }
    const int written = write(key, app->settings);
    os::RegCloseKey(key);
    return written;
}

}  // namespace

int LoadSettings(os::HWND mainWindow)
{
    EventRecorderApp* app = AppFromWindow(mainWindow);
    if (!app) {
        return 0;
    }
    const os::HKEY key = OpenSettingsKey();
    if (!key) {
        return 0;
    }
    RecorderSettings& s = app->settings;
    ReadWithDefaults(key, kLoadFirst, &s);
    ReadStringValue(key, "SelectDisk", &s.SelectDisk);
    if (!ReadStringValue(key, "Langauge", &s.Langauge)) {
        DefaultLanguage(&s.Langauge);
    }
    ReadDwordValue(key, "StillWidth", &s.StillWidth);
    ReadDwordValue(key, "StillHeight", &s.StillHeight);
    ReadWithDefaults(key, kLoadAfterStillSize, &s);
    ReadStringValue(key, "EvtTagSMSRecvNum", &s.EvtTagSMSRecvNum);
    if (!ReadStringValue(key, "EvtTagSMSMsgText", &s.EvtTagSMSMsgText) || s.EvtTagSMSMsgText == "TarvoNull") {
        LoadDefaultSmsText(&s.EvtTagSMSMsgText);
    }
    ReadWithDefaults(key, kLoadLast, &s);
    s.MinFreeSpaceMB = kMinFreeSpaceMB;
    os::RegCloseKey(key);
    return 1;
}

int SaveSettings(os::HWND mainWindow)
{
    const EventRecorderApp* app = AppFromWindow(mainWindow);
    if (!app) {
        return 0;
    }
    const os::HKEY key = OpenSettingsKey();
    if (!key) {
        return 0;
    }
    const RecorderSettings& s = app->settings;
    WriteAll(key, kSaveBeforeTexts, s);
    WriteStringValue(key, "Langauge", s.Langauge.View());
    WriteStringValue(key, "SelectDisk", s.SelectDisk.View());
    WriteStringValue(key, "EvtTagSMSRecvNum", s.EvtTagSMSRecvNum.View());
    WriteStringValue(key, "EvtTagSMSMsgText", s.EvtTagSMSMsgText.View());
    WriteAll(key, kSaveAfterTexts, s);
    os::RegCloseKey(key);
    return 1;
}

int WriteSettingDword(os::HWND mainWindow, uint32_t RecorderSettings::*field)
{
    const DwordSetting* setting = FindIn(kSaveBeforeTexts, field);
    if (!setting) {
        setting = FindIn(kSaveAfterTexts, field);
    }
    if (!setting) {
        return 0;
    }
    return WriteFromRecord(mainWindow, [setting](os::HKEY key, const RecorderSettings& s) {
        return WriteDwordValue(key, setting->name, s.*setting->field);
    });
}

int WriteDetectLevels(os::HWND mainWindow)
{
    return WriteFromRecord(mainWindow, [](os::HKEY key, const RecorderSettings& s) {
        return WriteDwordValue(key, "EventTagDetectLevelX", s.EventTagDetectLevelX) &
               WriteDwordValue(key, "EventTagDetectLevelY", s.EventTagDetectLevelY) &
               WriteDwordValue(key, "EventTagDetectLevelZ", s.EventTagDetectLevelZ);
    });
}

int WriteSelectDisk(os::HWND mainWindow)
{
    return WriteFromRecord(mainWindow, [](os::HKEY key, const RecorderSettings& s) {
        return WriteStringValue(key, "SelectDisk", s.SelectDisk.View());
    });
}

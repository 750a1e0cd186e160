#include "sensing/record_sound.h"

#include <atomic>
#include <cstdio>

#include "platform/files/file.h"
#include "platform/registry/registry.h"
#include "platform/sound/sound.h"
#include "sensing/sound_link.h"
#include "settings/settings_store.h"

namespace {

constexpr const char* kAlarmFile = "\\Windows\\Alarm2.wav";
constexpr uint32_t kRecordVariants = 2;
constexpr uint32_t kShutterVariants = 5;

// Read by the event writer too, while the main window may unset it.
std::atomic<const SoundLink*> g_soundLink{nullptr};

bool DeviceFileExists(const char* path)
{
    return os::GetFileAttributesW(path) != os::INVALID_FILE_ATTRIBUTES;
}

// A variant read from the settings key now; a missing value counts as 0.
uint32_t ReadVariant(const char* name)
{
    uint32_t value = 0;
    os::HKEY key = OpenSettingsKey();
    if (key == nullptr) return 0;
    if (!ReadDwordValue(key, name, &value)) value = 0;
    os::RegCloseKey(key);
    return value;
}

RecorderSettings* SoundSettings(os::HWND hwnd)
{
    const SoundLink* link = g_soundLink.load();
    return link != nullptr ? link->settings(hwnd) : nullptr;
}

bool SoundsEnabled(os::HWND hwnd)
{
    const RecorderSettings* settings = SoundSettings(hwnd);
    return settings != nullptr && settings->EnablePlaySound == 1;
}

bool Recording(os::HWND hwnd)
{
    const SoundLink* link = g_soundLink.load();
    return link != nullptr && link->recording(hwnd) == 1;
}

int Play(const std::string& file, os::UINT flags)
{
    if (file.empty()) return 0;
    return os::sndPlaySoundW(file.c_str(), flags) ? 1 : 0;
}

}  // namespace

void SetSoundLink(const SoundLink* link)
{
    g_soundLink = link;
}

std::string RecordSoundFile(int start, uint32_t variant)
{
    if (variant >= kRecordVariants) return {};
    char path[64];
    std::snprintf(path, sizeof path, "\\windows\\camcorder_%s_musical0%u.wav", start ? "start" : "end", variant + 1);
    if (DeviceFileExists(path)) return path;
    return start ? "\\windows\\StartRecording.wav" : "\\windows\\StopRecording.wav";
}

std::string ShutterSoundFile(uint32_t variant)
{
    if (variant >= kShutterVariants) return {};
    const char* patterns[] = {"\\windows\\shutter_0%u.wav", "\\windows\\camera_shutter_%u.wav",
                              "\\windows\\shutter0%u.wav"};
    char path[64] = {};
    for (const char* pattern : patterns) {
        std::snprintf(path, sizeof path, pattern, variant + 1);
        if (DeviceFileExists(path)) break;
    }
    // When none exists the last is still asked for, and plays nothing.
    return path;
}

int PlayRecordSound(os::HWND hwnd, int start)
{
    if (!SoundsEnabled(hwnd)) return 0;
    return Play(RecordSoundFile(start, ReadVariant(start ? "StartSound" : "EndSound")), os::SND_SYNC);
}

int PlayShutterSound(os::HWND hwnd)
{
    if (!SoundsEnabled(hwnd) || Recording(hwnd)) return 0;
    return Play(ShutterSoundFile(ReadVariant("ShutterSound")), os::SND_ASYNC);
}

int PlayAutoFocusSound(os::HWND hwnd, int failed)
{
    if (!SoundsEnabled(hwnd)) return 0;
    const char* file = failed ? "\\windows\\AutoFocusFail.wav" : "\\windows\\AutoFocus.wav";
    if (!DeviceFileExists(file)) return 0;
    return Play(file, os::SND_SYNC);
}

int PlayAccidentSound(os::HWND hwnd)
{
    RecorderSettings* settings = SoundSettings(hwnd);
    if (settings == nullptr || !Recording(hwnd)) return 0;
    // A missing value leaves the one loaded with the settings.
    uint32_t accidentSound = settings->AccidentSound;
    if (os::HKEY key = OpenSettingsKey()) {
        ReadDwordValue(key, "AccidentSound", &accidentSound);
        os::RegCloseKey(key);
    }
    settings->AccidentSound = accidentSound;
    if (accidentSound != 1 || settings->EnablePlaySound != 1) return 0;
    return Play(kAlarmFile, os::SND_ASYNC);
}

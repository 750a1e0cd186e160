// sndPlaySoundW and the record of the sounds played in the run.
#include "platform/sound/sound.h"

#include <mutex>

#include "platform/base/internal/fresh_start.h"
#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/sound/internal/sound_record.h"
#include "platform/sound/internal/wave_file.h"

namespace os {
namespace detail {

std::mutex& SoundMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<PlayedSound>& PlayedSounds()
{
    static std::vector<PlayedSound> played;
    return played;
}

void ResetSound()
{
    std::lock_guard lock(SoundMutex());
    PlayedSounds().clear();
}

}  // namespace detail

namespace {

// The sound in the log's format: first channel, nearest earlier sample.
std::vector<std::int16_t> ForLog(const detail::WaveSound& sound)
{
    const std::uint64_t frames = sound.Frames();
    const std::uint64_t count = frames * sim::kSoundLogRate / sound.sampleRate;
    std::vector<std::int16_t> samples(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        samples[i] = sound.Sample(static_cast<DWORD>(i * sound.sampleRate / sim::kSoundLogRate));
    }
    return samples;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

}  // namespace

BOOL sndPlaySoundW(const char* soundName, UINT flags)
{
    const bool sync = (flags & SND_ASYNC) == 0;
    const char* mode = sync ? "sync" : "async";
    if (soundName == nullptr || *soundName == '\0') {
        PlatformLog("sound (no name) %s: nothing played", mode);
        return Fail(ERROR_INVALID_PARAMETER);
    }
    HANDLE file = CreateFileW(soundName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        PlatformLog("sound %s %s: %s, nothing played", soundName, mode, missing ? "missing" : "cannot be opened");
        return Fail(missing ? ERROR_FILE_NOT_FOUND : error);
    }
    detail::WaveSound sound;
    std::string why;
    const bool read = detail::ReadWave(file, &sound, &why);
    CloseHandle(file);
    if (!read) {
        PlatformLog("sound %s %s: refused, %s", soundName, mode, why.c_str());
        return Fail(ERROR_INVALID_DATA);
    }
    const DWORD durationMs = sound.DurationMs();
    PlatformLog("sound %s %s, %u Hz %u-bit %u channel(s), %u ms", soundName, mode, sound.sampleRate,
                sound.bitsPerSample, sound.channels, durationMs);
    {
        std::lock_guard lock(detail::SoundMutex());
        detail::PlayedSounds().push_back(
            detail::PlayedSound{sim::SoundPlay{soundName, sync, DeviceTimeUs(), durationMs}, ForLog(sound)});
    }
    if (sync) Sleep(durationMs);
    return TRUE;
}

}  // namespace os

namespace os::sim {

std::vector<SoundPlay> SoundPlays()
{
    std::lock_guard lock(detail::SoundMutex());
    std::vector<SoundPlay> plays;
    for (const detail::PlayedSound& played : detail::PlayedSounds()) plays.push_back(played.play);
    return plays;
}

}  // namespace os::sim

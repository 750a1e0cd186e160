// The phone's sound player: sndPlaySoundW plays a PCM WAVE file of the device
// file system (read through CreateFileW and ReadFile, so "\windows\..." is a
// device path like any other). A synchronous play keeps the calling thread
// for the sound's length on the platform clock (os::Sleep), so device time
// advances by exactly that much; an asynchronous one returns at once. There is
// no default sound: a null or empty name, a missing file or a file that is not
// PCM WAVE plays nothing and returns FALSE with the last error set
// (ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND, ERROR_INVALID_DATA). Every
// call is one "[os] sound ..." trace line.
//
// The simulator side keeps every sound played in the run (its file, sync
// flag, device start time and samples) and writes them into one WAV file to
// listen to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os {

constexpr UINT SND_SYNC = 0x0000;
constexpr UINT SND_ASYNC = 0x0001;
constexpr UINT SND_NODEFAULT = 0x0002;

BOOL sndPlaySoundW(const char* soundName, UINT flags);

}  // namespace os

namespace os::sim {

struct SoundPlay {
    std::string file;  // the device path as the program gave it
    bool sync = false;
    std::int64_t deviceTimeUs = 0;  // when it started
    DWORD durationMs = 0;
};

// The sounds played since the platform started, in the order played.
std::vector<SoundPlay> SoundPlays();

// The format of the sound log: mono, 16-bit, 8000 Hz.
constexpr DWORD kSoundLogRate = 8000;

// Writes every sound played in the run into one WAV file at hostPath, each at
// its device start time with silence between (overlapping sounds add up,
// clipped); other formats are converted by picking the nearest earlier sample
// of the first channel. The file ends where the last sound ends. False with
// the host's reason when the file cannot be written.
bool WriteSoundLog(const std::string& hostPath, std::string* error);

}  // namespace os::sim

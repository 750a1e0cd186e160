// Internal to the sound player: the bounded reader of a PCM WAVE file.
//
// It walks the RIFF chunks of an open device file, takes the "fmt " chunk
// (PCM only: format tag 1, 1 to 8 channels, 8 or 16 bits, consistent block
// alignment and byte rate) and reads exactly the "data" chunk's bytes, which
// must lie within the file and within kMaxWaveDataBytes; bytes after a short
// last frame are dropped. Nothing past the data chunk is read.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os::detail {

constexpr DWORD kMaxWaveDataBytes = 16u * 1024u * 1024u;

struct WaveSound {
    WORD channels = 0;
    DWORD sampleRate = 0;
    WORD bitsPerSample = 0;
    std::vector<BYTE> data;  // whole frames only

    DWORD FrameBytes() const { return static_cast<DWORD>(channels) * (bitsPerSample / 8u); }
    DWORD Frames() const { return FrameBytes() == 0 ? 0 : static_cast<DWORD>(data.size() / FrameBytes()); }
    // The length, rounded up to whole milliseconds.
    DWORD DurationMs() const;
    // Frame `frame` of the first channel as a signed 16-bit sample.
    std::int16_t Sample(DWORD frame) const;
};

// False with the reason (e.g. "not PCM (format 3)") when the file is not a
// PCM WAVE file this reader takes.
bool ReadWave(HANDLE file, WaveSound* out, std::string* why);

}  // namespace os::detail

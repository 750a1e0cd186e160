// The bounded PCM WAVE reader of the sound player.
#include "platform/sound/internal/wave_file.h"

#include <cstring>

#include "platform/files/file.h"

namespace os::detail {
namespace {

constexpr int kMaxChunks = 64;  // a sound file has a handful; more is a broken file

DWORD Le32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }
WORD Le16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

bool Refuse(std::string* why, std::string reason)
{
    *why = std::move(reason);
    return false;
}

// Reads exactly `size` bytes.
bool ReadExactly(HANDLE file, void* buffer, DWORD size)
{
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

struct Format {
    WORD tag = 0;
    WORD channels = 0;
    DWORD rate = 0;
    DWORD byteRate = 0;
    WORD blockAlign = 0;
    WORD bits = 0;
};

bool CheckFormat(const Format& f, std::string* why)
{
    if (f.tag != 1) return Refuse(why, "not PCM (format " + std::to_string(f.tag) + ")");
    if (f.channels < 1 || f.channels > 8) return Refuse(why, "unusable channel count " + std::to_string(f.channels));
    if (f.bits != 8 && f.bits != 16) return Refuse(why, "unusable sample size " + std::to_string(f.bits));
    if (f.rate < 1 || f.rate > 192000) return Refuse(why, "unusable sample rate " + std::to_string(f.rate));
    if (f.blockAlign != f.channels * (f.bits / 8) || f.byteRate != f.rate * f.blockAlign) {
        return Refuse(why, "inconsistent block alignment or byte rate");
    }
    return true;
}

}  // namespace

DWORD WaveSound::DurationMs() const
{
    if (sampleRate == 0) return 0;
    const std::uint64_t frames = Frames();
    return static_cast<DWORD>((frames * 1000 + sampleRate - 1) / sampleRate);
}

std::int16_t WaveSound::Sample(DWORD frame) const
{
    const BYTE* p = data.data() + static_cast<std::size_t>(frame) * FrameBytes();
    if (bitsPerSample == 8) return static_cast<std::int16_t>((static_cast<int>(p[0]) - 128) * 256);
    return static_cast<std::int16_t>(Le16(p));
}

bool ReadWave(HANDLE file, WaveSound* out, std::string* why)
{
    LONGLONG fileSize = 0;
    if (!GetFileSizeEx(file, &fileSize)) return Refuse(why, "cannot read its size");
    BYTE riff[12];
    if (fileSize < 12 || !ReadExactly(file, riff, sizeof riff)) return Refuse(why, "truncated RIFF header");
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return Refuse(why, "not a RIFF WAVE file");
    }
    LONGLONG at = 12;
    bool haveFormat = false;
    Format format;
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        BYTE header[8];
        if (fileSize - at < 8 || !ReadExactly(file, header, sizeof header)) {
            return Refuse(why, haveFormat ? "no data chunk" : "no format chunk");
        }
        at += 8;
        const DWORD size = Le32(header + 4);
        if (size > fileSize - at) return Refuse(why, "a chunk runs past the end of the file");
        if (std::memcmp(header, "fmt ", 4) == 0) {
            BYTE body[40];
            if (size < 16 || size > sizeof body) return Refuse(why, "unusable format chunk size");
            if (!ReadExactly(file, body, size)) return Refuse(why, "truncated format chunk");
            format = Format{Le16(body), Le16(body + 2), Le32(body + 4), Le32(body + 8), Le16(body + 12), Le16(body + 14)};
            if (!CheckFormat(format, why)) return false;
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat) return Refuse(why, "data before the format chunk");
            if (size > kMaxWaveDataBytes) return Refuse(why, "data chunk too large");
            const DWORD frameBytes = format.blockAlign;
            std::vector<BYTE> data(size - size % frameBytes);
            if (!data.empty() && !ReadExactly(file, data.data(), static_cast<DWORD>(data.size()))) {
                return Refuse(why, "truncated data chunk");
            }
            out->channels = format.channels;
            out->sampleRate = format.rate;
            out->bitsPerSample = format.bits;
            out->data = std::move(data);
            return true;
        } else {
            const LONGLONG skip = size + (size & 1);
            if (skip > fileSize - at && size != fileSize - at) return Refuse(why, "a chunk runs past the end of the file");
            if (!SetFilePointerEx(file, skip, nullptr, FILE_CURRENT)) return Refuse(why, "cannot skip a chunk");
            at += skip;
            continue;
        }
        const LONGLONG pad = size & 1;
        if (pad != 0 && !SetFilePointerEx(file, pad, nullptr, FILE_CURRENT)) return Refuse(why, "cannot skip a pad byte");
        at += size + pad;
    }
    return Refuse(why, "too many chunks");
}

}  // namespace os::detail

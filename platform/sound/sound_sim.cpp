// The simulator's side of the sound player: the run's sound log.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/sound/internal/sound_record.h"
#include "platform/sound/sound.h"

namespace os::sim {
namespace {

// What a WAVE file's 32-bit sizes can carry (some 74 hours at 8000 Hz).
constexpr std::uint64_t kMaxSoundLogDataBytes = 0xFFFFFFFFull - 36;

void PutLe(std::vector<unsigned char>* out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> WaveHeader(std::uint32_t dataBytes)
{
    std::vector<unsigned char> h;
    h.reserve(44);  // the canonical PCM header
    const auto tag = [&](const char* t) { h.insert(h.end(), t, t + 4); };
    tag("RIFF");
    PutLe(&h, 36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    PutLe(&h, 16, 4);
    PutLe(&h, 1, 2);  // PCM
    PutLe(&h, 1, 2);  // mono
    PutLe(&h, kSoundLogRate, 4);
    PutLe(&h, kSoundLogRate * 2, 4);
    PutLe(&h, 2, 2);
    PutLe(&h, 16, 2);
    tag("data");
    PutLe(&h, dataBytes, 4);
    return h;
}

bool Refuse(std::string* error, std::string reason)
{
    if (error != nullptr) *error = std::move(reason);
    return false;
}

}  // namespace

bool WriteSoundLog(const std::string& hostPath, std::string* error)
{
    struct Placed {
        std::uint64_t start;  // in log samples
        std::vector<std::int16_t> samples;
    };
    std::vector<Placed> sounds;
    std::uint64_t total = 0;
    {
        std::lock_guard lock(detail::SoundMutex());
        for (const detail::PlayedSound& played : detail::PlayedSounds()) {
            const std::uint64_t start = static_cast<std::uint64_t>(played.play.deviceTimeUs) * kSoundLogRate / 1000000;
            total = std::max<std::uint64_t>(total, start + played.samples.size());
            sounds.push_back(Placed{start, played.samples});
        }
    }
    if (total * 2 > kMaxSoundLogDataBytes) return Refuse(error, "the sound log " + hostPath + " would be too long");
    std::FILE* file = std::fopen(hostPath.c_str(), "wb");
    if (file == nullptr) return Refuse(error, "cannot write the sound log " + hostPath + ": " + std::strerror(errno));
    std::vector<unsigned char> bytes = WaveHeader(static_cast<std::uint32_t>(total * 2));
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // A second at a time, so that a long run with few sounds needs little memory.
    std::vector<std::int32_t> mix;
    for (std::uint64_t from = 0; written && from < total; from += kSoundLogRate) {
        const std::uint64_t to = std::min<std::uint64_t>(total, from + kSoundLogRate);
        mix.assign(to - from, 0);
        for (const Placed& sound : sounds) {
            const std::uint64_t begin = std::max(from, sound.start);
            const std::uint64_t end = std::min(to, sound.start + sound.samples.size());
            for (std::uint64_t i = begin; i < end; ++i) mix[i - from] += sound.samples[i - sound.start];
        }
        bytes.clear();
        for (const std::int32_t sample : mix) PutLe(&bytes, static_cast<std::uint16_t>(std::clamp(sample, -32768, 32767)), 2);
        written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        return Refuse(error, "cannot write the sound log " + hostPath + ": " + std::strerror(written ? errno : writeErrno));
    }
    return true;
}

}  // namespace os::sim

// The simulator's side of the sound player: the run's sound log.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/sound/internal/sound_record.h"
#include "platform/sound/sound.h"

namespace os::sim {
namespace {

void PutLe(std::vector<unsigned char>* out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> WaveHeader(std::uint32_t dataBytes)
{
    std::vector<unsigned char> h;
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
    std::vector<std::int32_t> mix;
    {
        std::lock_guard lock(detail::SoundMutex());
        for (const detail::PlayedSound& played : detail::PlayedSounds()) {
            const std::size_t start = static_cast<std::size_t>(played.play.deviceTimeUs * kSoundLogRate / 1000000);
            if (mix.size() < start + played.samples.size()) mix.resize(start + played.samples.size());
            for (std::size_t i = 0; i < played.samples.size(); ++i) mix[start + i] += played.samples[i];
        }
    }
    std::vector<unsigned char> bytes = WaveHeader(static_cast<std::uint32_t>(mix.size() * 2));
    for (const std::int32_t sample : mix) PutLe(&bytes, static_cast<std::uint16_t>(std::clamp(sample, -32768, 32767)), 2);
    std::FILE* file = std::fopen(hostPath.c_str(), "wb");
    if (file == nullptr) return Refuse(error, "cannot write the sound log " + hostPath + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        return Refuse(error, "cannot write the sound log " + hostPath + ": " + std::strerror(written ? errno : writeErrno));
    }
    return true;
}

}  // namespace os::sim

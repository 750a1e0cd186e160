// Internal to the sound player: the sounds played since the platform
// started, each with its samples in the sound log's format, under one mutex
// that is never held across a platform call.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/sound/sound.h"

namespace os::detail {

struct PlayedSound {
    sim::SoundPlay play;
    std::vector<std::int16_t> samples;  // mono, 16-bit, sim::kSoundLogRate
};

std::mutex& SoundMutex();
std::vector<PlayedSound>& PlayedSounds();

}  // namespace os::detail

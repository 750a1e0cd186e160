// The microphone's built-in sound: an engine humming at a slowly wandering
// speed and the rumble of tyres on the road, at a moderate level. Every
// sample is a function of its number and the rate alone (the noise comes
// from a seeded hash of the sample number), so the same samples come back
// however the calls split the stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/media/media_sim.h"

namespace sim {

class EngineSound final : public os::sim::SoundSource {
public:
    void Fill(std::int64_t first, int rate, std::int16_t* pcm, std::size_t count) override;

    // Sample `n` of the sound at `rate`.
    static std::int16_t Sample(std::int64_t n, int rate);
};

}  // namespace sim

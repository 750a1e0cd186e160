// For the platform layer only: the sources and faults the simulator set
// (media_sim.h), as the camera, microphone and codec stand-ins read them.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/media/media_sim.h"

namespace os::detail {

std::shared_ptr<sim::PictureSource> CurrentPictureSource();
std::shared_ptr<sim::SoundSource> CurrentSoundSource();
// The still the simulator set; null when the camera makes its own.
std::shared_ptr<const std::vector<std::uint8_t>> CurrentStillPicture();
// Device time (microseconds) until which the stream is stalled; 0 when never.
std::int64_t CameraStalledUntilUs();
std::int64_t MicrophoneStalledUntilUs();
// True when the encode numbered `frame` (counted over the run from 0) must
// time out; a pending "next encode" fault is used up by this call.
bool EncodeTimesOut(std::uint64_t frame);

}  // namespace os::detail

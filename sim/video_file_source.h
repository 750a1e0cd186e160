// Pictures and sound from a host video file, for runs that should see a
// real drive. The file plays in a loop over its length, timed by device
// time: the picture for a frame is the file's frame shown at (deviceUs since
// the first Fill) modulo the file's duration, scaled to the asked size; the
// sound is the file's first sound stream as mono 16-bit samples at the asked
// rate, each loop exactly as long as the file (cut or padded with silence),
// so that pictures and sound stay together. A file without sound gives
// silence. Decoding is sequential on the caller's thread (going back means
// decoding again from the start), so the output depends only on the calls.
#pragma once

#include <memory>
#include <string>

#include "platform/media/media_sim.h"

namespace sim {

// Null with *error naming the file and FFmpeg's reason when the file cannot
// be opened, has no video stream, or its video or sound cannot be decoded.
std::shared_ptr<os::sim::PictureSource> OpenVideoPictures(const std::string& path, std::string* error);
std::shared_ptr<os::sim::SoundSource> OpenVideoSound(const std::string& path, std::string* error);

}  // namespace sim

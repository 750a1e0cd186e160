// The simulator's side of the handset's camera, microphone and codec: what
// the lens sees, what the microphone hears, and the faults a run can cause.
// Set by the simulator (sim/) from the profile and scenario, never by the
// program. StartPlatform puts back the built-in sources and clears faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/types.h"

namespace os::sim {

// What the lens sees. Fill() writes one planar YV12 picture (Y plane, then
// the V plane, then the U plane, each chroma plane width/2 x height/2, no
// padding) of frame `index` (frames counted since the camera was opened),
// taken at device time `deviceUs`. Width and height are even. Called on the
// camera's streaming thread only; the camera then stamps the capture index
// over the picture's top band (capture_index.h).
class PictureSource {
public:
    virtual ~PictureSource() = default;
    virtual void Fill(std::uint32_t index, std::int64_t deviceUs, int width, int height, std::uint8_t* yv12) = 0;
};

// What the microphone hears: `count` mono signed 16-bit samples at `rate`
// samples per second, starting at sample `first` (counted since the
// microphone was opened). Called on the microphone's streaming thread only.
class SoundSource {
public:
    virtual ~SoundSource() = default;
    virtual void Fill(std::int64_t first, int rate, std::int16_t* pcm, std::size_t count) = 0;
};

// Null puts back the built-in source (a plain moving test picture, silence).
void SetPictureSource(std::shared_ptr<PictureSource> source);
void SetSoundSource(std::shared_ptr<SoundSource> source);

// A camera that takes its stills as JPEG: a camera opened after this call
// offers "IJPG" on its still pin and delivers these bytes, as they are, for
// every still in that format instead of a picture it makes. Empty bytes put
// back the camera that makes its stills itself (YV12 by default).
void SetStillPicture(std::vector<std::uint8_t> jpeg);

// Faults. Times are device microseconds; a stall holds the stream's next
// sample back until the stall ends (the samples it would have delivered
// meanwhile are lost, as a stuck sensor loses them).
struct MediaFaults {
    LONG cameraOpenError = 0;                 // SmiCameraOpen fails with this result; 0: it opens
    bool encoderOpenFails = false;            // the codec refuses every open
    std::int64_t encoderTimeoutAtFrame = -1;  // the encode of this frame (counted over the run) times out
};
// Replaces the faults set before; false (nothing changes) for a camera open
// error that is not a failure result (not negative).
bool SetMediaFaults(const MediaFaults& faults);
MediaFaults CurrentMediaFaults();

// Scenario events, from the device time of the call on.
void StallCamera(std::int64_t durationUs);
void StallMicrophone(std::int64_t durationUs);
// The next encode times out, as a hung codec does.
void TimeOutNextEncode();

}  // namespace os::sim

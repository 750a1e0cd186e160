#include "platform/media/media_sim.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/clock.h"
#include "platform/media/internal/media_faults.h"

namespace os {

namespace {

// A plain test picture: a luma ramp that slides one pixel per frame over
// neutral chroma, so motion shows without the simulator's scenes.
class BuiltInPicture final : public sim::PictureSource {
public:
    void Fill(std::uint32_t index, std::int64_t, int width, int height, std::uint8_t* yv12) override
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                yv12[y * width + x] = static_cast<std::uint8_t>(16 + (x + y + index) % 220);
        std::memset(yv12 + width * height, 128, static_cast<std::size_t>(width) * height / 2);
    }
};

class Silence final : public sim::SoundSource {
public:
    void Fill(std::int64_t, int, std::int16_t* pcm, std::size_t count) override
    {
        std::fill(pcm, pcm + count, std::int16_t{0});
    }
};

struct MediaSimState {
    std::mutex mu;
    std::shared_ptr<sim::PictureSource> picture;
    std::shared_ptr<sim::SoundSource> sound;
    std::shared_ptr<const std::vector<std::uint8_t>> still;
    sim::MediaFaults faults;
    std::int64_t cameraStallUntilUs = 0;
    std::int64_t micStallUntilUs = 0;
    bool nextEncodeTimesOut = false;
};

MediaSimState& MediaSim()
{
    static MediaSimState state;
    return state;
}

}  // namespace

void sim::SetPictureSource(std::shared_ptr<PictureSource> source)
{
    std::lock_guard lk(MediaSim().mu);
    MediaSim().picture = source ? std::move(source) : std::make_shared<BuiltInPicture>();
}

void sim::SetSoundSource(std::shared_ptr<SoundSource> source)
{
    std::lock_guard lk(MediaSim().mu);
    MediaSim().sound = source ? std::move(source) : std::make_shared<Silence>();
}

void sim::SetStillPicture(std::vector<std::uint8_t> jpeg)
{
    auto still = jpeg.empty() ? nullptr : std::make_shared<const std::vector<std::uint8_t>>(std::move(jpeg));
    std::lock_guard lk(MediaSim().mu);
    MediaSim().still = std::move(still);
}

bool sim::SetMediaFaults(const MediaFaults& faults)
{
    if (faults.cameraOpenError > 0) return false;
    std::lock_guard lk(MediaSim().mu);
    MediaSim().faults = faults;
    return true;
}

sim::MediaFaults sim::CurrentMediaFaults()
{
    std::lock_guard lk(MediaSim().mu);
    return MediaSim().faults;
}

namespace {
// The end of a stall from now, saturated so that a huge duration means "for ever".
std::int64_t StallEnd(std::int64_t durationUs)
{
    const std::int64_t now = DeviceTimeUs();
    const std::int64_t d = std::max<std::int64_t>(durationUs, 0);
    return d > INT64_MAX - now ? INT64_MAX : now + d;
}
}  // namespace

void sim::StallCamera(std::int64_t durationUs)
{
    const std::int64_t until = StallEnd(durationUs);
    std::lock_guard lk(MediaSim().mu);
    MediaSim().cameraStallUntilUs = std::max(MediaSim().cameraStallUntilUs, until);
}

void sim::StallMicrophone(std::int64_t durationUs)
{
    const std::int64_t until = StallEnd(durationUs);
    std::lock_guard lk(MediaSim().mu);
    MediaSim().micStallUntilUs = std::max(MediaSim().micStallUntilUs, until);
}

void sim::TimeOutNextEncode()
{
    std::lock_guard lk(MediaSim().mu);
    MediaSim().nextEncodeTimesOut = true;
}

std::shared_ptr<sim::PictureSource> detail::CurrentPictureSource()
{
    std::lock_guard lk(MediaSim().mu);
    if (!MediaSim().picture) MediaSim().picture = std::make_shared<BuiltInPicture>();
    return MediaSim().picture;
}

std::shared_ptr<sim::SoundSource> detail::CurrentSoundSource()
{
    std::lock_guard lk(MediaSim().mu);
    if (!MediaSim().sound) MediaSim().sound = std::make_shared<Silence>();
    return MediaSim().sound;
}

std::shared_ptr<const std::vector<std::uint8_t>> detail::CurrentStillPicture()
{
    std::lock_guard lk(MediaSim().mu);
    return MediaSim().still;
}

std::int64_t detail::CameraStalledUntilUs()
{
    std::lock_guard lk(MediaSim().mu);
    return MediaSim().cameraStallUntilUs;
}

std::int64_t detail::MicrophoneStalledUntilUs()
{
    std::lock_guard lk(MediaSim().mu);
    return MediaSim().micStallUntilUs;
}

bool detail::EncodeTimesOut(std::uint64_t frame)
{
    std::lock_guard lk(MediaSim().mu);
    if (MediaSim().nextEncodeTimesOut) {
        MediaSim().nextEncodeTimesOut = false;
        return true;
    }
    return MediaSim().faults.encoderTimeoutAtFrame >= 0 &&
           static_cast<std::uint64_t>(MediaSim().faults.encoderTimeoutAtFrame) == frame;
}

void detail::ResetMediaSim()
{
    std::lock_guard lk(MediaSim().mu);
    MediaSim().picture.reset();
    MediaSim().sound.reset();
    MediaSim().still.reset();
    MediaSim().faults = {};
    MediaSim().cameraStallUntilUs = 0;
    MediaSim().micStallUntilUs = 0;
    MediaSim().nextEncodeTimesOut = false;
}

}  // namespace os

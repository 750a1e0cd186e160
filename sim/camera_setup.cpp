#include "sim/camera_setup.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/media/media_sim.h"
#include "sim/engine_sound.h"
#include "sim/road_scene.h"
#include "sim/text_file.h"
#include "sim/video_file_source.h"

namespace sim {

bool ConnectCamera(const DeviceProfile& profile, std::string* error)
{
    const CameraProfile& camera = profile.camera;
    std::shared_ptr<os::sim::PictureSource> pictures;
    std::shared_ptr<os::sim::SoundSource> sound;
    std::string why;
    if (camera.video.empty()) {
        pictures = std::make_shared<RoadScene>();
        sound = std::make_shared<EngineSound>();
    } else if (!(pictures = OpenVideoPictures(camera.video, &why)) || !(sound = OpenVideoSound(camera.video, &why))) {
        *error = "camera.video: " + why;
        return false;
    }
    std::string still;
    if (!camera.still.empty() && !ReadStillPicture(camera.still, &still, &why)) {
        *error = "camera.still: " + camera.still + ": " + why;
        return false;
    }
    os::sim::MediaFaults faults;
    faults.cameraOpenError = camera.openError;
    faults.encoderOpenFails = camera.encoder.failOpen;
    faults.encoderTimeoutAtFrame = camera.encoder.timeoutAtFrame;
    if (!os::sim::SetMediaFaults(faults)) {
        *error = "camera.openError: not a failure result";
        return false;
    }
    os::sim::SetPictureSource(std::move(pictures));
    os::sim::SetSoundSource(std::move(sound));
    os::sim::SetStillPicture(std::vector<std::uint8_t>(still.begin(), still.end()));
    return true;
}

}  // namespace sim

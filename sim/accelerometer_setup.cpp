#include "sim/accelerometer_setup.h"

#include "platform/devices/accelerometer_sim.h"
#include "sim/accel_replay.h"
#include "sim/text_file.h"

namespace sim {
namespace {

// A day of readings at 50 a second is some 150 MB.

}  // namespace

bool ConnectAccelerometer(const DeviceProfile& profile, std::string* error)
{
    const AccelerometerProfile& accel = profile.accelerometer;
    os::sim::AccelerometerConfig config;
    config.resting = accel.resting;
    config.noise = accel.noise;
    config.countsPerG = accel.countsPerG;
    config.failure = accel.fail;
    config.readLog = accel.readLog;
    if (!accel.replay.empty()) {
        std::string text;
        std::string why;
        if (!ReadRegularFile(accel.replay, kMaxReplayBytes, &text, &why) ||
            !ParseAccelReplay(text, accel.units, accel.countsPerG, &config.replay, &why)) {
            *error = "accelerometer.replay: " + accel.replay + ": " + why;
            return false;
        }
    }
    std::string why;
    if (!os::sim::ConfigureAccelerometer(config, &why)) {
        *error = (accel.readLog.empty() ? "accelerometer: " : "accelerometer.readLog: ") + why;
        return false;
    }
    return true;
}

}  // namespace sim

// The simulated GPS receiver at the far end of the GPS port. While the
// program has the port open it talks, on a platform thread of its own:
// either each whole second of device time it reports where the route puts
// it (see gps_route.h; its clock is the phone's local time), or it replays
// a recorded log at the pace of its UTC times (see nmea_replay.h).
//
// Scenario events reach it from other threads: the sky can be lost (a
// tunnel: the reports go on without a fix, while the drive goes on) and
// found again, and garbage can be thrown onto the line.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/devices/comm.h"
#include "sim/gps_route.h"
#include "sim/nmea_replay.h"

namespace sim {

class GpsReceiver : public os::sim::CommLine {
public:
    struct Drive {
        std::vector<GpsWaypoint> route;
        bool loop = true;
        int satellites = 8;   // in the fix
        double altitude = 0;  // metres
    };

    static std::shared_ptr<GpsReceiver> Driving(const Drive& drive);
    static std::shared_ptr<GpsReceiver> Replaying(std::vector<ReplayChunk> chunks, bool loop);
    ~GpsReceiver() override;

    void SetSkyVisible(bool visible);
    // `count` bytes of noise, sent at once.
    void SendGarbage(std::size_t count);

    void OnPortOpened() override;
    void OnPortClosed() override;

private:
    GpsReceiver() = default;
    static os::DWORD Talk(void* self);
    void DriveUntilStopped();
    void ReplayUntilStopped();
    // False when the stop came first.
    bool WaitUntilDeviceMs(std::int64_t ms);
    void Stop();

    Drive drive_;
    std::vector<ReplayChunk> replay_;
    bool replaying_ = false;
    bool loop_ = true;
    std::atomic<bool> skyVisible_{true};
    std::mutex garbageMutex_;  // the noise generator's state
    std::uint32_t garbageSeed_ = 0x2545F491u;
    os::HANDLE thread_ = nullptr;
    os::HANDLE stop_ = nullptr;
};

}  // namespace sim

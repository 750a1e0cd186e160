#include "sim/gps_setup.h"

#include <memory>
#include <mutex>
#include <utility>

#include "platform/devices/gps_driver.h"
#include "platform/devices/host_serial.h"
#include "sim/gps_receiver.h"
#include "sim/nmea_replay.h"
#include "sim/text_file.h"

namespace sim {
namespace {

// A day of a receiver's sentences at once a second is some 50 MB.

std::mutex g_mutex;
std::string g_port;  // where a line is plugged in; empty: none
std::shared_ptr<GpsReceiver> g_receiver;

std::shared_ptr<GpsReceiver> Receiver()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_receiver;
}

// The line the profile puts on the port; null with *error set.
std::shared_ptr<os::sim::CommLine> MakeLine(const GpsProfile& gps, std::shared_ptr<GpsReceiver>* simulated,
                                            std::string* error)
{
    if (!gps.hostDevice.empty()) {
        std::string why;
        auto line = os::sim::HostSerialLine::Open(gps.hostDevice, &why);
        if (!line) *error = "gps.hostDevice: " + why;
        return line;
    }
    if (!gps.replay.empty()) {
        std::string log;
        std::string why;
        if (!ReadRegularFile(gps.replay, kMaxReplayBytes, &log, &why)) {
            if (why == kNotARegularFile) why += " (a receiver on a host device is gps.hostDevice)";
            *error = "gps.replay: " + gps.replay + ": " + why;
            return nullptr;
        }
        *simulated = GpsReceiver::Replaying(PlanReplay(log), gps.loop);
        return *simulated;
    }
    *simulated = GpsReceiver::Driving(GpsReceiver::Drive{gps.route, gps.loop, gps.satellites, gps.altitude});
    return *simulated;
}

}  // namespace

bool ConnectGps(const DeviceProfile& profile, std::string* error)
{
    DisconnectGps();
    os::sim::GpsDeviceConfig device;
    device.present = profile.gps.has_value();
    if (!device.present) {
        os::sim::ConfigureGpsDevice(device);
        return true;
    }
    std::shared_ptr<GpsReceiver> simulated;
    const std::shared_ptr<os::sim::CommLine> line = MakeLine(*profile.gps, &simulated, error);
    if (!line) return false;
    device.multiplexPort = profile.gps->port;
    if (!os::sim::ConfigureGpsDevice(device) || !os::sim::AttachCommPort(profile.gps->port, line)) {
        *error = "gps.port: " + profile.gps->port + " cannot take the receiver";
        os::sim::ConfigureGpsDevice(os::sim::GpsDeviceConfig{});
        return false;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_port = profile.gps->port;
    g_receiver = simulated;
    return true;
}

void DisconnectGps()
{
    std::string port;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        port = std::exchange(g_port, std::string());
        g_receiver.reset();
    }
    if (!port.empty()) os::sim::DetachCommPort(port);
    os::sim::ConfigureGpsDevice(os::sim::GpsDeviceConfig{});
}

bool SetGpsSkyVisible(bool visible)
{
    const auto receiver = Receiver();
    if (receiver) receiver->SetSkyVisible(visible);
    return receiver != nullptr;
}

bool SendGpsGarbage(std::size_t count)
{
    const auto receiver = Receiver();
    if (receiver) receiver->SendGarbage(count);
    return receiver != nullptr;
}

}  // namespace sim

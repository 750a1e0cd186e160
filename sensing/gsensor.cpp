#include "sensing/gsensor.h"

#include <cstdint>

#include "platform/kernel/clock.h"
#include "sensing/accel_device.h"
#include "sensing/gsensor_options.h"
#include "sensing/sensor_manager.h"

namespace {

struct GSensorState {
    AccelSample latest{};
    AccelSample detected{};  // the sample last handed to the detector
    AccelSample copy{};      // what get returned last
    ShockWindow window;
    unsigned readCount = 0;
};

GSensorState* g_state = nullptr;
SmsScales g_scales;

std::int32_t ReadGSensor()
{
    if (g_state == nullptr) return 0;
    GSensorState& s = *g_state;
    ++s.readCount;
    AccelSample sample = s.latest;
    std::int16_t axes[3];
    if (ReadAccelDevice(axes)) {
        sample.x = axes[0];
        sample.y = axes[1];
        sample.z = axes[2];
    }
    sample.tick = os::GetTickCount();
    s.latest = sample;
    if (s.readCount == 1) return 0;
    s.detected = sample;
    return ShockDetect(&s.window, sample, g_scales);
}

const AccelSample* GetGSensor(int selector)
{
    if (g_state == nullptr) return nullptr;
    g_state->copy = selector != 0 ? g_state->latest : g_state->detected;
    return &g_state->copy;
}

int SetGSensorOption(int option, std::intptr_t argument)
{
    if (g_state == nullptr) return -1;
    ShockWindow& w = g_state->window;
    switch (option) {
    case kGSensorOptSetSampling:
        return SetShockWindowSize(&w, static_cast<int>(argument)) ? 0 : -1;
    case kGSensorOptSetErrorCount:
        return SetShockErrorCount(&w, static_cast<int>(argument)) ? 0 : -1;
    case kGSensorOptSetThreshold: {
        const auto* t = reinterpret_cast<const float*>(argument);
        if (t == nullptr) return -1;
        w.thresholdX = t[0];
        w.thresholdY = t[1];
        w.thresholdZ = t[2];
        return 0;
    }
    default:
        return 0;
    }
}

SensorDescriptor g_gsensor{nullptr, kGSensorName, 0, ReadGSensor, GetGSensor, SetGSensorOption};

}  // namespace

int RegisterGSensor()
{
    if (g_state == nullptr) {
        g_state = new GSensorState{};
        SetShockWindowSize(&g_state->window, 5);
    }
    const int result = SensorRegister(&g_gsensor);
    if (result == 0) g_gsensor.registered = 1;
    return result;
}

void UnregisterGSensor()
{
    if (g_gsensor.registered != 0) SensorUnregister(&g_gsensor);
    g_gsensor.registered = 0;
    delete g_state;
    g_state = nullptr;
}

void SetGSensorSmsScales(const SmsScales& scales) { g_scales = scales; }

unsigned GSensorReadCount() { return g_state != nullptr ? g_state->readCount : 0; }

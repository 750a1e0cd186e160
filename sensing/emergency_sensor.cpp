#include "sensing/emergency_sensor.h"

#include "sensing/sensor_manager.h"

namespace {

int g_pressed = 0;

std::int32_t ReadEmergency()
{
    return g_pressed != 0 ? 1 : 0;
}

SensorDescriptor g_emergency{nullptr, "Emergency", 0, ReadEmergency, nullptr, nullptr};

}  // namespace

int RegisterEmergencySensor()
{
    g_pressed = 0;
    const int result = SensorRegister(&g_emergency);
    if (result == 0) g_emergency.registered = 1;
    return result;
}

void UnregisterEmergencySensor()
{
    if (g_emergency.registered == 0) return;
    SensorUnregister(&g_emergency);
    g_emergency.registered = 0;
}

#include "sensing/sensor_manager.h"

#include <cstring>

#include "sensing/emergency_sensor.h"
#include "sensing/gsensor.h"

namespace {

SensorManager* g_manager = nullptr;

// The built-in sensors, registered in table order and unregistered in the
// same order.
struct SensorModule {
    int (*registerSensor)();
    void (*unregisterSensor)();
};

constexpr SensorModule kSensorModules[] = {
    {RegisterEmergencySensor, UnregisterEmergencySensor},
    {RegisterGSensor, UnregisterGSensor},
};

bool InRegistry(const SensorDescriptor* sensor)
{
    for (const SensorDescriptor* s = g_manager->sensors; s != nullptr; s = s->next) {
        if (s == sensor) return true;
    }
    return false;
}

}  // namespace

int SensorManagerCreate()
{
    if (g_manager != nullptr) return -1;
    g_manager = new SensorManager{};
    for (const SensorModule& module : kSensorModules) module.registerSensor();
    return 0;
}

int SensorManagerDestroy()
{
    if (g_manager == nullptr) return -1;
    for (const SensorModule& module : kSensorModules) module.unregisterSensor();
    delete g_manager;
    g_manager = nullptr;
    return 0;
}

int SensorRegister(SensorDescriptor* sensor)
{
    // A second insertion of the same descriptor would close the list into a ring.
    if (g_manager == nullptr || sensor == nullptr || InRegistry(sensor)) return -1;
    sensor->next = g_manager->sensors;
    g_manager->sensors = sensor;
    ++g_manager->count;
    return 0;
}

int SensorUnregister(SensorDescriptor* sensor)
{
    if (g_manager == nullptr) return -1;
    for (SensorDescriptor** link = &g_manager->sensors; *link != nullptr; link = &(*link)->next) {
        if (*link == sensor) {
            *link = sensor->next;
            sensor->next = nullptr;
            return 0;
        }
    }
    return -1;
}

int SensorManagerEnable()
{
    if (g_manager == nullptr) return -1;
    g_manager->enabled = 1;
    return 0;
}

int SensorManagerDisable()
{
    if (g_manager == nullptr) return -1;
    g_manager->enabled = 0;
    return 0;
}

int SensorManagerPoll()
{
    if (g_manager == nullptr) return -1;
    if (g_manager->enabled == 0) return 0;
    if (g_manager->manualEvent == 1) return 1;
    int result = 0;
    for (const SensorDescriptor* s = g_manager->sensors; s != nullptr; s = s->next) {
        if (s->read != nullptr) result |= s->read();
    }
    return result;
}

void SensorRequestManualEvent()
{
    if (g_manager != nullptr) g_manager->manualEvent = 1;
}

int SensorManualEventPending()
{
    return g_manager != nullptr ? g_manager->manualEvent : 0;
}

int SensorClearManualEvent()
{
    if (g_manager == nullptr) return 0;
    g_manager->manualEvent = 0;
    return 1;
}

int SensorSetOption(const char* name, int option, std::intptr_t argument)
{
    const SensorDescriptor* sensor = SensorFind(name);
    if (sensor == nullptr || sensor->setOption == nullptr) return -1;
    return sensor->setOption(option, argument);
}

const SensorDescriptor* SensorFirst()
{
    return g_manager != nullptr ? g_manager->sensors : nullptr;
}

const SensorDescriptor* SensorFind(const char* name)
{
    if (name == nullptr) return nullptr;
    for (const SensorDescriptor* s = SensorFirst(); s != nullptr; s = s->next) {
        if (std::strcmp(s->name, name) == 0) return s;
    }
    return nullptr;
}

// The sensor framework: one process-wide registry of named sensors, each
// with an optional read, get and set-option operation. The recorder creates
// it, enables it while a recording runs and polls it from the main window's
// timer; a poll reports whether any sensor (or a manual request) saw an event.
//
// Contract:
// - Everything here runs on the main window's thread; there are no locks.
// - Results follow the framework's own convention: 0 for success, -1 when
//   there is no manager or the argument is not acceptable (nothing changes
//   then); the poll returns 1 for an event.
// - A sensor's module owns its descriptor (statically allocated) and its
//   state; the registry only links descriptors, newest first.
#pragma once

#include <cstdint>

#include "sensing/accel_sample.h"

struct SensorDescriptor {
    SensorDescriptor* next;  // the registry's link, set by SensorRegister
    const char* name;        // compared byte for byte
    int registered;          // set by the sensor's module once its registration succeeded
    // 1 for an event, 0 for nothing.
    std::int32_t (*read)();
    // The sample that `selector` picks; the sensor keeps it until the next get.
    const AccelSample* (*get)(int selector);
    // 0 when the option was taken or ignored, -1 when its argument was refused.
    // The argument is a number or an address, as the option defines.
    int (*setOption)(int option, std::intptr_t argument);
};

struct SensorManager {
    SensorDescriptor* sensors;  // newest first
    std::uint32_t count;        // registrations performed
    int manualEvent;            // a manual event waits to be collected
    int enabled;                // polls read nothing while 0
};

// Makes the manager and registers the built-in sensors. -1 when one exists already.
int SensorManagerCreate();
// Unregisters the built-in sensors and frees the manager.
int SensorManagerDestroy();
// Inserts at the head; -1 for a null descriptor or one already registered.
int SensorRegister(SensorDescriptor* sensor);
// Unlinks the descriptor; -1 when it is not registered.
int SensorUnregister(SensorDescriptor* sensor);
int SensorManagerEnable();
int SensorManagerDisable();
// -1 without a manager, 0 while disabled, 1 while a manual event waits (no
// sensor is read then), else the OR of every registered read, newest first.
int SensorManagerPoll();
void SensorRequestManualEvent();
int SensorManualEventPending();
// 1 when the flag was cleared, 0 without a manager.
int SensorClearManualEvent();
// Hands the option to the first sensor named `name`; -1 when that sensor has
// no setOption or there is none, else the sensor's result.
int SensorSetOption(const char* name, int option, std::intptr_t argument);
// The newest registered sensor (walk on with `next`); null when none.
const SensorDescriptor* SensorFirst();
// The first registered sensor named `name`, or null.
const SensorDescriptor* SensorFind(const char* name);

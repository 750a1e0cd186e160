// The G-sensor: the framework's sensor "GSensor". Each read takes one sample
// from the accelerometer device (a failed read repeats the previous axes),
// keeps it, and from the second read on runs the shock detector over it.
// Options (gsensor_options.h): the window size, the error count and the
// three thresholds; values outside their range are refused with -1.
//
// Runs on the main window's thread, through the framework; no locks.
#pragma once

#include "sensing/shock_detect.h"

// Makes the state (window of 5, error count 1, thresholds 0.5) and registers
// the sensor; 0 on success. A second registration keeps the first state.
int RegisterGSensor();
// Unregisters the sensor and frees its state.
void UnregisterGSensor();
// The accident SMS's scales, as the poll reads them from the settings just
// before it reads the sensors.
void SetGSensorSmsScales(const SmsScales& scales);
// The reads since the sensor was made (0 without it).
unsigned GSensorReadCount();

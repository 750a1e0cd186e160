// The accelerometer device "ACC1:": opened, read once and closed for every
// sample, as the driver expects.
#pragma once

#include <cstdint>

// The three axes in the driver's raw counts (X, Y, Z); false when the device
// does not open or the read fails (axes then unchanged).
bool ReadAccelDevice(std::int16_t axes[3]);

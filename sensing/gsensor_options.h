// The G-sensor's registry name and its option numbers (fixed), as
// SensorSetOption hands them to it.
#pragma once

constexpr const char* kGSensorName = "GSensor";
// Argument: the window size in samples; the window restarts empty.
constexpr int kGSensorOptSetSampling = 1;
// Argument: the number of qualifying sample pairs that make an event.
constexpr int kGSensorOptSetErrorCount = 2;
// Argument: the address of three floats, the X, Y and Z thresholds in raw counts.
constexpr int kGSensorOptSetThreshold = 3;

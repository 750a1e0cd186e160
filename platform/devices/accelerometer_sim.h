// Simulator side of the handset's accelerometer, the driver behind "ACC1:"
// (platform/devices/device_io.h has its read). One sensor per process; a
// fresh StartPlatform puts back the defaults below.
//
// Each read answers counts at the device time of the read (platform clock,
// whole milliseconds): the replay table's latest row at or before that time
// (before the first row, the first row) or, without a table, the resting
// counts with noise; then every shock in progress adds its half-sine; the sum
// is clamped to the signed 16-bit range. Noise comes from a generator seeded
// by the read's device time, so the same run reads the same values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os::sim {

struct AccelerometerCounts {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t z = 0;
    bool operator==(const AccelerometerCounts&) const = default;
};

enum class AccelerometerFailure {
    None,
    Open,  // CreateFileW("ACC1:") fails with ERROR_GEN_FAILURE
    Read,  // it opens; every read fails with ERROR_GEN_FAILURE
};

struct AccelerometerRow {
    std::int64_t timeMs = 0;  // device time
    AccelerometerCounts counts;
    bool operator==(const AccelerometerRow&) const = default;
};

constexpr int kDefaultCountsPerG = 1024;
constexpr int kDefaultAccelerometerNoise = 8;
constexpr int kMaxAccelerometerCounts = 32767;

struct AccelerometerConfig {
    AccelerometerCounts resting{0, 0, kDefaultCountsPerG};  // lying flat, screen up: gravity on z
    int noise = kDefaultAccelerometerNoise;  // each axis of a resting read moves by up to this much either way
    int countsPerG = kDefaultCountsPerG;     // the sensor's scale, for whoever converts to and from g
    AccelerometerFailure failure = AccelerometerFailure::None;
    std::vector<AccelerometerRow> replay;    // in time order; empty: resting counts with noise
    std::string readLog;  // host file taking "device_ms,x,y,z" for every read answered; empty: none
    bool operator==(const AccelerometerConfig&) const = default;
};

// Replaces the whole configuration; reads from then on follow it. False,
// nothing changed, with *error set when noise is outside 0..32767,
// countsPerG outside 1..32767, a row's time is negative or before the row
// above it, or the read log cannot be created (its path and the system's
// reason). The log is created empty.
bool ConfigureAccelerometer(const AccelerometerConfig& config, std::string* error);
AccelerometerConfig CurrentAccelerometer();

// A jolt: from device time startMs for durationMs, each axis gains
// peak x sin(pi x elapsed / duration). Shocks that overlap add up.
struct AccelerometerShock {
    std::int64_t startMs = 0;
    std::int64_t durationMs = 0;
    AccelerometerCounts peak;
};
// False, nothing changed, for a duration not above 0 or a negative start.
bool ShockAccelerometer(const AccelerometerShock& shock);

}  // namespace os::sim

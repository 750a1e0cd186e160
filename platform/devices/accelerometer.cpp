// The accelerometer driver behind "ACC1:" and its simulator side.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <numbers>
#include <random>
#include <utility>

#include "platform/base/host_problem.h"
#include "platform/base/internal/fresh_start.h"
#include "platform/devices/accelerometer_sim.h"
#include "platform/devices/device_io.h"
#include "platform/devices/internal/device_table.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"

namespace os {
namespace {

using sim::AccelerometerConfig;
using sim::AccelerometerCounts;
using sim::AccelerometerShock;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

struct Sensor {
    std::mutex mutex;
    AccelerometerConfig config;
    std::vector<AccelerometerShock> shocks;
    LogFile log;
};

Sensor& TheSensor()
{
    static Sensor sensor;
    return sensor;
}

std::int16_t Clamp(double counts)
{
    return static_cast<std::int16_t>(std::clamp(std::lround(counts), -32768L, 32767L));
}

int Noise(std::mt19937& generator, int amplitude)
{
    return amplitude == 0 ? 0 : std::uniform_int_distribution<int>(-amplitude, amplitude)(generator);
}

// Counts of a read at device time `ms`. Call with the sensor's mutex held.
AccelerometerCounts CountsAt(Sensor& sensor, std::int64_t ms)
{
    const AccelerometerConfig& config = sensor.config;
    double x = 0, y = 0, z = 0;
    if (!config.replay.empty()) {
        auto after = std::upper_bound(config.replay.begin(), config.replay.end(), ms,
                                      [](std::int64_t t, const sim::AccelerometerRow& row) { return t < row.timeMs; });
        const sim::AccelerometerRow& row = after == config.replay.begin() ? *after : *(after - 1);
        x = row.counts.x;
        y = row.counts.y;
        z = row.counts.z;
    } else {
        std::seed_seq seed{static_cast<std::uint32_t>(ms), static_cast<std::uint32_t>(ms >> 32)};
        std::mt19937 generator(seed);
        x = config.resting.x + Noise(generator, config.noise);
        y = config.resting.y + Noise(generator, config.noise);
        z = config.resting.z + Noise(generator, config.noise);
    }
    std::erase_if(sensor.shocks, [ms](const AccelerometerShock& s) { return ms >= s.startMs + s.durationMs; });
    for (const AccelerometerShock& shock : sensor.shocks) {
        if (ms < shock.startMs) continue;
        const double phase =
            std::sin(std::numbers::pi * static_cast<double>(ms - shock.startMs) / static_cast<double>(shock.durationMs));
        x += shock.peak.x * phase;
        y += shock.peak.y * phase;
        z += shock.peak.z * phase;
    }
    return AccelerometerCounts{Clamp(x), Clamp(y), Clamp(z)};
}

void PutLittleEndian(std::int16_t value, BYTE* out)
{
    const auto bits = static_cast<std::uint16_t>(value);
    out[0] = static_cast<BYTE>(bits & 0xFF);
    out[1] = static_cast<BYTE>(bits >> 8);
}

class AccelerometerInstance : public detail::DeviceInstance {
public:
    DWORD Control(DWORD code, const void* /*in*/, DWORD /*inSize*/, void* out, DWORD outSize, DWORD* returned) override
    {
        *returned = 0;
        if (code != IOCTL_ACCELEROMETER_READ_XYZ) return ERROR_INVALID_PARAMETER;
        if (out == nullptr || outSize < kAccelerometerReadBytes) return ERROR_INSUFFICIENT_BUFFER;
        const std::int64_t ms = DeviceTimeUs() / 1000;
        Sensor& sensor = TheSensor();
        std::lock_guard<std::mutex> lock(sensor.mutex);
        if (sensor.config.failure == sim::AccelerometerFailure::Read) return ERROR_GEN_FAILURE;
        const AccelerometerCounts counts = CountsAt(sensor, ms);
        auto* bytes = static_cast<BYTE*>(out);
        PutLittleEndian(counts.x, bytes);
        PutLittleEndian(counts.y, bytes + 2);
        PutLittleEndian(counts.z, bytes + 4);
        *returned = kAccelerometerReadBytes;
        if (sensor.log &&
            (std::fprintf(sensor.log.get(), "%lld,%d,%d,%d\n", static_cast<long long>(ms), counts.x, counts.y,
                          counts.z) < 0 ||
             std::fflush(sensor.log.get()) != 0)) {
            sim::ReportHostProblem("accelerometer", "accelerometer.readLog " + sensor.config.readLog + ": " +
                                                        std::strerror(errno));
        }
        return ERROR_SUCCESS;
    }
};

bool NamesEqual(const std::string& a, const char* b)
{
    return std::equal(a.begin(), a.end(), b, b + std::strlen(b), [](char p, char q) {
        return std::toupper(static_cast<unsigned char>(p)) == std::toupper(static_cast<unsigned char>(q));
    });
}

bool Refuse(const std::string& why, std::string* error)
{
    *error = why;
    return false;
}

}  // namespace

bool detail::IsAccelerometerName(const std::string& name)
{
    return NamesEqual(name, "ACC1:");
}

HANDLE detail::OpenAccelerometer(const std::string& /*name*/, DWORD /*access*/)
{
    {
        Sensor& sensor = TheSensor();
        std::lock_guard<std::mutex> lock(sensor.mutex);
        if (sensor.config.failure == sim::AccelerometerFailure::Open) {
            SetLastError(ERROR_GEN_FAILURE);
            return nullptr;
        }
    }
    HANDLE handle = AddDeviceHandle(std::make_shared<AccelerometerInstance>());
    SetLastError(ERROR_SUCCESS);
    return handle;
}

void detail::ResetAccelerometer()
{
    Sensor& sensor = TheSensor();
    std::lock_guard<std::mutex> lock(sensor.mutex);
    sensor.config = AccelerometerConfig{};
    sensor.shocks.clear();
    sensor.log.reset();
}

bool sim::ConfigureAccelerometer(const AccelerometerConfig& config, std::string* error)
{
    if (config.noise < 0 || config.noise > kMaxAccelerometerCounts)
        return Refuse("noise " + std::to_string(config.noise) + " is outside 0 to 32767 counts", error);
    if (config.countsPerG < 1 || config.countsPerG > kMaxAccelerometerCounts)
        return Refuse("countsPerG " + std::to_string(config.countsPerG) + " is outside 1 to 32767", error);
    for (std::size_t i = 0; i < config.replay.size(); ++i) {
        const std::int64_t t = config.replay[i].timeMs;
        if (t < 0 || (i > 0 && t < config.replay[i - 1].timeMs))
            return Refuse("replay row " + std::to_string(i + 1) + ": time " + std::to_string(t) +
                              " ms is negative or before the row above",
                          error);
    }
    LogFile log;
    if (!config.readLog.empty()) {
        log.reset(std::fopen(config.readLog.c_str(), "we"));
        if (!log) return Refuse(config.readLog + ": " + std::strerror(errno), error);
    }
    Sensor& sensor = TheSensor();
    std::lock_guard<std::mutex> lock(sensor.mutex);
    sensor.config = config;
    sensor.log = std::move(log);
    return true;
}

sim::AccelerometerConfig sim::CurrentAccelerometer()
{
    Sensor& sensor = TheSensor();
    std::lock_guard<std::mutex> lock(sensor.mutex);
    return sensor.config;
}

bool sim::ShockAccelerometer(const AccelerometerShock& shock)
{
    if (shock.durationMs <= 0 || shock.startMs < 0) return false;
    Sensor& sensor = TheSensor();
    std::lock_guard<std::mutex> lock(sensor.mutex);
    sensor.shocks.push_back(shock);
    return true;
}

}  // namespace os

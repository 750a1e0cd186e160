#include "sim/engine_sound.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {
namespace {

constexpr std::uint64_t kSeed = 0x6b65737472617661ull;
constexpr double kFiringHz = 46;        // a four-cylinder engine near 1400 rpm
constexpr double kWanderHz = 0.13;      // how often the revs rise and fall
constexpr double kWanderDepthHz = 4;    // by how much
constexpr int kRumbleTaps = 6;          // moving average of the noise: tyre rumble, not hiss
constexpr double kHumLevel = 2600;
constexpr double kRumbleLevel = 2200;
// The harmonics' phase offsets, 0.7 and 1.9 radians.
const double kCos07 = std::cos(0.7), kSin07 = std::sin(0.7);
const double kCos19 = std::cos(1.9), kSin19 = std::sin(1.9);

// splitmix64: a well-mixed 64-bit value of the sample number.
std::uint64_t Hash(std::uint64_t x)
{
    x += kSeed + 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// Uniform noise in [-1, 1) for sample n.
double Noise(std::int64_t n)
{
    return static_cast<double>(Hash(static_cast<std::uint64_t>(n)) >> 11) * 0x1.0p-52 - 1.0;
}

// The sample whose rumble taps (Noise(n), Noise(n - 1), ... in that order)
// `tap` gives: the sum is formed in one order wherever the taps come from.
template <typename Tap>
std::int16_t Mix(std::int64_t n, int rate, Tap tap)
{
    const double t = static_cast<double>(n) / std::max(rate, 1);
    constexpr double kTwoPi = 2 * std::numbers::pi;
    // The phase of a tone whose frequency wanders as kFiringHz + depth * sin(2 pi w t).
    const double phase = kTwoPi * kFiringHz * t -
                         kWanderDepthHz / kWanderHz * std::cos(kTwoPi * kWanderHz * t) + kWanderDepthHz / kWanderHz;
    // The second and third harmonics from the first by the multiple-angle
    // formulas: one sine and cosine a sample instead of three sines.
    const double s = std::sin(phase);
    const double c = std::cos(phase);
    const double sin2 = 2 * s * c, cos2 = c * c - s * s;
    const double sin3 = s * (3 - 4 * s * s), cos3 = c * (4 * c * c - 3);
    const double hum = s + 0.5 * (sin2 * kCos07 + cos2 * kSin07) + 0.25 * (sin3 * kCos19 + cos3 * kSin19);
    double rumble = 0;
    for (int k = 0; k < kRumbleTaps; ++k) rumble += tap(k);
    rumble /= kRumbleTaps;
    const double value = kHumLevel * hum / 1.75 + kRumbleLevel * rumble;
    return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768l, 32767l));
}

int RingSlot(std::int64_t n)
{
    return static_cast<int>(((n % kRumbleTaps) + kRumbleTaps) % kRumbleTaps);
}

}  // namespace

std::int16_t EngineSound::Sample(std::int64_t n, int rate)
{
    return Mix(n, rate, [n](int k) { return Noise(n - k); });
}

// Each noise value is a tap of kRumbleTaps samples: a run draws it once.
void EngineSound::Fill(std::int64_t first, int rate, std::int16_t* pcm, std::size_t count)
{
    double noise[kRumbleTaps];
    for (int k = 1; k < kRumbleTaps; ++k) noise[RingSlot(first - k)] = Noise(first - k);
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t n = first + static_cast<std::int64_t>(i);
        noise[RingSlot(n)] = Noise(n);
        pcm[i] = Mix(n, rate, [&noise, n](int k) { return noise[RingSlot(n - k)]; });
    }
}

}  // namespace sim

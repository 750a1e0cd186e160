// The pre-event buffer against the plain way of holding the same samples, a
// std::deque of records each owning a std::vector of its bytes, dropped from
// the front while the bytes held pass the same budget. Both take one minute of
// an event-only stream per pass (15 frames/s video at 384 kbit/s with an
// intra frame each second, 8000 Hz 16-bit sound in 0.1 s blocks) into a store
// sized for a 30 s event span, already full, so every sample evicts. The
// passes alternate so that a busy machine stretches both alike;
// "deque_over_ring" is how many times longer the deque takes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "recorder/pre_event_buffer.h"

namespace {

constexpr std::uint32_t kEventTimeSec = 30;
constexpr std::uint32_t kVideoKbps = 384;
constexpr std::uint32_t kAudioKbps = 128;
constexpr std::uint32_t kNodes = 4096;
constexpr int kSamplesPerMinute = 60 * (15 + 10);

struct StreamSample {
    std::uint32_t kind;
    std::uint32_t tick;
    std::uint32_t size;
};

std::vector<StreamSample> OneMinute()
{
    std::mt19937 rng(7);
    std::vector<StreamSample> out;
    std::uint32_t tick = 0;
    for (int tenth = 0; tenth < 600; ++tenth, tick += 100) {
        out.push_back({kBufferedAudio, tick, 1600});
        // Three frames every two tenths.
        const int frames = tenth % 2 == 0 ? 2 : 1;
        for (int f = 0; f < frames; ++f) {
            const bool intra = (out.size() % 25) == 0;
            const auto size = static_cast<std::uint32_t>(intra ? 12000 + rng() % 4000 : 2000 + rng() % 1500);
            out.push_back({kBufferedVideo, tick, size});
        }
    }
    return out;
}

struct NaiveSample {
    std::uint32_t kind;
    std::uint32_t tick;
    std::int64_t start;
    std::int64_t stop;
    std::vector<std::uint8_t> bytes;
    GpsFix gps;
    double d1;
    double d2;
};

struct NaiveBuffer {
    std::deque<NaiveSample> samples;
    std::size_t bytes = 0;
    std::size_t capacity = 0;

    void Append(const StreamSample& s, const std::uint8_t* data, const GpsFix& gps)
    {
        while (!samples.empty() && bytes + s.size > capacity) {
            bytes -= samples.front().bytes.size();
            samples.pop_front();
        }
        samples.push_back({s.kind, s.tick, s.tick, s.tick + 1, std::vector<std::uint8_t>(data, data + s.size), gps,
                           0.001, 0.002});
        bytes += s.size;
    }
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_PreEventBufferVersusDeque(benchmark::State& state)
{
    const std::vector<StreamSample> minute = OneMinute();
    const std::vector<std::uint8_t> source(16384, 0x5A);
    const GpsFix gps{};
    const std::uint32_t capacity = PreEventBuffer_CapacityFor(kEventTimeSec, kVideoKbps, kAudioKbps);

    PreEventBuffer ring;
    if (!PreEventBuffer_Create(&ring, capacity, kNodes)) {
        state.SkipWithError("no memory for the store");
        return;
    }
    NaiveBuffer naive;
    naive.capacity = capacity;
    // Fill both first: the steady state is a full buffer.
    for (const StreamSample& s : minute) {
        PreEventBuffer_Append(&ring, s.kind, s.tick, s.tick, s.tick + 1, source.data(), s.size, gps, 0.001, 0.002);
        naive.Append(s, source.data(), gps);
    }

    double ringSeconds = 0;
    double dequeSeconds = 0;
    std::uint32_t refused = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (const StreamSample& s : minute)
            refused += 1 - PreEventBuffer_Append(&ring, s.kind, s.tick, s.tick, s.tick + 1, source.data(), s.size,
                                                 gps, 0.001, 0.002);
        ringSeconds += Seconds(std::chrono::steady_clock::now() - start);
        start = std::chrono::steady_clock::now();
        for (const StreamSample& s : minute) naive.Append(s, source.data(), gps);
        dequeSeconds += Seconds(std::chrono::steady_clock::now() - start);
        benchmark::DoNotOptimize(naive.samples.back().bytes.data());
    }
    if (refused != 0) state.SkipWithError("the buffer refused a sample");
    const double samples = static_cast<double>(state.iterations()) * kSamplesPerMinute;
    state.counters["ring_Msamples/s"] = samples / ringSeconds / 1e6;
    state.counters["deque_Msamples/s"] = samples / dequeSeconds / 1e6;
    state.counters["deque_over_ring"] = dequeSeconds / ringSeconds;
    state.counters["held_ring"] = PreEventBuffer_Count(&ring);
    state.counters["held_deque"] = static_cast<double>(naive.samples.size());
    PreEventBuffer_Destroy(&ring);
}

}  // namespace

BENCHMARK(BM_PreEventBufferVersusDeque)->Unit(benchmark::kMillisecond)->MinTime(2.0);

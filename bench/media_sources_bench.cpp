// What the simulated camera and microphone cost per frame and per buffer:
// the road scene at the camera's sizes, a 100 ms buffer of engine sound, and
// a still picture compressed to JPEG.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/jpeg_encode.h"
#include "sim/engine_sound.h"
#include "sim/road_scene.h"

namespace {

void BM_RoadScene(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    sim::RoadScene scene;
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3 / 2);
    std::uint32_t frame = 0;
    for (auto _ : state) {
        scene.Fill(frame, frame * 66'667ll, width, height, picture.data());
        ++frame;
        benchmark::DoNotOptimize(picture.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RoadScene)->Args({320, 240})->Args({800, 480});

void BM_EngineSound100ms(benchmark::State& state)
{
    sim::EngineSound sound;
    std::vector<std::int16_t> buffer(800);
    std::int64_t first = 0;
    for (auto _ : state) {
        sound.Fill(first, 8000, buffer.data(), buffer.size());
        first += 800;
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_EngineSound100ms);

void BM_JpegStill(benchmark::State& state)
{
    constexpr int kW = 320, kH = 240;
    sim::RoadScene scene;
    std::vector<std::uint8_t> picture(kW * kH * 3 / 2);
    scene.Fill(0, 4'000'000, kW, kH, picture.data());
    std::vector<std::uint8_t> jpeg;
    std::string error;
    for (auto _ : state) {
        if (!os::EncodeJpeg(picture.data(), kW, kH, 85, &jpeg, &error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(jpeg.data());
    }
}
BENCHMARK(BM_JpegStill);

}  // namespace

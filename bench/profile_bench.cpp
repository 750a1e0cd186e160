// Reading device profiles with long lists of languages and volumes: the
// time per profile as the lists grow shows how the checks scale (doubling
// the list should about double the time).
#include <benchmark/benchmark.h>

#include <string>

#include "sim/profile.h"

namespace {

std::string ProfileWith(bool volumes, int count)
{
    std::string text = volumes ? "{\"volumes\": [" : "{\"languages\": [";
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ",";
        const std::string name = "Name" + std::to_string(i);
        text.append(volumes ? "{\"name\": \"" : "\"").append(name);
        text.append(volumes ? "\", \"capacity\": \"1MB\"}" : "\"");
    }
    return text + "]}";
}

void ParseEach(benchmark::State& state, bool volumes)
{
    const std::string text = ProfileWith(volumes, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        sim::DeviceProfile profile;
        std::string error;
        if (!sim::ParseProfile(text, "bench.json", &profile, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(profile.languages.size() + profile.volumes.size());
    }
    state.SetComplexityN(state.range(0));
}

void BM_ProfileLanguages(benchmark::State& state) { ParseEach(state, false); }
void BM_ProfileVolumes(benchmark::State& state) { ParseEach(state, true); }

BENCHMARK(BM_ProfileLanguages)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_ProfileVolumes)->RangeMultiplier(4)->Range(1 << 8, 1 << 14)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

// The whole recording path, measured on the program itself: `kestrava
// --clock virtual` runs as a child process with the built-in profile, its
// camera showing the road scene (sim/road_scene.cpp) and its microphone the
// engine sound, and records continuously (MPEG-4 320x240 384 kbit/s GOP 30
// and PCM 8 kHz mono into AVI files split every 30 s, with GPS records).
//
// BM_RecordingDriveVersusBareAndFfmpeg: frames per second of processor time
// of the whole program over a virtual drive (the camera stand-in drawing the
// road, capture graph, recorder callback, encoder, AVI writer, and the rest
// of the program running alongside), against, in the same run and on the
// same number of frames of the same road scene: (a) bare libavcodec "mpeg4"
// set up as the codec stand-in sets it up, the pictures drawn outside its
// timing; (b) `ffmpeg -threads 1` doing the same job from raw frames fed
// through a pipe and an 8 kHz s16le file: MPEG-4 and PCM into AVI segments
// of 30 s (no GPS records). The frames counted are the video frames found in
// the files written. scene_fps is the road scene's drawing alone, so that
// what the stand-in camera costs the program can be told apart. The three
// alternate over five passes; the median of each figure and of each
// pass's ratios counts (a ratio within one pass sets runs side by side that
// a neighbour's load on a shared machine touches alike).
//
// The same comparison for the recording path alone, in process and without
// the rest of the program, is bench/recording_path_bench.cpp.
//
// BM_RecordingHourMemory: one continuous virtual hour; wall time, processor
// time, peak resident memory (ru_maxrss), and the resident memory sampled
// every half second of wall time, reported at 25, 50, 75 and 100% of the run.
//
// Run: build/kestrava_bench --benchmark_filter=Recording (the kestrava
// executable is taken from the benchmark's own folder). Lengths:
//   KESTRAVA_BENCH_DRIVE  the drive's length, default 10m
//   KESTRAVA_BENCH_LONG   the long run's length, default 1h
// in the program's duration format ("90s", "2m", "1h").
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench/child_run.h"
#include "bench/cpu_time.h"
#include "bench/recording_compare.h"

namespace {

using namespace recording_compare;
using bench_time::Median;

constexpr int kDrivePasses = 5;

// The kestrava executable of the build, beside this benchmark's.
std::string ProgramPath()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : (self.parent_path() / "kestrava").string();
}

double Megabytes(long kilobytes)
{
    return static_cast<double>(kilobytes) / 1024;
}

void BM_RecordingDriveVersusBareAndFfmpeg(benchmark::State& state)
{
    std::string length;
    std::int64_t lengthMs = 0;
    std::string error;
    const std::string program = ProgramPath();
    if (!RunLength("KESTRAVA_BENCH_DRIVE", "10m", &length, &lengthMs, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (program.empty() || ::access(program.c_str(), X_OK) != 0) {
        state.SkipWithError("no kestrava executable beside the benchmark: build the kestrava target");
        return;
    }
    PrepareYardsticks();
    Scratch scratch("kestrava-recording-bench");
    const std::string& dir = scratch.path;
    std::vector<double> wholeFps;
    std::vector<double> bareFps;
    std::vector<double> ffmpegFps;
    std::vector<double> sceneFps;
    std::vector<double> wholeLessSceneFps;
    std::vector<double> overBare;
    std::vector<double> overFfmpeg;
    std::vector<double> lessSceneOverBare;
    bench_child::Finished whole;
    Recordings recorded;
    YardstickPass yard;
    for (auto _ : state) {
        for (int pass = 0; pass < kDrivePasses && error.empty(); ++pass) {
            std::filesystem::remove_all(dir + "/device");
            bench_child::Child child =
                bench_child::Start({program, "--clock", "virtual", "--for", length, "--root", dir + "/device"},
                                   dir + "/drive.out", dir + "/drive.err", false);
            whole = bench_child::Wait(child, false);
            if (!whole.exitedZero) {
                error = "kestrava failed: " + FileHead(dir + "/drive.err");
                break;
            }
            if (!CountRecordings(dir + "/device", &recorded, &error)) break;
            if (recorded.frames == 0) {
                error = "kestrava wrote no video frames";
                break;
            }
            if (!RunYardsticks(dir, recorded.frames, &yard, &error)) break;
            const double frames = static_cast<double>(recorded.frames);
            const double wholeSeconds = bench_time::UsageSeconds(whole.usage);
            wholeFps.push_back(frames / wholeSeconds);
            bareFps.push_back(yard.bareFps);
            ffmpegFps.push_back(yard.ffmpegFps);
            sceneFps.push_back(yard.sceneFps);
            wholeLessSceneFps.push_back(frames / (wholeSeconds - yard.bare.sceneSeconds));
            overBare.push_back(wholeFps.back() / bareFps.back());
            overFfmpeg.push_back(wholeFps.back() / ffmpegFps.back());
            lessSceneOverBare.push_back(wholeLessSceneFps.back() / bareFps.back());
            std::printf("recording pass %d: whole %.0f fps, bare %.0f fps, ffmpeg %.0f fps; whole/bare %.3f, "
                        "whole/ffmpeg %.3f\n",
                        pass + 1, wholeFps.back(), bareFps.back(), ffmpegFps.back(), overBare.back(),
                        overFfmpeg.back());
        }
    }
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const double wholeMedian = Median(wholeFps);
    const double bareMedian = Median(bareFps);
    const double ffmpegMedian = Median(ffmpegFps);
    const double ratioBare = Median(overBare);
    const double ratioFfmpeg = Median(overFfmpeg);
    const double ratioLessScene = Median(lessSceneOverBare);
    state.counters["frames"] = static_cast<double>(recorded.frames);
    state.counters["files"] = recorded.files;
    state.counters["frames_per_device_s"] = static_cast<double>(recorded.frames) * 1000 / static_cast<double>(lengthMs);
    state.counters["whole_fps"] = wholeMedian;
    state.counters["bare_fps"] = bareMedian;
    state.counters["ffmpeg_fps"] = ffmpegMedian;
    state.counters["scene_fps"] = Median(sceneFps);
    state.counters["whole_over_bare"] = ratioBare;
    state.counters["whole_over_ffmpeg"] = ratioFfmpeg;
    state.counters["whole_less_scene_over_bare"] = ratioLessScene;
    state.counters["whole_kbps"] = KbitPerSecond(recorded.videoBytes, recorded.frames);
    state.counters["bare_kbps"] = KbitPerSecond(yard.bare.bytes, recorded.frames);
    state.counters["ffmpeg_kbps"] = KbitPerSecond(yard.ffmpegWritten.videoBytes, yard.ffmpegWritten.frames);
    state.counters["ffmpeg_frames"] = static_cast<double>(yard.ffmpegWritten.frames);
    state.counters["whole_wall_s"] = whole.wallSeconds;
    state.SetLabel(length + " drive");
    std::printf("recording, %s drive, %lld frames in %d files, median of %d passes: whole program %.0f fps, bare "
                "libavcodec %.0f fps, ffmpeg %.0f fps, road scene alone %.0f fps; whole/bare %.3f, whole/ffmpeg %.3f, "
                "whole less scene/bare %.3f; last program run %.1f s wall\n",
                length.c_str(), static_cast<long long>(recorded.frames), recorded.files, kDrivePasses, wholeMedian,
                bareMedian, ffmpegMedian, Median(sceneFps), ratioBare, ratioFfmpeg, ratioLessScene, whole.wallSeconds);
}

// The sample nearest `fraction` of the run's wall time.
long ResidentAt(const std::vector<bench_child::RssSample>& samples, double wallSeconds, double fraction)
{
    const double at = wallSeconds * fraction;
    const auto nearest = std::min_element(samples.begin(), samples.end(), [at](const auto& a, const auto& b) {
        return std::fabs(a.seconds - at) < std::fabs(b.seconds - at);
    });
    return nearest == samples.end() ? 0 : nearest->kilobytes;
}

void BM_RecordingHourMemory(benchmark::State& state)
{
    std::string length;
    std::int64_t lengthMs = 0;
    std::string error;
    const std::string program = ProgramPath();
    if (!RunLength("KESTRAVA_BENCH_LONG", "1h", &length, &lengthMs, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (program.empty() || ::access(program.c_str(), X_OK) != 0) {
        state.SkipWithError("no kestrava executable beside the benchmark: build the kestrava target");
        return;
    }
    av_log_set_level(AV_LOG_ERROR);
    Scratch scratch("kestrava-long-run-bench");
    const std::string& dir = scratch.path;
    bench_child::Finished run;
    Recordings recorded;
    for (auto _ : state) {
        bench_child::Child child = bench_child::Start(
            {program, "--clock", "virtual", "--for", length, "--root", dir + "/device"}, dir + "/run.out",
            dir + "/run.err", false);
        run = bench_child::Wait(child, true);
        if (!run.exitedZero) {
            error = "kestrava failed: " + FileHead(dir + "/run.err");
            break;
        }
        if (!CountRecordings(dir + "/device", &recorded, &error)) break;
    }
    if (!error.empty() || run.rss.empty()) {
        state.SkipWithError(error.empty() ? "no resident memory sample was taken" : error.c_str());
        return;
    }
    long sampledPeak = 0;
    for (const auto& s : run.rss) sampledPeak = std::max(sampledPeak, s.kilobytes);
    const double cpu = bench_time::UsageSeconds(run.usage);
    const double rss25 = Megabytes(ResidentAt(run.rss, run.wallSeconds, 0.25));
    const double rss50 = Megabytes(ResidentAt(run.rss, run.wallSeconds, 0.50));
    const double rss75 = Megabytes(ResidentAt(run.rss, run.wallSeconds, 0.75));
    const double rss100 = Megabytes(run.rss.back().kilobytes);
    const double peak = Megabytes(run.usage.ru_maxrss);
    state.counters["wall_s"] = run.wallSeconds;
    state.counters["cpu_s"] = cpu;
    state.counters["frames"] = static_cast<double>(recorded.frames);
    state.counters["files"] = recorded.files;
    state.counters["fps"] = static_cast<double>(recorded.frames) / cpu;
    state.counters["virtual_over_wall"] = static_cast<double>(lengthMs) / 1000 / run.wallSeconds;
    state.counters["peak_mb"] = peak;
    state.counters["rss25_mb"] = rss25;
    state.counters["rss50_mb"] = rss50;
    state.counters["rss75_mb"] = rss75;
    state.counters["rss100_mb"] = rss100;
    state.counters["rss_sampled_peak_mb"] = Megabytes(sampledPeak);
    state.counters["rss_growth_25_to_100_mb"] = rss100 - rss25;
    state.counters["rss_samples"] = static_cast<double>(run.rss.size());
    state.SetLabel(length + " continuous");
    std::printf("recording, %s continuous: %.1f s wall, %.1f s processor, %lld frames in %d files; peak resident "
                "%.1f MB (sampled peak %.1f MB); resident at 25/50/75/100%%: %.1f / %.1f / %.1f / %.1f MB\n",
                length.c_str(), run.wallSeconds, cpu, static_cast<long long>(recorded.frames), recorded.files, peak,
                Megabytes(sampledPeak), rss25, rss50, rss75, rss100);
}

BENCHMARK(BM_RecordingDriveVersusBareAndFfmpeg)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_RecordingHourMemory)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

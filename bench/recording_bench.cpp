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
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "bench/bare_encoder.h"
#include "bench/child_run.h"
#include "bench/cpu_time.h"
#include "platform/media/capture_index.h"
#include "sim/duration.h"
#include "sim/engine_sound.h"
#include "sim/road_scene.h"

namespace {

using bench_time::Median;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kKbps = 384;
constexpr int kFrameRate = 30;
constexpr int kAudioRate = 8000;
constexpr std::size_t kFrameBytes = static_cast<std::size_t>(kWidth) * kHeight * 3 / 2;
constexpr int kDrivePasses = 5;

// A run's length: the environment variable's duration, else `fallback`; the
// text as the program's --for takes it and its milliseconds.
bool RunLength(const char* variable, const char* fallback, std::string* text, std::int64_t* ms, std::string* error)
{
    const char* value = std::getenv(variable);
    *text = value && *value ? value : fallback;
    if (!sim::ParseDuration(*text, ms, error)) {
        *error = std::string(variable) + ": " + *error;
        return false;
    }
    if (*ms < 1000) {
        *error = std::string(variable) + ": " + *text + " is shorter than a second";
        return false;
    }
    return true;
}

// The kestrava executable of the build, beside this benchmark's.
std::string ProgramPath()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : (self.parent_path() / "kestrava").string();
}

std::string FileHead(const std::string& path)
{
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.substr(0, 300);
}

// A scratch folder of this process's own, removed with it.
struct Scratch {
    std::string path;
    explicit Scratch(const std::string& name)
        : path((std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))).string())
    {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~Scratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

struct Recordings {
    int files = 0;
    std::int64_t frames = 0;      // video chunks that carry a picture
    std::int64_t videoBytes = 0;
};

// Counts the video frames of every AVI file below `folder`, as libavformat reads them.
bool CountRecordings(const std::string& folder, Recordings* out, std::string* error)
{
    *out = Recordings{};
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::string ext = it->path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (!it->is_regular_file() || ext != ".avi") continue;
        const std::string path = it->path().string();
        AVFormatContext* format = nullptr;
        if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
            *error = "libavformat cannot open " + path;
            return false;
        }
        const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        AVPacket* packet = av_packet_alloc();
        while (packet && video >= 0 && av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == video && packet->size > 0) {
                ++out->frames;
                out->videoBytes += packet->size;
            }
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
        avformat_close_input(&format);
        if (video < 0) {
            *error = path + " has no video stream";
            return false;
        }
        ++out->files;
    }
    if (ec) *error = "cannot list " + folder + ": " + ec.message();
    return !ec;
}

// The camera's picture `index`: the road scene at its capture time, stamped.
void RoadPicture(sim::RoadScene* scene, std::int64_t index, std::uint8_t* yv12)
{
    scene->Fill(static_cast<std::uint32_t>(index), index * 1000000 / kFrameRate, kWidth, kHeight, yv12);
    os::StampCaptureIndex(yv12, kWidth, kHeight, static_cast<std::uint32_t>(index));
}

double KbitPerSecond(std::int64_t bytes, std::int64_t frames)
{
    return frames ? static_cast<double>(bytes) * 8 * kFrameRate / static_cast<double>(frames) / 1000 : 0;
}

double Megabytes(long kilobytes)
{
    return static_cast<double>(kilobytes) / 1024;
}

struct BarePass {
    double encodeSeconds = 0;  // the encoder's processor time
    double sceneSeconds = 0;   // drawing the pictures
    std::int64_t bytes = 0;
};

bool RunBare(std::int64_t frames, BarePass* pass)
{
    BareEncoder encoder;
    if (!encoder.Open(kWidth, kHeight, kKbps, kFrameRate)) return false;
    sim::RoadScene scene;
    std::vector<std::uint8_t> picture(kFrameBytes);
    for (std::int64_t i = 0; i < frames; ++i) {
        double start = bench_time::ThreadSeconds();
        RoadPicture(&scene, i, picture.data());
        double end = bench_time::ThreadSeconds();
        pass->sceneSeconds += end - start;
        start = end;
        const long size = encoder.Encode(picture.data(), i == 0);
        pass->encodeSeconds += bench_time::ThreadSeconds() - start;
        if (size < 0) return false;
        pass->bytes += size;
    }
    return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The ffmpeg command recording `frames` road pictures and as long a sound
// into 30 s AVI segments in `dir`/ffmpeg; its processor time.
bool RunFfmpeg(const std::string& dir, std::int64_t frames, double* seconds, Recordings* written, std::string* error)
{
    const std::string sound = dir + "/sound.s16";
    {
        std::ofstream out(sound, std::ios::binary);
        const std::int64_t samples = frames * kAudioRate / kFrameRate;
        std::vector<std::int16_t> block(kAudioRate);
        for (std::int64_t first = 0; first < samples; first += kAudioRate) {
            const std::int64_t n = std::min<std::int64_t>(kAudioRate, samples - first);
            for (std::int64_t i = 0; i < n; ++i) block[i] = sim::EngineSound::Sample(first + i, kAudioRate);
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n * 2));
        }
        if (!out) {
            *error = "cannot write " + sound;
            return false;
        }
    }
    const std::string segments = dir + "/ffmpeg";
    std::filesystem::create_directories(segments);
    bench_child::Child child = bench_child::Start(
        {"/usr/bin/ffmpeg", "-nostdin", "-v", "error", "-y", "-threads", "1", "-f", "rawvideo", "-pix_fmt", "yuv420p",
         "-s", std::to_string(kWidth) + "x" + std::to_string(kHeight), "-r", std::to_string(kFrameRate), "-i",
         "pipe:0", "-f", "s16le", "-ar", std::to_string(kAudioRate), "-ac", "1", "-i", sound, "-threads", "1",
         "-c:v", "mpeg4", "-b:v", std::to_string(kKbps) + "k", "-g", "30", "-bf", "0", "-sc_threshold", "1000000000",
         "-c:a", "pcm_s16le", "-f", "segment", "-segment_time", "30", "-segment_format", "avi", "-reset_timestamps",
         "1", segments + "/%03d.avi"},
        dir + "/ffmpeg.out", dir + "/ffmpeg.err", true);
    if (child.pid <= 0) {
        *error = "cannot start /usr/bin/ffmpeg";
        return false;
    }
    // ffmpeg reads planar 4:2:0 in Y, Cb, Cr order; the camera's YV12 has Cr first.
    sim::RoadScene scene;
    std::vector<std::uint8_t> picture(kFrameBytes);
    const std::size_t luma = static_cast<std::size_t>(kWidth) * kHeight;
    bool fed = true;
    for (std::int64_t i = 0; i < frames && fed; ++i) {
        RoadPicture(&scene, i, picture.data());
        fed = WriteAll(child.stdinFd, picture.data(), luma) &&
              WriteAll(child.stdinFd, picture.data() + luma * 5 / 4, luma / 4) &&
              WriteAll(child.stdinFd, picture.data() + luma, luma / 4);
    }
    const bench_child::Finished done = bench_child::Wait(child, false);
    if (!fed || !done.exitedZero) {
        *error = "ffmpeg failed: " + FileHead(dir + "/ffmpeg.err");
        return false;
    }
    *seconds = bench_time::UsageSeconds(done.usage);
    return CountRecordings(segments, written, error);
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
    av_log_set_level(AV_LOG_ERROR);
    // A write to an ffmpeg that has failed is an error to report, not a signal.
    ::signal(SIGPIPE, SIG_IGN);
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
    BarePass bare;
    Recordings ffmpegWritten;
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
            bare = BarePass{};
            if (!RunBare(recorded.frames, &bare)) {
                error = "the bare encoder failed";
                break;
            }
            double ffmpegSeconds = 0;
            if (!RunFfmpeg(dir, recorded.frames, &ffmpegSeconds, &ffmpegWritten, &error)) break;
            const double frames = static_cast<double>(recorded.frames);
            const double wholeSeconds = bench_time::UsageSeconds(whole.usage);
            wholeFps.push_back(frames / wholeSeconds);
            bareFps.push_back(frames / bare.encodeSeconds);
            ffmpegFps.push_back(frames / ffmpegSeconds);
            sceneFps.push_back(frames / bare.sceneSeconds);
            wholeLessSceneFps.push_back(frames / (wholeSeconds - bare.sceneSeconds));
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
    state.counters["bare_kbps"] = KbitPerSecond(bare.bytes, recorded.frames);
    state.counters["ffmpeg_kbps"] = KbitPerSecond(ffmpegWritten.videoBytes, ffmpegWritten.frames);
    state.counters["ffmpeg_frames"] = static_cast<double>(ffmpegWritten.frames);
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

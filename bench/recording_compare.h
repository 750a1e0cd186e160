// What the recording benchmarks share: the picture and sound they record
// (the road scene at 320x240, 30 frames/s, MPEG-4 384 kbit/s, PCM 8 kHz
// mono), a scratch folder, the count of the video frames in the AVI files
// written, and the two yardsticks run on the same number of frames: bare
// libavcodec (bench/bare_encoder.h) and the ffmpeg command writing 30 s AVI
// segments.
#pragma once

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
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

namespace recording_compare {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kKbps = 384;
constexpr int kFrameRate = 30;
constexpr int kAudioRate = 8000;
constexpr std::size_t kFrameBytes = static_cast<std::size_t>(kWidth) * kHeight * 3 / 2;

// A run's length: the environment variable's duration, else `fallback`; the
// text as the program's --for takes it and its milliseconds.
inline bool RunLength(const char* variable, const char* fallback, std::string* text, std::int64_t* ms, std::string* error)
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

inline std::string FileHead(const std::string& path)
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
inline bool CountRecordings(const std::string& folder, Recordings* out, std::string* error)
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
inline void RoadPicture(sim::RoadScene* scene, std::int64_t index, std::uint8_t* yv12)
{
    scene->Fill(static_cast<std::uint32_t>(index), index * 1000000 / kFrameRate, kWidth, kHeight, yv12);
    os::StampCaptureIndex(yv12, kWidth, kHeight, static_cast<std::uint32_t>(index));
}

inline double KbitPerSecond(std::int64_t bytes, std::int64_t frames)
{
    return frames ? static_cast<double>(bytes) * 8 * kFrameRate / static_cast<double>(frames) / 1000 : 0;
}

struct BarePass {
    double encodeSeconds = 0;  // the encoder's processor time
    double sceneSeconds = 0;   // drawing the pictures
    std::int64_t bytes = 0;
};

inline bool RunBare(std::int64_t frames, BarePass* pass)
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

inline bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
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
inline bool RunFfmpeg(const std::string& dir, std::int64_t frames, double* seconds, Recordings* written, std::string* error)
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

// The yardsticks of one pass, on `frames` pictures: frames per second of
// processor time of bare libavcodec and of the ffmpeg command, and of
// drawing the road scene alone.
struct YardstickPass {
    double bareFps = 0;
    double ffmpegFps = 0;
    double sceneFps = 0;
    BarePass bare;
    Recordings ffmpegWritten;
};

inline bool RunYardsticks(const std::string& dir, std::int64_t frames, YardstickPass* pass, std::string* error)
{
    *pass = YardstickPass{};
    if (!RunBare(frames, &pass->bare)) {
        *error = "the bare encoder failed";
        return false;
    }
    double ffmpegSeconds = 0;
    if (!RunFfmpeg(dir, frames, &ffmpegSeconds, &pass->ffmpegWritten, error)) return false;
    const double n = static_cast<double>(frames);
    pass->bareFps = n / pass->bare.encodeSeconds;
    pass->ffmpegFps = n / ffmpegSeconds;
    pass->sceneFps = n / pass->bare.sceneSeconds;
    return true;
}

// What both drive benchmarks do before their passes: libav quiet, and a
// write to an ffmpeg that has failed an error to report, not a signal.
inline void PrepareYardsticks()
{
    av_log_set_level(AV_LOG_ERROR);
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace recording_compare

// The AVI writer against the ffmpeg command on the same packets: ten minutes
// of real MPEG-4 video (320x240, 30 frames/s, the encoder's ten-second
// sequence played sixty times) and 8000 Hz 16-bit sound in 0.1 s blocks,
// written to a card of the simulated file system; ffmpeg remuxes the same
// elementary streams into AVI with -c copy. Also the writer's heap for an
// hour-long file.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/kernel/clock.h"
#include "platform/files/internal/file_detail.h"
#include "platform/files/file_sim.h"
#include "platform/base/platform.h"
#include "recorder/avi/avi_writer.h"
#include "tests/recorder/mpeg4_test_frames.h"

namespace {

using testing_support::EncodedFrame;

constexpr int kFrameRate = 30;
constexpr int kSequenceFrames = 300;
constexpr int kSoundBlockBytes = 1600;  // 0.1 s at 8000 Hz, 16-bit mono

struct Material {
    std::vector<EncodedFrame> frames;
    std::vector<std::uint8_t> sound;
};

const Material& TestMaterial()
{
    static const Material material = [] {
        Material m;
        m.frames = testing_support::EncodeMpeg4Frames(kSequenceFrames, 320, 240, kFrameRate, kFrameRate);
        m.sound = testing_support::PcmBlock(0, kSoundBlockBytes / 2);
        return m;
    }();
    return material;
}

class Card {
public:
    Card()
    {
        root_ = (std::filesystem::temp_directory_path() / "kestrava-avi-bench").string();
        std::filesystem::remove_all(root_);
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_;
        config.volumes = {os::sim::VolumeConfig{"Storage Card", 0, true, ""}};
        std::string error;
        os::sim::ConfigureFileSystem(config, &error);
    }
    ~Card() { std::filesystem::remove_all(root_); }
    std::string Host(const std::string& device) const
    {
        std::string host;
        os::detail::ResolveDevicePath(device, &host);
        return host;
    }
    const std::string& Root() const { return root_; }

private:
    std::string root_;
};

// Writes minutes of recording; returns the writer's heap in use just before
// the close (index blocks included).
std::size_t WriteRecording(const char* path, int minutes)
{
    const Material& m = TestMaterial();
    AVI_Writer_Open(path, AV_CODEC_ID_MPEG4, 320, 240, kFrameRate, AV_CODEC_ID_PCM_S16LE, 8000, 1, 16, 1000, 128);
    AVI_Writer_ResetTables();
    const int frames = minutes * 60 * kFrameRate;
    std::int64_t soundBlocks = 0;
    for (int i = 0; i < frames; ++i) {
        const EncodedFrame& f = m.frames[static_cast<std::size_t>(i % kSequenceFrames)];
        if (i % 3 == 0) {
            AVI_Writer_WriteFrame(kAviStreamAudio, m.sound.data(), kSoundBlockBytes, soundBlocks++, 1);
        }
        AVI_Writer_WriteFrame(kAviStreamVideo, f.bytes.data(), static_cast<int>(f.bytes.size()), i, f.key);
    }
    const std::size_t heap = mallinfo2().uordblks;
    AVI_Writer_Close(static_cast<std::int64_t>(minutes) * 600000000, 0.0f);
    return heap;
}

// The same packets as elementary streams, for the ffmpeg command.
void WriteElementaryStreams(const std::string& video, const std::string& sound, int minutes)
{
    const Material& m = TestMaterial();
    std::ofstream v(video, std::ios::binary);
    std::ofstream s(sound, std::ios::binary);
    for (int i = 0; i < minutes * 60 * kFrameRate; ++i) {
        const EncodedFrame& f = m.frames[static_cast<std::size_t>(i % kSequenceFrames)];
        v.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
        if (i % 3 == 0) s.write(reinterpret_cast<const char*>(m.sound.data()), kSoundBlockBytes);
    }
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_AviWriterVersusFfmpegTenMinutes(benchmark::State& state)
{
    os::sim::StartPlatform(os::ClockConfig{os::ClockMode::Virtual, std::nullopt});
    Card card;
    TestMaterial();
    const std::string video = card.Root() + "/video.m4v";
    const std::string sound = card.Root() + "/sound.pcm";
    const std::string remuxed = card.Root() + "/ffmpeg.avi";
    WriteElementaryStreams(video, sound, 10);
    const std::string command = "ffmpeg -nostdin -v error -y -f m4v -framerate 30 -i " + video +
                                " -f s16le -ar 8000 -ac 1 -i " + sound + " -c copy -f avi " + remuxed;
    double writer = 0;
    double ffmpeg = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        WriteRecording("\\Storage Card\\bench.avi", 10);
        writer += Seconds(std::chrono::steady_clock::now() - start);
        start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
        ffmpeg += Seconds(std::chrono::steady_clock::now() - start);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["writer_s"] = writer / n;
    state.counters["ffmpeg_s"] = ffmpeg / n;
    state.counters["ffmpeg_over_writer"] = ffmpeg / writer;
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(card.Host("\\Storage Card\\bench.avi"))) / 1e6;
    os::sim::StopPlatform();
}

void BM_AviWriterHeapOneHour(benchmark::State& state)
{
    os::sim::StartPlatform(os::ClockConfig{os::ClockMode::Virtual, std::nullopt});
    Card card;
    TestMaterial();
    std::size_t peak = 0;
    std::size_t before = 0;
    for (auto _ : state) {
        before = mallinfo2().uordblks;
        peak = WriteRecording("\\Storage Card\\hour.avi", 60) - before;
    }
    state.counters["heap_MB_at_close"] = static_cast<double>(peak) / 1e6;
    state.counters["static_tables_kB"] =
        static_cast<double>(kAviMaxGpsRecords * sizeof(GpsTrackRecord) + kAviMaxEventRecords * sizeof(EvtTagRecord) +
                            sizeof(RecordingSummary)) / 1e3;
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(card.Host("\\Storage Card\\hour.avi"))) / 1e6;
    os::sim::StopPlatform();
}

BENCHMARK(BM_AviWriterVersusFfmpegTenMinutes)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_AviWriterHeapOneHour)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

// The recorder's per-frame video path against libavcodec alone and against
// the ffmpeg command, on the same synthetic frames (320x240 YV12, 384 kbit/s,
// GOP 30, 30 frames/s, one thread): (i) the chain: chroma-swapped copy into
// the encoder's input buffer and MFC_EncodeFrame over the codec stand-in;
// (ii) the whole capture path in virtual time: the camera's streaming thread
// delivering the same frames through the media graph into the recording
// sink, whose callback runs (i); (iii) bare libavcodec "mpeg4" with the same
// settings; (iv) `ffmpeg -threads 1` encoding the raw frames. Times are
// processor time (the thread's for the chain and bare passes, the process's
// for the graph pass, the child's for ffmpeg), so that a neighbour's load on
// a shared machine does not decide the ratios; the passes alternate and the
// median pass of each counts.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bare_encoder.h"
#include "bench/cpu_time.h"
#include "bench/encoder_chain.h"
#include "platform/base/platform.h"
#include "platform/kernel/clock.h"
#include "platform/media/media_sim.h"
#include "platform/media/smi_camera.h"
#include "recorder/null_render_filter.h"
#include "recorder/video_encoder.h"

namespace {

using bench_time::ChildrenSeconds;
using bench_time::Median;
using bench_time::ProcessSeconds;
using bench_time::ThreadSeconds;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kKbps = 384;
constexpr int kFrameRate = 30;
constexpr int kFrames = 300;
constexpr int kPasses = 7;
constexpr std::size_t kFrameBytes = static_cast<std::size_t>(kWidth) * kHeight * 3 / 2;

const std::vector<std::uint8_t>& Frames()
{
    static const std::vector<std::uint8_t> frames = [] {
        std::vector<std::uint8_t> all(kFrameBytes * kFrames);
        for (int i = 0; i < kFrames; ++i) encoder_chain::ProduceFrame(i, i, kWidth, kHeight, &all[kFrameBytes * i]);
        return all;
    }();
    return frames;
}

// One pass of the recorder's chain over all frames; the encoded bytes.
std::size_t ChainPass(const PhysBuffer& input)
{
    std::size_t bytes = 0;
    for (int i = 0; i < kFrames; ++i) {
        EncodedFrame out;
        if (encoder_chain::EncodeCapturedFrame(&Frames()[kFrameBytes * i], kWidth, kHeight, &input, &out, i == 0))
            bytes += static_cast<std::size_t>(out.size);
    }
    return bytes;
}

// The camera shows the benchmark's frames in turn.
class BenchPictures final : public os::sim::PictureSource {
public:
    void Fill(std::uint32_t index, std::int64_t, int, int, std::uint8_t* yv12) override
    {
        std::memcpy(yv12, &Frames()[kFrameBytes * (index % kFrames)], kFrameBytes);
    }
};

// What the recording sink's callback encodes into, for the graph pass.
struct GraphSink {
    const PhysBuffer* input = nullptr;
    int frames = 0;
    std::size_t bytes = 0;
};
GraphSink g_graphSink;

int EncodeDelivered(const os::BYTE* data, os::LONG, int kind, os::REFERENCE_TIME, os::REFERENCE_TIME, os::HWND)
{
    if (kind != kSampleVideo) return 0;
    EncodedFrame out;
    if (encoder_chain::EncodeCapturedFrame(data, kWidth, kHeight, g_graphSink.input, &out, g_graphSink.frames == 0))
        g_graphSink.bytes += static_cast<std::size_t>(out.size);
    ++g_graphSink.frames;
    return 0;
}

// The camera's capture pin joined to the program's recording sink, as the
// capture graph joins them, without the preview and the microphone.
struct CaptureGraph {
    os::ComPtr<os::IGraphBuilder> graph;
    os::ComPtr<os::ICaptureGraphBuilder2> builder;
    os::ComPtr<os::IBaseFilter> camera;
    os::ComPtr<os::IMediaControl> control;
    os::SMI_CAMERA_HANDLE handle = 0;

    bool Build()
    {
        os::sim::SetPictureSource(std::make_shared<BenchPictures>());
        if (os::FAILED(os::CoCreateInstance(os::CLSID_FilterGraph, nullptr, os::CLSCTX_INPROC, os::IID_IGraphBuilder,
                                        graph.OutVoid())) ||
            os::FAILED(os::CoCreateInstance(os::CLSID_CaptureGraphBuilder, nullptr, os::CLSCTX_INPROC,
                                        os::IID_ICaptureGraphBuilder2, builder.OutVoid())) ||
            os::FAILED(builder->SetFiltergraph(graph.Get())) || os::FAILED(os::SmiCameraOpen(0, &handle, camera.Out())) ||
            os::FAILED(graph->AddFilter(camera.Get(), "Video Capture")))
            return false;
        os::HRESULT hr = os::S_OK;
        os::ComPtr<CNullRenderFilter> sink(new CNullRenderFilter(nullptr, &hr, kNullRenderCapture));
        sink->SetVideoSubtype(os::MEDIASUBTYPE_YV12);
        sink->SetSampleCallback(EncodeDelivered, nullptr);
        return os::SUCCEEDED(hr) && os::SUCCEEDED(graph->AddFilter(sink.Get(), "FileMux Filter")) &&
               os::SUCCEEDED(builder->RenderStream(&os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Video, camera.Get(), nullptr,
                                               sink.Get())) &&
               os::SUCCEEDED(graph->QueryInterface(os::IID_IMediaControl, control.OutVoid()));
    }

    // Runs the graph for kFrames pictures of device time; the encoded bytes.
    std::size_t Pass(const PhysBuffer& input, int* frames)
    {
        g_graphSink = GraphSink{&input, 0, 0};
        control->Run();
        os::Sleep(kFrames * 1000 / kFrameRate - 1);
        control->Stop();
        *frames = g_graphSink.frames;
        return g_graphSink.bytes;
    }

    ~CaptureGraph()
    {
        if (control) control->Stop();
        control.Reset();
        builder.Reset();
        graph.Reset();
        camera.Reset();
        if (handle) os::SmiCameraClose(handle);
    }
};

// One pass of libavcodec alone over all frames; the encoded bytes.
std::size_t BarePass(BareEncoder* encoder)
{
    std::size_t bytes = 0;
    for (int i = 0; i < kFrames; ++i) {
        const long size = encoder->Encode(&Frames()[kFrameBytes * i], i == 0);
        if (size < 0) break;
        bytes += static_cast<std::size_t>(size);
    }
    return bytes;
}

void BM_EncoderChainVersusBareAndFfmpeg(benchmark::State& state)
{
    os::sim::StartPlatform(os::ClockConfig{os::ClockMode::Virtual, std::nullopt});
    Frames();
    const std::string dir = (std::filesystem::temp_directory_path() / "kestrava-encoder-bench").string();
    std::filesystem::create_directories(dir);
    const std::string raw = dir + "/frames.yuv";
    {
        // ffmpeg reads planar 4:2:0 in Y, Cb, Cr order: the same swap as the chain.
        std::ofstream out(raw, std::ios::binary);
        const std::size_t luma = static_cast<std::size_t>(kWidth) * kHeight;
        for (int i = 0; i < kFrames; ++i) {
            const char* f = reinterpret_cast<const char*>(&Frames()[kFrameBytes * i]);
            out.write(f, static_cast<std::streamsize>(luma));
            out.write(f + luma * 5 / 4, static_cast<std::streamsize>(luma / 4));
            out.write(f + luma, static_cast<std::streamsize>(luma / 4));
        }
    }
    const std::string command = "ffmpeg -nostdin -v error -y -threads 1 -f rawvideo -pix_fmt yuv420p -s 320x240 -r 30 "
                                "-stream_loop " + std::to_string(kPasses - 1) + " -i " + raw +
                                " -threads 1 -c:v mpeg4 -b:v 384k -g 30 -bf 0 -sc_threshold 1000000000 -f m4v " +
                                dir + "/out.m4v";

    EncoderParams params;
    MFC_SetDefaults(&params);
    params.width = kWidth;
    params.height = kHeight;
    params.bitRateKbps = kKbps;
    params.frameRate = kFrameRate;
    PhysBuffer input;
    BareEncoder bareEncoder;
    auto graph = std::make_unique<CaptureGraph>();
    if (!MFC_Initialize() || !MFC_Apply(&params) || !MFC_Open() || !MFC_AllocInputFrame(kWidth, kHeight, &input) ||
        !bareEncoder.Open(kWidth, kHeight, kKbps, kFrameRate) || !graph->Build()) {
        state.SkipWithError("an encoder or the capture graph did not open");
        graph.reset();
        os::sim::StopPlatform();
        return;
    }
    std::vector<double> chainPasses;
    std::vector<double> graphPasses;
    std::vector<double> barePasses;
    std::size_t graphBytes = 0;
    double ffmpeg = 0;
    std::size_t chainBytes = 0;
    std::size_t bareBytes = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < kPasses; ++pass) {
            double start = ThreadSeconds();
            chainBytes = ChainPass(input);
            chainPasses.push_back(ThreadSeconds() - start);
            int delivered = 0;
            start = ProcessSeconds();
            graphBytes = graph->Pass(input, &delivered);
            graphPasses.push_back((ProcessSeconds() - start) * kFrames / std::max(delivered, 1));
            start = ThreadSeconds();
            bareBytes = BarePass(&bareEncoder);
            barePasses.push_back(ThreadSeconds() - start);
        }
        const double start = ChildrenSeconds();
        if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
        ffmpeg = (ChildrenSeconds() - start) / kPasses;
    }
    const double chain = Median(chainPasses);
    const double graphTime = Median(graphPasses);
    const double bare = Median(barePasses);
    const double graphFps = kFrames / graphTime;
    const double chainFps = kFrames / chain;
    const double bareFps = kFrames / bare;
    const double ffmpegFps = kFrames / ffmpeg;
    state.counters["chain_fps"] = chainFps;
    state.counters["bare_fps"] = bareFps;
    state.counters["ffmpeg_fps"] = ffmpegFps;
    state.counters["graph_fps"] = graphFps;
    state.counters["chain_over_bare"] = chainFps / bareFps;
    state.counters["graph_over_bare"] = graphFps / bareFps;
    state.counters["chain_over_ffmpeg"] = chainFps / ffmpegFps;
    state.counters["chain_kbps"] = static_cast<double>(chainBytes) * 8 * kFrameRate / kFrames / 1000;
    state.counters["bare_kbps"] = static_cast<double>(bareBytes) * 8 * kFrameRate / kFrames / 1000;
    state.counters["graph_kbps"] = static_cast<double>(graphBytes) * 8 * kFrameRate / kFrames / 1000;
    std::printf("encoder: camera-graph-sink chain %.0f fps, swap+encode chain %.0f fps, bare libavcodec %.0f fps, "
                "ffmpeg %.0f fps; graph/bare %.3f, chain/bare %.3f, chain/ffmpeg %.3f\n",
                graphFps, chainFps, bareFps, ffmpegFps, graphFps / bareFps, chainFps / bareFps, chainFps / ffmpegFps);
    graph.reset();
    MFC_Close();
    MFC_FreeInputFrame(&input);
    std::filesystem::remove_all(dir);
    os::sim::StopPlatform();
}

BENCHMARK(BM_EncoderChainVersusBareAndFfmpeg)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

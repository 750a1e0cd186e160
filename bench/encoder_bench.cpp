// The recorder's per-frame video path against libavcodec alone and against
// the ffmpeg command, on the same synthetic frames (320x240 YV12, 384 kbit/s,
// GOP 30, 30 frames/s, one thread): (i) the chain: chroma-swapped copy into
// the encoder's input buffer and MFC_EncodeFrame over the codec stand-in;
// (ii) bare libavcodec "mpeg4" with the same settings; (iii) `ffmpeg -threads
// 1` encoding the raw frames. The chain and bare passes alternate and the
// best pass of each counts, so that a neighbour's load does not decide the
// ratio.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include "bench/encoder_chain.h"
#include "platform/base/platform.h"
#include "recorder/video_encoder.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kKbps = 384;
constexpr int kFrameRate = 30;
constexpr int kFrames = 300;
constexpr int kPasses = 5;
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

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

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

// One pass of libavcodec alone, set up as the codec stand-in sets it up; 0 on failure.
std::size_t BarePass()
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    AVFrame* f = av_frame_alloc();
    AVPacket* p = av_packet_alloc();
    c->width = kWidth;
    c->height = kHeight;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, kFrameRate};
    c->framerate = AVRational{kFrameRate, 1};
    c->gop_size = 30;
    c->max_b_frames = 0;
    c->thread_count = 1;
    c->bit_rate = kKbps * 1000;
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set_int(c->priv_data, "sc_threshold", 1000000000, 0);
    std::size_t bytes = 0;
    f->format = c->pix_fmt;
    f->width = kWidth;
    f->height = kHeight;
    if (avcodec_open2(c, codec, nullptr) == 0 && av_frame_get_buffer(f, 0) == 0) {
        const int luma = kWidth * kHeight;
        for (int i = 0; i < kFrames; ++i) {
            const std::uint8_t* yv12 = &Frames()[kFrameBytes * i];
            av_frame_make_writable(f);
            av_image_copy_plane(f->data[0], f->linesize[0], yv12, kWidth, kWidth, kHeight);
            av_image_copy_plane(f->data[1], f->linesize[1], yv12 + luma * 5 / 4, kWidth / 2, kWidth / 2, kHeight / 2);
            av_image_copy_plane(f->data[2], f->linesize[2], yv12 + luma, kWidth / 2, kWidth / 2, kHeight / 2);
            f->pict_type = i == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
            f->pts = i;
            if (avcodec_send_frame(c, f) < 0 || avcodec_receive_packet(c, p) < 0) break;
            bytes += static_cast<std::size_t>(p->size);
            av_packet_unref(p);
        }
    }
    av_packet_free(&p);
    av_frame_free(&f);
    avcodec_free_context(&c);
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
    if (!MFC_Initialize() || !MFC_Apply(&params) || !MFC_Open() || !MFC_AllocInputFrame(kWidth, kHeight, &input)) {
        state.SkipWithError("the encoder did not open");
        os::sim::StopPlatform();
        return;
    }
    double chain = 1e9;
    double bare = 1e9;
    double ffmpeg = 0;
    std::size_t chainBytes = 0;
    std::size_t bareBytes = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < kPasses; ++pass) {
            auto start = std::chrono::steady_clock::now();
            chainBytes = ChainPass(input);
            chain = std::min(chain, Seconds(std::chrono::steady_clock::now() - start));
            start = std::chrono::steady_clock::now();
            bareBytes = BarePass();
            bare = std::min(bare, Seconds(std::chrono::steady_clock::now() - start));
        }
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
        ffmpeg = Seconds(std::chrono::steady_clock::now() - start) / kPasses;
    }
    const double chainFps = kFrames / chain;
    const double bareFps = kFrames / bare;
    const double ffmpegFps = kFrames / ffmpeg;
    state.counters["chain_fps"] = chainFps;
    state.counters["bare_fps"] = bareFps;
    state.counters["ffmpeg_fps"] = ffmpegFps;
    state.counters["chain_over_bare"] = chainFps / bareFps;
    state.counters["chain_over_ffmpeg"] = chainFps / ffmpegFps;
    state.counters["chain_kbps"] = static_cast<double>(chainBytes) * 8 * kFrameRate / kFrames / 1000;
    state.counters["bare_kbps"] = static_cast<double>(bareBytes) * 8 * kFrameRate / kFrames / 1000;
    std::printf("encoder: chain %.0f fps, bare libavcodec %.0f fps, ffmpeg %.0f fps; chain/bare %.3f, "
                "chain/ffmpeg %.3f\n",
                chainFps, bareFps, ffmpegFps, chainFps / bareFps, chainFps / ffmpegFps);
    MFC_Close();
    MFC_FreeInputFrame(&input);
    std::filesystem::remove_all(dir);
    os::sim::StopPlatform();
}

BENCHMARK(BM_EncoderChainVersusBareAndFfmpeg)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

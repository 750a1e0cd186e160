// Real MPEG-4 Part 2 frames for the writer's tests and benchmarks, from
// libavcodec's "mpeg4" encoder (single-threaded, so the same input gives the
// same bytes). The encoder's VOL header is put in front of the first frame,
// as the recorder does with the hardware encoder's sequence header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

namespace testing_support {

struct EncodedFrame {
    std::vector<std::uint8_t> bytes;
    bool key = false;
};

// count frames of a moving picture of width x height at frameRate, one intra
// frame every gop frames. Empty on any encoder failure (the caller asserts).
inline std::vector<EncodedFrame> EncodeMpeg4Frames(int count, int width = 176, int height = 144, int frameRate = 30,
                                                   int gop = 30)
{
    std::vector<EncodedFrame> frames;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVCodecContext* ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!ctx) return frames;
    ctx->width = width;
    ctx->height = height;
    ctx->time_base = AVRational{1, frameRate};
    ctx->framerate = AVRational{frameRate, 1};
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->gop_size = gop;
    ctx->max_b_frames = 0;
    ctx->bit_rate = 400000;
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT;
    AVFrame* picture = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = avcodec_open2(ctx, codec, nullptr) == 0 && picture && packet;
    if (ok) {
        picture->format = ctx->pix_fmt;
        picture->width = width;
        picture->height = height;
        ok = av_frame_get_buffer(picture, 0) == 0;
    }
    auto drain = [&]() {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            EncodedFrame frame;
            if (frames.empty()) frame.bytes.assign(ctx->extradata, ctx->extradata + ctx->extradata_size);
            frame.bytes.insert(frame.bytes.end(), packet->data, packet->data + packet->size);
            frame.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            frames.push_back(std::move(frame));
            av_packet_unref(packet);
        }
    };
    for (int i = 0; ok && i < count; ++i) {
        ok = av_frame_make_writable(picture) == 0;
        for (int y = 0; ok && y < height; ++y) {
            for (int x = 0; x < width; ++x) picture->data[0][y * picture->linesize[0] + x] = static_cast<std::uint8_t>(x + y + i * 3);
        }
        for (int y = 0; ok && y < height / 2; ++y) {
            for (int x = 0; x < width / 2; ++x) {
                picture->data[1][y * picture->linesize[1] + x] = static_cast<std::uint8_t>(128 + y + i * 2);
                picture->data[2][y * picture->linesize[2] + x] = static_cast<std::uint8_t>(64 + x + i * 5);
            }
        }
        picture->pts = i;
        ok = ok && avcodec_send_frame(ctx, picture) == 0;
        if (ok) drain();
    }
    if (ok && avcodec_send_frame(ctx, nullptr) == 0) drain();
    av_packet_free(&packet);
    av_frame_free(&picture);
    avcodec_free_context(&ctx);
    if (!ok || static_cast<int>(frames.size()) != count) frames.clear();
    return frames;
}

// count blocks of 16-bit mono PCM (a slow tone) of samples samples each.
inline std::vector<std::uint8_t> PcmBlock(int index, int samples)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(samples) * 2);
    for (int i = 0; i < samples; ++i) {
        const auto v = static_cast<std::int16_t>(((index * samples + i) % 64 - 32) * 256);
        bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
    return bytes;
}

}  // namespace testing_support

// libavcodec's "mpeg4" encoder alone, set up as the codec stand-in sets it
// up (4:2:0, GOP 30, no B-frames, one thread, no scene-change keyframes):
// the yardstick the benchmarks hold the recorder's encoding against. It
// stays open across passes, as the recorder's encoder does.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

struct BareEncoder {
    AVCodecContext* c = nullptr;
    AVFrame* f = nullptr;
    AVPacket* p = nullptr;
    std::int64_t pts = 0;

    bool Open(int width, int height, int kbps, int frameRate)
    {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        c = avcodec_alloc_context3(codec);
        f = av_frame_alloc();
        p = av_packet_alloc();
        if (!c || !f || !p) return false;
        c->width = width;
        c->height = height;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->time_base = AVRational{1, frameRate};
        c->framerate = AVRational{frameRate, 1};
        c->gop_size = 30;
        c->max_b_frames = 0;
        c->thread_count = 1;
        c->bit_rate = static_cast<std::int64_t>(kbps) * 1000;
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set_int(c->priv_data, "sc_threshold", 1000000000, 0);
        f->format = c->pix_fmt;
        f->width = width;
        f->height = height;
        return avcodec_open2(c, codec, nullptr) == 0 && av_frame_get_buffer(f, 0) == 0;
    }

    ~BareEncoder()
    {
        av_packet_free(&p);
        av_frame_free(&f);
        avcodec_free_context(&c);
    }

    // Encodes one YV12 picture (planes Y, V, U) of the opened size, as a
    // keyframe when `intra`; the packet's bytes, or -1 when the encoder fails.
    long Encode(const std::uint8_t* yv12, bool intra)
    {
        const int w = c->width;
        const int h = c->height;
        const int luma = w * h;
        if (av_frame_make_writable(f) < 0) return -1;
        av_image_copy_plane(f->data[0], f->linesize[0], yv12, w, w, h);
        av_image_copy_plane(f->data[1], f->linesize[1], yv12 + luma * 5 / 4, w / 2, w / 2, h / 2);
        av_image_copy_plane(f->data[2], f->linesize[2], yv12 + luma, w / 2, w / 2, h / 2);
        f->pict_type = intra ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        f->pts = pts++;
        if (avcodec_send_frame(c, f) < 0 || avcodec_receive_packet(c, p) < 0) return -1;
        const long bytes = p->size;
        av_packet_unref(p);
        return bytes;
    }
};

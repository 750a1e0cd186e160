#include "sim/video_file_source.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "platform/base/trace.h"

namespace sim {
namespace {

constexpr AVRational kMicroseconds = {1, 1'000'000};

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct FormatClose {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct ScalerFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResamplerFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// One stream of the file (its video, or its sound), decoded in order from
// the start. The file's length is its video stream's.
class StreamDecoder {
public:
    // False with *error when the file does not open or has no video; a file
    // without sound opens for sound with no stream (HasStream() false).
    bool Open(const std::string& path, AVMediaType type, std::string* error)
    {
        path_ = path;
        AVFormatContext* raw = nullptr;
        int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
        if (r < 0) return Fail("cannot open: " + AvError(r), error);
        format_.reset(raw);
        if ((r = avformat_find_stream_info(raw, nullptr)) < 0) return Fail("cannot read: " + AvError(r), error);
        const int video = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (video < 0) return Fail("no video stream (" + AvError(video) + ")", error);
        const AVStream* vs = raw->streams[video];
        if (vs->duration != AV_NOPTS_VALUE && vs->duration > 0) {
            durationUs_ = av_rescale_q(vs->duration, vs->time_base, kMicroseconds);
        } else if (raw->duration != AV_NOPTS_VALUE && raw->duration > 0) {
            durationUs_ = av_rescale_q(raw->duration, AV_TIME_BASE_Q, kMicroseconds);
        }
        if (durationUs_ <= 0) return Fail("the file does not say how long it is", error);
        index_ = type == AVMEDIA_TYPE_VIDEO ? video : av_find_best_stream(raw, type, -1, video, nullptr, 0);
        if (index_ < 0) return true;
        stream_ = raw->streams[index_];
        const AVCodec* codec = avcodec_find_decoder(stream_->codecpar->codec_id);
        if (codec == nullptr) {
            return Fail(std::string("no decoder for ") + avcodec_get_name(stream_->codecpar->codec_id), error);
        }
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_) return Fail("out of memory", error);
        if ((r = avcodec_parameters_to_context(codec_.get(), stream_->codecpar)) < 0) return Fail(AvError(r), error);
        // Decoding stays on the caller's thread, and so stays the same from run to run.
        codec_->thread_count = 1;
        if ((r = avcodec_open2(codec_.get(), codec, nullptr)) < 0) {
            return Fail(std::string("cannot decode ") + codec->name + ": " + AvError(r), error);
        }
        packet_.reset(av_packet_alloc());
        if (!packet_) return Fail("out of memory", error);
        return true;
    }

    bool HasStream() const { return codec_ != nullptr; }
    std::int64_t DurationUs() const { return durationUs_; }
    const AVStream* Stream() const { return stream_; }

    // The next frame of the stream into *frame; false at its end.
    bool Next(AVFrame* frame)
    {
        used_ = true;
        for (;;) {
            int r = avcodec_receive_frame(codec_.get(), frame);
            if (r == 0) return true;
            if (r != AVERROR(EAGAIN)) {
                if (r != AVERROR_EOF) Log("decoding stopped", r);
                return false;
            }
            r = av_read_frame(format_.get(), packet_.get());
            if (r < 0) {
                if (r != AVERROR_EOF) Log("reading stopped", r);
                avcodec_send_packet(codec_.get(), nullptr);
                continue;
            }
            if (packet_->stream_index == index_) {
                r = avcodec_send_packet(codec_.get(), packet_.get());
                // A damaged packet is left out, as a player leaves it out; the next one decodes.
                if (r < 0) Log("packet skipped", r);
            }
            av_packet_unref(packet_.get());
        }
    }

    // Back to the first frame.
    void Rewind()
    {
        if (!used_) return;
        const std::int64_t start = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
        const int r = av_seek_frame(format_.get(), index_, start, AVSEEK_FLAG_BACKWARD);
        if (r < 0) Log("cannot go back to the start", r);
        avcodec_flush_buffers(codec_.get());
        used_ = false;
    }

private:
    bool Fail(const std::string& why, std::string* error)
    {
        *error = path_ + ": " + why;
        return false;
    }
    void Log(const char* what, int code) const
    {
        os::PlatformLog("video file %s: %s: %s", path_.c_str(), what, AvError(code).c_str());
    }

    std::string path_;
    std::unique_ptr<AVFormatContext, FormatClose> format_;
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    AVStream* stream_ = nullptr;
    int index_ = -1;
    std::int64_t durationUs_ = 0;
    bool used_ = false;
};

std::int64_t PositiveModulo(std::int64_t a, std::int64_t m)
{
    const std::int64_t r = a % m;
    return r < 0 ? r + m : r;
}

class VideoPictures final : public os::sim::PictureSource {
public:
    bool Open(const std::string& path, std::string* error)
    {
        if (!decoder_.Open(path, AVMEDIA_TYPE_VIDEO, error)) return false;
        current_.reset(av_frame_alloc());
        next_.reset(av_frame_alloc());
        if (!current_ || !next_) {
            *error = path + ": out of memory";
            return false;
        }
        return true;
    }

    void Fill(std::uint32_t, std::int64_t deviceUs, int width, int height, std::uint8_t* yv12) override
    {
        if (!started_) {
            started_ = true;
            startUs_ = deviceUs;
        }
        const std::int64_t at = PositiveModulo(deviceUs - startUs_, decoder_.DurationUs());
        // Time went back past the shown frame: the loop came round.
        if (!haveCurrent_ || (at < currentUs_ && shown_ > 0)) Restart();
        while (haveNext_ && nextUs_ <= at) {
            std::swap(current_, next_);
            currentUs_ = nextUs_;
            ++shown_;
            scaledValid_ = false;
            haveNext_ = Decode(next_.get(), &nextUs_);
        }
        const std::size_t bytes = static_cast<std::size_t>(width) * height * 3 / 2;
        if (!haveCurrent_) {
            std::memset(yv12, 16, static_cast<std::size_t>(width) * height);
            std::memset(yv12 + static_cast<std::size_t>(width) * height, 128, bytes - static_cast<std::size_t>(width) * height);
            return;
        }
        if (!scaledValid_ || width != scaledWidth_ || height != scaledHeight_) Scale(width, height);
        std::memcpy(yv12, scaled_.data(), bytes);
    }

private:
    void Restart()
    {
        decoder_.Rewind();
        lastUs_ = -1;
        shown_ = 0;
        scaledValid_ = false;
        haveCurrent_ = Decode(current_.get(), &currentUs_);
        haveNext_ = haveCurrent_ && Decode(next_.get(), &nextUs_);
    }

    // A frame and its time in microseconds from the stream's start.
    bool Decode(AVFrame* frame, std::int64_t* us)
    {
        av_frame_unref(frame);
        if (!decoder_.Next(frame)) return false;
        const AVStream* s = decoder_.Stream();
        const std::int64_t ts = frame->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) {
            // An untimed frame follows the last one by a frame's length.
            const AVRational rate = s->avg_frame_rate.num > 0 ? s->avg_frame_rate : AVRational{15, 1};
            *us = lastUs_ < 0 ? 0 : lastUs_ + av_rescale_q(1, av_inv_q(rate), kMicroseconds);
        } else {
            const std::int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
            *us = av_rescale_q(ts - start, s->time_base, kMicroseconds);
        }
        lastUs_ = *us;
        return true;
    }

    void Scale(int width, int height)
    {
        const AVFrame* f = current_.get();
        scaler_.reset(sws_getCachedContext(scaler_.release(), f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                           width, height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
        const std::size_t luma = static_cast<std::size_t>(width) * height;
        scaled_.assign(luma * 3 / 2, 128);
        std::memset(scaled_.data(), 16, luma);
        if (scaler_) {
            // YV12 holds V before U; the scaler writes Y, U, V.
            std::uint8_t* planes[4] = {scaled_.data(), scaled_.data() + luma + luma / 4, scaled_.data() + luma, nullptr};
            const int strides[4] = {width, width / 2, width / 2, 0};
            sws_scale(scaler_.get(), f->data, f->linesize, 0, f->height, planes, strides);
        }
        scaledWidth_ = width;
        scaledHeight_ = height;
        scaledValid_ = true;
    }

    StreamDecoder decoder_;
    FramePtr current_;
    FramePtr next_;
    bool haveCurrent_ = false;
    bool haveNext_ = false;
    std::int64_t currentUs_ = 0;
    std::int64_t nextUs_ = 0;
    std::int64_t lastUs_ = -1;
    std::int64_t shown_ = 0;  // frames moved past since the loop's start
    bool started_ = false;
    std::int64_t startUs_ = 0;
    std::unique_ptr<SwsContext, ScalerFree> scaler_;
    std::vector<std::uint8_t> scaled_;
    int scaledWidth_ = 0;
    int scaledHeight_ = 0;
    bool scaledValid_ = false;
};

class VideoSound final : public os::sim::SoundSource {
public:
    bool Open(const std::string& path, std::string* error)
    {
        if (!decoder_.Open(path, AVMEDIA_TYPE_AUDIO, error)) return false;
        frame_.reset(av_frame_alloc());
        if (!frame_) {
            *error = path + ": out of memory";
            return false;
        }
        return true;
    }

    void Fill(std::int64_t first, int rate, std::int16_t* pcm, std::size_t count) override
    {
        if (!decoder_.HasStream() || rate <= 0) {
            std::fill(pcm, pcm + count, std::int16_t{0});
            return;
        }
        if (rate != rate_) {
            rate_ = rate;
            loopSamples_ = std::max<std::int64_t>(1, av_rescale(decoder_.DurationUs(), rate, 1'000'000));
            loop_ = -1;
        }
        std::size_t done = 0;
        while (done < count) {
            const std::int64_t sample = first + static_cast<std::int64_t>(done);
            const std::int64_t loop = sample >= 0 ? sample / loopSamples_ : (sample + 1) / loopSamples_ - 1;
            const std::int64_t at = PositiveModulo(sample, loopSamples_);
            if (loop != loop_ || at < bufferStart_) StartLoop(loop);
            // Samples before `at` (a stalled microphone's, or skipped) are decoded and dropped.
            while (bufferStart_ + static_cast<std::int64_t>(buffer_.size()) <= at && !ended_) {
                Drop(buffer_.size());
                DecodeMore();
            }
            Drop(static_cast<std::size_t>(std::min<std::int64_t>(at - bufferStart_, buffer_.size())));
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::int64_t>(count - done, loopSamples_ - at));
            while (buffer_.size() < want && !ended_) DecodeMore();
            const std::size_t have = at == bufferStart_ ? std::min(want, buffer_.size()) : 0;
            std::copy_n(buffer_.begin(), have, pcm + done);
            // Past the sound's end the loop is silent until the pictures come round too.
            std::fill(pcm + done + have, pcm + done + want, std::int16_t{0});
            done += want;
        }
    }

private:
    void StartLoop(std::int64_t loop)
    {
        decoder_.Rewind();
        resampler_.reset();
        buffer_.clear();
        bufferStart_ = 0;
        ended_ = false;
        loop_ = loop;
    }

    void Drop(std::size_t n)
    {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
        bufferStart_ += static_cast<std::int64_t>(n);
    }

    // Appends the next frame's samples, resampled; at the end of the stream
    // appends what the resampler still holds and marks the end.
    void DecodeMore()
    {
        const bool got = decoder_.Next(frame_.get());
        if (got && !resampler_ && !MakeResampler()) {
            ended_ = true;
            return;
        }
        if (!resampler_) {
            ended_ = true;
            return;
        }
        const int in = got ? frame_->nb_samples : 0;
        const int room = swr_get_out_samples(resampler_.get(), in);
        if (room > 0) {
            const std::size_t old = buffer_.size();
            buffer_.resize(old + static_cast<std::size_t>(room));
            std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(buffer_.data() + old)};
            const int n = swr_convert(resampler_.get(), out, room,
                                      got ? const_cast<const std::uint8_t**>(frame_->extended_data) : nullptr, in);
            buffer_.resize(old + static_cast<std::size_t>(std::max(n, 0)));
        }
        if (got) av_frame_unref(frame_.get());
        if (!got) ended_ = true;
    }

    bool MakeResampler()
    {
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        AVChannelLayout inLayout;
        if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&inLayout, frame_->ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&inLayout, &frame_->ch_layout) < 0) {
            return false;
        }
        SwrContext* raw = nullptr;
        int r = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_S16, rate_, &inLayout,
                                    static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        resampler_.reset(raw);
        if (r >= 0) r = swr_init(raw);
        if (r < 0) {
            os::PlatformLog("video file sound: cannot resample: %s", AvError(r).c_str());
            resampler_.reset();
            return false;
        }
        return true;
    }

    StreamDecoder decoder_;
    FramePtr frame_;
    std::unique_ptr<SwrContext, ResamplerFree> resampler_;
    int rate_ = 0;
    std::int64_t loopSamples_ = 1;
    std::int64_t loop_ = -1;
    std::int64_t bufferStart_ = 0;  // position in the loop of buffer_[0]
    std::vector<std::int16_t> buffer_;
    bool ended_ = false;
};

}  // namespace

std::shared_ptr<os::sim::PictureSource> OpenVideoPictures(const std::string& path, std::string* error)
{
    auto source = std::make_shared<VideoPictures>();
    if (!source->Open(path, error)) return nullptr;
    return source;
}

std::shared_ptr<os::sim::SoundSource> OpenVideoSound(const std::string& path, std::string* error)
{
    auto source = std::make_shared<VideoSound>();
    if (!source->Open(path, error)) return nullptr;
    return source;
}

}  // namespace sim

#include "recorder/avi/avi_muxer.h"

#include <cerrno>

#include "platform/base/trace.h"

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/rational.h>
}

namespace {

constexpr std::uint32_t kAvihFlags = 0x910;  // has index, interleaved, trust chunk type
constexpr std::uint32_t kSuggestedBuffer = 1048576;
constexpr std::uint32_t kAudioSuggestedBuffer = 12288;
constexpr int kHeaderPaddingBytes = 1016;
constexpr int kDmlhBytes = 248;

}  // namespace

std::int64_t AviMuxer::StartTag(const char* tag)
{
    FourCC(tag);
    avio_wl32(pb_, 0);
    return avio_tell(pb_);
}

// Sizes are unpadded; the pad byte follows the payload.
void AviMuxer::EndTag(std::int64_t start)
{
    const std::int64_t end = avio_tell(pb_);
    if (end & 1) avio_w8(pb_, 0);
    avio_seek(pb_, start - 4, SEEK_SET);
    avio_wl32(pb_, static_cast<std::uint32_t>(end - start));
    avio_seek(pb_, end + (end & 1), SEEK_SET);
}

void AviMuxer::FourCC(const char* tag) { avio_write(pb_, reinterpret_cast<const unsigned char*>(tag), 4); }

int AviMuxer::Error() const
{
    avio_flush(pb_);
    return pb_->error;
}

int AviMuxer::WriteHeader(AVFormatContext* ctx, std::int64_t riffLimit)
{
    ctx_ = ctx;
    pb_ = ctx->pb;
    riffLimit_ = riffLimit;
    streams_ = std::vector<Stream>(ctx->nb_streams);
    int width = 0;
    int height = 0;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVCodecParameters* par = ctx->streams[i]->codecpar;
        Stream& s = streams_[i];
        s.video = par->codec_type == AVMEDIA_TYPE_VIDEO;
        s.chunkId[0] = '0';
        s.chunkId[1] = static_cast<char>('0' + i);
        s.chunkId[2] = s.video ? 'd' : 'w';
        s.chunkId[3] = s.video ? 'c' : 'b';
        s.sampleSize = s.video ? 0 : static_cast<std::uint32_t>(par->block_align);
        if (s.video) {
            width = par->width;
            height = par->height;
        }
    }

    riffs_ = 1;
    riffStart_ = StartTag("RIFF");
    FourCC("AVI ");
    const std::int64_t hdrl = StartTag("LIST");
    FourCC("hdrl");
    WriteAvih(width, height);
    for (unsigned i = 0; i < ctx->nb_streams; ++i) WriteStreamList(static_cast<int>(i));

    // Room for the OpenDML header list, used only if the file outgrows one RIFF.
    odmlJunk_ = StartTag("JUNK");
    FourCC("odml");
    FourCC("dmlh");
    avio_wl32(pb_, kDmlhBytes);
    for (int i = 0; i < kDmlhBytes; ++i) avio_w8(pb_, 0);
    EndTag(odmlJunk_);
    EndTag(hdrl);

    const std::int64_t junk = StartTag("JUNK");
    for (int i = 0; i < kHeaderPaddingBytes; ++i) avio_w8(pb_, 0);
    EndTag(junk);

    moviList_ = StartTag("LIST");
    FourCC("movi");
    return Error();
}

void AviMuxer::WriteAvih(int width, int height)
{
    std::uint32_t usPerFrame = 0;
    std::int64_t bitRate = 0;
    for (unsigned i = 0; i < ctx_->nb_streams; ++i) {
        const AVStream* st = ctx_->streams[i];
        bitRate += st->codecpar->bit_rate;
        if (streams_[i].video) {
            usPerFrame = static_cast<std::uint32_t>(INT64_C(1000000) * st->time_base.num / st->time_base.den);
        }
    }
    const std::int64_t avih = StartTag("avih");
    avio_wl32(pb_, usPerFrame);
    avio_wl32(pb_, static_cast<std::uint32_t>(bitRate / 8));
    avio_wl32(pb_, 0);  // padding granularity
    avio_wl32(pb_, kAvihFlags);
    totalFramesPos_ = avio_tell(pb_);
    avio_wl32(pb_, 0);  // total frames, patched at the end
    avio_wl32(pb_, 0);  // initial frames
    avio_wl32(pb_, ctx_->nb_streams);
    avio_wl32(pb_, kSuggestedBuffer);
    avio_wl32(pb_, static_cast<std::uint32_t>(width));
    avio_wl32(pb_, static_cast<std::uint32_t>(height));
    for (int i = 0; i < 4; ++i) avio_wl32(pb_, 0);
    EndTag(avih);
}

void AviMuxer::WriteStreamList(int i)
{
    AVStream* st = ctx_->streams[i];
    const AVCodecParameters* par = st->codecpar;
    Stream& s = streams_[i];
    // Audio counts in samples: one unit per block, the sample rate per second,
    // whatever bit rate was asked for.
    if (!s.video) st->time_base = AVRational{1, par->sample_rate};
    int scale = 0;
    int rate = 0;
    av_reduce(&scale, &rate, st->time_base.num, st->time_base.den, INT32_MAX);

    const std::int64_t strl = StartTag("LIST");
    FourCC("strl");
    const std::int64_t strh = StartTag("strh");
    FourCC(s.video ? "vids" : "auds");
    avio_wl32(pb_, par->codec_tag);
    avio_wl32(pb_, 0);  // flags
    avio_wl16(pb_, 0);  // priority
    avio_wl16(pb_, 0);  // language
    avio_wl32(pb_, 0);  // initial frames
    avio_wl32(pb_, static_cast<std::uint32_t>(scale));
    avio_wl32(pb_, static_cast<std::uint32_t>(rate));
    avio_wl32(pb_, 0);  // start
    s.lengthPos = avio_tell(pb_);
    avio_wl32(pb_, 0);  // length, patched at the end
    avio_wl32(pb_, s.video ? kSuggestedBuffer : kAudioSuggestedBuffer);
    avio_wl32(pb_, 0xFFFFFFFFu);  // quality
    avio_wl32(pb_, s.sampleSize);
    avio_wl32(pb_, 0);  // frame rectangle: left, top
    avio_wl16(pb_, static_cast<std::uint16_t>(s.video ? par->width : 0));
    avio_wl16(pb_, static_cast<std::uint16_t>(s.video ? par->height : 0));
    EndTag(strh);

    const std::int64_t strf = StartTag("strf");
    if (s.video) {
        avio_wl32(pb_, 40);
        avio_wl32(pb_, static_cast<std::uint32_t>(par->width));
        avio_wl32(pb_, static_cast<std::uint32_t>(par->height));
        avio_wl16(pb_, 1);   // planes
        avio_wl16(pb_, 24);  // bit count
        avio_wl32(pb_, par->codec_tag);
        avio_wl32(pb_, static_cast<std::uint32_t>(par->width * par->height * 3));
        for (int k = 0; k < 4; ++k) avio_wl32(pb_, 0);
    } else {
        avio_wl16(pb_, static_cast<std::uint16_t>(par->codec_tag));
        avio_wl16(pb_, static_cast<std::uint16_t>(par->ch_layout.nb_channels));
        avio_wl32(pb_, static_cast<std::uint32_t>(par->sample_rate));
        avio_wl32(pb_, static_cast<std::uint32_t>(par->sample_rate * par->block_align));
        avio_wl16(pb_, static_cast<std::uint16_t>(par->block_align));
        avio_wl16(pb_, static_cast<std::uint16_t>(par->bits_per_coded_sample));
    }
    EndTag(strf);
    WriteSuperIndexRoom(s);
    EndTag(strl);
}

// A super index with room for one entry per RIFF, hidden as "JUNK" until the
// file needs it.
void AviMuxer::WriteSuperIndexRoom(Stream& s)
{
    s.superIndex = StartTag("JUNK");
    avio_wl16(pb_, 4);  // longs per entry
    avio_w8(pb_, 0);    // sub type
    avio_w8(pb_, 0);    // index of indexes
    avio_wl32(pb_, 0);  // entries in use
    FourCC(s.chunkId);
    for (int i = 0; i < 3; ++i) avio_wl32(pb_, 0);  // reserved
    for (int i = 0; i < kAviMaxRiffs * 2; ++i) avio_wl64(pb_, 0);
    EndTag(s.superIndex);
}

int AviMuxer::WritePacket(int stream, const std::uint8_t* data, int size, std::int64_t pts, bool key)
{
    Stream& s = streams_[stream];
    if (s.video) {
        while (pts > static_cast<std::int64_t>(s.chunks)) {
            os::Trace("dup %lld %d\n", static_cast<long long>(pts), static_cast<int>(s.chunks));
            const int result = WriteChunk(s, nullptr, 0, false);
            if (result < 0) return result;
        }
    }
    return WriteChunk(s, data, size, key || !s.video);
}

int AviMuxer::WriteChunk(Stream& s, const std::uint8_t* data, int size, bool key)
{
    if (avio_tell(pb_) - riffStart_ > riffLimit_) {
        const int result = NextRiff();
        if (result < 0) return result;
    }
    const auto offset = static_cast<std::uint32_t>(avio_tell(pb_) - moviList_);
    FourCC(s.chunkId);
    avio_wl32(pb_, static_cast<std::uint32_t>(size));
    if (size > 0) avio_write(pb_, data, size);
    if (size & 1) avio_w8(pb_, 0);
    const int error = Error();
    if (error < 0) return error;
    if (!s.index.Add(AviIndexEntry{key ? kAviKeyFrameFlag : 0, offset, static_cast<std::uint32_t>(size)})) {
        return AVERROR(ENOMEM);
    }
    ++s.chunks;
    if (!s.video) s.audioBytes += static_cast<std::uint32_t>(size);
    return 0;
}

int AviMuxer::NextRiff()
{
    if (riffs_ >= kAviMaxRiffs) return AVERROR(EFBIG);
    WriteStandardIndexes();
    EndTag(moviList_);
    if (riffs_ == 1) {
        WriteIdx1();
        PatchCounters(true);
    }
    EndTag(riffStart_);
    ++riffs_;
    for (Stream& s : streams_) {
        s.index.Restart();
        s.audioBytesAtRiff = s.audioBytes;
    }
    riffStart_ = StartTag("RIFF");
    FourCC("AVIX");
    moviList_ = StartTag("LIST");
    FourCC("movi");
    return Error();
}

int AviMuxer::WriteTrailer(const AviInfoContent& info)
{
    if (riffs_ == 1) {
        EndTag(moviList_);
        WriteIdx1();
        WriteInfoList(info);
        EndTag(riffStart_);
        PatchCounters(true);
    } else {
        WriteStandardIndexes();
        EndTag(moviList_);
        EndTag(riffStart_);
        const std::int64_t end = avio_tell(pb_);
        std::uint32_t frames = 0;
        for (const Stream& s : streams_) {
            if (s.video && s.chunks > frames) frames = s.chunks;
        }
        avio_seek(pb_, odmlJunk_ - 8, SEEK_SET);
        FourCC("LIST");
        avio_seek(pb_, odmlJunk_ + 12, SEEK_SET);
        avio_wl32(pb_, frames);
        avio_seek(pb_, end, SEEK_SET);
        PatchCounters(false);
    }
    for (Stream& s : streams_) s.index.Release();
    return Error();
}

// "strh" lengths count chunks for video and samples for audio; the "avih"
// total counts the frames of the first RIFF only, as OpenDML readers expect.
void AviMuxer::PatchCounters(bool withAvih)
{
    const std::int64_t end = avio_tell(pb_);
    std::uint32_t frames = 0;
    for (const Stream& s : streams_) {
        avio_seek(pb_, s.lengthPos, SEEK_SET);
        avio_wl32(pb_, s.video ? s.chunks : static_cast<std::uint32_t>(s.audioBytes / s.sampleSize));
        if (s.video && s.chunks > frames) frames = s.chunks;
    }
    if (withAvih) {
        avio_seek(pb_, totalFramesPos_, SEEK_SET);
        avio_wl32(pb_, frames);
    }
    avio_seek(pb_, end, SEEK_SET);
}

std::size_t AviMuxer::IndexBytes() const
{
    std::size_t bytes = 0;
    for (const Stream& s : streams_) bytes += s.index.AllocatedBytes();
    return bytes;
}

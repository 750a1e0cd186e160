#include "recorder/avi/avi_codec_tags.h"

namespace {

struct CodecTag {
    AVCodecID codec;
    std::uint32_t tag;
};

// Order matters: the first entry of a codec is the tag it is written with.
constexpr CodecTag kVideoTags[] = {
    {AV_CODEC_ID_MPEG4, AviFourCC("XVID")}, {AV_CODEC_ID_MPEG4, AviFourCC("M4S2")},
    {AV_CODEC_ID_MPEG4, AviFourCC("DIVX")}, {AV_CODEC_ID_MPEG4, AviFourCC("FMP4")},
    {AV_CODEC_ID_MPEG4, AviFourCC("DX50")}, {AV_CODEC_ID_MPEG4, AviFourCC("MP4S")},
};

constexpr CodecTag kAudioTags[] = {
    {AV_CODEC_ID_PCM_S16LE, 0x0001},
};

template <std::size_t N>
std::uint32_t FirstTag(const CodecTag (&table)[N], AVCodecID codec)
{
    for (const CodecTag& entry : table) {
        if (entry.codec == codec) return entry.tag;
    }
    return 0;
}

}  // namespace

std::uint32_t AviVideoCodecTag(AVCodecID codec) { return FirstTag(kVideoTags, codec); }

std::uint32_t AviAudioFormatTag(AVCodecID codec) { return FirstTag(kAudioTags, codec); }

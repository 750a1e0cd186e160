// The codec tags this writer gives its streams: a table of its own, searched
// in order, so that a codec with several known tags takes the first one
// (MPEG-4 Part 2 is "XVID").
#pragma once

#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
}

// The FourCC (little-endian) of a video codec; 0 when the writer has none.
std::uint32_t AviVideoCodecTag(AVCodecID codec);
// The WAV format tag of an audio codec; 0 when the writer has none.
std::uint32_t AviAudioFormatTag(AVCodecID codec);

constexpr std::uint32_t AviFourCC(const char (&text)[5])
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

// The recorder's per-frame video path, for the encoder's benchmark and tests:
// a synthetic camera frame (planar YV12 with the capture index band) and the
// step that copies it into the encoder's input buffer and encodes it.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/media/capture_index.h"
#include "recorder/video_encoder.h"

namespace encoder_chain {

// A drifting picture with texture, so that predicted frames cost bits: two
// gratings moving at different speeds, a fixed grain and tinted chroma, with
// `captureIndex` stamped over the top band.
inline void ProduceFrame(std::uint32_t frame, std::uint32_t captureIndex, int width, int height, std::uint8_t* yv12)
{
    static const auto wave = [] {
        struct Table {
            int v[256];
        } t{};
        for (int i = 0; i < 256; ++i) t.v[i] = static_cast<int>(std::lround(std::sin(i * 6.283185307 / 256) * 64));
        return t;
    }();
    const int f = static_cast<int>(frame);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = yv12 + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const unsigned grain = (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) >> 28;
            const int v = 128 + wave.v[(x * 3 + y + f * 4) & 255] * 3 / 4 + wave.v[(y * 5 - f * 3) & 255] / 2 +
                          static_cast<int>(grain) - 8;
            row[x] = static_cast<std::uint8_t>(v < 16 ? 16 : v > 235 ? 235 : v);
        }
    }
    const int cw = width / 2;
    const int ch = height / 2;
    std::uint8_t* v = yv12 + static_cast<std::size_t>(width) * height;
    std::uint8_t* u = v + static_cast<std::size_t>(cw) * ch;
    for (int y = 0; y < ch; ++y) {
        for (int x = 0; x < cw; ++x) {
            v[y * cw + x] = static_cast<std::uint8_t>(128 + wave.v[(x * 2 + f * 2) & 255] / 4);
            u[y * cw + x] = static_cast<std::uint8_t>(128 + wave.v[(y * 2 - f) & 255] / 4);
        }
    }
    os::StampCaptureIndex(yv12, width, height, captureIndex);
}

// Copies a YV12 frame (Y, V, U) into the encoder's input buffer (Y, Cb, Cr)
// and encodes it: MFC_EncodeFrame's result.
inline int EncodeCapturedFrame(const std::uint8_t* yv12, int width, int height, const PhysBuffer* input,
                               EncodedFrame* out, int forceIntra)
{
    MFC_CopyCapture(yv12, width, height, input);
    return MFC_EncodeFrame(input, out, forceIntra);
}

}  // namespace encoder_chain

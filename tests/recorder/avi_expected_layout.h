// The bytes a recording file must hold, built independently of the writer
// from the file format's tables: header lists, "movi" chunks with their pad
// bytes, and the merged "idx1".
#pragma once

#include <string>
#include <vector>

#include "tests/recorder/avi_test_support.h"

namespace testing_support {

struct ExpectedChunk {
    std::string id;  // "00dc", "01wb", "00wb"
    std::vector<std::uint8_t> data;
    bool key = false;
};

struct ExpectedStreams {
    bool video = false;
    bool audio = false;
    int width = 176;
    int height = 144;
    int frameRate = 30;
    int videoKbps = 1000;
    int audioKbps = 128;
    int sampleRate = 8000;
};

inline Bytes ExpectedStrl(const ExpectedStreams& s, bool video, std::uint32_t length)
{
    const int channels = 1;
    const int blockAlign = 2;
    Bytes strh;
    strh.Tag(video ? "vids" : "auds");
    if (video) strh.Tag("XVID");
    else strh.U32(1);
    strh.U32(0).U16(0).U16(0).U32(0);
    if (video) strh.U32(1).U32(static_cast<std::uint32_t>(s.frameRate));
    else strh.U32(1).U32(static_cast<std::uint32_t>(s.sampleRate));
    strh.U32(0).U32(length).U32(video ? 1048576 : 12288).U32(0xFFFFFFFFu).U32(video ? 0 : blockAlign).U32(0);
    strh.U16(video ? static_cast<std::uint16_t>(s.width) : 0).U16(video ? static_cast<std::uint16_t>(s.height) : 0);

    Bytes strf;
    if (video) {
        strf.U32(40).U32(static_cast<std::uint32_t>(s.width)).U32(static_cast<std::uint32_t>(s.height)).U16(1).U16(24);
        strf.Tag("XVID").U32(static_cast<std::uint32_t>(s.width * s.height * 3)).Zeros(16);
    } else {
        strf.U16(1).U16(channels).U32(static_cast<std::uint32_t>(s.sampleRate));
        strf.U32(static_cast<std::uint32_t>(s.sampleRate * blockAlign)).U16(blockAlign).U16(16);
    }

    const char* chunkId = video ? "00dc" : (s.video ? "01wb" : "00wb");
    Bytes superIndex;
    superIndex.U16(4).U8(0).U8(0).U32(0).Tag(chunkId).Zeros(12).Zeros(256 * 16);

    Bytes strl;
    strl.Chunk("strh", strh).Chunk("strf", strf).Chunk("JUNK", superIndex);
    return strl;
}

// Everything before the "movi" list.
inline Bytes ExpectedHeaderLists(const ExpectedStreams& s, std::uint32_t videoChunks, std::uint32_t audioSamples)
{
    Bytes avih;
    const int streams = (s.video ? 1 : 0) + (s.audio ? 1 : 0);
    const std::uint32_t maxBytes =
        static_cast<std::uint32_t>(((s.video ? s.videoKbps : 0) + (s.audio ? s.audioKbps : 0)) * 1000 / 8);
    avih.U32(s.video ? 1000000 / s.frameRate : 0).U32(maxBytes).U32(0).U32(0x910).U32(videoChunks).U32(0);
    avih.U32(static_cast<std::uint32_t>(streams)).U32(1048576);
    avih.U32(s.video ? static_cast<std::uint32_t>(s.width) : 0).U32(s.video ? static_cast<std::uint32_t>(s.height) : 0);
    avih.Zeros(16);

    Bytes hdrl;
    hdrl.Chunk("avih", avih);
    if (s.video) hdrl.List("strl", ExpectedStrl(s, true, videoChunks));
    if (s.audio) hdrl.List("strl", ExpectedStrl(s, false, audioSamples));
    Bytes odml;
    odml.Tag("odml").Tag("dmlh").U32(248).Zeros(248);
    hdrl.Chunk("JUNK", odml);

    Bytes out;
    out.List("hdrl", hdrl);
    Bytes junk;
    junk.Zeros(1016);
    out.Chunk("JUNK", junk);
    return out;
}

// The "movi" list and "idx1" of the chunks in file order.
inline Bytes ExpectedMoviAndIndex(const std::vector<ExpectedChunk>& chunks)
{
    Bytes movi;
    Bytes idx1;
    for (const ExpectedChunk& c : chunks) {
        const auto offset = static_cast<std::uint32_t>(4 + movi.Size());
        Bytes payload;
        payload.Raw(c.data.data(), c.data.size());
        movi.Chunk(c.id.c_str(), payload);
        idx1.Tag(c.id.c_str()).U32(c.key ? 0x10 : 0).U32(offset).U32(static_cast<std::uint32_t>(c.data.size()));
    }
    Bytes out;
    out.List("movi", movi).Chunk("idx1", idx1);
    return out;
}

}  // namespace testing_support

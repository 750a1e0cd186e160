// Writes frames through the writer and keeps, beside them, the chunks the
// file must then hold (zero-length chunks for skipped video indexes included).
#pragma once

#include <vector>

#include "tests/recorder/avi_expected_layout.h"
#include "tests/recorder/mpeg4_test_frames.h"

namespace testing_support {

class RecordingScript {
public:
    explicit RecordingScript(bool withVideo) : audioId_(withVideo ? "01wb" : "00wb") {}

    void Video(const EncodedFrame& frame, std::int64_t index)
    {
        ASSERT_EQ(AVI_Writer_WriteFrame(kAviStreamVideo, frame.bytes.data(), static_cast<int>(frame.bytes.size()), index,
                                        frame.key),
                  0);
        while (index > videoChunks_) {
            chunks_.push_back(ExpectedChunk{"00dc", {}, false});
            ++videoChunks_;
        }
        chunks_.push_back(ExpectedChunk{"00dc", frame.bytes, frame.key});
        ++videoChunks_;
        ++videoFrames_;
    }

    void Audio(const std::vector<std::uint8_t>& pcm)
    {
        ASSERT_EQ(AVI_Writer_WriteFrame(kAviStreamAudio, pcm.data(), static_cast<int>(pcm.size()), audioBlocks_++, 0), 0);
        chunks_.push_back(ExpectedChunk{audioId_, pcm, true});
        audioBytes_ += static_cast<std::uint32_t>(pcm.size());
    }

    const std::vector<ExpectedChunk>& Chunks() const { return chunks_; }
    std::uint32_t VideoChunks() const { return static_cast<std::uint32_t>(videoChunks_); }
    int VideoFrames() const { return videoFrames_; }
    std::uint32_t AudioSamples() const { return audioBytes_ / 2; }

private:
    std::string audioId_;
    std::vector<ExpectedChunk> chunks_;
    std::int64_t videoChunks_ = 0;
    int videoFrames_ = 0;
    std::int64_t audioBlocks_ = 0;
    std::uint32_t audioBytes_ = 0;
};

inline GpsFix FixAt(float latitude, float longitude, std::uint8_t second)
{
    GpsFix fix{};
    fix.mark = kGpsFixLiveMark;
    fix.index = 0xFFFFFFFFu;
    fix.body.rmcStatus = 'A';
    fix.body.year = 2009;
    fix.body.month = 3;
    fix.body.day = 3;
    fix.body.speedKnots = 27.0f;
    fix.body.timePosition = GpsTimePosition{7, 59, second, longitude, latitude, 41.5f, 1};
    return fix;
}

}  // namespace testing_support

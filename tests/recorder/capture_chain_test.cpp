// The recording chain from the camera to a decoded file, in virtual time on
// the built-in phone: the capture graph hands its YV12 pictures and PCM to a
// callback that encodes and writes them the way the recorder does (the
// sequence header in front of the first, intra, frame); ffmpeg then decodes
// the file without a complaint, and every decoded picture carries the
// capture index the camera stamped on it, in order.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "bench/encoder_chain.h"
#include "platform/devices/device.h"
#include "platform/kernel/clock.h"
#include "platform/registry/registry_sim.h"
#include "recorder/avi/avi_writer.h"
#include "recorder/capture_graph.h"
#include "recorder/video_encoder.h"
#include "tests/recorder/avi_test_support.h"
#include "tests/recorder/decoded_indices.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// What the callback wrote; shared with the streaming threads.
struct Chain {
    std::mutex mu;
    PhysBuffer input;
    std::vector<std::uint8_t> header;
    std::int64_t videoWritten = 0;
    std::int64_t audioWritten = 0;
    std::vector<std::uint32_t> stamped;  // the capture index of each written picture
    int keyFrames = 0;
    int failures = 0;
};
Chain* g_chain = nullptr;

int WriteSample(const os::BYTE* data, os::LONG length, int kind, os::REFERENCE_TIME, os::REFERENCE_TIME, os::HWND)
{
    std::lock_guard lk(g_chain->mu);
    Chain& c = *g_chain;
    if (kind == kSampleAudio) {
        c.failures += AVI_Writer_WriteFrame(kAviStreamAudio, data, length, c.audioWritten++, 1) != 0;
        return 0;
    }
    const auto index = os::ReadCaptureIndex(data, kWidth, kHeight, kWidth);
    EncodedFrame out;
    if (!index || length != kWidth * kHeight * 3 / 2 ||
        !encoder_chain::EncodeCapturedFrame(data, kWidth, kHeight, &c.input, &out, c.videoWritten == 0)) {
        ++c.failures;
        return 0;
    }
    const bool key = out.picType == 0;
    int result;
    if (c.videoWritten == 0) {
        std::vector<std::uint8_t> first = c.header;
        first.insert(first.end(), out.data, out.data + out.size);
        result = AVI_Writer_WriteFrame(kAviStreamVideo, first.data(), static_cast<int>(first.size()), 0, 1);
    } else {
        result = AVI_Writer_WriteFrame(kAviStreamVideo, out.data, out.size, c.videoWritten, key);
    }
    c.failures += result != 0;
    c.keyFrames += key;
    c.stamped.push_back(*index);
    ++c.videoWritten;
    return 0;
}

class CaptureChainTest : public testing_support::AviWriterTest {
protected:
    void SetUp() override
    {
        AviWriterTest::SetUp();
        std::string error;
        ASSERT_EQ(os::sim::OpenRegistry(root_, &error), os::sim::RegistryOpenResult::Loaded) << error;
    }

    void TearDown() override
    {
        Release();
        os::sim::CloseRegistry();
        AviWriterTest::TearDown();
    }

    void Release()
    {
        if (m_) CaptureGraph_Delete(m_);
        m_ = nullptr;
        MFC_Close();
        if (chain_ && chain_->input.handle) MFC_FreeInputFrame(&chain_->input);
        g_chain = nullptr;
    }

    // Four seconds of the built-in camera and microphone, encoded and
    // written into `path` as the recorder writes them; what was written.
    void Record(const std::string& path)
    {
        Release();
        chain_ = std::make_unique<Chain>();
        g_chain = chain_.get();
        ASSERT_EQ(MFC_Initialize(), 1);
        EncoderParams params;
        MFC_SetDefaults(&params);
        ASSERT_EQ(MFC_Apply(&params), 1);
        ASSERT_EQ(MFC_Open(), 1);
        ASSERT_EQ(MFC_AllocInputFrame(kWidth, kHeight, &chain_->input), 1);
        chain_->header.resize(256);
        chain_->header.resize(static_cast<std::size_t>(MFC_ReadHeader(chain_->header.data(), 256)));
        ASSERT_FALSE(chain_->header.empty());

        m_ = CaptureGraph_New();
        ASSERT_NE(m_, nullptr);
        m_->videoSize = 1;
        os::SystemParametersInfoW(os::SPI_GETOEMINFO, 256, &m_->model, 0);
        m_->recordCallback = WriteSample;
        ASSERT_EQ(CaptureGraph_Create(m_), os::S_OK);
        ASSERT_EQ(CaptureGraph_Build(m_), os::S_OK);
        ASSERT_EQ(CaptureGraph_Finish(m_), os::S_OK);
        os::VIDEOINFOHEADER video;
        os::WAVEFORMATEX audio;
        ASSERT_EQ(CaptureGraph_ReadMediaFormats(m_, &video, &audio), os::S_OK);
        ASSERT_EQ(video.bmiHeader.biWidth, kWidth);
        ASSERT_EQ(video.bmiHeader.biHeight, kHeight);
        ASSERT_EQ(audio.nSamplesPerSec, 8000u);

        ASSERT_EQ(AVI_Writer_Open(path.c_str(), AV_CODEC_ID_MPEG4, kWidth, kHeight, 30, AV_CODEC_ID_PCM_S16LE, 8000,
                                  1, 16, 384, 128),
                  0);
        AVI_Writer_ResetTables();
        os::Sleep(500);  // the preview runs first; nothing reaches the file yet
        ASSERT_EQ(CaptureGraph_StartRecording(m_), os::S_OK);
        os::Sleep(4000);
        ASSERT_EQ(CaptureGraph_StopRecording(m_), os::S_OK);
        std::lock_guard lk(chain_->mu);
        ASSERT_GE(AVI_Writer_Close(chain_->videoWritten * 10000000 / 30, 0.0f), 0);
    }

    std::unique_ptr<Chain> chain_;
    CaptureGraphManager* m_ = nullptr;
};

TEST_F(CaptureChainTest, EveryCapturedPictureDecodesWithItsOwnIndex)
{
    const std::string path = "\\Storage Card\\chain.avi";
    Record(path);
    {
        std::lock_guard lk(chain_->mu);
        EXPECT_EQ(chain_->failures, 0);
        EXPECT_NEAR(static_cast<double>(chain_->videoWritten), 120.0, 2.0);
        EXPECT_NEAR(static_cast<double>(chain_->audioWritten), 40.0, 1.0);
        EXPECT_EQ(chain_->keyFrames, (chain_->videoWritten + 29) / 30) << "an intra picture every 30";
        for (std::size_t i = 1; i < chain_->stamped.size(); ++i)
            ASSERT_EQ(chain_->stamped[i], chain_->stamped[i - 1] + 1) << "the camera lost or repeated a picture";
    }

    const auto decoded = testing_support::DecodeIndices(HostPath(path), root_, kWidth, kHeight);
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.errors, "");
    ASSERT_EQ(decoded.indices.size(), chain_->stamped.size());
    for (std::size_t i = 0; i < decoded.indices.size(); ++i) {
        ASSERT_TRUE(decoded.indices[i].has_value()) << "picture " << i;
        EXPECT_EQ(*decoded.indices[i], chain_->stamped[i]) << "picture " << i;
    }
    const auto probe = testing_support::RunTool("ffprobe -v error -select_streams a:0 -count_packets -show_entries "
                                                "stream=sample_rate,channels,duration -of csv=p=0 '" +
                                                HostPath(path) + "'");
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.output.rfind("8000,1,", 0), 0u) << probe.output;
}

// The streaming threads take turns on the virtual clock in an order that
// follows only from what they do: the same recording twice is the same file
// up to its INFO list, whose summary carries the time it was made.
TEST_F(CaptureChainTest, TheSameRecordingTwiceIsTheSameFile)
{
    Record("\\Storage Card\\first.avi");
    Record("\\Storage Card\\second.avi");
    const auto first = ReadDeviceFile("\\Storage Card\\first.avi");
    const auto second = ReadDeviceFile("\\Storage Card\\second.avi");
    ASSERT_GT(first.size(), 100000u);
    ASSERT_EQ(first.size(), second.size());
    const std::string text(first.begin(), first.end());
    const std::size_t info = text.rfind("INFO");
    ASSERT_NE(info, std::string::npos);
    std::size_t at = 0;
    while (at < info && first[at] == second[at]) ++at;
    EXPECT_EQ(at, info) << "the files differ from byte " << at;
}

}  // namespace

// The recorder's encoder over the codec stand-in: recordings made the way the
// recorder makes them decode frame for frame (checked by the capture index of
// every decoded picture), keyframes fall where the GOP puts them, rate
// control follows the bit rate, and the codec's faults leave the encoder
// usable.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "bench/encoder_chain.h"
#include "platform/kernel/clock.h"
#include "platform/media/capture_index.h"
#include "platform/media/media_sim.h"
#include "platform/media/phys_mem.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "recorder/video_encoder.h"
#include "tests/recorder/avi_test_support.h"

namespace {

using encoder_chain::EncodeCapturedFrame;
using encoder_chain::ProduceFrame;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr std::uint32_t kNotCoded = 0;
constexpr std::uint8_t kNotCodedVop[] = {0x00, 0x00, 0x01, 0xB6, 0x50, 0x4F};

// The VOP coding type of an encoded frame from its bitstream: 0 intra, 1
// predicted; -1 when no VOP start code is found.
int VopCodingType(const std::uint8_t* data, int size)
{
    for (int i = 0; i + 4 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB6) return data[i + 4] >> 6;
    }
    return -1;
}

struct Decoded {
    int exitCode = -1;
    std::string errors;
    std::vector<std::optional<std::uint32_t>> indices;  // per decoded frame
};

// ffmpeg's decode of the file to grey frames, and the capture index read off each.
Decoded DecodeIndices(const std::string& host, const std::string& scratch)
{
    Decoded d;
    const std::string errFile = scratch + "/ffmpeg.err";
    const std::string command = "ffmpeg -nostdin -v error -xerror -i '" + host +
                                "' -f rawvideo -pix_fmt gray - 2>'" + errFile + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return d;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kWidth) * kHeight);
    while (std::fread(frame.data(), 1, frame.size(), pipe) == frame.size())
        d.indices.push_back(os::ReadCaptureIndex(frame.data(), kWidth, kHeight, kWidth));
    const int status = ::pclose(pipe);
    d.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    d.errors.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return d;
}

class VideoEncoderTest : public testing_support::AviWriterTest {
protected:
    void SetUp() override
    {
        AviWriterTest::SetUp();
        yv12_.resize(static_cast<std::size_t>(kWidth) * kHeight * 3 / 2);
    }

    void TearDown() override
    {
        MFC_Close();
        if (input_.handle) MFC_FreeInputFrame(&input_);
        AviWriterTest::TearDown();
    }

    void Start(int frameRate, int kbps)
    {
        ASSERT_EQ(MFC_Initialize(), 1);
        EncoderParams params;
        MFC_SetDefaults(&params);
        params.width = kWidth;
        params.height = kHeight;
        params.bitRateKbps = kbps;
        params.frameRate = frameRate;
        ASSERT_EQ(MFC_Apply(&params), 1);
        ASSERT_EQ(MFC_Open(), 1);
        ASSERT_EQ(MFC_AllocInputFrame(kWidth, kHeight, &input_), 1);
    }

    // Frame `i` of the moving picture, stamped with capture index 1000 + i.
    int Encode(std::uint32_t i, EncodedFrame* out, int forceIntra = 0)
    {
        ProduceFrame(i, 1000 + i, kWidth, kHeight, yv12_.data());
        return EncodeCapturedFrame(yv12_.data(), kWidth, kHeight, &input_, out, forceIntra);
    }

    // Mean bit rate (kbit/s) of `count` frames from `first`; a frame the encoder drops counts 0 bytes.
    double MeanKbps(std::uint32_t first, int count, int frameRate)
    {
        double bytes = 0;
        for (int k = 0; k < count; ++k) {
            EncodedFrame out;
            if (Encode(first + k, &out)) bytes += out.size;
        }
        return bytes * 8 * frameRate / count / 1000;
    }

    // The recorder's continuous write: the sequence header in front of the
    // first frame (forced intra); not-coded VOPs fill `gapAfter`'s gap; a
    // frame whose encode fails is skipped. Returns the capture index of each
    // frame of the file, kNotCoded for the fillers.
    std::vector<std::uint32_t> Record(const char* path, int frameRate, int frames, int gapAfter, int gapLength,
                                      int timeoutAt)
    {
        std::vector<std::uint32_t> expected;
        EXPECT_EQ(AVI_Writer_Open(path, AV_CODEC_ID_MPEG4, kWidth, kHeight, frameRate, AV_CODEC_ID_NONE, 0, 0, 0,
                                  384, 0),
                  0);
        AVI_Writer_ResetTables();
        std::uint8_t header[256];
        const int headerSize = MFC_ReadHeader(header, sizeof header);
        EXPECT_GT(headerSize, 0);
        std::int64_t written = 0;
        for (int i = 0; i < frames; ++i) {
            if (i == timeoutAt) os::sim::TimeOutNextEncode();
            EncodedFrame out;
            const bool produced = Encode(i, &out, written == 0) == 1;
            EXPECT_EQ(produced, i != timeoutAt) << "frame " << i;
            if (!produced) continue;
            const bool key = out.picType == 0;
            // Frames are counted by the encoder's input, which skips the lost one.
            const int encoded = i > timeoutAt && timeoutAt >= 0 ? i - 1 : i;
            EXPECT_EQ(key, encoded % 30 == 0) << "frame " << i;
            EXPECT_EQ(VopCodingType(out.data, out.size), key ? 0 : 1) << "frame " << i;
            int result;
            if (written == 0) {
                std::vector<std::uint8_t> first(header, header + headerSize);
                first.insert(first.end(), out.data, out.data + out.size);
                result = AVI_Writer_WriteFrame(kAviStreamVideo, first.data(), static_cast<int>(first.size()), 0, 1);
            } else {
                result = AVI_Writer_WriteFrame(kAviStreamVideo, out.data, out.size, written, key);
            }
            EXPECT_EQ(result, 0);
            ++written;
            expected.push_back(1000 + i);
            if (i == gapAfter) {
                for (int k = 0; k < gapLength; ++k, ++written) {
                    EXPECT_EQ(AVI_Writer_WriteFrame(kAviStreamVideo, kNotCodedVop, sizeof kNotCodedVop, written, 0), 0);
                    expected.push_back(kNotCoded);
                }
            }
        }
        EXPECT_GE(AVI_Writer_Close(written * 10000000 / frameRate, 0.0f), 0);
        return expected;
    }

    std::vector<std::uint8_t> yv12_;
    PhysBuffer input_;
};

TEST_F(VideoEncoderTest, RecordingDecodesFrameForFrameAtBothFrameRates)
{
    for (const int frameRate : {30, 24}) {
        SCOPED_TRACE(frameRate);
        Start(frameRate, 384);
        const char* path = frameRate == 30 ? "\\Storage Card\\rec30.avi" : "\\Storage Card\\rec24.avi";
        // A gap of three not-coded frames after frame 50, a hung encode at frame 80.
        const std::vector<std::uint32_t> expected = Record(path, frameRate, 120, 50, 3, 80);
        ASSERT_EQ(expected.size(), 122u);
        const Decoded d = DecodeIndices(HostPath(path), root_);
        EXPECT_EQ(d.exitCode, 0);
        EXPECT_EQ(d.errors, "");
        ASSERT_EQ(d.indices.size(), expected.size());
        // Every coded frame shows in its own slot; ffmpeg's constant-rate
        // output fills the not-coded slots from the pictures on either side.
        for (std::size_t k = 0; k < expected.size(); ++k) {
            ASSERT_TRUE(d.indices[k].has_value()) << "decoded frame " << k;
            if (expected[k] != kNotCoded) {
                EXPECT_EQ(*d.indices[k], expected[k]) << "decoded frame " << k;
                continue;
            }
            std::size_t before = k;
            std::size_t after = k;
            while (expected[before] == kNotCoded) --before;
            while (expected[after] == kNotCoded) ++after;
            EXPECT_TRUE(*d.indices[k] == expected[before] || *d.indices[k] == expected[after])
                << "decoded frame " << k << " shows " << *d.indices[k];
        }
        EXPECT_EQ(std::count(expected.begin(), expected.end(), kNotCoded), 3);
        const testing_support::ToolResult probe = testing_support::RunTool(
            "ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 '" + HostPath(path) +
            "'");
        EXPECT_EQ(probe.output, std::to_string(frameRate) + "/1\n");
        MFC_Close();
        ASSERT_EQ(MFC_FreeInputFrame(&input_), 1);
        EXPECT_EQ(os::PhysMemInUse(), 0u);
    }
}

TEST_F(VideoEncoderTest, RateControlFollowsTheBitRateAndQualityChanges)
{
    Start(30, 384);
    EncodedFrame first;
    ASSERT_EQ(Encode(0, &first, 1), 1);
    const double low = MeanKbps(1, 150, 30);
    EXPECT_GT(low, 384 * 0.6);
    EXPECT_LT(low, 384 * 1.4);

    ASSERT_EQ(MFC_ChangeQuality(768), 1);
    const double high = MeanKbps(151, 150, 30);
    EXPECT_GT(high, 768 * 0.6);
    EXPECT_LT(high, 768 * 1.4);

    // A rate the codec refuses: the encoder stays at the rate it had.
    ASSERT_EQ(MFC_ChangeQuality(1000000), 0);
    const double kept = MeanKbps(301, 150, 30);
    EXPECT_GT(kept, 768 * 0.6);
    EXPECT_LT(kept, 768 * 1.4);
    std::uint8_t header[256];
    EXPECT_GT(MFC_ReadHeader(header, sizeof header), 0);
}

TEST_F(VideoEncoderTest, CodecFaultsLeaveTheEncoderUsableAndNothingLeaks)
{
    // Initialise takes over from the codec's active driver instance, whichever key holds it.
    std::string error;
    ASSERT_EQ(os::sim::OpenRegistry(root_, &error), os::sim::RegistryOpenResult::Loaded) << error;
    for (const auto& [key, name] : {std::pair{"Drivers\\Active\\07", "MFC1:"}, std::pair{"Drivers\\Active\\08", "COM1:"},
                                    std::pair{"Drivers\\Active\\31", "MFC1:"}}) {
        os::HKEY h = nullptr;
        ASSERT_EQ(os::RegCreateKeyExW(os::HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, 0, nullptr, &h, nullptr), 0);
        ASSERT_EQ(os::RegSetString(h, "Name", name), 0);
        os::RegCloseKey(h);
    }
    ASSERT_EQ(MFC_Initialize(), 1);
    std::vector<std::string> left;
    os::HKEY active = nullptr;
    ASSERT_EQ(os::RegOpenKeyExW(os::HKEY_LOCAL_MACHINE, "Drivers\\Active", 0, 0, &active), 0);
    std::string sub;
    for (os::DWORD i = 0; os::RegEnumKeyExW(active, i, &sub) == 0; ++i) left.push_back(sub);
    os::RegCloseKey(active);
    EXPECT_EQ(left, std::vector<std::string>{"08"});

    // A refused open frees what it took, and the next open works.
    os::sim::MediaFaults faults;
    faults.encoderOpenFails = true;
    ASSERT_TRUE(os::sim::SetMediaFaults(faults));
    EXPECT_EQ(MFC_Open(), 0);
    EXPECT_EQ(os::PhysMemInUse(), 0u);
    EncodedFrame out;
    ASSERT_EQ(MFC_AllocInputFrame(kWidth, kHeight, &input_), 1);
    EXPECT_EQ(Encode(0, &out, 1), 0);
    ASSERT_TRUE(os::sim::SetMediaFaults({}));
    ASSERT_EQ(MFC_Open(), 1);
    EXPECT_EQ(Encode(0, &out, 1), 1);
    EXPECT_EQ(out.picType, 0);

    // While open, a failed quality change reopens at the old rate, and one whose reopen fails too leaves it closed.
    ASSERT_TRUE(os::sim::SetMediaFaults(faults));
    EXPECT_EQ(MFC_ChangeQuality(800), 0);
    EXPECT_EQ(Encode(1, &out), 0);
    ASSERT_TRUE(os::sim::SetMediaFaults({}));
    const std::size_t inputOnly = input_.size;
    EXPECT_EQ(os::PhysMemInUse(), inputOnly);

    // A hung frame gives nothing after the 5 s wait, and the next one encodes;
    // a close right after a hang ends the instance all the same, which more
    // cycles than the codec has instances would show.
    for (int cycle = 0; cycle < 6; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(MFC_Open(), 1);
        ASSERT_EQ(Encode(0, &out, 1), 1);
        os::sim::TimeOutNextEncode();
        const std::int64_t before = os::DeviceTimeUs();
        EXPECT_EQ(Encode(1, &out), 0);
        EXPECT_GE(os::DeviceTimeUs() - before, 5000000);
        ASSERT_EQ(Encode(2, &out), 1);
        EXPECT_EQ(out.picType, 1);
        os::sim::TimeOutNextEncode();
        EXPECT_EQ(Encode(3, &out), 0);
        MFC_Close();
        EXPECT_EQ(os::PhysMemInUse(), inputOnly);
    }
}

}  // namespace

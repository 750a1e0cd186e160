// The continuous writer's timeline against sample schedules a capture graph
// can deliver: stalls of either stream, a graph restart (the clock starts
// again from 0) and a jump ahead. Samples go through the sink callback into
// a real file; ffprobe then counts the not-coded fillers and the sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "bench/encoder_chain.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"
#include "tests/recorder/avi_test_support.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr std::int64_t kFrame = 333333;
constexpr std::int64_t kAudioBuffer = 1000000;  // 100 ms
constexpr std::int64_t kSecond = 10000000;

// One delivery: what the graph hands on, at which moment of its own clock.
struct Delivery {
    std::int64_t at;
    int kind;
    std::int64_t start;
};

// `seconds` of 30 frame/s pictures and 100 ms sound buffers (each delivered
// when it is complete); `map` turns a capture time into the stamp the graph
// puts on it, or -1 when the stream is stalled then.
std::vector<Delivery> Schedule(int seconds, const std::function<std::int64_t(int kind, std::int64_t t)>& map)
{
    std::vector<Delivery> out;
    for (std::int64_t t = 0; t < seconds * kSecond; t += kFrame) {
        if (const std::int64_t s = map(0, t); s >= 0) out.push_back({t, 0, s});
    }
    for (std::int64_t t = 0; t < seconds * kSecond; t += kAudioBuffer) {
        if (const std::int64_t s = map(1, t); s >= 0) out.push_back({t + kAudioBuffer, 1, s});
    }
    std::stable_sort(out.begin(), out.end(), [](const Delivery& a, const Delivery& b) { return a.at < b.at; });
    return out;
}

struct Written {
    int videoPackets = 0;
    int fillers = 0;
    bool hasAudio = false;
    long audioBytes = 0;
};

class SampleTimelineTest : public testing_support::AviWriterTest {
protected:
    void SetUp() override
    {
        AviWriterTest::SetUp();
        settings_.MinFreeSpaceMB = 0;
        state_.settings = &settings_;
        state_.RecordMode.store(kRecordContinuous);
        os::InitializeCriticalSection(&state_.lock);
        state_.lockMade = true;
        ASSERT_EQ(MFC_Initialize(), 1);
        EncoderParams params;
        MFC_SetDefaults(&params);
        ASSERT_EQ(MFC_Apply(&params), 1);
        ASSERT_EQ(MFC_Open(), 1);
        state_.encoderOpen = true;
        ASSERT_EQ(MFC_AllocInputFrame(kWidth, kHeight, &state_.inputFrame), 1);
        scratch_.resize(1024 + kWidth * kHeight * 3 / 2);
        state_.frameScratch = scratch_.data();
        state_.frameScratchSize = static_cast<int>(scratch_.size());
        silence_.assign(65536, 0);
        state_.silence = silence_.data();
        state_.silenceSize = static_cast<int>(silence_.size());
        MOV_Attach(window_, &state_);
    }

    void TearDown() override
    {
        MOV_Detach(window_);
        os::EnterCriticalSection(&state_.lock);
        ReleaseEncoder(&state_);
        os::LeaveCriticalSection(&state_.lock);
        os::DeleteCriticalSection(&state_.lock);
        AviWriterTest::TearDown();
    }

    // Writes the schedule into one file and reads back what it holds.
    Written Record(int streamMode, const std::vector<Delivery>& schedule)
    {
        state_.StreamMode.store(streamMode);
        RecordingFormats formats;
        formats.width = kWidth;
        formats.height = kHeight;
        formats.audio.wFormatTag = 1;
        formats.audio.nChannels = 1;
        formats.audio.nSamplesPerSec = 8000;
        formats.audio.nAvgBytesPerSec = 16000;
        formats.audio.nBlockAlign = 2;
        formats.audio.wBitsPerSample = 16;
        formats.known = true;
        const std::string path = "\\Storage Card\\timeline.avi";
        os::EnterCriticalSection(&state_.lock);
        EXPECT_EQ(OpenRecordingFile(&state_, path.c_str(), formats), 1);
        os::LeaveCriticalSection(&state_.lock);
        std::vector<std::uint8_t> picture(kWidth * kHeight * 3 / 2);
        std::vector<std::uint8_t> sound(1600);
        std::uint32_t frame = 0;
        for (const Delivery& d : schedule) {
            if (d.kind == 1) {
                std::fill(sound.begin(), sound.end(), static_cast<std::uint8_t>(0x40 + frame % 7));
                EXPECT_EQ(OnCapturedSample(sound.data(), 1600, 1, d.start, d.start + kAudioBuffer, window_), 0);
                continue;
            }
            encoder_chain::ProduceFrame(frame, frame, kWidth, kHeight, picture.data());
            ++frame;
            EXPECT_EQ(OnCapturedSample(picture.data(), static_cast<os::LONG>(picture.size()), 0, d.start,
                                       d.start + kFrame, window_),
                      0);
        }
        os::EnterCriticalSection(&state_.lock);
        EXPECT_EQ(CloseRecordingFile(&state_, 0), 1);
        os::LeaveCriticalSection(&state_.lock);
        return Probe(HostPath(path));
    }

    static Written Probe(const std::string& host)
    {
        Written w;
        const auto video = testing_support::RunTool("ffprobe -v error -select_streams v:0 -show_entries packet=size "
                                                    "-of csv=p=0 '" + host + "'");
        std::istringstream sizes(video.output);
        for (int size; sizes >> size;) {
            ++w.videoPackets;
            w.fillers += size == 6;
        }
        const auto audio = testing_support::RunTool("ffprobe -v error -select_streams a:0 -show_entries packet=size "
                                                    "-of csv=p=0 '" + host + "'");
        std::istringstream bytes(audio.output);
        for (long size; bytes >> size;) {
            w.hasAudio = true;
            w.audioBytes += size;
        }
        const auto decode = testing_support::RunTool("ffmpeg -nostdin -v error -xerror -i '" + host + "' -f null - 2>&1");
        EXPECT_EQ(decode.exitCode, 0);
        EXPECT_EQ(decode.output, "");
        return w;
    }

    RecorderSettings settings_;
    RecorderState state_;
    std::vector<std::uint8_t> scratch_;
    std::vector<std::uint8_t> silence_;
    os::HWND window_ = reinterpret_cast<os::HWND>(0x5A5A0);
};

constexpr int kSeconds = 10;
constexpr int kFrames = 301;        // frames starting within 10 s at 333333 x 100 ns
constexpr int kStalledFrames = 60;  // those starting within [3 s, 5 s)
constexpr long kSoundBytes = kSeconds * 16000L;

bool Within(std::int64_t t, double fromSeconds, double toSeconds)
{
    return t >= static_cast<std::int64_t>(fromSeconds * kSecond) && t < static_cast<std::int64_t>(toSeconds * kSecond);
}

TEST_F(SampleTimelineTest, ACameraStallIsFilledUpToTheSoundClockAndNothingElseIs)
{
    const auto stall = [](int kind, std::int64_t t) { return kind == 0 && Within(t, 3, 5) ? -1 : t; };
    const Written steady = Record(kStreamAudioVideo, Schedule(kSeconds, [](int, std::int64_t t) { return t; }));
    EXPECT_EQ(steady.fillers, 0);
    EXPECT_EQ(steady.videoPackets, kFrames);
    EXPECT_EQ(steady.audioBytes, kSoundBytes);

    const Written stalled = Record(kStreamAudioVideo, Schedule(kSeconds, stall));
    // Two seconds of pictures are missing; the fillers reach the index of
    // the newest sound buffer, which starts up to 100 ms before the picture.
    EXPECT_GE(stalled.fillers, kStalledFrames - 4);
    EXPECT_LE(stalled.fillers, kStalledFrames);
    EXPECT_NEAR(stalled.videoPackets, kFrames, 4) << "the pictures stay in step with the sound";

    const Written videoOnly = Record(kStreamVideoOnly, Schedule(kSeconds, stall));
    EXPECT_EQ(videoOnly.fillers, 0);
    EXPECT_FALSE(videoOnly.hasAudio);
    EXPECT_EQ(videoOnly.videoPackets, kFrames - kStalledFrames);
}

TEST_F(SampleTimelineTest, SoundStaysWholeThroughAMicrophoneStallARestartAndAJump)
{
    const Written micStall = Record(kStreamAudioVideo, Schedule(kSeconds, [](int kind, std::int64_t t) {
        return kind == 1 && Within(t, 4, 5.5) ? -1 : t;
    }));
    EXPECT_EQ(micStall.audioBytes, kSoundBytes) << "the missing sound is written as silence";
    EXPECT_EQ(micStall.fillers, 0);

    // The graph ran again after 5 s: its clock starts from 0.
    const Written restart = Record(kStreamAudioVideo, Schedule(kSeconds, [](int, std::int64_t t) {
        return Within(t, 5, kSeconds) ? t - 5 * kSecond : t;
    }));
    EXPECT_EQ(restart.fillers, 0);
    EXPECT_EQ(restart.videoPackets, kFrames);
    EXPECT_NEAR(restart.audioBytes, kSoundBytes, 1600);

    // The stamps leap 60 s ahead without any time passing.
    const Written jump = Record(kStreamAudioVideo, Schedule(kSeconds, [](int, std::int64_t t) {
        return Within(t, 5, kSeconds) ? t + 60 * kSecond : t;
    }));
    EXPECT_EQ(jump.fillers, 0);
    EXPECT_EQ(jump.videoPackets, kFrames);
    EXPECT_NEAR(jump.audioBytes, kSoundBytes, 1600);
}

TEST_F(SampleTimelineTest, MutedSoundIsSilenceOfTheSameLength)
{
    settings_.DisableRecordAudio = 1;
    const std::string path = "\\Storage Card\\timeline.avi";
    const Written muted = Record(kStreamAudioVideo, Schedule(4, [](int, std::int64_t t) { return t; }));
    EXPECT_EQ(muted.audioBytes, 4 * 16000L);
    const auto samples = testing_support::RunTool("ffmpeg -nostdin -v error -i '" + HostPath(path) +
                                                  "' -map 0:a -f s16le - | od -An -v -tx1 | tr -d ' 0\\n' | wc -c");
    EXPECT_EQ(samples.output, "0\n") << "every sound byte is zero";
}

}  // namespace

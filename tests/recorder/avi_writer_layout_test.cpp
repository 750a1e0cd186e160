// The writer's file layout, byte for byte: headers, chunks in call order with
// pad bytes and zero-length chunks for skipped video indexes, the merged
// "idx1", and the INFO list; each file also plays in the real tools.
#include <cstdio>
#include <cstring>

#include "platform/kernel/clock.h"
#include "platform/base/trace.h"
#include "tests/recorder/avi_recording_script.h"

namespace testing_support {
namespace {

constexpr const char* kPath = "\\Storage Card\\layout.avi";

class AviLayoutTest : public AviWriterTest {
protected:
    // Where the last sound packet ends, in seconds, as ffprobe times it.
    static std::string SoundEndTime(const std::string& host)
    {
        const ToolResult last = RunTool("ffprobe -v error -select_streams a -show_entries packet=pts,duration "
                                        "-of csv=p=0 '" + host + "' | tail -1");
        long long pts = 0;
        long long duration = 0;
        if (std::sscanf(last.output.c_str(), "%lld,%lld", &pts, &duration) != 2) return last.output;
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", static_cast<double>(pts + duration) / 8000.0);
        return text;
    }

    static Bytes Riff(const Bytes& content)
    {
        Bytes payload;
        payload.Tag("AVI ").Append(content);
        Bytes riff;
        riff.Chunk("RIFF", payload);
        return riff;
    }

    // The file from its start to the end of "idx1".
    std::vector<std::uint8_t> FileUpToInfo(const std::vector<std::uint8_t>& file)
    {
        const std::size_t info = FindTag(file, "INFO");
        EXPECT_NE(info, std::string::npos);
        return std::vector<std::uint8_t>(file.begin() + 12, file.begin() + static_cast<long>(info) - 8);
    }
};

TEST_F(AviLayoutTest, VideoAndAudioFileIsExactToTheLastByte)
{
    const std::vector<EncodedFrame> frames = EncodeMpeg4Frames(40);
    ASSERT_EQ(frames.size(), 40u);
    bool odd = false;
    for (const EncodedFrame& f : frames) odd = odd || (f.bytes.size() & 1);
    ASSERT_TRUE(odd) << "the sequence must hold an odd-sized frame to test padding";

    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_PCM_S16LE, 8000, 1, 16, 1000, 128), 0);
    AVI_Writer_ResetTables();
    os::TraceCapture trace;
    RecordingScript script(true);
    // Audio first, then video; a stall after frame 20 skips indexes 21 to 23.
    for (int i = 0; i < 40; ++i) {
        if (i % 4 == 0) script.Audio(PcmBlock(i, 1066));
        script.Video(frames[i], i <= 20 ? i : i + 3);
    }
    const GpsTrackRecord first = MakeGpsTrackRecord(FixAt(59.3293f, 18.0686f, 10), 0, 0);
    const GpsTrackRecord last = MakeGpsTrackRecord(FixAt(59.3301f, 18.0712f, 11), 30, 1);
    ASSERT_EQ(AVI_Writer_AddGpsRecord(&first), 0);
    ASSERT_EQ(AVI_Writer_AddGpsRecord(&last), 0);
    EvtTagRecord event{};
    event.videoFrame = 25;
    event.kind = kEvtKindManual;
    event.thresholdX = event.thresholdY = event.thresholdZ = 900.0f;
    event.x = 12.0f;
    event.elapsedSec = 0xA5A5A5A5u;
    ASSERT_EQ(AVI_Writer_AddEventRecord(&event), 0);
    os::Sleep(2500);
    ASSERT_EQ(AVI_Writer_Close(25000000, 0.125f), 0);

    EXPECT_EQ(trace.ProgramLines(),
              (std::vector<std::string>{"dup 24 21", "dup 24 22", "dup 24 23", "--EVT Data Count : 1"}));

    ExpectedStreams streams;
    streams.video = streams.audio = true;
    Bytes gps;
    gps.U32(2).Raw(&first, sizeof first).Raw(&last, sizeof last);
    Bytes events;
    events.U32(1).Raw(&event, 104);
    Bytes summary;
    summary.U16(2009).U16(3).U16(2).U16(3).U16(8).U16(59).U16(30).U16(0);
    summary.U16(2009).U16(3).U16(2).U16(3).U16(8).U16(59).U16(32).U16(500);
    summary.U64(25000000).Raw(reinterpret_cast<const std::uint8_t*>(&first) + 24, 16);
    summary.Raw(reinterpret_cast<const std::uint8_t*>(&last) + 24, 16);
    const float distance = 0.125f;
    summary.Raw(&distance, 4).Zeros(52);
    Bytes software;
    software.Raw("Ardvane v1.1.0", 15);
    Bytes info;
    info.Chunk("IGPS", gps).Chunk("IEVT", events).Chunk("IFND", summary).Chunk("ISFT", software);

    Bytes content = ExpectedHeaderLists(streams, script.VideoChunks(), script.AudioSamples());
    content.Append(ExpectedMoviAndIndex(script.Chunks())).List("INFO", info);
    EXPECT_EQ(script.VideoChunks(), 43u);
    EXPECT_TRUE(ReadDeviceFile(kPath) == Riff(content).Data());
    ExpectPlayable(HostPath(kPath), script.VideoFrames());
}

TEST_F(AviLayoutTest, VideoOnlyFileHasOneStreamAndNoSoundChunks)
{
    const std::vector<EncodedFrame> frames = EncodeMpeg4Frames(31);
    ASSERT_EQ(frames.size(), 31u);
    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_NONE, 0, 0, 0, 1000, 0), 0);
    AVI_Writer_ResetTables();
    RecordingScript script(true);
    for (int i = 0; i < 31; ++i) script.Video(frames[i], i);
    ASSERT_EQ(AVI_Writer_Close(10000000, 0.0f), 0);

    ExpectedStreams streams;
    streams.video = true;
    Bytes expected = ExpectedHeaderLists(streams, 31, 0);
    expected.Append(ExpectedMoviAndIndex(script.Chunks()));
    EXPECT_TRUE(FileUpToInfo(ReadDeviceFile(kPath)) == expected.Data());
    ExpectPlayable(HostPath(kPath), 31);
}

TEST_F(AviLayoutTest, AudioOnlyFileNamesItsChunksByStreamIndex)
{
    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_NONE, 0, 0, 0, AV_CODEC_ID_PCM_S16LE, 8000, 1, 16, 0, 128), 0);
    AVI_Writer_ResetTables();
    RecordingScript script(false);
    for (int i = 0; i < 12; ++i) script.Audio(PcmBlock(i, 800 + i));
    ASSERT_EQ(AVI_Writer_Close(12000000, 0.0f), 0);

    ExpectedStreams streams;
    streams.audio = true;
    Bytes expected = ExpectedHeaderLists(streams, 0, script.AudioSamples());
    expected.Append(ExpectedMoviAndIndex(script.Chunks()));
    const std::vector<std::uint8_t> file = ReadDeviceFile(kPath);
    EXPECT_TRUE(FileUpToInfo(file) == expected.Data());
    EXPECT_EQ(ReadU32(file, 32), 0u) << "microseconds per frame without video";
    ExpectPlayable(HostPath(kPath), -1);
    EXPECT_EQ(SoundEndTime(HostPath(kPath)), "1.208250") << "9666 samples at 8000 Hz";
}

// At 64 and 160 kbit/s the sound header still counts 8000 samples a second,
// so the sound lasts as long as it was recorded.
TEST_F(AviLayoutTest, SoundDurationDoesNotDependOnTheConfiguredBitRate)
{
    for (const int kbps : {64, 128, 160}) {
        SCOPED_TRACE(kbps);
        ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_NONE, 0, 0, 0, AV_CODEC_ID_PCM_S16LE, 8000, 1, 16, 0, kbps), 0);
        for (int i = 0; i < 10; ++i) {
            const std::vector<std::uint8_t> pcm = PcmBlock(i, 800);
            ASSERT_EQ(AVI_Writer_WriteFrame(kAviStreamAudio, pcm.data(), 1600, i, 1), 0);
        }
        ASSERT_EQ(AVI_Writer_Close(10000000, 0.0f), 0);
        EXPECT_EQ(SoundEndTime(HostPath(kPath)), "1.000000");
        const std::vector<std::uint8_t> file = ReadDeviceFile(kPath);
        EXPECT_EQ(ReadU32(file, 36), static_cast<std::uint32_t>(kbps * 1000 / 8)) << "avih maximum bytes per second";
    }
}

}  // namespace
}  // namespace testing_support

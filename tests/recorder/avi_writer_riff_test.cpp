// Files that outgrow one RIFF (with the limit lowered to a few hundred
// kilobytes), a card that fills up, and the refusals of the open call.
#include "platform/base/trace.h"
#include "recorder/salvage/recording_journal.h"
#include "tests/recorder/avi_recording_script.h"

namespace testing_support {
namespace {

constexpr const char* kPath = "\\Storage Card\\long.avi";

struct Chunk {
    std::string tag;
    std::size_t at = 0;  // of the chunk header
    std::uint32_t size = 0;
};

// The chunks of a list's content from begin to end (headers only).
std::vector<Chunk> ChunksIn(const std::vector<std::uint8_t>& file, std::size_t begin, std::size_t end)
{
    std::vector<Chunk> chunks;
    while (begin + 8 <= end) {
        const Chunk c{ReadTag(file, begin), begin, ReadU32(file, begin + 4)};
        chunks.push_back(c);
        begin += 8 + c.size + (c.size & 1);
    }
    return chunks;
}

class AviRiffTest : public AviWriterTest {};

TEST_F(AviRiffTest, LongFileContinuesInAvixRiffsWithOpenDmlIndexes)
{
    const std::vector<EncodedFrame> frames = EncodeMpeg4Frames(450);
    ASSERT_EQ(frames.size(), 450u);
    AVI_Writer_SetRiffLimit(256 * 1024);
    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_PCM_S16LE, 8000, 1, 16, 400, 128), 0);
    AVI_Writer_ResetTables();
    RecordingScript script(true);
    for (int i = 0; i < 450; ++i) {
        if (i % 2 == 0) script.Audio(PcmBlock(i, 533));
        script.Video(frames[i], i == 200 ? 202 : i < 200 ? i : i + 2);
    }
    const GpsTrackRecord gps = MakeGpsTrackRecord(FixAt(1.0f, 2.0f, 3), 0, 0);
    ASSERT_EQ(AVI_Writer_AddGpsRecord(&gps), 0);
    ASSERT_EQ(AVI_Writer_Close(150000000, 0.0f), 0);

    const std::vector<std::uint8_t> file = ReadDeviceFile(kPath);
    const std::vector<Chunk> riffs = ChunksIn(file, 0, file.size());
    ASSERT_GE(riffs.size(), 3u);
    std::size_t covered = 0;
    for (std::size_t r = 0; r < riffs.size(); ++r) {
        EXPECT_EQ(riffs[r].tag, "RIFF");
        EXPECT_EQ(ReadTag(file, riffs[r].at + 8), r == 0 ? "AVI " : "AVIX");
        covered += 8 + riffs[r].size;
        // Every RIFF's movi list ends with one standard index per stream.
        const std::vector<Chunk> top = ChunksIn(file, riffs[r].at + 12, riffs[r].at + 8 + riffs[r].size);
        const Chunk& movi = r == 0 ? top[2] : top[0];
        ASSERT_EQ(ReadTag(file, movi.at + 8), "movi");
        const std::vector<Chunk> inMovi = ChunksIn(file, movi.at + 12, movi.at + 8 + movi.size);
        ASSERT_GE(inMovi.size(), 2u);
        EXPECT_EQ(inMovi[inMovi.size() - 2].tag, "ix00");
        EXPECT_EQ(inMovi.back().tag, "ix01");
        if (r == 0) {
            // The first RIFF has "idx1" and, in a file of several RIFFs, no INFO list.
            ASSERT_EQ(top.size(), 4u);
            EXPECT_EQ(top[3].tag, "idx1");
            EXPECT_LE(riffs[r].size, 256u * 1024 + 64 * 1024);
        } else {
            EXPECT_EQ(top.size(), 1u);
        }
    }
    EXPECT_EQ(covered, file.size());
    EXPECT_EQ(FindTag(file, "INFO"), std::string::npos);

    // The header: "odml" list with the total, "indx" super indexes whose
    // entries point at the standard indexes, which point at the chunks.
    const std::size_t odml = FindTag(file, "odml");
    ASSERT_NE(odml, std::string::npos);
    EXPECT_EQ(ReadTag(file, odml - 8), "LIST");
    EXPECT_EQ(ReadU32(file, odml + 12), script.VideoChunks());
    std::uint32_t videoChunks = 0;
    std::uint32_t audioSamples = 0;
    std::size_t superIndex = 0;
    for (int stream = 0; stream < 2; ++stream) {
        superIndex = FindTag(file, "indx", superIndex + 1);
        ASSERT_NE(superIndex, std::string::npos);
        const std::size_t payload = superIndex + 8;
        EXPECT_EQ(ReadTag(file, payload + 8), stream == 0 ? "00dc" : "01wb");
        ASSERT_EQ(ReadU32(file, payload + 4), riffs.size());
        for (std::size_t r = 0; r < riffs.size(); ++r) {
            const std::size_t entry = payload + 24 + 16 * r;
            const std::size_t ix = ReadU32(file, entry);
            ASSERT_LT(ix, file.size());
            EXPECT_EQ(ReadTag(file, ix), stream == 0 ? "ix00" : "ix01");
            EXPECT_EQ(ReadU32(file, entry + 8), ReadU32(file, ix + 4) + 8);
            const std::uint32_t count = ReadU32(file, ix + 12);
            const std::uint64_t base = ReadU32(file, ix + 20);
            EXPECT_EQ(ReadTag(file, base), "movi");
            std::uint32_t samples = 0;
            for (std::uint32_t k = 0; k < count; ++k) {
                const std::size_t data = base + ReadU32(file, ix + 32 + 8 * k);
                const std::uint32_t sizeAndKey = ReadU32(file, ix + 36 + 8 * k);
                ASSERT_EQ(ReadTag(file, data - 8), stream == 0 ? "00dc" : "01wb");
                EXPECT_EQ(ReadU32(file, data - 4), sizeAndKey & 0x7FFFFFFFu);
                if (stream == 1) {
                    EXPECT_EQ(sizeAndKey & 0x80000000u, 0u) << "sound is always key";
                }
                samples += (sizeAndKey & 0x7FFFFFFFu) / 2;
            }
            const std::uint32_t duration = ReadU32(file, entry + 12);
            EXPECT_EQ(duration, stream == 0 ? count : samples);
            (stream == 0 ? videoChunks : audioSamples) += duration;
        }
    }
    EXPECT_EQ(videoChunks, script.VideoChunks());
    EXPECT_EQ(audioSamples, script.AudioSamples());

    // "avih" counts the first RIFF's frames; "strh" lengths the whole file.
    std::uint32_t firstRiffVideo = 0;
    const std::size_t idx1 = FindTag(file, "idx1");
    for (std::uint32_t e = 0; e < ReadU32(file, idx1 + 4) / 16; ++e) {
        firstRiffVideo += ReadTag(file, idx1 + 8 + 16 * e) == "00dc";
    }
    EXPECT_EQ(ReadU32(file, 48), firstRiffVideo);
    EXPECT_LT(firstRiffVideo, script.VideoChunks());
    const std::size_t videoStrh = FindTag(file, "strh");
    const std::size_t audioStrh = FindTag(file, "strh", videoStrh + 4);
    EXPECT_EQ(ReadU32(file, videoStrh + 8 + 32), script.VideoChunks());
    EXPECT_EQ(ReadU32(file, audioStrh + 8 + 32), script.AudioSamples());

    ExpectPlayable(HostPath(kPath), script.VideoFrames());
}

TEST_F(AviRiffTest, FullCardFailsTheWriteAndTheClose)
{
    constexpr std::uint64_t kCapacity = 120 * 1024;
    ConfigureCard(kCapacity);
    const std::vector<EncodedFrame> frames = EncodeMpeg4Frames(300);
    ASSERT_EQ(frames.size(), 300u);
    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_PCM_S16LE, 8000, 1, 16, 400, 128), 0);
    os::TraceCapture trace;
    int written = 0;
    for (; written < 300; ++written) {
        const EncodedFrame& f = frames[written];
        if (AVI_Writer_WriteFrame(kAviStreamVideo, f.bytes.data(), static_cast<int>(f.bytes.size()), written, f.key) != 0) {
            break;
        }
    }
    ASSERT_LT(written, 300) << "the card must fill up";
    EXPECT_GT(written, 10);
    EXPECT_EQ(trace.ProgramLines(), (std::vector<std::string>{"Error while writing video frame"}));
    // The card stays full: later frames fail too, sound as well.
    const std::vector<std::uint8_t> pcm = PcmBlock(0, 100);
    EXPECT_EQ(AVI_Writer_WriteFrame(kAviStreamAudio, pcm.data(), 200, 0, 1), -1);
    EXPECT_EQ(AVI_Writer_WriteFrame(kAviStreamVideo, frames[written].bytes.data(),
                                    static_cast<int>(frames[written].bytes.size()), written, 0),
              -1);
    EXPECT_EQ(AVI_Writer_Close(10000000, 0.0f), -1);
    const std::vector<std::uint8_t> file = ReadDeviceFile(kPath);
    // The journal beside it, kept for a repair of the unfinished file, has the rest of the card.
    const std::vector<std::uint8_t> journal = ReadDeviceFile(JournalPathFor(kPath).c_str());
    EXPECT_FALSE(journal.empty());
    EXPECT_EQ(file.size() + journal.size(), kCapacity);
    EXPECT_EQ(ReadTag(file, 0), "RIFF");
    // The frames written before the card filled up still play.
    ExpectPlayable(HostPath(kPath), written, false);
    // The writer is closed: a new file can be opened once there is room.
    ConfigureCard(0);
    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_NONE, 0, 0, 0, 400, 0), 0);
    EXPECT_EQ(AVI_Writer_Close(0, 0.0f), 0);
}

TEST_F(AviRiffTest, OpenRefusesBadRequestsWithItsMessages)
{
    struct Case {
        const char* path;
        AVCodecID video;
        int width;
        AVCodecID audio;
        int bits;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", AV_CODEC_ID_MPEG4, 176, AV_CODEC_ID_PCM_S16LE, 16, {}},
        {"\\Storage Card\\a.mpg", AV_CODEC_ID_MPEG4, 176, AV_CODEC_ID_PCM_S16LE, 16,
         {"Could not deduce output format from file extension: using MPEG.", "Could not find suitable output format"}},
        {"\\Storage Card\\a.avi", AV_CODEC_ID_H264, 176, AV_CODEC_ID_PCM_S16LE, 16, {"Invalid output format parameters"}},
        {"\\Storage Card\\a.avi", AV_CODEC_ID_MPEG4, 0, AV_CODEC_ID_PCM_S16LE, 16, {"Invalid output format parameters"}},
        {"\\Storage Card\\a.avi", AV_CODEC_ID_MPEG4, 176, AV_CODEC_ID_PCM_S16LE, 8, {"Invalid output format parameters"}},
        {"\\Storage Card\\a.avi", AV_CODEC_ID_NONE, 176, AV_CODEC_ID_NONE, 16, {"Invalid output format parameters"}},
        {"\\Storage Card\\no such folder\\a.avi", AV_CODEC_ID_MPEG4, 176, AV_CODEC_ID_PCM_S16LE, 16,
         {"Could not open '\\Storage Card\\no such folder\\a.avi'"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        os::TraceCapture trace;
        EXPECT_EQ(AVI_Writer_Open(c.path, c.video, c.width, 144, 30, c.audio, 8000, 1, c.bits, 400, 128), -1);
        EXPECT_EQ(trace.ProgramLines(), c.lines);
    }
    EXPECT_TRUE(ReadDeviceFile("\\Storage Card\\a.avi").empty());

    // Nothing open: frames are refused, closing does nothing.
    os::TraceCapture trace;
    const std::uint8_t byte = 0;
    EXPECT_EQ(AVI_Writer_WriteFrame(kAviStreamVideo, &byte, 1, 0, 1), -1);
    EXPECT_EQ(AVI_Writer_Close(0, 0.0f), 0);
    // One file at a time; a stream the file lacks takes no frames.
    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_NONE, 0, 0, 0, 400, 0), 0);
    EXPECT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_NONE, 0, 0, 0, 400, 0), -1);
    EXPECT_EQ(AVI_Writer_WriteFrame(kAviStreamAudio, &byte, 1, 0, 1), -1);
    EXPECT_EQ(AVI_Writer_Close(0, 0.0f), 0);
    EXPECT_EQ(trace.ProgramLines(), (std::vector<std::string>{"Error while writing video frame",
                                                              "AVI writer: a file is already open",
                                                              "Error while writing audio frame"}));
}

}  // namespace
}  // namespace testing_support

// The writer's own INFO chunks and tables: "IGPS" only with GPS records,
// "IEVT" and "IFND" always, the summary's GPS positions kept from the last
// file that had some, the event table readable after the close, and the
// bounds of both tables.
#include <cstring>

#include "platform/base/trace.h"
#include "tests/recorder/avi_recording_script.h"

namespace testing_support {
namespace {

constexpr const char* kPath = "\\Storage Card\\tables.avi";

class AviTablesTest : public AviWriterTest {
protected:
    // Opens a small file, writes a few frames, adds the records, closes.
    void WriteFile(const std::vector<GpsTrackRecord>& gps, const std::vector<EvtTagRecord>& events)
    {
        static const std::vector<EncodedFrame> frames = EncodeMpeg4Frames(3);
        ASSERT_EQ(frames.size(), 3u);
        ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_PCM_S16LE, 8000, 1, 16, 1000, 128),
                  0);
        AVI_Writer_ResetTables();
        RecordingScript script(true);
        for (int i = 0; i < 3; ++i) {
            script.Video(frames[i], i);
            script.Audio(PcmBlock(i, 266));
        }
        for (const GpsTrackRecord& record : gps) ASSERT_EQ(AVI_Writer_AddGpsRecord(&record), 0);
        for (const EvtTagRecord& record : events) ASSERT_EQ(AVI_Writer_AddEventRecord(&record), 0);
        ASSERT_EQ(AVI_Writer_Close(1000000, 0.5f), 0);
        ExpectPlayable(HostPath(kPath), 3);
    }

    // The payload of the INFO chunk with this tag; empty when absent.
    std::vector<std::uint8_t> InfoChunk(const char* tag)
    {
        const std::vector<std::uint8_t> file = ReadDeviceFile(kPath);
        const std::size_t info = FindTag(file, "INFO");
        if (info == std::string::npos) return {};
        for (std::size_t at = info + 4; at + 8 <= file.size();) {
            const std::uint32_t size = ReadU32(file, at + 4);
            if (ReadTag(file, at) == tag) {
                return std::vector<std::uint8_t>(file.begin() + static_cast<long>(at) + 8,
                                                 file.begin() + static_cast<long>(at + 8 + size));
            }
            at += 8 + size + (size & 1);
        }
        return {};
    }

    std::vector<std::string> InfoTags()
    {
        const std::vector<std::uint8_t> file = ReadDeviceFile(kPath);
        std::vector<std::string> tags;
        const std::size_t info = FindTag(file, "INFO");
        if (info == std::string::npos) return tags;
        for (std::size_t at = info + 4; at + 8 <= file.size();) {
            tags.push_back(ReadTag(file, at));
            const std::uint32_t size = ReadU32(file, at + 4);
            at += 8 + size + (size & 1);
        }
        return tags;
    }
};

std::vector<std::uint8_t> BytesOf(const void* p, std::size_t n)
{
    const auto* b = static_cast<const std::uint8_t*>(p);
    return std::vector<std::uint8_t>(b, b + n);
}

TEST_F(AviTablesTest, SummaryKeepsTheLastKnownPositionsThroughFilesWithoutGps)
{
    const std::vector<GpsTrackRecord> trip = {MakeGpsTrackRecord(FixAt(48.1f, 11.5f, 1), 0, 0),
                                              MakeGpsTrackRecord(FixAt(48.2f, 11.6f, 2), 30, 1),
                                              MakeGpsTrackRecord(FixAt(48.3f, 11.7f, 3), 60, 2)};
    WriteFile(trip, {});
    EXPECT_EQ(InfoTags(), (std::vector<std::string>{"IGPS", "IEVT", "IFND", "ISFT"}));
    std::vector<std::uint8_t> igps = InfoChunk("IGPS");
    ASSERT_EQ(igps.size(), 4u + 3 * 316);
    EXPECT_EQ(ReadU32(igps, 0), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(igps.begin() + 4, igps.end()), BytesOf(trip.data(), 3 * 316));
    std::vector<std::uint8_t> summary = InfoChunk("IFND");
    ASSERT_EQ(summary.size(), 128u);
    const std::vector<std::uint8_t> firstAndLast = std::vector<std::uint8_t>(summary.begin() + 40, summary.begin() + 72);
    EXPECT_EQ(std::vector<std::uint8_t>(firstAndLast.begin(), firstAndLast.begin() + 16),
              BytesOf(&trip[0].body.timePosition, 16));
    EXPECT_EQ(std::vector<std::uint8_t>(firstAndLast.begin() + 16, firstAndLast.end()),
              BytesOf(&trip[2].body.timePosition, 16));

    // No fix in the next file: no "IGPS", and the summary carries the
    // positions over instead of zeros.
    WriteFile({}, {});
    EXPECT_EQ(InfoTags(), (std::vector<std::string>{"IEVT", "IFND", "ISFT"}));
    EXPECT_EQ(InfoChunk("IEVT"), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    summary = InfoChunk("IFND");
    ASSERT_EQ(summary.size(), 128u);
    EXPECT_EQ(std::vector<std::uint8_t>(summary.begin() + 40, summary.begin() + 72), firstAndLast);

    // A single record is both the first and the last.
    const GpsTrackRecord lone = MakeGpsTrackRecord(FixAt(-33.9f, -70.6f, 4), 0, 0);
    WriteFile({lone}, {});
    summary = InfoChunk("IFND");
    ASSERT_EQ(summary.size(), 128u);
    EXPECT_EQ(std::vector<std::uint8_t>(summary.begin() + 40, summary.begin() + 56), BytesOf(&lone.body.timePosition, 16));
    EXPECT_EQ(std::vector<std::uint8_t>(summary.begin() + 56, summary.begin() + 72), BytesOf(&lone.body.timePosition, 16));
}

TEST_F(AviTablesTest, EventsKeepTheirFirst104BytesAndOutliveTheClose)
{
    std::vector<EvtTagRecord> events(3);
    for (std::uint32_t i = 0; i < 3; ++i) {
        std::memset(&events[i], static_cast<int>(0x11 * (i + 1)), sizeof(EvtTagRecord));
        events[i].sequence = i;
        events[i].elapsedSec = 0xDEADBEEFu;
    }
    os::TraceCapture trace;
    WriteFile({}, events);
    EXPECT_EQ(trace.ProgramLines(),
              (std::vector<std::string>{"--EVT Data Count : 1", "--EVT Data Count : 2", "--EVT Data Count : 3"}));
    const std::vector<std::uint8_t> ievt = InfoChunk("IEVT");
    ASSERT_EQ(ievt.size(), 4u + 3 * 104);
    EXPECT_EQ(ReadU32(ievt, 0), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::vector<std::uint8_t>(ievt.begin() + 4 + static_cast<long>(i * 104),
                                            ievt.begin() + 4 + static_cast<long>((i + 1) * 104)),
                  BytesOf(&events[i], 104));
    }

    // The storage code reads the table right after the close.
    EXPECT_EQ(AVI_Writer_GetEventCount(), 3);
    std::vector<EvtTagRecord> table(kAviMaxEventRecords);
    AVI_Writer_GetEventTable(table.data());
    EXPECT_EQ(BytesOf(table.data(), 3 * sizeof(EvtTagRecord)), BytesOf(events.data(), 3 * sizeof(EvtTagRecord)));
    EXPECT_EQ(table[3].sequence, 0u);

    AVI_Writer_ResetTables();
    EXPECT_EQ(AVI_Writer_GetEventCount(), 0);
    AVI_Writer_GetEventTable(table.data());
    EXPECT_EQ(BytesOf(table.data(), sizeof(EvtTagRecord)), std::vector<std::uint8_t>(sizeof(EvtTagRecord), 0));
}

TEST_F(AviTablesTest, FullTablesRefuseFurtherRecordsAndTheFileKeepsTheFirst)
{
    std::vector<GpsTrackRecord> gps;
    for (std::uint32_t i = 0; i < kAviMaxGpsRecords; ++i) {
        gps.push_back(MakeGpsTrackRecord(FixAt(50.0f + static_cast<float>(i) * 0.001f, 8.0f, 0), i * 30, i));
    }
    std::vector<EvtTagRecord> events(kAviMaxEventRecords);
    for (std::uint32_t i = 0; i < kAviMaxEventRecords; ++i) events[i].sequence = i;
    WriteFile(gps, events);
    ASSERT_EQ(ReadU32(InfoChunk("IGPS"), 0), 1000u);

    ASSERT_EQ(AVI_Writer_Open(kPath, AV_CODEC_ID_MPEG4, 176, 144, 30, AV_CODEC_ID_NONE, 0, 0, 0, 1000, 0), 0);
    AVI_Writer_ResetTables();
    for (const GpsTrackRecord& record : gps) ASSERT_EQ(AVI_Writer_AddGpsRecord(&record), 0);
    for (const EvtTagRecord& record : events) ASSERT_EQ(AVI_Writer_AddEventRecord(&record), 0);
    os::TraceCapture trace;
    const GpsTrackRecord extraGps = MakeGpsTrackRecord(FixAt(1.0f, 1.0f, 1), 99999, 1000);
    EvtTagRecord extraEvent{};
    extraEvent.sequence = 500;
    EXPECT_EQ(AVI_Writer_AddGpsRecord(&extraGps), -1);
    EXPECT_EQ(AVI_Writer_AddEventRecord(&extraEvent), -1);
    EXPECT_EQ(trace.ProgramLines().size(), 2u);
    EXPECT_EQ(AVI_Writer_GetEventCount(), 500);
    ASSERT_EQ(AVI_Writer_Close(0, 0.0f), 0);

    const std::vector<std::uint8_t> igps = InfoChunk("IGPS");
    ASSERT_EQ(igps.size(), 4u + 1000 * 316);
    EXPECT_EQ(ReadU32(igps, 4 + 999 * 316 + 4), 999u) << "the last record kept is the 1000th";
    const std::vector<std::uint8_t> ievt = InfoChunk("IEVT");
    ASSERT_EQ(ievt.size(), 4u + 500 * 104);
    EXPECT_EQ(ReadU32(ievt, 4 + 499 * 104 + 4), 499u);
}

}  // namespace
}  // namespace testing_support

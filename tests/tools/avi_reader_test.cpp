// The reader on bytes in memory: hand-built files whose sizes and counts lie,
// and every prefix of a real recording, which must all read without going
// past the bytes given and report what is missing.
#include <cstring>

#include "tests/tools/info_test_support.h"
#include "tools/avi_checks.h"
#include "tools/avi_reader.h"
#include "tools/gps_log_reader.h"

namespace testing_support {
namespace {

// A small AVI: one video stream of two chunks, idx1, and an INFO list.
Bytes SmallAvi(const Bytes& info)
{
    Bytes avih;
    avih.U32(100000).U32(0).U32(0).U32(0x10).U32(2).U32(0).U32(1).U32(0).U32(16).U32(16).Zeros(16);
    Bytes strh;
    strh.Tag("vids").Tag("XVID").U32(0).U32(0).U32(0).U32(1).U32(10).U32(0).U32(2).U32(0).U32(0xFFFFFFFFu).U32(0).Zeros(8);
    Bytes strf;
    strf.U32(40).U32(16).U32(16).U16(1).U16(24).Tag("XVID").U32(768).Zeros(16);
    Bytes strl;
    strl.Chunk("strh", strh).Chunk("strf", strf);
    Bytes hdrl;
    hdrl.Chunk("avih", avih).List("strl", strl);
    Bytes frame;
    frame.U8(1).U8(2).U8(3);
    Bytes movi;
    movi.Chunk("00dc", frame).Chunk("00dc", frame);
    Bytes idx1;
    idx1.Tag("00dc").U32(0x10).U32(4).U32(3).Tag("00dc").U32(0).U32(16).U32(3);
    Bytes riff;
    riff.Tag("AVI ").Append(Bytes().List("hdrl", hdrl)).Append(Bytes().List("movi", movi)).Chunk("idx1", idx1);
    riff.Append(Bytes().List("INFO", info));
    return Bytes().Chunk("RIFF", riff);
}

kinfo::AviFile Read(const std::vector<std::uint8_t>& bytes)
{
    kinfo::AviFile file;
    std::string error;
    EXPECT_EQ(kinfo::ReadAvi(bytes.data(), bytes.size(), &file, &error), 1) << error;
    return file;
}

bool Mentions(const std::vector<std::string>& problems, const std::string& text)
{
    for (const std::string& p : problems) {
        if (p.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST(AviReaderTest, ASoundHandBuiltFileReadsWithoutProblems)
{
    Bytes summary;
    summary.Zeros(128);
    Bytes info;
    info.Chunk("IEVT", Bytes().U32(0)).Chunk("IFND", summary).Chunk("ISFT", Bytes().Raw("x", 2));
    const kinfo::AviFile file = Read(SmallAvi(info).Data());
    EXPECT_TRUE(kinfo::CheckAvi(file).empty()) << kinfo::CheckAvi(file).front();
    ASSERT_EQ(file.streams.size(), 1u);
    EXPECT_EQ(file.streams[0].chunks, 2u);
    EXPECT_EQ(file.streams[0].bytes, 6u);
    EXPECT_EQ(file.software, "x");
    EXPECT_TRUE(kinfo::CarriesRecordingData(file));
}

TEST(AviReaderTest, HugeCountsReadOnlyTheRecordsPresent)
{
    GpsTrackRecord record = MakeGpsTrackRecord(FixAt(1.0f, 2.0f, 3), 0, 0);
    Bytes info;
    info.Chunk("IGPS", Bytes().U32(0xFFFFFFFFu).Raw(&record, sizeof record))
        .Chunk("IEVT", Bytes().U32(0x40000000u).Zeros(104))
        .Chunk("IFND", Bytes().Zeros(64));
    const kinfo::AviFile file = Read(SmallAvi(info).Data());
    ASSERT_TRUE(file.gps && file.events);
    EXPECT_EQ(file.gps->size(), 1u);
    EXPECT_EQ(file.events->size(), 1u);
    EXPECT_FALSE(file.summary);
    EXPECT_TRUE(Mentions(file.problems, "\"IGPS\" counts 4294967295 records"));
    EXPECT_TRUE(Mentions(file.problems, "\"IEVT\" counts 1073741824 records"));
    EXPECT_TRUE(Mentions(file.problems, "\"IFND\" is 64 bytes, not 128"));
}

TEST(AviReaderTest, AChunkPastItsListStopsTheListAndIsReported)
{
    Bytes info;
    info.Tag("IEVT").U32(0x7FFFFFFFu).U32(0);
    const kinfo::AviFile file = Read(SmallAvi(info).Data());
    EXPECT_TRUE(Mentions(file.problems, "chunk \"IEVT\" declares 2147483647 bytes, only 4 present"));
    EXPECT_TRUE(Mentions(kinfo::CheckAvi(file), "no \"IFND\" summary"));
}

TEST(AviReaderTest, NotAnAviIsRefusedWithAReason)
{
    const auto refuse = [](const std::vector<std::uint8_t>& bytes) {
        kinfo::AviFile file;
        std::string error;
        EXPECT_EQ(kinfo::ReadAvi(bytes.data(), bytes.size(), &file, &error), 0);
        return error;
    };
    EXPECT_EQ(refuse({}), "not an AVI file (no \"RIFF\" ... \"AVI \" header)");
    EXPECT_EQ(refuse({'R', 'I', 'F', 'F', 1, 0}), "truncated: 6 bytes, too short for a RIFF header");
    EXPECT_EQ(refuse(Bytes().Tag("RIFF").U32(4).Tag("WAVE").Data()), "not an AVI file (no \"RIFF\" ... \"AVI \" header)");
}

TEST(AviReaderTest, GpsLogsWithBadCountsAndPartialRecords)
{
    GpsFix fix = FixAt(1.0f, 2.0f, 3);
    fix.mark = kGpsFixLogMark;
    fix.index = 0;
    Bytes log;
    log.Raw("PGPSSTRT", 8).Zeros(56 + 128).U32(5).Raw(&fix, sizeof fix).Zeros(56).Raw("PGPSFEND", 8);
    kinfo::GpsLog read;
    std::string error;
    ASSERT_EQ(kinfo::ReadGpsLog(log.Data().data(), log.Size(), &read, &error), 1) << error;
    EXPECT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.present, 1u);
    EXPECT_TRUE(Mentions(read.problems, "the header counts 5 records, the log holds 1"));

    std::vector<std::uint8_t> cut(log.Data().begin(), log.Data().begin() + 196 + 100);
    ASSERT_EQ(kinfo::ReadGpsLog(cut.data(), cut.size(), &read, &error), 1);
    EXPECT_TRUE(read.records.empty());
    EXPECT_TRUE(Mentions(read.problems, "no \"PGPSFEND\""));
    EXPECT_TRUE(Mentions(read.problems, "partial record of 100 bytes"));
    EXPECT_EQ(kinfo::ReadGpsLog(cut.data(), 100, &read, &error), 0);
    EXPECT_EQ(error, "truncated GPS log: 100 bytes, the header needs 196");
}

class AviReaderPrefixTest : public InfoTest {};

TEST_F(AviReaderPrefixTest, EveryPrefixOfARecordingIsReportedIncomplete)
{
    WriteRecording("whole.avi", 12, {TrackRecord(1.0f, 2.0f, 3, 0, 0)}, {EventAt(2, 0, kEvtKindShock)});
    const std::vector<std::uint8_t> whole = ReadDeviceFile("\\Storage Card\\whole.avi");
    ASSERT_TRUE(kinfo::CheckAvi(Read(whole)).empty());
    for (std::size_t keep = 12; keep < whole.size(); keep += keep < 400 ? 1 : 61) {
        // A copy of exactly the prefix, so that a sanitizer build catches any read past it.
        const std::vector<std::uint8_t> prefix(whole.begin(), whole.begin() + static_cast<long>(keep));
        kinfo::AviFile file;
        std::string error;
        ASSERT_EQ(kinfo::ReadAvi(prefix.data(), prefix.size(), &file, &error), 1) << keep;
        EXPECT_FALSE(kinfo::CheckAvi(file).empty()) << keep;
    }
}

}  // namespace
}  // namespace testing_support

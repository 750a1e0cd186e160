// The GPS log file: its layout, the record count, the summary written at the
// stop, the distance, and what happens when a log cannot be written.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "sensing/gps_log.h"
#include "tools/gps_log_reader.h"
#include "tests/sensing/gps_fixture.h"

namespace {

constexpr const char* kLogPath = "\\Storage Card\\trip.gps";
constexpr std::size_t kHeader = 196;
constexpr std::size_t kTrailer = 64;

class GpsLogTest : public gps_test::GpsFixture {
protected:
    void SetUp() override
    {
        GpsFixture::SetUp();
        InitWithoutReceiver();
    }

    // A 3D fix at the given position and time, moving at 30 knots.
    void FeedFix(const std::string& time, const std::string& lat, const std::string& lon)
    {
        FeedSentence("GPGGA," + time + "," + lat + ",N," + lon + ",E,1,06,1.0,30.0,M,,M,,");
        FeedSentence("GPGSA,A,3,04,05,09,12,24,29,,,,,,,2.0,1.0,1.7");
        FeedSentence("GPGSV,2,1,06,04,40,083,46,05,17,308,41,09,63,218,45,12,25,115,40");
        FeedSentence("GPGSV,2,2,06,24,35,160,38,29,14,047,35");
        FeedSentence("GPRMC," + time + ",A," + lat + ",N," + lon + ",E,030.0,090.0,030309,,");
    }

    std::string Log() const { return ReadDeviceFile(kLogPath); }

    kinfo::GpsLog Parsed(const std::string& bytes)
    {
        kinfo::GpsLog log;
        std::string error;
        EXPECT_EQ(kinfo::ReadGpsLog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &log, &error), 1)
            << error;
        EXPECT_TRUE(log.problems.empty()) << testing::PrintToString(log.problems);
        return log;
    }
};

bool AllZero(const std::string& bytes, std::size_t from, std::size_t count)
{
    return bytes.substr(from, count) == std::string(count, '\0');
}

TEST_F(GpsLogTest, LogWithoutFixesIsHeaderAndTrailerCountingOne)
{
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    const std::string log = Log();
    ASSERT_EQ(log.size(), kHeader + kTrailer);
    EXPECT_EQ(log.substr(0, 8), "PGPSSTRT");
    EXPECT_TRUE(AllZero(log, 8, 56));
    EXPECT_EQ(At<uint32_t>(log, 192), 1u);
    EXPECT_TRUE(AllZero(log, kHeader, 56));
    EXPECT_EQ(log.substr(kHeader + 56), "PGPSFEND");
    EXPECT_EQ(GpsLogStop(window_, 0), 0) << "no log runs any more";
}

TEST_F(GpsLogTest, RecordsAreNumberedAndCounted)
{
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    const char* times[] = {"100000", "100001", "100002"};
    for (const char* time : times) {
        FeedFix(time, "3730.000", "12700.000");
        GpsUpdate(&Gps());
    }
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    const std::string log = Log();
    ASSERT_EQ(log.size(), kHeader + 3 * sizeof(GpsFix) + kTrailer);
    EXPECT_EQ(At<uint32_t>(log, 192), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        const GpsFix record = At<GpsFix>(log, kHeader + i * sizeof(GpsFix));
        EXPECT_EQ(+record.mark, 0xFFFFFFFEu);
        EXPECT_EQ(+record.index, i);
        EXPECT_EQ(record.body.timePosition.utcSecond, i);
        EXPECT_EQ(record.body.signalLevel, 6);
    }
    EXPECT_EQ(Parsed(log).records.size(), 3u);
}

TEST_F(GpsLogTest, OneRecordCountsOneAndANewLogStartsAfresh)
{
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    FeedFix("100000", "3730.000", "12700.000");
    GpsUpdate(&Gps());
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    EXPECT_EQ(At<uint32_t>(Log(), 192), 1u);
    EXPECT_EQ(Log().size(), kHeader + sizeof(GpsFix) + kTrailer);

    // Updates between logs write nothing; the next log replaces the file.
    GpsUpdate(&Gps());
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    GpsUpdate(&Gps());
    GpsUpdate(&Gps());
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    const kinfo::GpsLog log = Parsed(Log());
    EXPECT_EQ(log.count, 2u);
    ASSERT_EQ(log.records.size(), 2u);
    EXPECT_EQ(log.records[0].index, 0u);
}

TEST_F(GpsLogTest, SummaryHoldsStartAndStopOfTheTrip)
{
    FeedFix("100000", "3730.000", "12700.000");
    GpsUpdate(&Gps());
    os::SYSTEMTIME start;
    os::GetLocalTime(&start);
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    os::Sleep(90'000);
    // The first record of the log only sets the starting point; the trip
    // is then 0.01 degree north and 0.01 degree east.
    FeedFix("100130", "3730.600", "12700.600");
    GpsUpdate(&Gps());
    FeedFix("100131", "3731.200", "12701.200");
    GpsUpdate(&Gps());
    os::SYSTEMTIME stop;
    os::GetLocalTime(&stop);
    ASSERT_EQ(GpsLogStop(window_, 0), 1);

    const std::string log = Log();
    const RecordingSummary s = At<RecordingSummary>(log, 64);
    EXPECT_EQ(std::memcmp(&s.openTime, &start, sizeof start), 0);
    EXPECT_EQ(std::memcmp(&s.closeTime, &stop, sizeof stop), 0);
    EXPECT_EQ(+s.lengthHns, 90LL * 10'000'000);
    const GpsTimePosition first = s.firstGps;
    const GpsTimePosition last = s.lastGps;
    EXPECT_EQ(first.utcMinute, 0);
    EXPECT_FLOAT_EQ(+first.latitude, 37.5f);
    EXPECT_FLOAT_EQ(+first.longitude, 127.0f);
    EXPECT_FLOAT_EQ(+first.altitude, 30.0f);
    EXPECT_EQ(first.fixQuality, 1);
    EXPECT_EQ(last.utcMinute, 1);
    EXPECT_EQ(last.utcSecond, 31);
    EXPECT_FLOAT_EQ(+last.latitude, 37.52f);
    EXPECT_FLOAT_EQ(+last.longitude, 127.02f);
    const float expected = static_cast<float>(std::sqrt(std::pow(0.01 * 92, 2) + std::pow(0.01 * 114, 2)));
    EXPECT_NEAR(+s.distanceKm, expected, 1e-3);
    EXPECT_TRUE(AllZero(log, 64 + 76, 52));
}

TEST_F(GpsLogTest, WeakFixesAddNoDistance)
{
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    FeedFix("100000", "3730.000", "12700.000");
    GpsUpdate(&Gps());
    FeedSentence("GPGSA,A,3,04,05,09,12,24,29,,,,,,,15.0,1.0,1.7");  // level 3
    FeedFix("100001", "3731.000", "12701.000");
    FeedSentence("GPGSA,A,3,04,05,09,12,24,29,,,,,,,15.0,1.0,1.7");
    GpsUpdate(&Gps());
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    EXPECT_EQ(At<RecordingSummary>(Log(), 64).distanceKm, 0.0f);
    EXPECT_EQ(At<uint32_t>(Log(), 192), 2u) << "weak fixes are logged all the same";
}

TEST_F(GpsLogTest, OnlyOneLogRunsAndAFailedStartChangesNothing)
{
    EXPECT_EQ(GpsLogStart(window_, "\\No Such Card\\trip.gps", 0), 0);
    EXPECT_EQ(GpsLogStop(window_, 0), 0);
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 1), 1);
    EXPECT_EQ(GpsLogStart(window_, "\\Storage Card\\other.gps", 1), 0);
    EXPECT_EQ(ReadDeviceFile("\\Storage Card\\other.gps"), "<none>");
    EXPECT_EQ(GpsLogStop(window_, 1), 1);
    EXPECT_EQ(Log().size(), kHeader + kTrailer);
}

TEST_F(GpsLogTest, GpsDeinitEndsARunningLog)
{
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    GpsUpdate(&Gps());
    ASSERT_EQ(GpsDeinit(window_), 1);
    EXPECT_EQ(Parsed(Log()).count, 1u);
    EXPECT_EQ(GpsLogStart(window_, kLogPath, 0), 0) << "without GPS set up there is no log";
}

// A card that holds the header, one record and the end of the log, but not
// a second record.
class GpsLogFullCardTest : public GpsLogTest {
protected:
    os::ULONGLONG CardBytes() const override { return kHeader + sizeof(GpsFix) + kTrailer + 100; }
};

TEST_F(GpsLogFullCardTest, ARecordThatDoesNotFitIsNotCountedAndTheLogEndsWhole)
{
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    FeedFix("100000", "3730.000", "12700.000");
    GpsUpdate(&Gps());
    GpsUpdate(&Gps());  // does not fit
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    const kinfo::GpsLog log = Parsed(Log());
    EXPECT_EQ(log.count, 1u);
    EXPECT_EQ(log.records.size(), 1u);
}

// A card whose free room comes and goes: a filler file takes the room of
// two records until it is deleted.
class GpsLogFillingCardTest : public GpsLogTest {
protected:
    os::ULONGLONG CardBytes() const override { return kHeader + 3 * sizeof(GpsFix) + kTrailer + 100; }

    static bool WriteFiller(const char* path, std::size_t bytes)
    {
        os::HANDLE file = os::CreateFileW(path, os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS, 0, nullptr);
        if (file == os::INVALID_HANDLE_VALUE) return false;
        const std::string data(bytes, 'f');
        os::DWORD written = 0;
        const bool ok = os::WriteFile(file, data.data(), static_cast<os::DWORD>(bytes), &written, nullptr) &&
                        written == bytes;
        os::CloseHandle(file);
        return ok;
    }
};

TEST_F(GpsLogFillingCardTest, AFullCardIsTracedOnceUntilRecordsFitAgain)
{
    constexpr const char* kFiller = "\\Storage Card\\filler";
    ASSERT_TRUE(WriteFiller(kFiller, 2 * sizeof(GpsFix)));
    os::TraceCapture trace;
    ASSERT_EQ(GpsLogStart(window_, kLogPath, 0), 1);
    FeedFix("100000", "3730.000", "12700.000");
    GpsUpdate(&Gps());
    for (int second = 0; second < 30; ++second) GpsUpdate(&Gps());  // the card is full
    ASSERT_TRUE(os::DeleteFileW(kFiller));
    GpsUpdate(&Gps());
    GpsUpdate(&Gps());
    for (int second = 0; second < 30; ++second) GpsUpdate(&Gps());  // full again
    ASSERT_EQ(GpsLogStop(window_, 0), 1);

    std::size_t logLines = 0;
    for (const std::string& line : trace.ProgramLines()) logLines += line.rfind("GpsLog", 0) == 0 ? 1 : 0;
    // Each spell of a full card: its start, and its end (a record written
    // again, or the log stopped).
    EXPECT_EQ(logLines, 4u) << testing::PrintToString(trace.ProgramLines());
    const kinfo::GpsLog log = Parsed(Log());
    EXPECT_EQ(log.count, 3u);
    ASSERT_EQ(log.records.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(log.records[i].index, i);
}

}  // namespace

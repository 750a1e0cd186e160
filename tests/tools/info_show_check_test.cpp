// kestrava-info show and check, run as the program, on recordings of the
// project's writer, on an AVI of the ffmpeg command, and on damaged and
// truncated copies.
#include <nlohmann/json.hpp>

#include "tests/tools/info_test_support.h"

namespace testing_support {
namespace {

class InfoShowCheckTest : public InfoTest {
protected:
    std::string Recording()
    {
        return WriteRecording("trip.avi", 20,
                              {TrackRecord(48.1f, 11.5f, 1, 0, 0), TrackRecord(48.2f, 11.6f, 2, 10, 1)},
                              {EventAt(5, 0, kEvtKindShock), EventAt(15, 1, kEvtKindManual)});
    }
};

TEST_F(InfoShowCheckTest, ShowDescribesAWriterRecording)
{
    const std::string path = Recording();
    const ToolResult shown = RunInfo("show " + Quoted(path));
    ASSERT_EQ(shown.exitCode, 0) << shown.output;
    for (const char* expected :
         {"1 RIFF\n", "stream 0: video XVID 176x144, 10.000 frames/s, 20 frames in 20 chunks, 2.000 s\n",
          "stream 1: audio format 1 (PCM), 8000 Hz, 1 channels, 16 bits, 20 chunks, 2.000 s\n",
          "length 2.000 s, distance 1.250 km\n", "events: 2\n", "#0 shock at frame 5 (0.500 s), axes 512 -20 7",
          "#1 manual at frame 15 (1.500 s)", "GPS records: 2\n", "software: Ardvane v1.1.0\n"}) {
        EXPECT_NE(shown.output.find(expected), std::string::npos) << expected << "\n" << shown.output;
    }
    EXPECT_EQ(shown.output.find("problem"), std::string::npos) << shown.output;
}

TEST_F(InfoShowCheckTest, ShowJsonCarriesTheSameFacts)
{
    const std::string path = Recording();
    const ToolResult shown = RunInfo("show --json " + Quoted(path));
    ASSERT_EQ(shown.exitCode, 0) << shown.output;
    const nlohmann::json all = nlohmann::json::parse(shown.output, nullptr, false);
    ASSERT_FALSE(all.is_discarded()) << shown.output;
    ASSERT_EQ(all.size(), 1u);
    const nlohmann::json& j = all[0];
    EXPECT_EQ(j["streams"][0]["codec"], "XVID");
    EXPECT_EQ(j["streams"][0]["frames"], 20);
    EXPECT_EQ(j["streams"][1]["samples"], 16000);
    EXPECT_DOUBLE_EQ(j["streams"][1]["duration_s"].get<double>(), 2.0);
    EXPECT_EQ(j["gps_records"], 2);
    EXPECT_EQ(j["events"][1]["kind"], "manual");
    EXPECT_DOUBLE_EQ(j["events"][1]["time_s"].get<double>(), 1.5);
    EXPECT_NEAR(j["summary"]["first_gps"]["latitude"].get<double>(), 48.1, 1e-5);
    EXPECT_NEAR(j["summary"]["last_gps"]["longitude"].get<double>(), 11.6, 1e-5);
    EXPECT_EQ(j["summary"]["last_gps"]["utc"], "07:59:02");
    EXPECT_TRUE(j["problems"].empty());
}

TEST_F(InfoShowCheckTest, AnAviOfAnotherProgramIsSoundWithoutRecordingData)
{
    const std::string path = WriteFfmpegAvi();
    const ToolResult shown = RunInfo("show " + Quoted(path));
    EXPECT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_NE(shown.output.find("160x120, 10.000 frames/s, 10 frames in 10 chunks"), std::string::npos)
        << shown.output;
    EXPECT_NE(shown.output.find("no recording data"), std::string::npos) << shown.output;

    const ToolResult checked = RunInfo("check " + Quoted(path) + " " + Quoted(Recording()));
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find(path + ": sound AVI, carries no recording data\n"), std::string::npos)
        << checked.output;
    EXPECT_NE(checked.output.find("trip.avi: sound recording\n"), std::string::npos) << checked.output;
}

TEST_F(InfoShowCheckTest, AFileOfSeveralRiffsIsReadWhole)
{
    AVI_Writer_SetRiffLimit(40 * 1024);
    const std::string path = WriteRecording("long.avi", 60, {TrackRecord(48.1f, 11.5f, 1, 0, 0)}, {});
    const ToolResult shown = RunInfo("show " + Quoted(path));
    EXPECT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_EQ(shown.output.find(" 1 RIFF"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("60 frames in 60 chunks, 6.000 s"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("60 chunks, 6.000 s"), std::string::npos) << shown.output;
    const ToolResult checked = RunInfo("check " + Quoted(path));
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("carries no recording data"), std::string::npos) << checked.output;
}

TEST_F(InfoShowCheckTest, CheckListsTheProblemsOfTruncatedCopies)
{
    const std::string path = Recording();
    const std::vector<std::uint8_t> whole = ReadDeviceFile("\\Storage Card\\trip.avi");
    const std::size_t movi = FindTag(whole, "movi");
    const std::size_t idx1 = FindTag(whole, "idx1");
    const std::size_t info = FindTag(whole, "INFO");
    ASSERT_NE(info, std::string::npos);
    const struct {
        std::size_t keep;
        const char* problem;
    } cases[] = {{30, "truncated chunk header"},
                 {movi + 100, "only"},
                 {idx1 + 40, "\"idx1\" has"},
                 {info + 60, "\"IGPS\""},
                 {whole.size() - 1, "lacks its pad byte"}};
    for (const auto& c : cases) {
        const std::string cut = Damaged(path, "cut.avi", [&](std::vector<std::uint8_t>& b) { b.resize(c.keep); });
        const ToolResult checked = RunInfo("check " + Quoted(cut));
        EXPECT_EQ(checked.exitCode, 1) << c.keep << "\n" << checked.output;
        EXPECT_NE(checked.output.find("problem"), std::string::npos) << checked.output;
        EXPECT_NE(checked.output.find(c.problem), std::string::npos) << c.keep << "\n" << checked.output;
        const ToolResult shown = RunInfo("show " + Quoted(cut));
        EXPECT_EQ(shown.exitCode, 0) << shown.output;
    }
}

TEST_F(InfoShowCheckTest, CheckFindsCountsAndIndexesThatDisagree)
{
    const std::string path = Recording();
    const std::vector<std::uint8_t> whole = ReadDeviceFile("\\Storage Card\\trip.avi");
    const std::size_t avih = FindTag(whole, "avih");
    const std::size_t idx1 = FindTag(whole, "idx1");
    const std::size_t igps = FindTag(whole, "IGPS");
    const std::size_t ievt = FindTag(whole, "IEVT");
    const auto put32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const struct {
        std::function<void(std::vector<std::uint8_t>&)> edit;
        const char* problem;
    } cases[] = {
        {[&](auto& b) { put32(b, avih + 8 + 16, 21); }, "\"avih\" counts 21 frames, the file has 20 video chunks"},
        {[&](auto& b) { put32(b, idx1 + 8 + 16 + 12, 3); }, "\"idx1\" entry 1"},
        {[&](auto& b) { put32(b, igps + 8, 0xFFFFFFFFu); }, "\"IGPS\" counts 4294967295 records"},
        {[&](auto& b) { std::memcpy(&b[ievt], "JUNK", 4); }, "no \"IEVT\" chunk"},
        {[&](auto& b) { put32(b, igps + 8 + 4 + 316 + 4, 7); }, "GPS record 1 is numbered 7"},
        {[&](auto& b) { put32(b, 4, 0x7FFFFFF0u); }, "chunk \"RIFF\" declares 2147483632 bytes"},
    };
    for (const auto& c : cases) {
        const std::string copy = Damaged(path, "damaged.avi", c.edit);
        const ToolResult checked = RunInfo("check " + Quoted(copy));
        EXPECT_EQ(checked.exitCode, 1) << checked.output;
        EXPECT_NE(checked.output.find(c.problem), std::string::npos) << c.problem << "\n" << checked.output;
    }
}

TEST_F(InfoShowCheckTest, FilesThatAreNoAviGetAClearError)
{
    const std::string text = root_ + "/notes.avi";
    std::ofstream(text) << "just some text, not a recording\n";
    const ToolResult checked = RunInfo("check " + Quoted(text) + " " + Quoted(root_ + "/missing.avi"));
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_NE(checked.output.find("notes.avi: not an AVI file"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("missing.avi: cannot open"), std::string::npos) << checked.output;
    const ToolResult shown = RunInfo("show " + Quoted(text));
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_NE(shown.output.find("not an AVI file"), std::string::npos) << shown.output;
}

// GPS logs as the phone leaves them: stopped, cut off while running, and
// with a record out of its place.
TEST_F(InfoShowCheckTest, ShowAndCheckReadGpsLogs)
{
    RecordingSummary summary{};
    summary.openTime = os::SYSTEMTIME{2009, 3, 2, 3, 8, 59, 0, 0};
    summary.closeTime = os::SYSTEMTIME{2009, 3, 2, 3, 9, 1, 0, 0};
    summary.lengthHns = 120 * 10000000LL;
    summary.firstGps = FixAt(48.1f, 11.5f, 1).body.timePosition;
    summary.lastGps = FixAt(48.3f, 11.7f, 3).body.timePosition;
    summary.distanceKm = 2.5f;
    const std::vector<GpsFix> fixes = {FixAt(48.1f, 11.5f, 1), FixAt(48.2f, 11.6f, 2), FixAt(48.3f, 11.7f, 3)};
    const std::string stopped = WriteBytes(root_ + "/stopped.gps", GpsLogBytes(fixes, true, summary));
    const std::string running = WriteBytes(root_ + "/running.gps", GpsLogBytes(fixes, false));
    std::vector<std::uint8_t> shuffled = GpsLogBytes(fixes, true, summary);
    shuffled[196 + sizeof(GpsFix) + 4] = 7;  // the second record's index
    const std::string misnumbered = WriteBytes(root_ + "/misnumbered.gps", shuffled);

    const ToolResult shown = RunInfo("show " + Quoted(stopped) + " " + Quoted(running));
    ASSERT_EQ(shown.exitCode, 0) << shown.output;
    for (const char* expected :
         {"stopped.gps: GPS log, 1208 bytes, stopped\n",
          "opened 2009-03-03 08:59:00, closed 2009-03-03 09:01:00 (local), length 120.000 s, distance 2.500 km\n",
          "records: 3 (the header counts 3)\n",
          "first fix: #0 2009-03-03 07:59:01 UTC 48.099998, 11.500000, altitude 41.5, fix 1, status A, 27.0 knots\n",
          "last fix:  #2 2009-03-03 07:59:03 UTC 48.299999, 11.700000",
          "running.gps: GPS log, 1144 bytes, not stopped", "problem: no \"PGPSFEND\""}) {
        EXPECT_NE(shown.output.find(expected), std::string::npos) << expected << "\n" << shown.output;
    }

    const ToolResult json = RunInfo("show --json " + Quoted(stopped));
    ASSERT_EQ(json.exitCode, 0) << json.output;
    const nlohmann::json all = nlohmann::json::parse(json.output, nullptr, false);
    ASSERT_TRUE(all.is_array() && all.size() == 1u) << json.output;
    EXPECT_EQ(all[0]["type"], "gps_log");
    EXPECT_EQ(all[0]["records"], 3);
    EXPECT_EQ(all[0]["last_fix"]["utc"], "07:59:03");
    EXPECT_NEAR(all[0]["first_fix"]["latitude"].get<double>(), 48.1, 1e-5);
    EXPECT_NEAR(all[0]["summary"]["distance_km"].get<double>(), 2.5, 1e-6);

    const ToolResult checked = RunInfo("check " + Quoted(stopped));
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_EQ(checked.output, stopped + ": sound GPS log\n");
    for (const auto& [path, problem] : {std::pair{running, "no \"PGPSFEND\" end marker"},
                                        std::pair{misnumbered, "record 1 lacks its log mark or index"}}) {
        const ToolResult damaged = RunInfo("check " + Quoted(path));
        EXPECT_EQ(damaged.exitCode, 1) << damaged.output;
        EXPECT_NE(damaged.output.find(problem), std::string::npos) << damaged.output;
    }
}

TEST_F(InfoShowCheckTest, UsageAndHelp)
{
    for (const char* command : {"--help", "show --help", "check --help", "export --help"}) {
        const ToolResult help = RunInfo(command);
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.output.find("usage: kestrava-info"), std::string::npos) << help.output;
    }
    EXPECT_EQ(RunInfo("").exitCode, 2);
    EXPECT_EQ(RunInfo("frobnicate x.avi").exitCode, 2);
    EXPECT_EQ(RunInfo("show --colour x.avi").exitCode, 2);
    EXPECT_EQ(RunInfo("export --format pdf x.avi").exitCode, 2);
}

}  // namespace
}  // namespace testing_support

// Whole runs of kestrava on the built-in phone in virtual time, judged from
// outside: the recordings it leaves are read by kestrava-info, ffprobe and
// ffmpeg, and the capture index the camera stamps on every picture tells
// which moments of the drive each file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/recorder/decoded_indices.h"
#include "tests/support/host_tool.h"
#include "tests/support/program_runner.h"
#include "tests/support/sanitized.h"

namespace {

using testing_support::ProgramRun;
using testing_support::RunHostTool;
using testing_support::TempFolder;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
// The run's time folder: the profile's clock starts at 2009-03-03 08:59:30.
constexpr const char* kTimeFolder = "volumes/Storage Card/Ardvane/20090303/085930";

using testing_support::kSanitized;

std::string Quote(const std::string& path)
{
    return "'" + path + "'";
}

// Runs the program on the built-in profile (clock fixed) with `scenario`
// events (a JSON array; empty for none) for `length`.
ProgramRun RunPhone(const TempFolder& folder, const std::string& name, const std::string& length,
                    const std::string& events)
{
    std::string profile = testing_support::ReadWholeFile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/default.json");
    profile.insert(profile.find('{') + 1, "\n  \"startTime\": \"2009-03-03T08:59:30\",");
    std::ofstream(folder / "profile.json") << profile;
    std::ofstream(folder / (name + ".json")) << "{\"events\": [" << events << "]}";
    return testing_support::RunProgram({"--root", folder / name, "--clock", "virtual", "--for", length, "--profile",
                                        folder / "profile.json", "--scenario", folder / (name + ".json")},
                                       folder, name);
}

// The recordings below `folder`, in name order (the order they were made).
std::vector<std::string> Recordings(const std::string& folder)
{
    std::vector<std::string> found;
    if (!std::filesystem::exists(folder)) return found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".avi") found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

struct Probed {
    int videoPackets = 0;
    int fillers = 0;
    long audioBytes = 0;
    double summaryLength = 0;  // seconds, as the file's summary says
    int gpsRecords = 0;
    bool checked = false;      // kestrava-info check found nothing wrong
    std::string decodeErrors;  // what ffmpeg -xerror said
};

Probed Probe(const std::string& path)
{
    Probed p;
    std::istringstream video(RunHostTool("ffprobe -v error -select_streams v:0 -show_entries packet=size -of "
                                         "csv=p=0 " + Quote(path)).output);
    for (int size; video >> size;) {
        ++p.videoPackets;
        p.fillers += size == 6;
    }
    std::istringstream audio(RunHostTool("ffprobe -v error -select_streams a:0 -show_entries packet=size -of "
                                         "csv=p=0 " + Quote(path)).output);
    for (long size; audio >> size;) p.audioBytes += size;
    const std::string info = std::string(KESTRAVA_BINARY_DIR) + "/kestrava-info ";
    p.checked = RunHostTool(info + "check " + Quote(path)).exitCode == 0;
    const std::string shown = RunHostTool(info + "show " + Quote(path)).output;
    std::smatch m;
    if (std::regex_search(shown, m, std::regex("length ([0-9.]+) s"))) p.summaryLength = std::stod(m[1]);
    if (std::regex_search(shown, m, std::regex("GPS records: ([0-9]+)"))) p.gpsRecords = std::stoi(m[1]);
    const auto decode = RunHostTool("ffmpeg -nostdin -v error -xerror -i " + Quote(path) + " -f null - 2>&1");
    p.decodeErrors = decode.output + (decode.exitCode == 0 ? "" : "exit " + std::to_string(decode.exitCode));
    return p;
}

std::vector<std::uint8_t> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RecordingRun, NinetyFiveSecondsMakeFourFilesThatPlayAndTheSameRunMakesTheSameBytes)
{
    TempFolder folder;
    ASSERT_EQ(RunPhone(folder, "first", "95s", "").exitCode, 0);
    ASSERT_EQ(RunPhone(folder, "second", "95s", "").exitCode, 0);
    const auto files = Recordings(folder / "first/" + kTimeFolder);
    ASSERT_EQ(files.size(), 4u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const Probed p = Probe(files[i]);
        EXPECT_TRUE(p.checked);
        EXPECT_EQ(p.decodeErrors, "");
        if (i < 3) {
            EXPECT_NEAR(p.summaryLength, 30.0, 0.05);
        }
        EXPECT_NEAR(p.videoPackets, p.summaryLength * 30, 1.0) << "30 pictures a second of the file's length";
        EXPECT_NEAR(p.audioBytes / 16000.0, p.summaryLength, 0.1 + 1e-9) << "as long in sound, within one buffer";
        EXPECT_NEAR(p.gpsRecords, p.summaryLength, 2.0) << "about one GPS record a second";
        EXPECT_EQ(p.fillers, 0);
    }
    const auto again = Recordings(folder / "second/" + kTimeFolder);
    ASSERT_EQ(again.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(std::filesystem::path(again[i]).filename(), std::filesystem::path(files[i]).filename());
        EXPECT_TRUE(Bytes(again[i]) == Bytes(files[i])) << files[i] << " differs between two runs";
    }
}

TEST(RecordingRun, AcrossEverySplitOfTenMinutesNoPictureIsLostOrRepeated)
{
    if (kSanitized) GTEST_SKIP() << "ten minutes of video take too long under the sanitizers; the plain build runs it";
    TempFolder folder;
    ASSERT_EQ(RunPhone(folder, "drive", "10m", "").exitCode, 0);
    const auto files = Recordings(folder / "drive/" + kTimeFolder);
    ASSERT_EQ(files.size(), 20u);
    std::optional<std::uint32_t> previous;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const auto decoded = testing_support::DecodeIndices(file, folder.Path(), kWidth, kHeight);
        EXPECT_EQ(decoded.exitCode, 0);
        EXPECT_EQ(decoded.errors, "");
        ASSERT_FALSE(decoded.indices.empty());
        for (const auto& index : decoded.indices) {
            ASSERT_TRUE(index.has_value());
            if (previous) {
                ASSERT_EQ(*index, *previous + 1) << "a picture was lost or repeated";
            }
            previous = index;
        }
    }
}

TEST(RecordingRun, StallsArePaddedAndAPauseIsLeftOut)
{
    TempFolder folder;
    const ProgramRun run = RunPhone(folder, "drive", "95s",
                                    R"({"at": "10s", "do": "camera_stall", "duration": "2s"},
                                       {"at": "40s", "do": "command", "id": 40008},
                                       {"at": "45s", "do": "command", "id": 40008},
                                       {"at": "70s", "do": "mic_stall", "duration": "1s"})");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto files = Recordings(folder / "drive/" + kTimeFolder);
    ASSERT_EQ(files.size(), 4u);
    const Probed stalled = Probe(files[0]);
    EXPECT_GE(stalled.fillers, 56) << "two seconds of pictures, filled up to the sound clock";
    EXPECT_LE(stalled.fillers, 60);
    const Probed paused = Probe(files[1]);
    EXPECT_EQ(paused.fillers, 0) << "nothing fills a pause";
    EXPECT_NEAR(paused.videoPackets, 25 * 30, 6) << "the five paused seconds are not in the file";
    EXPECT_NEAR(paused.audioBytes / 16000.0, paused.videoPackets / 30.0, 0.15);
    const Probed mute = Probe(files[2]);
    EXPECT_NEAR(mute.audioBytes / 16000.0, mute.videoPackets / 30.0, 0.15) << "the lost second of sound is silence";
    for (const Probed& p : {stalled, paused, mute}) EXPECT_EQ(p.decodeErrors, "");
}

TEST(RecordingRun, EventOnlyClipsHoldTheSecondsAroundEachEvent)
{
    TempFolder folder;
    // The second press comes while the first clip is written: the emergency
    // key does nothing then. The third makes the second clip.
    const ProgramRun run = RunPhone(folder, "events", "80s",
                                    R"({"at": 0, "do": "registry", "name": "EnableMovRecordAfterLaunch", "dword": 0},
                                       {"at": 0, "do": "registry", "name": "EventTimeSec", "dword": 10},
                                       {"at": "30s", "do": "key", "vk": 13},
                                       {"at": "33s", "do": "key", "vk": 13},
                                       {"at": "60s", "do": "key", "vk": 13})");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Recordings(folder / "events/" + kTimeFolder).empty()) << "nothing is recorded without an event";
    const auto clips = Recordings(folder / "events/" + kTimeFolder + "/Event");
    ASSERT_EQ(clips.size(), 2u);
    const auto first = testing_support::DecodeIndices(clips[0], folder.Path(), kWidth, kHeight);
    EXPECT_EQ(first.errors, "");
    ASSERT_FALSE(first.indices.empty());
    ASSERT_TRUE(first.indices.front() && first.indices.back());
    // The camera numbers its pictures from its start at 0.1 s; the key went up at 30.1 s.
    const double eventPicture = 30.0 * 30;
    EXPECT_GE(*first.indices.front(), eventPicture - 10 * 30 - 3) << "at most EventTimeSec before the event";
    EXPECT_LE(*first.indices.front(), eventPicture - 9 * 30 + 3) << "from the first intra picture within it";
    EXPECT_NEAR(*first.indices.back(), eventPicture + 10 * 30, 4) << "and EventTimeSec after it";
    const auto kind = RunHostTool("ffprobe -v error -select_streams v:0 -read_intervals %+#1 -show_entries "
                                  "frame=pict_type -of csv=p=0 " + Quote(clips[0]));
    EXPECT_EQ(kind.output, "I\n");
    const auto second = testing_support::DecodeIndices(clips[1], folder.Path(), kWidth, kHeight);
    EXPECT_EQ(second.errors, "");
    ASSERT_FALSE(second.indices.empty());
    ASSERT_TRUE(second.indices.front());
    EXPECT_GE(*second.indices.front(), 50 * 30 - 3);
}

TEST(RecordingRun, APulledOrFullCardEndsTheRecordingWithAFileThatPlays)
{
    TempFolder folder;
    for (const std::string name : {"card_pulled", "card_fills"}) {
        SCOPED_TRACE(name);
        const std::string scenario = std::string(KESTRAVA_SOURCE_DIR) + "/sim/scenarios/" + name + ".json";
        const ProgramRun run = testing_support::RunProgram(
            {"--root", folder / name, "--clock", "virtual", "--scenario", scenario, "--trace", folder / (name + ".trace")},
            folder, name);
        EXPECT_EQ(run.exitCode, 0) << "the run ends normally, without a stall\n" << run.err;
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / name + "/volumes")) {
            if (entry.path().extension() == ".avi") files.push_back(entry.path().string());
        }
        ASSERT_FALSE(files.empty());
        for (const std::string& file : files) {
            const Probed p = Probe(file);
            EXPECT_EQ(p.decodeErrors, "") << file;
            EXPECT_GT(p.videoPackets, 0) << file;
        }
    }
}

}  // namespace

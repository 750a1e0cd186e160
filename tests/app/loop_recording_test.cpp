// Two hours of loop recording on a card with room for about 40 minutes of
// clips (and two clips of an earlier day), with a manual event every ten
// minutes, judged from outside: the
// files left on the card (read by the AVI reader and kestrava-info), the
// clips the trace says were deleted, the space counters it shows, and the
// live drawing objects beside the screenshots taken along the drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/host_tool.h"
#include "tests/support/program_runner.h"
#include "tests/support/sanitized.h"
#include "tools/avi_reader.h"

namespace {

using testing_support::TempFolder;

using testing_support::kSanitized;

constexpr const char* kTimeFolder = "volumes/Storage Card/Ardvane/20090303/085930";
constexpr int kSplitSec = 30;
constexpr int kFrameRate = 30;
constexpr std::uint64_t kDeleteLevel = 100ull << 20;

struct Clip {
    bool filed = false;         // lies in "Event"
    bool deleted = false;       // the trace says loop recording deleted it
    std::vector<double> eventAt;  // seconds into the clip of each event it holds
};

// The clip names of a run in recording order: HHMMSS of one day sort by time.
using Clips = std::map<std::string, Clip>;

std::vector<EvtTagRecord> EventsOf(const std::string& path)
{
    const std::string bytes = testing_support::ReadWholeFile(path);
    kinfo::AviFile file;
    std::string error;
    if (!kinfo::ReadAvi(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &file, &error) ||
        !file.events) {
        ADD_FAILURE() << path << ": " << error;
        return {};
    }
    return *file.events;
}

struct Counters {
    std::uint64_t usable = 0, evtTotal = 0, evtFree = 0, aviTotal = 0;
    std::string at;  // device time of the line
};

struct TraceFacts {
    std::vector<Counters> counters;
    std::vector<std::string> deleted;  // device paths, in deletion order
    std::uint64_t erasedSinceLastCount = 0;
    int recordingStops = 0;
    std::vector<int> drawingObjects;  // beside each screenshot, in order
};

TraceFacts ReadTrace(const std::string& path)
{
    TraceFacts facts;
    std::ifstream in(path);
    const std::regex counters(
        R"(^(\S+) UpdateTarvoMemoryVar> Usable Total:(\d+), Evt total:(\d+), Evt Free:(\d+), AVI Total:(\d+))");
    const std::regex listed(R"(\*\* File \[(.*)\] -> (\d+) )");
    const std::regex deleted(R"(-- File \[(.*)\] -> nTotalEraseMem:)");
    const std::regex objects(R"(\[os\] screenshot \S+: (\d+) drawing objects)");
    std::map<std::string, std::uint64_t> sizes;
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_search(line, m, counters)) {
            facts.counters.push_back(Counters{std::stoull(m[2]), std::stoull(m[3]), std::stoull(m[4]), std::stoull(m[5]), m[1]});
            facts.erasedSinceLastCount = 0;
        } else if (std::regex_search(line, m, listed)) {
            sizes[m[1]] = std::stoull(m[2]);
        } else if (std::regex_search(line, m, deleted)) {
            facts.deleted.push_back(m[1]);
            facts.erasedSinceLastCount += sizes[m[1]];
        } else if (std::regex_search(line, m, objects)) {
            facts.drawingObjects.push_back(std::stoi(m[1]));
        } else if (line.find("Recording stops") != std::string::npos) {
            ++facts.recordingStops;
        }
    }
    return facts;
}

std::uint64_t BytesBelow(const std::filesystem::path& folder)
{
    std::uint64_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) total += entry.file_size();
    }
    return total;
}

int Seconds(const std::string& name)
{
    return std::stoi(name.substr(0, 2)) * 3600 + std::stoi(name.substr(2, 2)) * 60 + std::stoi(name.substr(4, 2));
}

TEST(LoopDrive, ASmallCardKeepsEveryEventClipAndRecyclesTheOldestClips)
{
    const std::string source = KESTRAVA_SOURCE_DIR;
    TempFolder folder;
    std::string profile = testing_support::ReadWholeFile(source + "/sim/profiles/small_card.json");
    profile.insert(profile.find('{') + 1, "\n  \"startTime\": \"2009-03-03T08:59:30\",");
    std::ofstream(folder / "profile.json") << profile;
    std::string scenario = source + "/sim/scenarios/loop_drive.json";
    if (kSanitized) {
        // Two hours take too long here (the plain build drives them): other
        // programs' files leave 106 MB, so that deletion runs from the first
        // minute on, beside the recording, and two events fall near splits.
        scenario = folder / "short_drive.json";
        std::ofstream(scenario) << R"({"events": [
            {"at": 0, "do": "fill", "volume": "Storage Card", "bytes": "150MB"},
            {"at": "0:01:03", "do": "tap", "x": 300, "y": 200},
            {"at": "0:02:27", "do": "tap", "x": 300, "y": 200},
            {"at": "0:04:00", "do": "end"}]})";
    }
    const auto run = testing_support::RunProgram({"--root", folder / "drive", "--clock", "virtual", "--profile",
                                                  folder / "profile.json", "--scenario", scenario, "--trace",
                                                  folder / "trace.txt", "--screenshot-every", kSanitized ? "30s" : "10m",
                                                  "--screenshot-folder", folder / "screens"},
                                                 folder, "drive");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string timeFolder = folder / (std::string("drive/") + kTimeFolder);
    const TraceFacts trace = ReadTrace(folder / "trace.txt");

    Clips clips;
    for (const std::string sub : {"", "/Event"}) {
        for (const auto& entry : std::filesystem::directory_iterator(timeFolder + sub)) {
            if (entry.path().extension() != ".avi") continue;
            Clip& clip = clips[entry.path().filename().string()];
            clip.filed = !sub.empty();
            for (const EvtTagRecord& e : EventsOf(entry.path().string())) {
                clip.eventAt.push_back(static_cast<double>(e.videoFrame) / kFrameRate);
            }
        }
    }
    // The card came with two clips of an earlier day: the oldest, they go first, with their time folder.
    ASSERT_GE(trace.deleted.size(), 2u);
    for (int i = 0; i < 2; ++i) EXPECT_NE(trace.deleted[i].find("\\20090301\\080000\\"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "drive/volumes/Storage Card/Ardvane/20090301/080000"));
    for (const std::string& path : trace.deleted) {
        const std::string name = path.substr(path.rfind('\\') + 1);
        if (path.find("\\20090303\\085930\\") == std::string::npos) continue;
        ASSERT_EQ(path.find("\\Event\\"), std::string::npos) << path;
        ASSERT_EQ(clips.count(name), 0u) << name << " was deleted and is still there, or deleted twice";
        clips[name].deleted = true;
    }

    // Recording never stopped: one clip every 30 s from start to end.
    EXPECT_EQ(trace.recordingStops, 0);
    ASSERT_GE(clips.size(), kSanitized ? 4u * 60 / kSplitSec : 2u * 3600 / kSplitSec);
    int previous = -1;
    for (const auto& [name, clip] : clips) {
        if (previous >= 0) {
            EXPECT_EQ(Seconds(name) - previous, kSplitSec) << name;
        }
        previous = Seconds(name);
    }

    // Every event clip is kept in "Event", with its neighbour where the event lies near the split.
    const std::string scenarioText = testing_support::ReadWholeFile(scenario);
    const std::regex tap("\"tap\"");
    const auto taps = std::distance(std::sregex_iterator(scenarioText.begin(), scenarioText.end(), tap),
                                    std::sregex_iterator());
    int events = 0;
    std::set<std::string> mustBeFiled;
    for (auto it = clips.begin(); it != clips.end(); ++it) {
        if (it->second.eventAt.empty()) continue;
        events += static_cast<int>(it->second.eventAt.size());
        mustBeFiled.insert(it->first);
        if (it->second.eventAt.front() < 6 && it != clips.begin()) mustBeFiled.insert(std::prev(it)->first);
        if (it->second.eventAt.back() >= kSplitSec - 5 && std::next(it) != clips.end()) {
            mustBeFiled.insert(std::next(it)->first);
        }
    }
    EXPECT_EQ(events, taps) << "one event record for each tap on the emergency area";
    for (const auto& [name, clip] : clips) {
        EXPECT_EQ(clip.filed, mustBeFiled.count(name) != 0) << name;
    }
    EXPECT_GT(mustBeFiled.size(), static_cast<std::size_t>(taps)) << "the drive has events near a split";

    // Ordinary clips went oldest first: every deleted one is older than every ordinary one left.
    std::string newestDeleted, oldestLeft = "~";
    for (const auto& [name, clip] : clips) {
        if (clip.deleted) newestDeleted = std::max(newestDeleted, name);
        if (!clip.deleted && !clip.filed) oldestLeft = std::min(oldestLeft, name);
    }
    ASSERT_FALSE(newestDeleted.empty()) << "the card filled and loop recording deleted";
    EXPECT_LT(newestDeleted, oldestLeft);

    // The counters never wrapped, kept the volume from filling, and stay true to the card.
    ASSERT_FALSE(trace.counters.empty());
    const Counters& first = trace.counters.front();
    for (const Counters& c : trace.counters) {
        SCOPED_TRACE(c.at);
        EXPECT_EQ(c.usable, first.usable) << "the usable total of the card does not drift";
        EXPECT_LE(c.aviTotal, c.usable);
        EXPECT_LE(c.evtTotal, c.aviTotal);
        EXPECT_EQ(c.evtFree, c.usable - c.evtTotal);
        EXPECT_GT(c.usable - c.aviTotal, kDeleteLevel / 2) << "loop deletion keeps room ahead of the recording";
    }
    EXPECT_EQ(trace.counters.back().evtTotal, BytesBelow(timeFolder + "/Event"));
    // A pass that was still running at the end deleted after the last count.
    EXPECT_EQ(trace.counters.back().aviTotal - trace.erasedSinceLastCount,
              BytesBelow(folder / "drive/volumes/Storage Card/Ardvane"));

    // The screen is redrawn all along (the clock, the picture, the event
    // messages), and the drawing objects it uses do not pile up. A paint
    // under way when a screenshot is taken holds a few of its own for a
    // moment, so each end of the drive counts as its smallest of three.
    const std::vector<int>& objects = trace.drawingObjects;
    ASSERT_GE(objects.size(), 6u) << "a screenshot with its count every period of the drive";
    const int early = *std::min_element(objects.begin(), objects.begin() + 3);
    const int late = *std::min_element(objects.end() - 3, objects.end());
    EXPECT_GT(early, 0);
    EXPECT_LE(late, early) << "drawing objects grew over the drive";

    // Every file left plays.
    std::string command = std::string(KESTRAVA_BINARY_DIR) + "/kestrava-info check";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "drive/volumes/Storage Card/Ardvane")) {
        if (entry.is_regular_file()) command += " '" + entry.path().string() + "'";
    }
    const auto check = testing_support::RunHostTool(command);
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

}  // namespace

// Power cuts at pseudo-random device times of a virtual drive, continuous
// and event-only, with GPS and shocks, each judged after the next start
// from outside: every recording passes kestrava-info check and decodes with
// ffmpeg -xerror; the cut recording holds, by the capture indices stamped
// on its pictures, every picture taken up to 2 s before the cut, its GPS
// records up to then and the shocks before the cut, filed as an event clip
// (event-only: cut once the clip's writer has caught up with the camera);
// no other file of the cut run changed. KESTRAVA_POWER_CUTS sets the number
// of cuts (default 6, under the sanitizers 3; the full check is 200).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/recorder/decoded_indices.h"
#include "tests/support/host_tool.h"
#include "tests/support/program_runner.h"
#include "tests/support/sanitized.h"
#include "tools/avi_reader.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::RunHostTool;
using testing_support::TempFolder;

// Each cut is two runs of the program; under the sanitizers three still
// take each drive and each kind of loss once.
constexpr int kDefaultCuts = testing_support::kSanitized ? 3 : 6;

constexpr int kCutWidth = 320;
constexpr int kCutHeight = 240;
constexpr const char* kCutTimeFolder = "volumes/Storage Card/Ardvane/20090303/085930";
// The camera numbers its pictures from its start at 0.1 s, 30 a second.
constexpr double kCutCameraStart = 0.1;
constexpr double kCutFps = 30;
// Shocks of the drive, in seconds of device time.
constexpr double kCutShocks[] = {8, 37, 66};

std::string CutQuote(const std::string& path) { return "'" + path + "'"; }

testing_support::ProgramRun CutRun(const TempFolder& folder, const std::string& name, const std::string& start,
                                   const std::string& lost, bool eventOnly, const std::vector<std::string>& extra)
{
    std::string profile = ReadWholeFile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/default.json");
    profile.insert(profile.find('{') + 1, "\n  \"startTime\": \"" + start + "\", \"lostWrites\": \"" + lost + "\",");
    std::ofstream(folder / (name + ".profile.json")) << profile;
    std::string events = eventOnly ? R"({"at": 0, "do": "registry", "name": "EnableMovRecordAfterLaunch", "dword": 0},
                                        {"at": 0, "do": "registry", "name": "EventTimeSec", "dword": 10})"
                                   : "";
    for (const double at : kCutShocks) {
        if (!events.empty()) events += ",";
        events += R"({"at": ")" + std::to_string(static_cast<int>(at * 1000)) +
                  R"(ms", "do": "shock", "x": 3000, "y": 1500, "z": 0, "duration": "400ms"})";
    }
    std::ofstream(folder / (name + ".json")) << "{\"events\": [" << events << "]}";
    std::vector<std::string> args{"--root", folder / "dev", "--clock", "virtual", "--profile",
                                  folder / (name + ".profile.json"), "--scenario", folder / (name + ".json")};
    args.insert(args.end(), extra.begin(), extra.end());
    return testing_support::RunProgram(args, folder, name);
}

// Every file below the volumes, by path relative to `root`, with its bytes.
std::map<std::string, std::string> CutFiles(const std::string& root)
{
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root + "/volumes")) {
        if (e.is_regular_file()) files[std::filesystem::relative(e.path(), root).string()] = ReadWholeFile(e.path());
    }
    return files;
}

// Device seconds at which a recording named "HHMMSS_20090303.avi" opened (runs start at 08:59:30).
double CutOpenedAt(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    const int hms = std::stoi(name.substr(0, 6));
    return (hms / 10000) * 3600 + (hms / 100 % 100) * 60 + hms % 100 - (8 * 3600 + 59 * 60 + 30);
}

struct CutRecording {
    std::vector<std::uint32_t> indices;
    std::size_t gps = 0;
    std::size_t events = 0;
};

CutRecording CutJudge(const std::string& path, const std::string& scratch)
{
    CutRecording r;
    const auto check = RunHostTool(std::string(KESTRAVA_BINARY_DIR) + "/kestrava-info check " + CutQuote(path));
    EXPECT_EQ(check.exitCode, 0) << check.output;
    const auto decoded = testing_support::DecodeIndices(path, scratch, kCutWidth, kCutHeight);
    EXPECT_EQ(decoded.exitCode, 0) << path << ": " << decoded.errors;
    EXPECT_EQ(decoded.errors, "") << path;
    for (const auto& index : decoded.indices) {
        EXPECT_TRUE(index.has_value()) << path << ": a picture without its capture index";
        if (index) r.indices.push_back(*index);
    }
    const std::string bytes = ReadWholeFile(path);
    kinfo::AviFile file;
    std::string error;
    if (kinfo::ReadAvi(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &file, &error)) {
        r.gps = file.gps ? file.gps->size() : 0;
        r.events = file.events ? file.events->size() : 0;
    } else {
        ADD_FAILURE() << path << ": " << error;
    }
    return r;
}

TEST(PowerCutRun, AfterTheNextStartEveryRecordingIsSoundAndTheCutOneHoldsAllButItsLastTwoSeconds)
{
    if (!testing_support::HostToolPresent("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const char* asked = std::getenv("KESTRAVA_POWER_CUTS");
    const int cuts = asked != nullptr ? std::max(1, std::atoi(asked)) : kDefaultCuts;
    const char* lostModes[] = {"dropped", "zeros", "garbage"};
    std::mt19937 random(2009);
    for (int n = 0; n < cuts; ++n) {
        const bool eventOnly = n % 2 == 1;
        const std::string lost = lostModes[n % 3];
        // Event-only clips are written around the shocks only, and their
        // writer catches up with the camera only some seconds after the
        // shock (it first writes the seconds before it, at its own pace):
        // until then the pictures waiting in memory are lost to a cut.
        const double cutAt = eventOnly ? kCutShocks[random() % 3] + 6 + (random() % 4000) / 1000.0
                                       : 1.5 + (random() % 73500) / 1000.0;
        const auto cutMs = static_cast<long>(cutAt * 1000);
        SCOPED_TRACE("cut " + std::to_string(n) + " at " + std::to_string(cutMs) + " ms, " +
                     (eventOnly ? "event-only, " : "continuous, ") + lost);
        TempFolder folder;
        const auto first = CutRun(folder, "cut", "2009-03-03T08:59:30", lost, eventOnly,
                                  {"--for", "100s", "--power-cut-at", std::to_string(cutMs) + "ms"});
        ASSERT_EQ(first.exitCode, 0) << first.err;
        ASSERT_NE(first.out.find("the power was cut at"), std::string::npos) << first.out;
        const std::string dev = folder / "dev";
        const auto before = CutFiles(dev);
        std::vector<std::string> cutNames;
        for (const auto& [path, bytes] : before) {
            if (path.ends_with(".jnl")) cutNames.push_back(std::filesystem::path(path).stem().string() + ".avi");
        }
        ASSERT_LE(cutNames.size(), 1u) << "one recording at a time is written";

        const auto second = CutRun(folder, "next", "2009-03-03T10:00:00", lost, eventOnly, {"--for", "2s"});
        ASSERT_EQ(second.exitCode, 0) << second.err;
        const auto after = CutFiles(dev);
        for (const auto& [path, bytes] : before) {
            const std::string name = std::filesystem::path(path).filename().string();
            if (path.ends_with(".jnl") || std::find(cutNames.begin(), cutNames.end(), name) != cutNames.end()) continue;
            const auto now = after.find(path);
            ASSERT_NE(now, after.end()) << path << " went";
            EXPECT_TRUE(now->second == bytes) << path << " changed";
        }
        std::vector<std::string> recordings;
        for (const auto& [path, bytes] : after) {
            EXPECT_FALSE(path.ends_with(".jnl") || path.ends_with(".rep")) << path << " left behind";
            if (path.ends_with(".avi") && path.starts_with(kCutTimeFolder)) recordings.push_back(path);
        }
        std::sort(recordings.begin(), recordings.end(), [](const std::string& a, const std::string& b) {
            return std::filesystem::path(a).filename() < std::filesystem::path(b).filename();
        });
        std::vector<std::uint32_t> all;
        for (const auto& [path, bytes] : after) {
            if (path.ends_with(".avi") && !path.starts_with(kCutTimeFolder)) CutJudge(dev + "/" + path, folder.Path());
        }
        // A cut in the first two seconds needs no picture kept.
        const auto lastNeeded = static_cast<std::uint32_t>(std::max(0.0, (cutAt - 2 - kCutCameraStart) * kCutFps));
        for (const std::string& path : recordings) {
            SCOPED_TRACE(path);
            const CutRecording r = CutJudge(dev + "/" + path, folder.Path());
            all.insert(all.end(), r.indices.begin(), r.indices.end());
            const std::string name = std::filesystem::path(path).filename().string();
            if (std::find(cutNames.begin(), cutNames.end(), name) == cutNames.end()) continue;
            const double opened = CutOpenedAt(path);
            if (opened > cutAt - 2) continue;
            ASSERT_FALSE(r.indices.empty());
            EXPECT_GE(r.indices.back(), lastNeeded) << "pictures taken 2 s before the cut are lost";
            for (std::size_t i = 1; i < r.indices.size(); ++i) ASSERT_EQ(r.indices[i], r.indices[i - 1] + 1);
            if (!eventOnly) {
                EXPECT_GE(static_cast<double>(r.gps), cutAt - opened - 3) << "a GPS record a second up to the cut";
            }
            const bool shockInFile = std::any_of(std::begin(kCutShocks), std::end(kCutShocks),
                                                 [&](double s) { return s >= opened && s + 1.5 < cutAt; });
            // An event-only clip carries no event records: it is written into "Event".
            if (shockInFile && !eventOnly) {
                EXPECT_GE(r.events, 1u) << "the shock before the cut is lost";
            }
            if (shockInFile || eventOnly) {
                EXPECT_NE(path.find("/Event/"), std::string::npos) << "the cut clip of a shock is no event clip";
            }
        }
        if (!eventOnly && !all.empty()) {
            std::sort(all.begin(), all.end());
            for (std::size_t i = 1; i < all.size(); ++i) ASSERT_EQ(all[i], all[i - 1] + 1) << "a picture is missing";
            EXPECT_GE(all.back() + 1, lastNeeded) << "the pictures up to 2 s before the cut are not all there";
        }
        if (!eventOnly && cutAt > 3) {
            EXPECT_FALSE(recordings.empty());
        }
    }
}

}  // namespace

// The settings changed during a recording drive in virtual time, judged from
// outside: the registry file, the recordings the change splits (their start,
// length and bit rate, read by the AVI reader) and the thresholds their event
// records carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/program_runner.h"
#include "tools/avi_reader.h"

namespace {

using testing_support::TempFolder;

constexpr const char* kSettingsDriveTimeFolder = "volumes/Storage Card/Ardvane/20090303/085930";
constexpr int kSettingsDriveStart = 8 * 3600 + 59 * 60 + 30;

struct SettingsDriveRecording {
    int startSecond = 0;  // from its name, after the run's start
    double seconds = 0;   // of video
    double videoKbps = 0;
    std::vector<float> thresholdsX;  // of its event records
};

SettingsDriveRecording ReadSettingsDriveRecording(const std::filesystem::path& path)
{
    SettingsDriveRecording r;
    const std::string name = path.filename().string();
    r.startSecond = std::stoi(name.substr(0, 2)) * 3600 + std::stoi(name.substr(2, 2)) * 60 +
                    std::stoi(name.substr(4, 2)) - kSettingsDriveStart;
    const std::string bytes = testing_support::ReadWholeFile(path.string());
    kinfo::AviFile file;
    std::string error;
    if (!kinfo::ReadAvi(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &file, &error)) {
        ADD_FAILURE() << path << ": " << error;
        return r;
    }
    for (const kinfo::StreamInfo& s : file.streams) {
        if (s.type != "vids" || s.rate == 0) continue;
        r.seconds = static_cast<double>(s.length) * s.scale / s.rate;
        if (r.seconds > 0) r.videoKbps = static_cast<double>(s.bytes) * 8 / 1000 / r.seconds;
    }
    if (file.events) {
        for (const EvtTagRecord& e : *file.events) r.thresholdsX.push_back(e.thresholdX);
    }
    return r;
}

// The device time, in ms, of the first trace line holding `text` at or after `fromMs`; -1 when none.
long long SettingsDriveTraceTime(const std::string& trace, const std::string& text, long long fromMs = 0)
{
    std::istringstream in(trace);
    const std::regex stamp(R"(^(\d+):(\d\d):(\d\d)\.(\d\d\d) )");
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (line.find(text) == std::string::npos || !std::regex_search(line, m, stamp)) continue;
        const long long ms = ((std::stoll(m[1]) * 60 + std::stoll(m[2])) * 60 + std::stoll(m[3])) * 1000 + std::stoll(m[4]);
        if (ms >= fromMs) return ms;
    }
    return -1;
}

TEST(SettingsDrive, ChangedRecordingSettingsTakeTheNextFileAndTheDetectorTheNewLevel)
{
    const std::string source = KESTRAVA_SOURCE_DIR;
    TempFolder folder;
    std::string profile = testing_support::ReadWholeFile(source + "/sim/profiles/default.json");
    profile.insert(profile.find('{') + 1, "\n  \"startTime\": \"2009-03-03T08:59:30\",");
    std::ofstream(folder / "profile.json") << profile;
    // The toolbar's settings button opens the sheet while the first file records.
    std::ofstream(folder / "scenario.json") << R"({"events": [
        {"at": "6s", "do": "shock", "x": 3000, "y": 1500, "z": 0, "duration": "400ms"},
        {"at": "20s", "do": "tap", "x": 60, "y": 370},
        {"at": "20500ms", "do": "sheet_page", "page": 1},
        {"at": "21s", "do": "choose", "control": 1022, "entry": 1},
        {"at": "21500ms", "do": "choose", "control": 1023, "entry": 2},
        {"at": "22s", "do": "sheet_page", "page": 2},
        {"at": "22500ms", "do": "choose", "control": 1038, "entry": 9},
        {"at": "22800ms", "do": "screenshot", "file": "event_page.png"},
        {"at": "23s", "do": "menu_command", "id": 40007},
        {"at": "50s", "do": "shock", "x": 3000, "y": 1500, "z": 0, "duration": "400ms"},
        {"at": "150s", "do": "end"}
    ]})";
    const testing_support::ProgramRun run = testing_support::RunProgram(
        {"--root", folder / "device", "--clock", "virtual", "--profile", folder / "profile.json", "--scenario",
         folder / "scenario.json", "--trace", folder / "run.trace", "--screenshot-folder", folder / "shots"},
        folder, "drive");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::string registry = testing_support::ReadWholeFile(folder / "device/registry.json");
    for (const char* value : {"\"SplitTimeSec\": {\"dword\": 60}", "\"VideoBitrate\": {\"dword\": 512}",
                              "\"AudioBitrate\": {\"dword\": 160}", "\"EventTagDetectLevelX\": {\"dword\": 9}",
                              "\"EventTagDetectLevelZ\": {\"dword\": 9}", "\"EvtTagSMSSend\": {\"dword\": 0}"}) {
        EXPECT_NE(registry.find(value), std::string::npos) << value << "\n" << registry;
    }

    std::vector<std::filesystem::path> paths;
    // Clips with an event lie in "Event" below the time folder; names give the order.
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(folder / (std::string("device/") + kSettingsDriveTimeFolder))) {
        if (entry.path().extension() == ".avi") paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end(), [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
    ASSERT_EQ(paths.size(), 4u) << "before the change, two of 60 s, the end's";
    std::vector<SettingsDriveRecording> r;
    for (const auto& path : paths) r.push_back(ReadSettingsDriveRecording(path));

    // The sheet closed at 23 s, ending its file; the split that opens the next comes 200 ms after.
    const std::string trace = testing_support::ReadWholeFile(folder / "run.trace");
    const long long closed = SettingsDriveTraceTime(trace, "property sheet \"Kestrava-Settings\" ended");
    ASSERT_GE(closed, 23000) << trace;
    const long long opened = SettingsDriveTraceTime(trace, "Memory is sufficient", closed);
    ASSERT_GE(opened, 0) << trace;
    EXPECT_NEAR(opened - closed, 200, 50);
    EXPECT_EQ(r[1].startSecond, 23);
    EXPECT_NEAR(r[1].seconds, 60, 1);
    EXPECT_NEAR(r[2].seconds, 60, 1);
    EXPECT_EQ(r[2].startSecond, 83);
    EXPECT_LT(r[0].seconds, 24) << "cut when the sheet closed";

    // 384 kbit/s before, 512 after: each file nearer its own.
    EXPECT_LT(r[0].videoKbps, 448) << r[0].videoKbps;
    EXPECT_GT(r[1].videoKbps, 448) << r[1].videoKbps;
    EXPECT_GT(r[2].videoKbps, 448) << r[2].videoKbps;

    // The detector's thresholds: level 6 before the sheet, level 9 after.
    ASSERT_FALSE(r[0].thresholdsX.empty());
    ASSERT_FALSE(r[1].thresholdsX.empty());
    for (float t : r[0].thresholdsX) EXPECT_EQ(t, 900.0f);
    for (float t : r[1].thresholdsX) EXPECT_EQ(t, 600.0f);
    EXPECT_TRUE(std::filesystem::exists(folder / "shots/event_page.png"));
}

}  // namespace

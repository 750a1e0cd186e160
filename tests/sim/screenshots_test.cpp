// The run's screenshots as a user asks for them: one every period of device
// time beside the scenario's own, the same files on every virtual run, each
// of them in the summary; a folder the host refuses stops the run first.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/program_runner.h"

namespace {

using testing_support::ProgramRun;
using testing_support::ReadWholeFile;
using testing_support::RunProgram;
using testing_support::TempFolder;

std::vector<std::string> ScreenshotsFolderListing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Width and height from a PNG's header; 0 x 0 when it is not a PNG.
std::pair<int, int> ScreenshotsPngSize(const std::string& bytes)
{
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0) {
        return {0, 0};
    }
    auto be32 = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

TEST(Screenshots, AVirtualRunSavesOneEveryPeriodTheSameEveryTimeAndListsThemAll)
{
    TempFolder folder;
    {
        std::ofstream(folder / "scenario.json") << R"({"events": [
            {"at": "2s", "do": "tap", "x": 500, "y": 360},
            {"at": "2500ms", "do": "screenshot", "file": "tapped.png"}
        ]})";
    }
    const std::vector<std::string> expected = {"screen-00-00-01.000.png", "screen-00-00-02.000.png",
                                               "screen-00-00-03.000.png", "screen-00-00-04.000.png",
                                               "screen-00-00-05.000.png", "tapped.png"};
    std::string shots[2];
    for (int i = 0; i < 2; ++i) {
        shots[i] = folder / ("shots" + std::to_string(i));
        const ProgramRun run =
            RunProgram({"--root", folder / ("device" + std::to_string(i)), "--clock", "virtual", "--for", "5500ms",
                        "--scenario", folder / "scenario.json", "--screenshot-every", "1s", "--screenshot-folder",
                        shots[i]},
                       folder);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_EQ(ScreenshotsFolderListing(shots[i]), expected);
        // Listed in the order taken: the scenario's own between the second and the third.
        std::string listed = "kestrava: 6 screenshot(s) written\n";
        for (const char* name : {"screen-00-00-01.000.png", "screen-00-00-02.000.png", "tapped.png",
                                 "screen-00-00-03.000.png", "screen-00-00-04.000.png", "screen-00-00-05.000.png"}) {
            listed += "  " + shots[i] + "/" + name + "\n";
        }
        EXPECT_NE(run.out.find(listed), std::string::npos) << run.out;
    }
    for (const std::string& name : expected) {
        const std::string first = ReadWholeFile(shots[0] + "/" + name);
        EXPECT_EQ(ScreenshotsPngSize(first), std::make_pair(800, 480)) << name;
        EXPECT_TRUE(first == ReadWholeFile(shots[1] + "/" + name)) << name << " differs between the runs";
    }
    // Each is taken when it says: the screen's clock moved between the first and the last.
    EXPECT_FALSE(ReadWholeFile(shots[0] + "/" + expected.front()) == ReadWholeFile(shots[0] + "/" + expected[4]));
}

TEST(Screenshots, AFolderTheHostRefusesStopsTheRunBeforeTheDeviceIsMade)
{
    TempFolder folder;
    {
        std::ofstream(folder / "taken") << "a file, not a folder";
    }
    const ProgramRun run = RunProgram({"--root", folder / "device", "--clock", "virtual", "--for", "2s",
                                       "--screenshot-every", "1s", "--screenshot-folder", folder / "taken"},
                                      folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot make the screenshot folder " + (folder / "taken")), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "device"));
}

}  // namespace

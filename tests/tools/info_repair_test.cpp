// kestrava-info repair on a real recording (a virtual run of kestrava, with
// GPS and an event) cut at many offsets: every cut it can repair becomes a
// file that kestrava-info check finds sound, that ffmpeg decodes, and that
// holds exactly the frames complete before the cut, in order; a cut inside
// the header is refused and left as it was; a sound file is left as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "tests/recorder/decoded_indices.h"
#include "tests/support/host_tool.h"
#include "tests/support/program_runner.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::RunHostTool;
using testing_support::TempFolder;

std::string RepairTestQuote(const std::string& path) { return "'" + path + "'"; }

std::uint32_t RepairTestU32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
           static_cast<std::uint8_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

// Where each video chunk of the file's movi list ends, and where the list's chunks begin.
std::vector<std::size_t> RepairTestVideoEnds(const std::string& bytes, std::size_t* firstChunk)
{
    const std::size_t movi = bytes.find("movi");
    *firstChunk = movi + 4;
    const std::size_t end = movi + RepairTestU32(bytes, movi - 4);
    std::vector<std::size_t> ends;
    for (std::size_t at = movi + 4; at + 8 <= end;) {
        const std::uint32_t size = RepairTestU32(bytes, at + 4);
        if (bytes.compare(at + 2, 2, "dc") == 0) ends.push_back(at + 8 + size);
        at += 8 + size + (size & 1);
    }
    return ends;
}

std::string RepairTestRecording(const TempFolder& folder)
{
    std::string profile = ReadWholeFile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/default.json");
    profile.insert(profile.find('{') + 1, "\n  \"startTime\": \"2009-03-03T08:59:30\",");
    std::ofstream(folder / "profile.json") << profile;
    std::ofstream(folder / "shock.json")
        << R"({"events": [{"at": "3s", "do": "shock", "x": 30000, "y": 0, "z": 0, "duration": "200ms"}]})";
    const auto run = testing_support::RunProgram({"--root", folder / "dev", "--clock", "virtual", "--for", "9s",
                                                  "--profile", folder / "profile.json", "--scenario",
                                                  folder / "shock.json"},
                                                 folder, "record");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "dev/volumes")) {
        if (entry.path().extension() == ".avi") return entry.path().string();
    }
    return "";
}

TEST(InfoRepairTest, CutsAtManyOffsetsBecomeSoundFilesWithEveryCompleteFrame)
{
    if (!testing_support::HostToolPresent("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    TempFolder folder;
    const std::string original = RepairTestRecording(folder);
    ASSERT_FALSE(original.empty());
    const std::string info = std::string(KESTRAVA_BINARY_DIR) + "/kestrava-info ";
    const std::string bytes = ReadWholeFile(original);

    // A sound file is left as it is.
    const auto sound = RunHostTool(info + "repair " + RepairTestQuote(original));
    EXPECT_EQ(sound.exitCode, 0) << sound.output;
    EXPECT_EQ(ReadWholeFile(original), bytes);

    const auto whole = testing_support::DecodeIndices(original, folder.Path(), 320, 240);
    ASSERT_EQ(whole.exitCode, 0) << whole.errors;
    std::size_t firstChunk = 0;
    const std::vector<std::size_t> videoEnds = RepairTestVideoEnds(bytes, &firstChunk);
    ASSERT_EQ(videoEnds.size(), whole.indices.size());
    ASSERT_GT(videoEnds.size(), 100u);

    std::mt19937 random(19);
    std::vector<std::size_t> offsets{firstChunk - 1, firstChunk, bytes.size() - 1};
    while (offsets.size() < 100) offsets.push_back(random() % bytes.size());
    const std::regex framesLine(R"((\d+) frames in (\d+) chunks)");
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::size_t cut = offsets[i];
        SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(bytes.size()));
        const std::string path = folder / "cut.avi";
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(cut));
        const auto repair = RunHostTool(info + "repair " + RepairTestQuote(path));
        if (cut < firstChunk) {
            EXPECT_EQ(repair.exitCode, 1) << repair.output;
            EXPECT_NE(repair.output.find("cannot be repaired"), std::string::npos) << repair.output;
            EXPECT_EQ(ReadWholeFile(path), bytes.substr(0, cut));
            continue;
        }
        ASSERT_EQ(repair.exitCode, 0) << repair.output;
        const auto check = RunHostTool(info + "check " + RepairTestQuote(path));
        EXPECT_EQ(check.exitCode, 0) << check.output;
        const auto complete = static_cast<std::size_t>(
            std::upper_bound(videoEnds.begin(), videoEnds.end(), cut) - videoEnds.begin());
        const auto show = RunHostTool(info + "show " + RepairTestQuote(path));
        std::smatch m;
        ASSERT_TRUE(std::regex_search(show.output, m, framesLine)) << show.output;
        EXPECT_EQ(std::stoul(m[1]), complete);
        if (i % 10 != 0) continue;
        // A repaired file again is sound and stays as it is.
        const std::string repaired = ReadWholeFile(path);
        EXPECT_EQ(RunHostTool(info + "repair " + RepairTestQuote(path)).exitCode, 0);
        EXPECT_EQ(ReadWholeFile(path), repaired);
        const auto decoded = testing_support::DecodeIndices(path, folder.Path(), 320, 240);
        EXPECT_EQ(decoded.exitCode, 0) << decoded.errors;
        EXPECT_TRUE(decoded.errors.empty()) << decoded.errors;
        ASSERT_EQ(decoded.indices.size(), complete);
        EXPECT_TRUE(std::equal(decoded.indices.begin(), decoded.indices.end(), whole.indices.begin()));
    }
}

}  // namespace

// Shocks and the emergency area during whole runs in virtual time, judged
// from the recordings: the event records each file carries, where the files
// end up, and the clips of event-only recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/recorder/decoded_indices.h"
#include "tests/support/program_runner.h"
#include "tests/support/shared_data.h"
#include "tools/avi_reader.h"

namespace {

using testing_support::TempFolder;

constexpr const char* kTimeFolder = "volumes/Storage Card/Ardvane/20090303/085930";

std::vector<EvtTagRecord> EventsOf(const std::string& path)
{
    const std::string bytes = testing_support::ReadWholeFile(path);
    kinfo::AviFile file;
    std::string error;
    if (!kinfo::ReadAvi(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &file, &error) || !file.events) {
        ADD_FAILURE() << path << ": " << error;
        return {};
    }
    return *file.events;
}

testing_support::ProgramRun Drive(const TempFolder& folder, const std::string& name, const std::string& events)
{
    std::string profile = testing_support::ReadWholeFile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/default.json");
    profile.insert(profile.find('{') + 1, "\n  \"startTime\": \"2009-03-03T08:59:30\",");
    std::ofstream(folder / "profile.json") << profile;
    std::ofstream(folder / (name + ".json")) << "{\"events\": [" << events << "]}";
    return testing_support::RunProgram({"--root", folder / name, "--clock", "virtual", "--profile", folder / "profile.json",
                                        "--scenario", folder / (name + ".json"), "--trace", folder / (name + ".trace"),
                                        "--sound-log", folder / (name + ".wav")},
                                       folder, name);
}

std::vector<nlohmann::json> Outbox(const std::string& path)
{
    std::vector<nlohmann::json> messages;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) messages.push_back(nlohmann::json::parse(line));
    return messages;
}

// The sound log's samples (mono, 16-bit, 8000 Hz) from `from` to `to` seconds.
std::vector<std::int16_t> LoggedSound(const std::string& path, double from, double to)
{
    const std::string bytes = testing_support::ReadWholeFile(path);
    const std::size_t data = bytes.find("data");
    if (data == std::string::npos) return {};
    std::vector<std::int16_t> samples;
    for (std::size_t i = static_cast<std::size_t>(from * 8000); i < static_cast<std::size_t>(to * 8000); ++i) {
        const std::size_t at = data + 8 + 2 * i;
        if (at + 1 >= bytes.size()) break;
        samples.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) | (bytes[at + 1] << 8)));
    }
    return samples;
}

bool Silent(const std::vector<std::int16_t>& samples)
{
    return std::all_of(samples.begin(), samples.end(), [](std::int16_t v) { return v == 0; });
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The shock asks for the accident SMS, which goes out when its countdown
// ends; the touch asks again, and its alert is cancelled on the pop-up.
TEST(ShockDrive, AShockAndATouchTagTheFilesTheyHappenInAndFileThem)
{
    TempFolder folder;
    const auto run = Drive(folder, "drive", R"({"at": 0, "do": "registry", "name": "EvtTagSMSSend", "dword": 1},
                                               {"at": 0, "do": "registry", "name": "EvtTagSMSRecvNum", "string": "01099998888"},
                                               {"at": 0, "do": "registry", "name": "EvtTagSMSMsgText", "string": "사고 발생 accident"},
                                               {"at": "45s", "do": "shock", "x": 3000, "y": 1500, "z": 0, "duration": "400ms"},
                                               {"at": "75s", "do": "tap", "x": 300, "y": 200},
                                               {"at": "78s", "do": "tap", "x": 400, "y": 339},
                                               {"at": "100s", "do": "end"})");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto sent = Outbox(folder / "drive/sms_outbox.jsonl");
    ASSERT_EQ(sent.size(), 1u) << "the shock's message only; the touch's was cancelled";
    EXPECT_EQ(sent[0]["to"], "01099998888");
    EXPECT_EQ(sent[0]["text"], "사고 발생 accident");
    EXPECT_NEAR(sent[0]["time_ms"].get<double>(), 55000, 1500) << "ten seconds after the shock";
    const std::string events = folder / (std::string("drive/") + kTimeFolder + "/Event");
    std::vector<std::string> filed;
    for (const auto& entry : std::filesystem::directory_iterator(events)) filed.push_back(entry.path().string());
    std::sort(filed.begin(), filed.end());
    ASSERT_EQ(filed.size(), 2u) << "the files of 30 to 60 s and 60 to 90 s";
    // The shock lasts two polls: its tail, judged in the fresh window after
    // the first event, may make a second one a second later.
    const auto shock = EventsOf(filed[0]);
    ASSERT_GE(shock.size(), 1u);
    ASSERT_LE(shock.size(), 2u);
    for (const EvtTagRecord& e : shock) EXPECT_EQ(e.kind, kEvtKindShock);
    EXPECT_NEAR(shock[0].videoFrame, 15 * 30, 2 * 30) << "about 15 s into the file";
    EXPECT_GT(shock[0].x, 900.0f) << "the axes of the shock's sample";
    EXPECT_EQ(shock[0].thresholdX, 900.0f);
    const auto touch = EventsOf(filed[1]);
    ASSERT_EQ(touch.size(), 1u);
    EXPECT_EQ(touch[0].kind, kEvtKindManual);
    // Recording runs at every event: each plays the alarm.
    EXPECT_EQ(Count(testing_support::ReadWholeFile(folder / "drive.trace"), "Alarm2.wav"), shock.size() + touch.size());
    // The run's sound log: silence while the car drives on, the alarm as the shock is felt.
    const std::string soundLog = folder / "drive.wav";
    EXPECT_TRUE(Silent(LoggedSound(soundLog, 40, 45)));
    const auto alarm = LoggedSound(soundLog, 45, 46.5);
    ASSERT_EQ(alarm.size(), 12000u);
    EXPECT_FALSE(Silent(alarm));
    for (const auto& entry : std::filesystem::directory_iterator(folder / (std::string("drive/") + kTimeFolder))) {
        if (entry.path().extension() == ".avi") {
            EXPECT_TRUE(EventsOf(entry.path().string()).empty()) << entry.path();
        }
    }
}

TEST(ShockDrive, InEventOnlyRecordingAShockMakesAClipAroundIt)
{
    TempFolder folder;
    const auto run = Drive(folder, "events", R"({"at": 0, "do": "registry", "name": "EnableMovRecordAfterLaunch", "dword": 0},
                                                {"at": 0, "do": "registry", "name": "EventTimeSec", "dword": 10},
                                                {"at": "30s", "do": "shock", "x": 3000, "y": 1500, "z": 0, "duration": "400ms"},
                                                {"at": "50s", "do": "end"})");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> clips;
    for (const auto& entry : std::filesystem::directory_iterator(folder / (std::string("events/") + kTimeFolder + "/Event"))) {
        clips.push_back(entry.path().string());
    }
    // A second event from the shock's tail comes while the first clip is
    // written: it is held and makes one more clip after it.
    ASSERT_GE(clips.size(), 1u);
    EXPECT_LE(clips.size(), 2u);
    std::sort(clips.begin(), clips.end());
    const auto first = testing_support::DecodeIndices(clips[0], folder.Path(), 320, 240);
    ASSERT_FALSE(first.indices.empty());
    ASSERT_TRUE(first.indices.front() && first.indices.back());
    EXPECT_LT(*first.indices.front(), 30 * 30) << "the clip starts before the shock";
    EXPECT_GT(*first.indices.back(), 30 * 30) << "and ends after it";
    EXPECT_EQ(Count(testing_support::ReadWholeFile(folder / "events.trace"), "Alarm2.wav"), 0u)
        << "no alarm while no recording runs";
}

// The recorded drive at the most sensitive levels: its one hard jolt, 3:21
// into the drive, is the only event, and its record carries the counts the
// detector judged.
TEST(ShockDrive, TheRecordedRealDriveTagsItsOneHardJolt)
{
    SKIP_WITHOUT_SHARED_DATA("accel/quat-orient_accel.2020-10-15-21.csv");
    TempFolder folder;
    const std::string source = KESTRAVA_SOURCE_DIR;
    const auto run = testing_support::RunProgram(
        {"--root", folder / "real", "--clock", "virtual", "--for", "0:03:40", "--profile",
         source + "/sim/profiles/real_drive_accel.json", "--scenario", source + "/sim/scenarios/real_drive_events.json",
         "--trace", folder / "real.trace"},
        folder, "real");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<EvtTagRecord> events;
    std::string taggedFile;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "real/volumes")) {
        if (entry.path().extension() != ".avi") continue;
        for (const EvtTagRecord& e : EventsOf(entry.path().string())) {
            events.push_back(e);
            taggedFile = entry.path().string();
        }
    }
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(taggedFile.find("/Event/"), std::string::npos) << taggedFile;
    EXPECT_EQ(events[0].kind, kEvtKindShock);
    EXPECT_EQ(events[0].thresholdX, 600.0f);
    EXPECT_EQ(events[0].thresholdZ, 600.0f);
    // The drive's second 201 lies 21 s into the file of 180 to 210 s.
    EXPECT_NEAR(events[0].videoFrame, 21 * 30, 2 * 30);
    EXPECT_EQ(Count(testing_support::ReadWholeFile(folder / "real.trace"), "Alarm2.wav"), 1u);
}

}  // namespace

// The camera section of the profile, the camera and microphone events of a
// scenario, and how both reach the platform's media stand-ins.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/media/internal/media_faults.h"
#include "platform/media/media_sim.h"
#include "sim/camera_setup.h"
#include "sim/engine_sound.h"
#include "sim/profile.h"
#include "sim/road_scene.h"
#include "sim/scenario.h"
#include "sim/scenario_runner.h"
#include "sim/text_file.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_runner.h"
#include "tests/support/shared_data.h"
#include "tests/support/temp_folder.h"

namespace {

using sim::CameraProfile;
using sim::EncoderProfile;
using sim::EventKind;

TEST(CameraProfile, SectionSetsEachFieldAndKeepsTheRest)
{
    struct Case {
        const char* text;
        CameraProfile want;
    };
    const Case cases[] = {
        {R"({})", CameraProfile{}},
        {R"({"camera": {}})", CameraProfile{}},
        {R"({"camera": {"video": "drive.mp4"}})", CameraProfile{"drive.mp4", 0, {}, ""}},
        {R"({"camera": {"openError": "0x80070037"}})", CameraProfile{"", static_cast<os::LONG>(0x80070037u), {}, ""}},
        {R"({"camera": {"openError": "0X8000ffff"}})", CameraProfile{"", static_cast<os::LONG>(0x8000FFFFu), {}, ""}},
        {R"({"camera": {"openError": "0xFFFFFFFF"}})", CameraProfile{"", -1, {}, ""}},
        {R"({"camera": {"encoder": {"failOpen": true}}})", CameraProfile{"", 0, EncoderProfile{true, -1}, ""}},
        {R"({"camera": {"encoder": {"timeoutAtFrame": 0}}})", CameraProfile{"", 0, EncoderProfile{false, 0}, ""}},
        {R"({"camera": {"encoder": {"timeoutAtFrame": 2147483647, "failOpen": false}}})",
         CameraProfile{"", 0, EncoderProfile{false, 2147483647}, ""}},
        {R"({"camera": {"video": "/v/a.avi", "openError": "0x80004005", "encoder": {"failOpen": true, "timeoutAtFrame": 300}}})",
         CameraProfile{"/v/a.avi", static_cast<os::LONG>(0x80004005u), EncoderProfile{true, 300}, ""}},
        {R"({"camera": {"still": "scene.jpg"}})", CameraProfile{"", 0, {}, "scene.jpg"}},
    };
    for (const Case& c : cases) {
        sim::DeviceProfile p;
        std::string error;
        ASSERT_TRUE(sim::ParseProfile(c.text, "p.json", &p, &error)) << c.text << ": " << error;
        EXPECT_EQ(p.camera, c.want) << c.text;
        p.camera = CameraProfile{};
        EXPECT_EQ(p, sim::DefaultProfile()) << c.text << ": the rest of the profile keeps its defaults";
    }
}

TEST(CameraProfile, BadValuesAreRefusedNamingTheFieldAndChangeNothing)
{
    struct Case {
        const char* text;
        const char* field;
    };
    const Case cases[] = {
        {R"({"camera": {"openError": "0x00000037"}})", "camera.openError"},  // a success code
        {R"({"camera": {"openError": "0x7FFFFFFF"}})", "camera.openError"},
        {R"({"camera": {"openError": "80070037"}})", "camera.openError"},
        {R"({"camera": {"openError": "0x"}})", "camera.openError"},
        {R"({"camera": {"openError": "0x180070037"}})", "camera.openError"},
        {R"({"camera": {"openError": "0x8007003G"}})", "camera.openError"},
        {R"({"camera": {"openError": -2147024841}})", "camera.openError"},
        {R"({"camera": {"video": ""}})", "camera.video"},
        {R"({"camera": {"video": 7}})", "camera.video"},
        {R"({"camera": {"still": ""}})", "camera.still"},
        {R"({"camera": {"encoder": {"failOpen": "yes"}}})", "camera.encoder.failOpen"},
        {R"({"camera": {"encoder": {"timeoutAtFrame": -1}}})", "camera.encoder.timeoutAtFrame"},
        {R"({"camera": {"encoder": {"timeoutAtFrame": 2147483648}}})", "camera.encoder.timeoutAtFrame"},
        {R"({"camera": {"encoder": {"timeoutAtFrame": "5"}}})", "camera.encoder.timeoutAtFrame"},
        {R"({"camera": {"encoder": {"timeout": 5}}})", "camera.encoder.timeout"},
        {R"({"camera": {"encoder": true}})", "camera.encoder"},
        {R"({"camera": {"lens": "wide"}})", "camera.lens"},
        {R"({"camera": null})", "camera"},
    };
    for (const Case& c : cases) {
        sim::DeviceProfile p;
        p.camera.video = "untouched";
        std::string error;
        EXPECT_FALSE(sim::ParseProfile(c.text, "p.json", &p, &error)) << c.text;
        EXPECT_EQ(p.camera.video, "untouched") << c.text;
        const std::string prefix = std::string("p.json: ") + c.field + ": ";
        EXPECT_TRUE(error.starts_with(prefix) && error.size() > prefix.size()) << c.text << " gave " << error;
    }
}

// A still that cannot be a camera's picture (missing, a folder, empty, a
// device) stops the load naming the field and the file, and the profile
// given is left as it was.
TEST(CameraProfile, RelativeFilesAreTakenFromTheProfilesFolderAndABadStillIsRefusedAtLoad)
{
    testing_support::TempFolder folder;
    const std::string path = folder / "phone.json";
    sim::DeviceProfile p;
    std::string error;
    std::ofstream(path) << R"({"camera": {"video": "clips/drive.mp4"}})";
    ASSERT_TRUE(sim::LoadProfile(path, &p, &error)) << error;
    EXPECT_EQ(p.camera.video, folder / "clips/drive.mp4");
    std::ofstream(path) << R"({"camera": {"video": "/data/drive.mp4"}, "gps": {"replay": "drive.log"}})";
    ASSERT_TRUE(sim::LoadProfile(path, &p, &error)) << error;
    EXPECT_EQ(p.camera.video, "/data/drive.mp4");
    EXPECT_EQ(p.gps->replay, folder / "drive.log");

    std::filesystem::create_directories(folder / "stills");
    std::ofstream(folder / "stills/scene.jpg", std::ios::binary) << "\xFF\xD8\xFF\xD9";
    std::ofstream(path) << R"({"camera": {"still": "stills/scene.jpg"}})";
    ASSERT_TRUE(sim::LoadProfile(path, &p, &error)) << error;
    EXPECT_EQ(p.camera.still, folder / "stills/scene.jpg");

    std::ofstream(folder / "stills/empty.jpg");
    const struct {
        std::string still;
        std::string reason;
    } bad[] = {{"stills/missing.jpg", "cannot open: No such file or directory"},
               {"stills", sim::kNotARegularFile},
               {"stills/empty.jpg", "empty file"},
               {"/dev/zero", sim::kNotARegularFile}};
    for (const auto& b : bad) {
        std::ofstream(path) << R"({"camera": {"still": ")" << b.still << R"("}})";
        sim::DeviceProfile untouched;
        untouched.camera.video = "untouched";
        EXPECT_FALSE(sim::LoadProfile(path, &untouched, &error)) << b.still;
        EXPECT_EQ(untouched.camera.video, "untouched");
        const std::string named = b.still.starts_with("/") ? b.still : folder / b.still;
        EXPECT_EQ(error, path + ": camera.still: " + named + ": " + b.reason);
    }
}

TEST(CameraScenario, StallsAndTimeoutsParseWithTheirDurationsOrAreRefused)
{
    struct Good {
        const char* event;
        EventKind kind;
        std::int64_t durationMs;
    };
    const Good good[] = {
        {R"({"at": 3, "do": "camera_stall", "duration": "1500ms"})", EventKind::CameraStall, 1500},
        {R"({"at": 3, "do": "camera_stall", "duration": 2})", EventKind::CameraStall, 2000},
        {R"({"at": 3, "do": "mic_stall", "duration": "0:00:03"})", EventKind::MicStall, 3000},
        {R"({"at": 3, "do": "mic_stall", "duration": "1ms"})", EventKind::MicStall, 1},
        {R"({"at": 3, "do": "encoder_timeout"})", EventKind::EncoderTimeout, 0},
    };
    for (const Good& g : good) {
        sim::Scenario s;
        std::string error;
        ASSERT_TRUE(sim::ParseScenario(std::string(R"({"events": [)") + g.event + "]}", "s.json", &s, &error))
            << g.event << ": " << error;
        ASSERT_EQ(s.events.size(), 1u);
        EXPECT_EQ(s.events[0].kind, g.kind) << g.event;
        EXPECT_EQ(s.events[0].atMs, 3000);
        EXPECT_EQ(s.events[0].durationMs, g.durationMs) << g.event;
    }
    struct Bad {
        const char* event;
        const char* field;
    };
    const Bad bad[] = {
        {R"({"at": 3, "do": "camera_stall"})", "events[0]"},  // no duration
        {R"({"at": 3, "do": "camera_stall", "duration": 0})", "events[0].duration"},
        {R"({"at": 3, "do": "mic_stall", "duration": "0ms"})", "events[0].duration"},
        {R"({"at": 3, "do": "mic_stall", "duration": -1})", "events[0].duration"},
        {R"({"at": 3, "do": "mic_stall", "duration": "soon"})", "events[0].duration"},
        {R"({"at": 3, "do": "camera_stall", "duration": 1, "bytes": 4})", "events[0].bytes"},
        {R"({"at": 3, "do": "encoder_timeout", "duration": "1s"})", "events[0].duration"},
    };
    for (const Bad& b : bad) {
        sim::Scenario s = sim::DefaultScenario();
        std::string error;
        EXPECT_FALSE(sim::ParseScenario(std::string(R"({"events": [)") + b.event + "]}", "s.json", &s, &error))
            << b.event;
        EXPECT_EQ(s, sim::DefaultScenario()) << b.event;
        const std::string prefix = std::string("s.json: ") + b.field + ": ";
        EXPECT_TRUE(error.starts_with(prefix) && error.size() > prefix.size()) << b.event << " gave " << error;
    }
}

class CameraConnection : public testing_support::PlatformTest {};

TEST_F(CameraConnection, ProfileSetsSourcesAndFaultsAndABadVideoChangesNothing)
{
    sim::DeviceProfile profile;
    profile.camera.openError = static_cast<os::LONG>(0x80070037u);
    profile.camera.encoder = EncoderProfile{true, 300};
    std::string error;
    ASSERT_TRUE(sim::ConnectCamera(profile, &error)) << error;
    const auto pictures = os::detail::CurrentPictureSource();
    const auto sound = os::detail::CurrentSoundSource();
    EXPECT_NE(dynamic_cast<sim::RoadScene*>(pictures.get()), nullptr);
    EXPECT_NE(dynamic_cast<sim::EngineSound*>(sound.get()), nullptr);
    const os::sim::MediaFaults faults = os::sim::CurrentMediaFaults();
    EXPECT_EQ(faults.cameraOpenError, static_cast<os::LONG>(0x80070037u));
    EXPECT_TRUE(faults.encoderOpenFails);
    EXPECT_EQ(faults.encoderTimeoutAtFrame, 300);

    testing_support::TempFolder folder;
    sim::DeviceProfile broken;
    broken.camera.video = folder / "missing.mp4";
    EXPECT_FALSE(sim::ConnectCamera(broken, &error));
    EXPECT_TRUE(error.starts_with("camera.video: " + broken.camera.video + ": ")) << error;
    EXPECT_EQ(os::detail::CurrentPictureSource(), pictures);
    EXPECT_EQ(os::detail::CurrentSoundSource(), sound);
    EXPECT_EQ(os::sim::CurrentMediaFaults().encoderTimeoutAtFrame, 300);

    // The still: its bytes reach the camera as they are; a bad one changes nothing.
    EXPECT_EQ(os::detail::CurrentStillPicture(), nullptr);
    static const char kJfif[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";
    const std::string jpeg(kJfif, sizeof kJfif - 1);
    std::ofstream(folder / "still.jpg", std::ios::binary) << jpeg;
    sim::DeviceProfile withStill;
    withStill.camera.still = folder / "still.jpg";
    ASSERT_TRUE(sim::ConnectCamera(withStill, &error)) << error;
    const auto still = os::detail::CurrentStillPicture();
    ASSERT_NE(still, nullptr);
    EXPECT_EQ(std::string(still->begin(), still->end()), jpeg);
    sim::DeviceProfile brokenStill;
    brokenStill.camera.still = folder / "gone.jpg";
    EXPECT_FALSE(sim::ConnectCamera(brokenStill, &error));
    EXPECT_TRUE(error.starts_with("camera.still: " + brokenStill.camera.still + ": ")) << error;
    EXPECT_EQ(os::detail::CurrentStillPicture(), still);
    ASSERT_TRUE(sim::ConnectCamera(profile, &error)) << error;
    EXPECT_EQ(os::detail::CurrentStillPicture(), nullptr) << "a profile without a still takes the camera's own";

    const char* clip = "video/opencv-doc-tree.avi";
    if (!testing_support::SharedDataPresent(clip)) {
        std::printf("shared test data absent, video file not connected: %s\n", clip);
        return;
    }
    sim::DeviceProfile playing;
    playing.camera.video = testing_support::SharedDataPath(clip);
    ASSERT_TRUE(sim::ConnectCamera(playing, &error)) << error;
    EXPECT_EQ(dynamic_cast<sim::RoadScene*>(os::detail::CurrentPictureSource().get()), nullptr);
    EXPECT_EQ(os::sim::CurrentMediaFaults().cameraOpenError, 0);
    EXPECT_FALSE(os::sim::CurrentMediaFaults().encoderOpenFails);
}

TEST_F(CameraConnection, ScenarioEventsStallTheStreamsAndTimeOutOneEncode)
{
    sim::Scenario s;
    std::string error;
    ASSERT_TRUE(sim::ParseScenario(R"({"events": [
        {"at": 0, "do": "camera_stall", "duration": "1500ms"},
        {"at": 0, "do": "mic_stall", "duration": "2s"},
        {"at": 0, "do": "encoder_timeout"},
        {"at": 0, "do": "mic_stall", "duration": "2562047788h"}
    ]})", "s.json", &s, &error)) << error;
    const std::int64_t before = static_cast<std::int64_t>(os::DeviceTimeUs());
    sim::PerformScenarioEvent(s.events[0]);
    sim::PerformScenarioEvent(s.events[1]);
    const std::int64_t after = static_cast<std::int64_t>(os::DeviceTimeUs());
    EXPECT_GE(os::detail::CameraStalledUntilUs(), before + 1'500'000);
    EXPECT_LE(os::detail::CameraStalledUntilUs(), after + 1'500'000);
    EXPECT_GE(os::detail::MicrophoneStalledUntilUs(), before + 2'000'000);
    EXPECT_LE(os::detail::MicrophoneStalledUntilUs(), after + 2'000'000);

    EXPECT_FALSE(os::detail::EncodeTimesOut(41));
    sim::PerformScenarioEvent(s.events[2]);
    EXPECT_TRUE(os::detail::EncodeTimesOut(41)) << "the next encode, whatever its number";
    EXPECT_FALSE(os::detail::EncodeTimesOut(42)) << "only the one";

    // A stall longer than the device clock can count stays a stall far in the future.
    sim::PerformScenarioEvent(s.events[3]);
    EXPECT_GT(os::detail::MicrophoneStalledUntilUs(), after + 1'000'000'000'000ll);
}

TEST(CameraLaunch, AVideoThatCannotBeUsedStopsTheRunAndStallsRunToTheEnd)
{
    using testing_support::RunProgram;
    testing_support::TempFolder folder;
    std::ofstream(folder / "notes.txt") << "not a video\n";
    std::ofstream(folder / "profile.json") << R"({"camera": {"video": "notes.txt"}})";
    const auto refused = RunProgram({"--root", folder / "device", "--clock", "virtual", "--for", "10s", "--profile",
                                     folder / "profile.json"},
                                    folder, "refused");
    EXPECT_EQ(refused.exitCode, 1) << refused.out;
    EXPECT_NE(refused.err.find("camera.video: " + folder / "notes.txt" + ": "), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out.find("ran "), std::string::npos) << "nothing runs: " << refused.out;

    std::ofstream(folder / "profile.json") << R"({"camera": {"openError": "0x80070037", "encoder": {"timeoutAtFrame": 3}}})";
    std::ofstream(folder / "scenario.json") << R"({"events": [
        {"at": "2s", "do": "camera_stall", "duration": "1500ms"},
        {"at": "3s", "do": "mic_stall", "duration": 2},
        {"at": "4s", "do": "encoder_timeout"},
        {"at": "8s", "do": "end"}
    ]})";
    const auto ran = RunProgram({"--root", folder / "device", "--clock", "virtual", "--profile", folder / "profile.json",
                                 "--scenario", folder / "scenario.json"},
                                folder, "ran");
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
}

}  // namespace

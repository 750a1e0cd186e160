// The kestrava program as a user runs it: options, a whole virtual run, and
// a second process that reaches the first.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/winmain.h"
#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/ipc/internal/ipc_protocol.h"
#include "platform/ipc/ipc.h"
#include "platform/registry/registry_sim.h"
#include "platform/windows/window.h"
#include "sim/gps_setup.h"
#include "sim/launcher.h"
#include "sim/scenario_runner.h"
#include "tests/support/ipc_peer.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_runner.h"
#include "tests/support/sanitized.h"

namespace {

using testing_support::ProgramRun;
using testing_support::RunProgram;
using testing_support::TempFolder;

TEST(Launcher, BadOptionsGiveTheUsageAndExitCode2)
{
    TempFolder folder;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--bogus"},
                                                 std::vector<std::string>{"--clock", "sometimes"},
                                                 std::vector<std::string>{"--for", "ten minutes"}}) {
        const ProgramRun run = RunProgram(args, folder);
        EXPECT_EQ(run.exitCode, 2) << args[0];
        EXPECT_NE(run.err.find("Usage: kestrava"), std::string::npos) << run.err;
    }
    const ProgramRun version = RunProgram({"--version"}, folder);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "kestrava 1.1.0\n");
}

TEST(Launcher, ABadProfileIsNamedAndNothingRuns)
{
    TempFolder folder;
    {
        std::ofstream(folder / "bad.json") << "{\n  \"screen\": {\"width\": 800,}\n}\n";
    }
    const ProgramRun run = RunProgram({"--root", folder / "device", "--profile", folder / "bad.json"}, folder);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("bad.json: line 2"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "device"));
}

TEST(Launcher, AVirtualRunRepeatsItsTraceAndLeavesTheSettingsKey)
{
    TempFolder folder;
    {
        // The recordings' folders and names follow the device's clock: it starts at a fixed time.
        std::string profile = testing_support::ReadWholeFile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/default.json");
        profile.insert(profile.find('{') + 1, "\n  \"startTime\": \"2009-03-03T08:59:30\",");
        std::ofstream(folder / "profile.json") << profile;
        std::ofstream(folder / "scenario.json") << R"({"events": [
            {"at": "5s", "do": "tap", "x": 300, "y": 200},
            {"at": "35s", "do": "call_start"},
            {"at": "45s", "do": "call_end"},
            {"at": "50s", "do": "post", "msg": "WM_RECORDER_GPS_PORT_CLOSE", "window": "NoSuchWindow"},
            {"at": "90s", "do": "power_info", "ac": false, "percent": 40}
        ]})";
    }
    std::string traces[2];
    for (int i = 0; i < 2; ++i) {
        const std::string root = folder / ("device" + std::to_string(i));
        const std::string trace = folder / ("trace" + std::to_string(i));
        const ProgramRun run = RunProgram({"--root", root, "--clock", "virtual", "--for", "100s", "--scenario",
                                           folder / "scenario.json", "--profile", folder / "profile.json", "--trace",
                                           trace},
                                          folder);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("ran 00:01:40"), std::string::npos) << run.out;
        traces[i] = testing_support::ReadWholeFile(trace);
        const std::string registry = testing_support::ReadWholeFile(root + "/registry.json");
        EXPECT_NE(registry.find("\"HKEY_CURRENT_USER\\\\Software\\\\Holmbrek\\\\Ardvane\""), std::string::npos);
        EXPECT_NE(registry.find("\"Call Start Time\": {\"binary\": \"0000000000000000\"}"), std::string::npos);
    }
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_NE(traces[0].find("00:00:50.000 [os] scenario event 3: no window to take message 10436"), std::string::npos)
        << traces[0];
    EXPECT_NE(traces[0].find("00:01:40.000 WM_CLOSE Msg Send by Kestrava 4"), std::string::npos) << traces[0];
    EXPECT_NE(traces[0].find("End OnDestroyProc"), std::string::npos) << traces[0];
}

// One drive a test, so that the drives run side by side.
class ExampleDrive : public testing::TestWithParam<const char*> {};

// How the program takes each drive is the recorder's business (it ends by
// itself when the card is pulled); the drive must only play out cleanly.
TEST_P(ExampleDrive, RunsToItsEndInVirtualTime)
{
    TempFolder folder;
    const std::string source = KESTRAVA_SOURCE_DIR;
    const std::string name = GetParam();
    const std::string trace = folder / (name + ".trace");
    std::vector<std::string> args = {"--root", folder / name, "--clock", "virtual", "--scenario",
                                     source + "/sim/scenarios/" + name + ".json", "--trace", trace};
    // The two-hour loop drive takes about a minute of wall time to its end
    // (the loop recording test drives it): its first minute on the card it
    // is made for shows that it loads and plays.
    if (name == "loop_drive") {
        args.insert(args.end(), {"--for", "0:01:00", "--profile", source + "/sim/profiles/small_card.json"});
    }
    // Under the sanitizers the continuous drive ends after its two stalls
    // (at 3 and 5 minutes): the rest is the same splits again.
    const bool shortened = testing_support::kSanitized && name == "continuous_drive";
    if (shortened) args.insert(args.end(), {"--for", "0:05:30"});
    const ProgramRun run = RunProgram(args, folder, name);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("kestrava: ran "), std::string::npos) << run.out;
    if (name == "loop_drive") {
        EXPECT_NE(run.out.find("ran 00:01:00"), std::string::npos) << run.out;
    }
    if (shortened) {
        EXPECT_NE(run.out.find("ran 00:05:30"), std::string::npos) << run.out;
    }
    const std::string said = run.out + run.err + testing_support::ReadWholeFile(trace);
    EXPECT_EQ(said.find("virtual clock stalled"), std::string::npos) << run.err;
    EXPECT_EQ(said.find("refused"), std::string::npos) << "every event did what it says";
}

INSTANTIATE_TEST_SUITE_P(Launcher, ExampleDrive,
                         testing::Values("continuous_drive", "event_only_drive", "card_pulled", "card_fills",
                                         "loop_drive"));

class OtherProcess : public testing_support::RealTimePlatformTest {};

os::LRESULT KeepProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(OtherProcess, PostReachesTheRunningInstanceAndFailsClearlyWithoutOne)
{
    TempFolder folder;
    const ProgramRun none = RunProgram({"--root", folder.Path(), "--post", "10436"}, folder);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no running instance"), std::string::npos) << none.err;

    os::sim::SetIpcRoot(folder.Path());
    os::sim::SetIpcAcceptedMessages({10539});
    std::string error;
    ASSERT_TRUE(os::sim::StartIpcListener(&error)) << error;
    os::WNDCLASSW wc;
    wc.lpfnWndProc = KeepProc;
    wc.lpszClassName = "KestravaRecorder";
    os::RegisterClassW(&wc);
    os::HWND main = os::CreateWindowExW(0, "KestravaRecorder", "Ardvane", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                        nullptr);
    const ProgramRun refused = RunProgram({"--root", folder.Path(), "--post", "10437"}, folder, "refused");
    // Peers that connect and say nothing hold up nobody else...
    const std::string socket = testing_support::PublishedSocket(folder.Path(), ::getpid());
    std::vector<int> idle;
    for (int i = 0; i < os::detail::kIpcMaxPeers - 1; ++i) idle.push_back(testing_support::Connect(socket));
    const ProgramRun post = RunProgram({"--root", folder.Path(), "--post", "10539", "1", "-5"}, folder);
    // ...until they take every place: then the instance is busy, and says so.
    idle.push_back(testing_support::Connect(socket));
    const ProgramRun busy = RunProgram({"--root", folder.Path(), "--post", "10539", "1", "-6"}, folder, "busy");
    // A launch that cannot tell whether the busy instance is the recorder
    // starts no second one and leaves the device's settings alone.
    const ProgramRun second =
        RunProgram({"--root", folder.Path(), "--clock", "virtual", "--for", "1m"}, folder, "second");
    for (const int fd : idle) ::close(fd);
    const std::string registry = testing_support::ReadWholeFile(folder / "registry.json");
    EXPECT_EQ(registry.find("AutoOrientation"), std::string::npos) << registry;
    EXPECT_EQ(second.out.find("ran 00:01:00"), std::string::npos) << second.out;
    os::sim::StopIpcListener();
    EXPECT_EQ(post.exitCode, 0) << post.err;
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("refuses message 10437"), std::string::npos) << refused.err;
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_NE(busy.err.find("busy"), std::string::npos) << busy.err;
    os::MSG msg;
    ASSERT_TRUE(os::PeekMessageW(&msg, main, 0, 0, os::PM_REMOVE));
    EXPECT_EQ(msg.message, 10539u);
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_EQ(msg.lParam, -5);
    EXPECT_FALSE(os::PeekMessageW(&msg, main, 0, 0, os::PM_REMOVE)) << "only the first post got through";
}

// Messages whose parameters are pointers or handles in the window layer, as
// `--post` sends them to a running program: each is refused with an error at
// the sender, and the program runs on untouched until it is told to end.
TEST_F(OtherProcess, MessagesCarryingPointersLeaveTheRunningInstanceUntouched)
{
    TempFolder folder;
    const std::string root = folder / "device";
    const pid_t first = testing_support::StartProgram(
        {"--root", root, "--for", "60s", "--trace", folder / "first.trace"}, folder, "first");
    ASSERT_GT(first, 0);
    os::sim::SetIpcRoot(root);
    os::HWND window = nullptr;
    for (int i = 0; i < 200 && window == nullptr; ++i) {
        window = os::FindWindowW(nullptr, "Ardvane");
        if (window == nullptr) os::Sleep(50);
    }
    ASSERT_NE(window, nullptr);
    const char* withPointers[] = {"1" /* WM_CREATE */,       "6" /* WM_ACTIVATE */,  "12" /* WM_SETTEXT */,
                                  "13" /* WM_GETTEXT */,     "26" /* WM_SETTINGCHANGE */, "74" /* WM_COPYDATA */,
                                  "78" /* WM_NOTIFY */,      "83" /* WM_HELP */,     "129" /* WM_NCCREATE */,
                                  "272" /* WM_INITDIALOG */, "275" /* WM_TIMER */,   "537" /* WM_DEVICECHANGE */,
                                  "10338",                   "10435"};
    for (const char* msg : withPointers) {
        const ProgramRun run = RunProgram({"--root", root, "--post", msg, "4096", "4096"}, folder, "post");
        EXPECT_EQ(run.exitCode, 1) << msg;
        EXPECT_NE(run.err.find(std::string("refuses message ") + msg), std::string::npos) << run.err;
    }
    const ProgramRun exit = RunProgram({"--root", root, "--post", "WM_COMMAND", "IDM_BUTTON", "7"}, folder, "exit");
    EXPECT_EQ(exit.exitCode, 0) << exit.err;
    const ProgramRun run = testing_support::FinishProgram(first, folder, "first");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string trace = testing_support::ReadWholeFile(folder / "first.trace");
    EXPECT_NE(trace.find("ipc: refused what another process asks: POST"), std::string::npos) << trace;
    EXPECT_NE(trace.find("End OnDestroyProc"), std::string::npos) << trace;
}

TEST_F(OtherProcess, ASecondProcessFindsTheFirstAndSendsToIt)
{
    TempFolder folder;
    // The first instance runs long enough in real time to be found.
    const pid_t first = testing_support::StartProgram({"--root", folder.Path(), "--for", "60s"}, folder, "first");
    ASSERT_GT(first, 0);
    os::sim::SetIpcRoot(folder.Path());
    os::HWND remote = nullptr;
    for (int i = 0; i < 100 && remote == nullptr; ++i) {
        remote = os::FindWindowW(nullptr, "Ardvane");
        if (remote == nullptr) os::Sleep(50);
    }
    ASSERT_NE(remote, nullptr);
    EXPECT_TRUE(os::IsWindow(remote));
    // The exit button, sent: the first instance handles it and ends.
    EXPECT_EQ(os::SendMessageW(remote, os::WM_COMMAND, 40007, 7), 0);
    const ProgramRun run = testing_support::FinishProgram(first, folder, "first");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("ran 00:01:00"), std::string::npos) << "ended by the sent exit, not by --for";
}

TEST_F(OtherProcess, ASecondLaunchActivatesTheFirstInstanceAndExitsWithoutAWindow)
{
    TempFolder folder;
    const std::string root = folder / "device";
    const pid_t first = testing_support::StartProgram({"--root", root, "--for", "60s", "--trace", folder / "first.trace"},
                                                      folder, "first");
    ASSERT_GT(first, 0);
    // Wait until the first instance has published its window.
    os::sim::SetIpcRoot(root);
    os::HWND first_window = nullptr;
    for (int i = 0; i < 200 && first_window == nullptr; ++i) {
        first_window = os::FindWindowW(nullptr, "Ardvane");
        if (first_window == nullptr) os::Sleep(50);
    }
    ASSERT_NE(first_window, nullptr);
    const ProgramRun second =
        RunProgram({"--root", root, "--clock", "virtual", "--trace", folder / "second.trace"}, folder, "second");
    EXPECT_EQ(second.exitCode, 0) << second.err;
    const std::string secondTrace = testing_support::ReadWholeFile(folder / "second.trace");
    EXPECT_NE(secondTrace.find("---->end kestrava program"), std::string::npos) << secondTrace;
    EXPECT_EQ(secondTrace.find("CMD_Init"), std::string::npos) << secondTrace;

    const ProgramRun exit = RunProgram({"--root", root, "--post", "WM_COMMAND", "IDM_BUTTON", "7"}, folder, "exit");
    EXPECT_EQ(exit.exitCode, 0) << exit.err;
    const ProgramRun run = testing_support::FinishProgram(first, folder, "first");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string firstTrace = testing_support::ReadWholeFile(folder / "first.trace");
    EXPECT_NE(firstTrace.find("ipc: another process asks: SEND"), std::string::npos) << firstTrace;
    EXPECT_NE(firstTrace.find(" 10523 1 0"), std::string::npos) << firstTrace;
    EXPECT_NE(firstTrace.find("End OnDestroyProc"), std::string::npos) << firstTrace;
}

// A second launch on the root of a running instance changes none of its
// settings, though its own profile says otherwise.
TEST_F(OtherProcess, ASecondLaunchLeavesTheRunningInstancesSettings)
{
    TempFolder folder;
    const std::string root = folder / "device";
    std::ofstream(folder / "other.json") << "{\n  \"autoOrientation\": 0\n}\n";
    const pid_t first = testing_support::StartProgram({"--root", root, "--for", "60s"}, folder, "first");
    ASSERT_GT(first, 0);
    os::sim::SetIpcRoot(root);
    os::HWND firstWindow = nullptr;
    for (int i = 0; i < 200 && firstWindow == nullptr; ++i) {
        firstWindow = os::FindWindowW(nullptr, "Ardvane");
        if (firstWindow == nullptr) os::Sleep(50);
    }
    ASSERT_NE(firstWindow, nullptr);
    const std::string setting = "\"AutoOrientation\": {\"dword\": 1}";
    ASSERT_NE(testing_support::ReadWholeFile(root + "/registry.json").find(setting), std::string::npos);
    const ProgramRun second =
        RunProgram({"--root", root, "--clock", "virtual", "--profile", folder / "other.json"}, folder, "second");
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(testing_support::ReadWholeFile(root + "/registry.json").find(setting), std::string::npos);

    const ProgramRun exit = RunProgram({"--root", root, "--post", "WM_COMMAND", "IDM_BUTTON", "7"}, folder, "exit");
    EXPECT_EQ(exit.exitCode, 0) << exit.err;
    const ProgramRun run = testing_support::FinishProgram(first, folder, "first");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(testing_support::ReadWholeFile(root + "/registry.json").find(setting), std::string::npos);
}

}  // namespace

namespace {

TEST(Launcher, ForSetsTheLengthOfARunWithoutAScenario)
{
    testing_support::TempFolder folder;
    const testing_support::ProgramRun run =
        testing_support::RunProgram({"--root", folder / "device", "--clock", "virtual", "--for", "3m"}, folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ran 00:03:00"), std::string::npos) << "not cut short by the built-in minute: " << run.out;
    // On the real clock a run can be shorter than the program's start: its end
    // comes before the main window does, and must still end it.
    const testing_support::ProgramRun quick =
        testing_support::RunProgram({"--root", folder / "quick", "--for", "1ms"}, folder, "quick");
    ASSERT_EQ(quick.exitCode, 0) << quick.err;
    EXPECT_NE(quick.out.find("ended at the end of the run"), std::string::npos) << quick.out;
}

}  // namespace

namespace {

using testing_support::ProgramRun;
using testing_support::RunProgram;
using testing_support::TempFolder;

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The program finds its resource libraries in its own folder: a copy of the
// executable alone in a folder has none.
std::string ProgramCopyWithoutResources(const TempFolder& folder)
{
    const std::string copy = folder / "bare/kestrava";
    std::filesystem::create_directories(folder / "bare");
    std::error_code linked;
    std::filesystem::create_hard_link(testing_support::ProgramPath(), copy, linked);
    if (linked) std::filesystem::copy_file(testing_support::ProgramPath(), copy);
    return copy;
}

TEST(Launcher, AMissingLanguageLibraryFallsBackAndNoLibraryEndsTheRunSayingWhy)
{
    TempFolder folder;
    const std::string root = folder / "device";
    std::filesystem::create_directories(root);
    std::ofstream(root + "/registry.json")
        << "{\n  \"HKEY_CURRENT_USER\\\\Software\\\\Holmbrek\\\\Ardvane\": {\n"
           "    \"Langauge\": {\"sz\": \"Klingon\"}\n  }\n}\n";
    const ProgramRun fallback =
        RunProgram({"--root", root, "--clock", "virtual", "--for", "30s", "--trace", folder / "fallback.trace"}, folder);
    EXPECT_EQ(fallback.exitCode, 0) << fallback.err;
    EXPECT_NE(fallback.out.find("ran 00:00:30"), std::string::npos) << fallback.out;
    EXPECT_NE(fallback.out.find("end of the run"), std::string::npos) << fallback.out;
    const std::string trace = testing_support::ReadWholeFile(folder / "fallback.trace");
    EXPECT_NE(trace.find("kestrava-res-Klingon.dll"), std::string::npos) << "the failed load is traced";
    EXPECT_EQ(trace.find("re-install program"), std::string::npos) << trace;

    const ProgramRun none = RunProgram({"--root", folder / "device2", "--clock", "virtual", "--for", "30s"}, folder,
                                       "none", ProgramCopyWithoutResources(folder));
    EXPECT_NE(none.exitCode, 0) << none.out;
    EXPECT_NE(none.out.find("ran 00:00:00"), std::string::npos) << none.out;
    EXPECT_NE(none.out.find("ended by itself"), std::string::npos) << none.out;
    EXPECT_NE(none.out.find("re-install program"), std::string::npos) << "the reinstall box is the reason: " << none.out;
}

TEST(Launcher, AReplayThatIsNotARegularFileIsRefusedBeforeTheRun)
{
    TempFolder folder;
    const std::string fifo = folder / "receiver.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(folder / "logs");
    for (const std::string& replay : {std::string("/dev/null"), fifo, folder / "logs"}) {
        std::ofstream(folder / "profile.json") << "{\"gps\": {\"replay\": \"" << replay << "\"}}";
        const ProgramRun run = RunProgram({"--root", folder / "device", "--clock", "virtual", "--for", "10s",
                                           "--profile", folder / "profile.json"},
                                          folder);
        EXPECT_EQ(run.exitCode, 1) << replay << ": " << run.out;
        EXPECT_NE(run.err.find("gps.replay: " + replay + ": not a regular file"), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("ran "), std::string::npos) << "nothing runs: " << run.out;
    }
}

TEST(Launcher, HostFailuresAreSaidOnceOnStandardErrorAndInTheSummary)
{
    TempFolder folder;
    // A trace file on a full device: every line is refused.
    const ProgramRun trace =
        RunProgram({"--root", folder / "device", "--clock", "virtual", "--for", "20s", "--trace", "/dev/full"}, folder);
    EXPECT_EQ(trace.exitCode, 1) << trace.err;
    const std::string traceProblem = "cannot write the trace file /dev/full: " + std::string(std::strerror(ENOSPC));
    EXPECT_EQ(Occurrences(trace.err, traceProblem), 1u) << trace.err;
    EXPECT_NE(trace.out.find("host problem: " + traceProblem), std::string::npos) << trace.out;

    // A host disk that takes the registry file as it is at start-up, but
    // not the phone's call start time that the scenario adds to it.
    const ProgramRun plain = RunProgram({"--root", folder / "plain", "--clock", "virtual", "--for", "20s"}, folder);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const auto startupBytes = std::filesystem::file_size(folder / "plain/registry.json");
    std::ofstream(folder / "calls.json")
        << R"({"events": [{"at": "2s", "do": "call_start"}, {"at": "4s", "do": "call_end"},
                          {"at": "6s", "do": "call_start"}]})";
    const ProgramRun full = testing_support::RunProgramWithFileLimit(
        {"--root", folder / "full", "--clock", "virtual", "--for", "20s", "--scenario", folder / "calls.json"},
        startupBytes);
    EXPECT_EQ(full.exitCode, 1) << full.err;
    EXPECT_EQ(Occurrences(full.err, "settings not saved"), 1u) << full.err;
    EXPECT_NE(full.err.find(std::strerror(EFBIG)), std::string::npos) << full.err;
    EXPECT_NE(full.out.find("ran 00:00:20"), std::string::npos) << "the run goes on: " << full.out;
    EXPECT_NE(full.out.find("host problem: settings not saved"), std::string::npos) << full.out;
}

TEST(Launcher, HostErrorsCarryTheSystemsReason)
{
    TempFolder folder;
    std::ofstream(folder / "plain") << "x";
    // A trace FIFO that nobody reads: said at once, not a start-up that hangs.
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const std::string longName(300, 'n');
    const std::string notDir = std::strerror(ENOTDIR);
    const std::string tooLong = std::strerror(ENAMETOOLONG);
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    };
    const Case cases[] = {
        {{"--root", folder / "plain/device"}, notDir},
        {{"--root", folder / longName}, tooLong},
        {{"--root", folder / "device", "--trace", folder / "plain/trace"}, notDir},
        {{"--root", folder / "device", "--trace", folder / longName}, tooLong},
        {{"--root", folder / "device", "--trace", folder / "fifo"}, std::strerror(ENXIO)},
        {{"--root", folder / "device", "--profile", folder / "plain/p.json"}, notDir},
        {{"--root", folder / "device", "--scenario", folder / longName}, tooLong},
        {{"--root", folder / "device", "--sound-log", folder / "plain/sounds.wav"}, notDir},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (const char* a : {"--clock", "virtual", "--for", "1s"}) args.push_back(a);
        const ProgramRun run = RunProgram(args, folder);
        EXPECT_EQ(run.exitCode, 1) << c.args[1];
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
    // A volume's own host folder, from the profile.
    std::ofstream(folder / "profile.json")
        << "{\"volumes\": [{\"name\": \"Card\", \"capacity\": \"1GB\", \"hostFolder\": \"" << folder / "plain/card"
        << "\"}]}";
    const ProgramRun volume = RunProgram(
        {"--root", folder / "device", "--profile", folder / "profile.json", "--clock", "virtual", "--for", "1s"}, folder);
    EXPECT_EQ(volume.exitCode, 1);
    EXPECT_NE(volume.err.find(notDir), std::string::npos) << volume.err;
    // A file to lay onto the card whose folder is a host file: named as on the device, with the reason.
    std::filesystem::create_directories(folder / "card");
    std::ofstream(folder / "card/Ardvane") << "x";
    std::ofstream(folder / "profile.json")
        << "{\"volumes\": [{\"name\": \"Card\", \"capacity\": \"1GB\", \"hostFolder\": \"" << folder / "card"
        << "\", \"files\": [{\"path\": \"Ardvane/x.avi\", \"size\": \"1MB\"}]}]}";
    const ProgramRun layout = RunProgram(
        {"--root", folder / "device", "--profile", folder / "profile.json", "--clock", "virtual", "--for", "1s"}, folder);
    EXPECT_EQ(layout.exitCode, 1);
    EXPECT_NE(layout.err.find("\\Card\\Ardvane\\x.avi"), std::string::npos) << layout.err;
    EXPECT_NE(layout.err.find(notDir), std::string::npos) << layout.err;
    EXPECT_EQ(layout.out.find("ran "), std::string::npos) << "nothing runs: " << layout.out;
}

}  // namespace

namespace {

using testing_support::TempFolder;

// The launcher's own setup of the phone, in this process, so that the cards
// can be looked at from the device side before the program starts and after
// it ran.
class LaidOutCard : public testing_support::PlatformTest {
protected:
    void TearDown() override
    {
        sim::DisconnectGps();
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }
};

struct Expected {
    std::string path;  // on the device
    std::uint64_t size;
    os::DWORD attributes;
};

std::uint64_t DeviceSize(const std::string& path)
{
    os::WIN32_FIND_DATAW data;
    const os::HANDLE find = os::FindFirstFileW(path.c_str(), &data);
    if (find == os::INVALID_HANDLE_VALUE) return UINT64_MAX;
    os::FindClose(find);
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::string> DeviceListing(const std::string& pattern)
{
    std::vector<std::string> names;
    os::WIN32_FIND_DATAW data;
    const os::HANDLE find = os::FindFirstFileW(pattern.c_str(), &data);
    if (find == os::INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(data.cFileName);
    } while (os::FindNextFileW(find, &data));
    os::FindClose(find);
    return names;
}

std::uint64_t FreeBytes(const std::string& volume)
{
    os::ULONGLONG free = 0;
    return os::GetDiskFreeSpaceExW(volume.c_str(), nullptr, nullptr, &free) ? free : UINT64_MAX;
}

void ExpectOnTheDevice(const std::vector<Expected>& files, const std::string& when)
{
    for (const Expected& f : files) {
        EXPECT_EQ(os::GetFileAttributesW(f.path.c_str()), f.attributes) << f.path << " " << when;
        EXPECT_EQ(DeviceSize(f.path), f.size) << f.path << " " << when;
    }
}

TEST_F(LaidOutCard, TheProfilesFilesAreOnTheCardsWithTheirSizesAndAttributesAndTakeTheirSpace)
{
    TempFolder folder;
    const std::string card = folder / "card";
    // An earlier run left a read-only file of that name (in another case) with real bytes: it is replaced.
    std::filesystem::create_directories(card + "/ARDVANE/20090301/080000");
    const std::string left = card + "/ARDVANE/20090301/080000/080100_20090301.AVI";
    std::ofstream(left) << std::string(5000, 'x');
    ASSERT_EQ(::chmod(left.c_str(), 0444), 0);
    const std::string text = R"({"volumes": [
        {"name": "Storage Card", "capacity": "2GB", "hostFolder": ")" + card + R"(", "files": [
            {"path": "Ardvane\\20090301\\080000\\080000_20090301.avi", "size": "30MB", "readOnly": true},
            {"path": "Ardvane/20090301/080000/080030_20090301.avi", "size": 1048576, "system": true},
            {"path": "Ardvane\\20090301\\080000\\080100_20090301.avi", "size": 0},
            {"path": "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\deep.bin", "size": "4KB", "readOnly": false, "system": false}
        ]},
        {"name": "Internal", "capacity": "16MB", "mounted": false, "files": [
            {"path": "log\\x.bin", "size": "3MB", "readOnly": true, "system": true}
        ]}
    ]})";
    sim::DeviceProfile profile;
    std::string error;
    ASSERT_TRUE(sim::ParseProfile(text, "card.json", &profile, &error)) << error;
    const std::string dated = "\\Storage Card\\ARDVANE\\20090301\\080000\\";
    const std::vector<Expected> files = {
        {dated + "080000_20090301.avi", 30 * sim::kMegabyte, os::FILE_ATTRIBUTE_READONLY},
        {dated + "080030_20090301.avi", sim::kMegabyte, os::FILE_ATTRIBUTE_SYSTEM},
        {dated + "080100_20090301.avi", 0, os::FILE_ATTRIBUTE_NORMAL},
        {"\\Storage Card\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\deep.bin", 4096, os::FILE_ATTRIBUTE_NORMAL},
    };
    const std::uint64_t laidOut = 31 * sim::kMegabyte + 4096;

    ASSERT_TRUE(sim::PreparePhone(profile, folder / "device", &error)) << error;
    ExpectOnTheDevice(files, "before the run");
    EXPECT_EQ(DeviceListing(dated + "*"),
              (std::vector<std::string>{"080000_20090301.avi", "080030_20090301.avi", "080100_20090301.avi"}))
        << "the earlier file is replaced under the profile's name, not kept beside it";
    EXPECT_EQ(FreeBytes("\\Storage Card"), 2 * sim::kGigabyte - laidOut);
    const os::HANDLE writer = os::CreateFileW((dated + "080000_20090301.avi").c_str(), os::GENERIC_WRITE, 0, nullptr,
                                              os::OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, os::INVALID_HANDLE_VALUE) << "a read-only file refuses writing as the program's own do";
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_ACCESS_DENIED));
    struct stat host {};
    ASSERT_EQ(::stat((card + "/ARDVANE/20090301/080000/080000_20090301.avi").c_str(), &host), 0);
    EXPECT_EQ(host.st_size, static_cast<off_t>(30 * sim::kMegabyte));
    EXPECT_LT(host.st_blocks * 512, 1024 * 1024) << "sparse: no data written";
    EXPECT_EQ(os::GetFileAttributesW("\\Internal"), os::INVALID_FILE_ATTRIBUTES) << "not mounted yet";

    sim::Scenario scenario;
    sim::ScenarioEvent end;
    end.atMs = 2000;
    end.kind = sim::EventKind::End;
    end.msg = os::WM_COMMAND;
    end.wParam = 40007;
    end.lParam = 7;
    scenario.events.push_back(end);
    ASSERT_TRUE(sim::StartScenarioRunner(scenario, std::nullopt));
    WinMain(nullptr, "", 1);
    sim::StopScenarioRunner();

    ExpectOnTheDevice(files, "after the run");
    // The running count kept every write of the program on top of the laid-out files.
    std::uint64_t recorded = 0;
    for (const std::string& written : os::sim::FilesWritten()) {
        if (written.rfind("\\Storage Card\\", 0) == 0) recorded += DeviceSize(written);
    }
    EXPECT_EQ(FreeBytes("\\Storage Card"), 2 * sim::kGigabyte - laidOut - recorded);

    // A volume without a host folder of its own, laid out while out: counted when it comes.
    ASSERT_TRUE(os::sim::MountVolume("Internal"));
    ExpectOnTheDevice({{"\\Internal\\log\\x.bin", 3 * sim::kMegabyte,
                        os::FILE_ATTRIBUTE_READONLY | os::FILE_ATTRIBUTE_SYSTEM}},
                      "after mounting");
    EXPECT_EQ(FreeBytes("\\Internal"), 13 * sim::kMegabyte);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "device/volumes/Internal/log/x.bin"));
}

}  // namespace

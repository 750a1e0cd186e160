// The kestrava program as a user runs it: options, a whole virtual run, and
// a second process that reaches the first.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/ipc/internal/ipc_protocol.h"
#include "platform/ipc/ipc.h"
#include "platform/windows/window.h"
#include "tests/support/ipc_peer.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_runner.h"

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
        std::ofstream(folder / "scenario.json") << R"({"events": [
            {"at": "5s", "do": "tap", "x": 300, "y": 200},
            {"at": "3m", "do": "call_start"},
            {"at": "4m", "do": "call_end"},
            {"at": "5m", "do": "post", "msg": "WM_RECORDER_GPS_PORT_CLOSE", "window": "NoSuchWindow"},
            {"at": "9m", "do": "power_info", "ac": false, "percent": 40}
        ]})";
    }
    std::string traces[2];
    for (int i = 0; i < 2; ++i) {
        const std::string root = folder / ("device" + std::to_string(i));
        const std::string trace = folder / ("trace" + std::to_string(i));
        const ProgramRun run = RunProgram({"--root", root, "--clock", "virtual", "--for", "10m", "--scenario",
                                           folder / "scenario.json", "--trace", trace},
                                          folder);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("ran 00:10:00"), std::string::npos) << run.out;
        traces[i] = testing_support::ReadWholeFile(trace);
        const std::string registry = testing_support::ReadWholeFile(root + "/registry.json");
        EXPECT_NE(registry.find("\"HKEY_CURRENT_USER\\\\Software\\\\Holmbrek\\\\Ardvane\""), std::string::npos);
        EXPECT_NE(registry.find("\"Call Start Time\": {\"binary\": \"0000000000000000\"}"), std::string::npos);
    }
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_NE(traces[0].find("00:05:00.000 [os] scenario event 3: no window to take message 10436"), std::string::npos)
        << traces[0];
    EXPECT_NE(traces[0].find("00:10:00.000 WM_CLOSE Msg Send by Kestrava 4"), std::string::npos) << traces[0];
    EXPECT_NE(traces[0].find("End OnDestroyProc"), std::string::npos) << traces[0];
}

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
    for (const int fd : idle) ::close(fd);
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
}

}  // namespace

// The whole program driven from outside: a scenario presses the recording
// screen's toolbar and keys, another process posts the messages other
// programs may send, and the back key ends the run.
#include <gtest/gtest.h>

#include <string>

#include "platform/ipc/ipc.h"
#include "platform/windows/window.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::ProgramRun;
using testing_support::ReadWholeFile;
using testing_support::RunProgram;
using testing_support::TempFolder;

class ToolbarScenario : public testing_support::RealTimePlatformTest {};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(ToolbarScenario, ButtonsKeysAndOtherProcessesReachTheRecorder)
{
    TempFolder folder;
    const std::string root = folder / "device";
    const std::string scenario = std::string(KESTRAVA_SOURCE_DIR) + "/sim/scenarios/toolbar.json";
    const pid_t first = testing_support::StartProgram(
        {"--root", root, "--scenario", scenario, "--for", "60s", "--trace", folder / "run.trace"}, folder, "first");
    ASSERT_GT(first, 0);
    os::sim::SetIpcRoot(root);
    os::HWND window = nullptr;
    for (int i = 0; i < 200 && window == nullptr; ++i) {
        window = os::FindWindowW(nullptr, "Ardvane");
        if (window == nullptr) os::Sleep(25);
    }
    ASSERT_NE(window, nullptr);
    for (const std::vector<std::string>& post :
         {std::vector<std::string>{"10436"}, {"10437"}, {"10539", "1", "0"}, {"10539", "0", "0"}}) {
        std::vector<std::string> args{"--root", root, "--post"};
        args.insert(args.end(), post.begin(), post.end());
        const ProgramRun run = RunProgram(args, folder, "post");
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    const ProgramRun run = testing_support::FinishProgram(first, folder, "first");
    EXPECT_EQ(run.exitCode, 0) << run.err;

    const std::string trace = ReadWholeFile(folder / "run.trace");
    for (const char* line : {"CMD_Run cmdMode=10", "CMD_Run cmdMode=12", "CMD_Run cmdMode=15", "CMD_Run cmdMode=14",
                             "CMD_Run cmdMode=6", "setting : res file name=kestrava-res-English.dll",
                             "WM_KEYUP : vkcode=0xd, lKyeData", "WM_CLOSE Msg Send by Kestrava 8", "End OnDestroyProc"}) {
        EXPECT_TRUE(Contains(trace, line)) << line << "\n" << trace;
    }
    for (const char* request : {" 10436 0 0", " 10437 0 0", " 10539 1 0", " 10539 0 0"}) {
        EXPECT_TRUE(Contains(trace, std::string("ipc: another process asks: POST")) && Contains(trace, request))
            << request;
    }
    EXPECT_FALSE(Contains(trace, "ran 00:01:00")) << "the back key ended it";
    // 10437 opens the serial reader again, as start-up did; this handset has no "COM1:".
    std::size_t opens = 0;
    for (std::size_t at = trace.find("SerialOpen(COM1:, 115200)"); at != std::string::npos;
         at = trace.find("SerialOpen(COM1:, 115200)", at + 1)) {
        ++opens;
    }
    EXPECT_EQ(opens, 2u) << trace;

    // The toggles flipped from their defaults and the levels went from 6 down once and up twice.
    const std::string registry = ReadWholeFile(root + "/registry.json");
    EXPECT_TRUE(Contains(registry, "\"EnablePlaySound\": {\"dword\": 0}")) << registry;
    EXPECT_TRUE(Contains(registry, "\"DisableRecordAudio\": {\"dword\": 1}")) << registry;
    EXPECT_TRUE(Contains(registry, "\"EventTagDetectLevelZ\": {\"dword\": 7}")) << registry;
}

}  // namespace

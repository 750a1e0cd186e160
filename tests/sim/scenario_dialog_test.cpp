#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/windows/dialog.h"
#include "platform/base/trace.h"
#include "res/resource_ids.h"
#include "sim/scenario.h"
#include "sim/scenario_runner.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_folder.h"

namespace {

namespace res = kestrava::res;

std::vector<os::UINT> g_commands;

os::INT_PTR EndOnOk(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM)
{
    if (msg != os::WM_COMMAND) return os::FALSE;
    g_commands.push_back(os::LOWORD(wParam));
    if (os::LOWORD(wParam) == os::IDOK) os::EndDialog(hwnd, os::IDOK);
    return os::TRUE;
}

class ScenarioDialogTest : public testing_support::PlatformTest {
protected:
    std::unique_ptr<testing_support::ProgramFolder> programFolder;
    void SetUp() override
    {
        PlatformTest::SetUp();
        programFolder = std::make_unique<testing_support::ProgramFolder>();  // the start forgot any earlier one
    }
};

TEST_F(ScenarioDialogTest, DialogCommandsGoToTheOpenDialogAndAreSkippedWithoutOne)
{
    sim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(sim::ParseScenario(R"({"events": [
        {"at": "1s", "do": "dialog_command", "id": 9},
        {"at": "2s", "do": "dialog_command", "id": "IDOK"},
        {"at": "3s", "do": "dialog_command", "id": "IDCANCEL"}
    ]})", "s.json", &scenario, &error)) << error;
    os::HINSTANCE english = os::LoadLibraryW(testing_support::ProgramFolder::LibraryPath("English").c_str());
    ASSERT_NE(english, nullptr);
    g_commands.clear();
    os::TraceCapture capture;

    ASSERT_TRUE(sim::StartScenarioRunner(scenario, std::nullopt));
    const os::INT_PTR result = os::DialogBoxParamW(english, res::IDD_ABOUT, nullptr, EndOnOk, 0);
    const os::DWORD endedAt = os::GetTickCount();
    os::Sleep(2000);
    sim::StopScenarioRunner();
    os::FreeLibrary(english);

    EXPECT_EQ(result, os::IDOK);
    EXPECT_EQ(endedAt, 2000u);
    EXPECT_EQ(g_commands, (std::vector<os::UINT>{res::IDC_HELP_BUTTON, static_cast<os::UINT>(os::IDOK)}));
    const auto lines = capture.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[os] scenario event 2: no dialog to take command 2"), lines.end());
}

}  // namespace

// Start-up and shutdown of the whole program on the simulated phone, in
// virtual time and in this process, so that the windows and the handset can
// be looked at after the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/winmain.h"
#include "platform/devices/display.h"
#include "platform/files/file_sim.h"
#include "platform/windows/message_box.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "sim/gps_setup.h"
#include "sim/launcher.h"
#include "sim/scenario_runner.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::TempFolder;

class StartupTest : public testing_support::PlatformTest {
protected:
    TempFolder folder;
    sim::DeviceProfile profile = sim::DefaultProfile();
    sim::Scenario scenario;
    os::TraceCapture capture;
    int exitCode = -1;

    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::ClearMessageBoxHistory();
    }

    void TearDown() override
    {
        sim::DisconnectGps();
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }

    void EndAt(std::int64_t ms, os::LPARAM closeParam = -1)
    {
        sim::ScenarioEvent e;
        e.atMs = ms;
        if (closeParam >= 0) {
            e.kind = sim::EventKind::PostMessage;
            e.msg = os::WM_CLOSE;
            e.lParam = closeParam;
        } else {
            e.kind = sim::EventKind::End;
            e.msg = os::WM_COMMAND;
            e.wParam = 40007;
            e.lParam = 7;
        }
        scenario.events.push_back(e);
    }

    void Run()
    {
        std::string error;
        ASSERT_TRUE(sim::PreparePhone(profile, folder.Path(), &error)) << error;
        ASSERT_TRUE(sim::StartScenarioRunner(scenario, std::nullopt));
        exitCode = WinMain(nullptr, "", 1);
        sim::StopScenarioRunner();
    }

    std::vector<std::string> Lines() const { return capture.ProgramLines(); }

    // True when `expected` appears in the trace in this order (other lines may lie between).
    bool InOrder(const std::vector<std::string>& expected) const
    {
        const auto lines = Lines();
        auto at = lines.begin();
        for (const std::string& e : expected) {
            at = std::find(at, lines.end(), e);
            if (at == lines.end()) return false;
            ++at;
        }
        return true;
    }

    bool Has(const std::string& line) const
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

const std::vector<std::string> kStartup{
    "---->start kestrava program", "CheckStorageCard : select disk name=Storage Card", "CreateDirectory",
    "CMD_Init", "LST_Init", "MOV_Init", "CMD_Run cmdMode=4", "InvalidateRect"};
const std::vector<std::string> kOrderlyShutdown{
    "CMD_Run cmdMode=7", "WM_CLOSE Msg Send by Kestrava 4", "Start OnDestroyProc", "MEMO_DeInit", "MOV_DeInit",
    "LST_DeInit", "CLoseMsqQueue", "CMD_Deinit", "SetWindowLong NULL", "End OnDestroyProc",
    "---->end kestrava program"};

TEST_F(StartupTest, PlainRunBringsModulesUpAndDownInOrder)
{
    EndAt(5000);
    Run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(InOrder(kStartup)) << testing::PrintToString(Lines());
    EXPECT_TRUE(InOrder(kOrderlyShutdown)) << testing::PrintToString(Lines());
    EXPECT_TRUE(Has("Exit PowerNotificationThread"));
    EXPECT_TRUE(Has("SerialOpen(COM1:, 115200): cannot open the port, error 123")) << testing::PrintToString(Lines());
    // The handset's receiver is read from the end of start-up to the destroy sequence.
    EXPECT_TRUE(InOrder({"InvalidateRect", "GpsInit", "Start OnDestroyProc", "GpsDeinit", "MEMO_DeInit"}))
        << testing::PrintToString(Lines());
    for (const auto& box : os::sim::MessageBoxHistory()) {
        EXPECT_NE(box.type & 0xFu, os::MB_YESNO) << "no question about GPS: " << box.text;
    }
    EXPECT_FALSE(os::IsWindow(g_hAccSmsCancelWindow));
    EXPECT_FALSE(os::IsWindow(g_hAlertWindow));
}

TEST_F(StartupTest, WithoutGpsTheUserMayStillRecord)
{
    profile.gps.reset();
    sim::ScenarioEvent no;
    no.kind = sim::EventKind::MessageBoxAnswer;
    no.answer = os::IDNO;
    // While capture cannot start, its error box comes first and takes one answer.
    scenario.events.push_back(no);
    scenario.events.push_back(no);
    EndAt(5000);
    Run();
    EXPECT_EQ(exitCode, 0);
    std::vector<os::sim::MessageBoxRecord> questions;
    for (const auto& box : os::sim::MessageBoxHistory()) {
        if ((box.type & 0xFu) == os::MB_YESNO) questions.push_back(box);
    }
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].caption, "Ardvane");
    EXPECT_EQ(questions[0].answer, os::IDNO);
    EXPECT_TRUE(InOrder({"GpsInit: no GPS", "GpsInit failed: recording without GPS", "CMD_Run cmdMode=7",
                         "GpsDeinit", "End OnDestroyProc"}))
        << testing::PrintToString(Lines());
}

TEST_F(StartupTest, PowerLossSkipsItsThreeTracesAndKeepsTheSmsPopup)
{
    EndAt(5000, 1911);
    Run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(InOrder({"GpsDeinit", "MOV_DeInit", "LST_DeInit", "CLoseMsqQueue", "CMD_Deinit",
                         "SetWindowLong NULL", "---->end kestrava program"}));
    EXPECT_FALSE(Has("Start OnDestroyProc"));
    EXPECT_FALSE(Has("MEMO_DeInit"));
    EXPECT_FALSE(Has("End OnDestroyProc"));
    EXPECT_TRUE(os::IsWindow(g_hAccSmsCancelWindow));
    EXPECT_FALSE(os::IsWindow(g_hAlertWindow));
}

TEST_F(StartupTest, WithoutACardTheProgramSaysSoAndClosesAfterInitialising)
{
    profile.volumes.clear();
    EndAt(60000);
    Run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(InOrder({"WM_CLOSE Msg Send by Kestrava 1", "CheckStorageCard : select disk name=", "CMD_Init",
                         "MOV_Init", "InvalidateRect", "Start OnDestroyProc", "End OnDestroyProc"}));
    EXPECT_FALSE(Has("CMD_Run cmdMode=7"));  // it closed itself long before the scenario's end
    const auto boxes = os::sim::MessageBoxHistory();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().caption, "Ardvane");
}

TEST_F(StartupTest, PortraitStartTurnsToLandscapeAndTheEndRestoresTheHandset)
{
    profile.rotation = sim::kRotation0;
    profile.autoOrientation = 1;
    EndAt(5000);
    Run();
    EXPECT_EQ(exitCode, 0);
    // Turned to 270 degrees at start; back to 0 at the end on the landscape screen.
    EXPECT_EQ(os::sim::CurrentOrientation(), os::DMDO_0);
    EXPECT_GE(os::sim::OrientationChangeCount(), 2);
    os::HKEY key = nullptr;
    os::DWORD autoOrientation = 7;
    ASSERT_EQ(os::RegOpenKeyExW(os::HKEY_CURRENT_USER, "\\ControlPanel\\MotionSensor", 0, 0, &key), os::ERROR_SUCCESS);
    os::RegQueryDword(key, "AutoOrientation", &autoOrientation);
    os::RegCloseKey(key);
    EXPECT_EQ(autoOrientation, 1u);
}

TEST_F(StartupTest, TheSghI900OpensNoSerialGpsReader)
{
    profile.model = "SGH-i900";
    EndAt(1000);
    Run();
    for (const std::string& line : Lines()) EXPECT_EQ(line.find("SerialOpen"), std::string::npos) << line;
}

TEST_F(StartupTest, LowMemoryShowsItsMessageAndRunsNoLoop)
{
    profile.freeMemoryBytes = 5 * 1024 * 1024;
    EndAt(1000);
    Run();
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(Has("CMD_Init"));  // the deferred initialisation needs the loop
    EXPECT_TRUE(InOrder({"---->start kestrava program", "---->end kestrava program"}));
    const auto boxes = os::sim::MessageBoxHistory();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().type & 0xF0u, os::MB_ICONWARNING);
}

TEST_F(StartupTest, AStoredLanguageWithoutItsLibraryFallsBackToTheDefaultLanguage)
{
    std::string error;
    ASSERT_TRUE(sim::PreparePhone(profile, folder.Path(), &error)) << error;
    os::HKEY key = nullptr;
    os::RegCreateKeyExW(os::HKEY_CURRENT_USER, "\\Software\\Holmbrek\\Ardvane", 0, nullptr, 0, 0, nullptr, &key,
                        nullptr);
    os::RegSetString(key, "Langauge", "Klingon");
    os::RegCloseKey(key);
    EndAt(1000);
    ASSERT_TRUE(sim::StartScenarioRunner(scenario, std::nullopt));
    EXPECT_EQ(WinMain(nullptr, "", 1), 0);
    sim::StopScenarioRunner();
    EXPECT_TRUE(Has("CMD_Init")) << testing::PrintToString(Lines());
    for (const auto& box : os::sim::MessageBoxHistory()) EXPECT_EQ(box.text.find("re-install"), std::string::npos);
}

TEST_F(StartupTest, WithoutAnyResourceLibraryTheProgramSaysToReinstallAndCannotStart)
{
    std::string error;
    ASSERT_TRUE(sim::PreparePhone(profile, folder.Path(), &error)) << error;
    // The program folder holds no resource library at all.
    os::sim::FileSystemConfig files;
    files.deviceRoot = folder.Path();
    files.programHostFolder = folder / "bare-program";
    std::filesystem::create_directories(files.programHostFolder);
    ASSERT_TRUE(os::sim::ConfigureFileSystem(files, &error)) << error;
    EXPECT_NE(WinMain(nullptr, "", 1), 0);
    const auto boxes = os::sim::MessageBoxHistory();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "Fail to import resource dll\nre-install program.");
    EXPECT_FALSE(Has("CMD_Init"));
}

}  // namespace

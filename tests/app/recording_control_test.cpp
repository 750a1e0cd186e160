// Recording as the main window drives it: what stops capture from starting,
// the file split of timer 2, the settings command, and the storage check
// when a volume goes away.
#include "app/cmd_run.h"
#include "app/timers.h"
#include "recorder/mov.h"
#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/windows/controls.h"
#include "platform/windows/property_sheet.h"
#include "tests/app/main_window_fixture.h"

namespace {

using testing_support::MainWindowTest;

bool IsFolder(const std::string& path)
{
    const os::DWORD attributes = os::GetFileAttributesW(path.c_str());
    return attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class RecordingControlTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Start();
        App()->EvtFree = 100ull << 20;
        App()->settings.SplitTimeSec = 30;
    }

    void Split() { os::SendMessageW(hwnd, os::WM_TIMER, kSplitTimer, 0); }
    std::string LastName() const { return std::string(App()->storage.LastRecordingName.View()); }
    std::string MessageText() const { return std::string(App()->message.text.View()); }

    void StartCaptureAgain()
    {
        App()->captureRunning = 0;
        CMD_Run(hwnd, 4);
    }
};

TEST_F(RecordingControlTest, CaptureDoesNotStartOnAVolumeThatCannotHoldTheRecordings)
{
    App()->storageClass = 1;
    StartCaptureAgain();
    EXPECT_EQ(MessageText(), Text(1280));
    EXPECT_EQ(App()->message.kind, -1);
    App()->storageClass = 2;
    StartCaptureAgain();
    EXPECT_EQ(MessageText(), Text(1281));

    App()->storageClass = 0;
    App()->settings.MinFreeSpaceMB = 10;
    App()->freeSpaceBytes = 10 * 1048576ull - 4097;
    StartCaptureAgain();
    EXPECT_EQ(MessageText(), Text(18));
    EXPECT_EQ(App()->captureRunning, 0);
}

TEST_F(RecordingControlTest, AFailedCaptureStartSaysSoAndStaysOnTheRecordingScreen)
{
    App()->settings.MinFreeSpaceMB = 10;
    App()->freeSpaceBytes = 10 * 1048576ull - 4096;
    os::sim::ClearMessageBoxHistory();
    CMD_Run(hwnd, 16);
    // Without its graph the recorder cannot start capture.
    MOV_Stop(hwnd, 0, 0);
    MOV_DeInit(hwnd);
    StartCaptureAgain();
    const auto boxes = os::sim::MessageBoxHistory();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Text(28));
    EXPECT_EQ(boxes[0].type & 0xF0u, os::MB_ICONERROR);
    EXPECT_EQ(App()->cmdMode, 4u);
    EXPECT_EQ(App()->captureRunning, 0);
    EXPECT_EQ(App()->RecordMode, 1) << "the default records continuously after launch";
}

TEST_F(RecordingControlTest, TheSplitOpensTheNextFileAndRearmsItself)
{
    const std::string started = LastName();
    RunFor(1000);
    Split();
    const std::string first = LastName();
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, started);
    EXPECT_EQ(first.substr(first.size() - 4), ".avi");
    const std::string folder(App()->storage.TimeFolder.View());
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_EQ(App()->recordingFileStatus, 0) << "the next file is open";
    EXPECT_NE(os::GetFileAttributesW((folder + "\\" + started).c_str()), os::INVALID_FILE_ATTRIBUTES);

    RunFor(30000);
    EXPECT_NE(LastName(), first) << "timer 2 split again after SplitTimeSec";
}

TEST_F(RecordingControlTest, WithoutASplitTimeTheFileRunsOn)
{
    App()->settings.SplitTimeSec = 0;
    Split();
    const std::string first = LastName();
    RunFor(120000);
    EXPECT_EQ(LastName(), first);
}

TEST_F(RecordingControlTest, TooLittleSpaceStopsRecordingAtTheSplit)
{
    App()->settings.MinFreeSpaceMB = 10;
    os::ULONGLONG free = 0, total = 0, totalFree = 0;
    ASSERT_TRUE(os::GetDiskFreeSpaceExW("\\Storage Card", &free, &total, &totalFree));
    ASSERT_TRUE(os::sim::FillVolume("Storage Card", free - (10 * 1048576ull - 4097)));
    const std::string last = LastName();
    Split();
    EXPECT_EQ(LastName(), last) << "no new file named";
    EXPECT_EQ(MessageText(), Text(18));
    EXPECT_EQ(App()->recordingFileStatus, 2);
    EXPECT_EQ(App()->recorder.status.recording, 0);
    RunFor(60000);
    EXPECT_EQ(LastName(), last) << "and no timer left to try again";
}

TEST_F(RecordingControlTest, ATaggedClipIsFiledIntoItsEventFolder)
{
    Split();
    const std::string folder(App()->storage.LastRecordingFolder.View());
    const std::string clip = LastName();
    EventTaggedFlag = 1;
    ShowScreenMessage(hwnd, "event saved", kNoTimeout, 0, 0);
    Split();
    EXPECT_TRUE(IsFolder(folder + "\\Event"));
    EXPECT_EQ(App()->filedEvents, 1u);
    EXPECT_EQ(EventTaggedFlag, 0);
    EXPECT_EQ(App()->message.shown, 0);
    const std::string base = folder.back() == '\\' ? folder : folder + "\\";
    EXPECT_NE(os::GetFileAttributesW((base + "Event\\" + clip).c_str()), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetFileAttributesW((base + clip).c_str()), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_GT(App()->EvtTotal, 0u) << "the filed clip counts as protected";
}

// On the open settings sheet: the recording page's file length to 1 minute, then "Done".
int g_recordingSheetStep = 0;
os::LRESULT ChangeSplitTimeProc(os::HWND w, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg != os::WM_TIMER) return os::DefWindowProcW(w, msg, wParam, lParam);
    switch (g_recordingSheetStep++) {
    case 0: os::sim::SelectSheetPage(1); break;
    case 1: os::sim::ChooseListEntry(1022, 1); break;
    default: os::sim::SheetMenuCommand(40007); os::KillTimer(w, 1); break;
    }
    return 0;
}

TEST_F(RecordingControlTest, TheSettingsCommandRestartsRecordingWhenTheSheetAsks)
{
    App()->freeSpaceBytes = 1ull << 30;
    g_recordingSheetStep = 0;
    os::WNDCLASSW wc;
    wc.lpfnWndProc = ChangeSplitTimeProc;
    wc.lpszClassName = "ChangeSplitTime";
    os::RegisterClassW(&wc);
    os::HWND hand = os::CreateWindowExW(0, "ChangeSplitTime", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    os::SetTimer(hand, 1, 50, nullptr);
    Command(IDM_SETTINGS);
    os::DestroyWindow(hand);
    EXPECT_EQ(App()->restartRecording, 1) << "the file length changed";
    EXPECT_EQ(App()->settings.SplitTimeSec, 60u);
    EXPECT_EQ(App()->captureRunning, 1);
    const std::string before = LastName();
    RunFor(250);
    EXPECT_NE(LastName(), before) << "the next file opens 200 ms later";
    EXPECT_EQ(os::sim::ShellStateOf(hwnd).navBarTitle, "Ardvane");
}

TEST_F(RecordingControlTest, ARemovedCardEndsTheRun)
{
    os::sim::MountVolume("Storage Card");
    Drain();
    EXPECT_EQ(ClosePosted(), -1) << "the card is still there";
    EXPECT_FALSE(Has("WM_CLOSE Msg Send by Kestrava 3"));

    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    os::MSG msg;
    while (os::PeekMessageW(&msg, hwnd, os::WM_DEVICECHANGE, os::WM_DEVICECHANGE, os::PM_REMOVE)) {
        os::DispatchMessageW(&msg);
    }
    EXPECT_TRUE(Has("WM_CLOSE Msg Send by Kestrava 3"));
    EXPECT_EQ(ClosePosted(), kCloseOrderly);
    const auto boxes = os::sim::MessageBoxHistory();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, Text(26));
}

TEST_F(RecordingControlTest, OnOtherVolumesTheStorageScanDecides)
{
    TearDown();
    profile.volumes = {sim::Volume{"SD", 4ull << 30, true, ""}};
    SetUp();
    EXPECT_EQ(App()->settings.SelectDisk.View(), "SD");
    os::SendMessageW(hwnd, os::WM_DEVICECHANGE, 0, 0);
    EXPECT_EQ(ClosePosted(), -1);
    ASSERT_TRUE(os::sim::UnmountVolume("SD"));
    os::SendMessageW(hwnd, os::WM_DEVICECHANGE, 0, 0);
    EXPECT_EQ(ClosePosted(), kCloseOrderly);
}

TEST_F(RecordingControlTest, TheGpsScreenStartsAndStopsItsLog)
{
    CMD_Run(hwnd, 1);
    Command(IDM_REC_START);
    const std::string gpsFolder = std::string(App()->storage.TimeFolder.View()) + "\\GPS";
    EXPECT_TRUE(IsFolder(gpsFolder));
    EXPECT_EQ(App()->screens[1].active, 1);
    RunFor(3500);
    Command(IDM_REC_STOP);
    EXPECT_EQ(App()->screens[1].active, 0);

    os::WIN32_FIND_DATAW found;
    os::HANDLE find = os::FindFirstFileW((gpsFolder + "\\*.gps").c_str(), &found);
    ASSERT_NE(find, os::INVALID_HANDLE_VALUE);
    os::FindClose(find);
    std::string bytes(found.nFileSizeLow, '\0');
    os::HANDLE file = os::CreateFileW((gpsFolder + "\\" + found.cFileName).c_str(), os::GENERIC_READ, 0, nullptr,
                                      os::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
    os::DWORD read = 0;
    os::ReadFile(file, bytes.data(), static_cast<os::DWORD>(bytes.size()), &read, nullptr);
    os::CloseHandle(file);
    ASSERT_GE(bytes.size(), 260u + 3 * 316u) << "a record a second from the simulated receiver";
    EXPECT_EQ((bytes.size() - 260) % 316, 0u);
    EXPECT_EQ(bytes.substr(0, 8), "PGPSSTRT");
    EXPECT_EQ(bytes.substr(bytes.size() - 8), "PGPSFEND");
    const auto count = static_cast<uint32_t>(static_cast<uint8_t>(bytes[192]) | static_cast<uint8_t>(bytes[193]) << 8);
    EXPECT_EQ(count, (bytes.size() - 260) / 316);
}

}  // namespace

// The folder tree below the volume and the names of recordings. The clock
// starts at 08:59:30 on 3 March 2009 and moves only by Sleep.
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/base/trace.h"
#include "storage/folder_layout.h"
#include "tests/storage/storage_fixture.h"

namespace storage_test {
namespace {

constexpr const char* kRunFolder = "\\Storage Card\\Ardvane\\20090303\\085930";

class FolderLayoutTest : public StorageFixture {
protected:
    void SetUp() override
    {
        StorageFixture::SetUp();
        Configure({Volume("Storage Card", 64 * kMB)});
        Settings().SelectDisk.Assign("Storage Card");
        RecordLaunchTime(&Storage());
        ASSERT_EQ(PrepareRecordingRoot(window_), 1);
    }

    // Moves the clock on to 09:05:07 of the same day.
    static void SleepUntilClipStart() { os::Sleep((5 * 60 + 37) * 1000); }

    std::string Path(int kind, const char* extension, int eventFlag)
    {
        std::string path = "<unset>";
        EXPECT_EQ(MakeRecordingPath(&Storage(), Storage().TimeFolder.View(), kind, extension, &path, eventFlag), 1);
        return path;
    }
};

TEST_F(FolderLayoutTest, RecordingRootIsMadeBelowTheChosenVolume)
{
    EXPECT_EQ(Storage().StorageRoot.View(), "\\Storage Card");
    EXPECT_EQ(Storage().RecordingRoot.View(), "\\Storage Card\\Ardvane");
    EXPECT_TRUE(IsFolder("\\Storage Card\\Ardvane"));

    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_EQ(PrepareRecordingRoot(window_), 0);
}

TEST_F(FolderLayoutTest, ClipIsNamedAfterItsStartInTheRunsTimeFolder)
{
    SleepUntilClipStart();
    ASSERT_EQ(PrepareTimeFolder(window_, kRecordingVideo), 1);
    EXPECT_EQ(Storage().TimeFolder.View(), kRunFolder);
    EXPECT_TRUE(IsFolder(kRunFolder));

    EXPECT_EQ(Path(kRecordingVideo, "avi", 0), "\\Storage Card\\Ardvane\\20090303\\085930\\090507_20090303.avi");
    std::string folder;
    std::string name;
    ASSERT_EQ(GetLastRecording(&Storage(), &folder, &name), 1);
    EXPECT_EQ(folder, std::string(kRunFolder) + "\\") << "no subfolder: a trailing backslash";
    EXPECT_EQ(name, "090507_20090303.avi");
    // Paths built from it later hold a doubled backslash, which the file system takes.
    PutFile(folder + "\\" + name, 16);
    EXPECT_EQ(os::GetFileAttributesW("\\Storage Card\\Ardvane\\20090303\\085930\\090507_20090303.avi"),
              os::FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderLayoutTest, EventClipGoesIntoEventAndIsStillTheLastRecording)
{
    SleepUntilClipStart();
    ASSERT_EQ(PrepareTimeFolder(window_, kRecordingVideo), 1);
    EXPECT_EQ(Path(kRecordingVideo, "avi", 1), std::string(kRunFolder) + "\\Event\\090507_20090303.avi");
    EXPECT_EQ(Storage().LastRecordingFolder.View(), std::string(kRunFolder) + "\\Event");
    EXPECT_EQ(Storage().LastRecordingName.View(), "090507_20090303.avi");
    EXPECT_FALSE(IsFolder(std::string(kRunFolder) + "\\Event")) << "made by the event filing, not here";
}

TEST_F(FolderLayoutTest, GpsPhotoAndOtherKindsLeaveTheLastRecordingAlone)
{
    SleepUntilClipStart();
    ASSERT_EQ(PrepareTimeFolder(window_, kRecordingVideo), 1);
    Path(kRecordingVideo, "avi", 0);
    os::Sleep(3000);

    EXPECT_EQ(Path(kRecordingGps, "gps", 0), std::string(kRunFolder) + "\\GPS\\090510_20090303.gps");
    EXPECT_EQ(Path(kRecordingGps, "gps", 1), std::string(kRunFolder) + "\\GPS\\090510_20090303.gps")
        << "the event flag only concerns video";
    EXPECT_FALSE(IsFolder(std::string(kRunFolder) + "\\GPS"));
    ASSERT_EQ(PrepareTimeFolder(window_, kRecordingGps), 1);
    EXPECT_TRUE(IsFolder(std::string(kRunFolder) + "\\GPS")) << "the GPS log is created straight in it";

    ASSERT_EQ(PrepareTimeFolder(window_, kRecordingPhoto), 1);
    EXPECT_TRUE(IsFolder(std::string(kRunFolder) + "\\Photo"));
    EXPECT_EQ(Path(kRecordingPhoto, "jpg", 0), std::string(kRunFolder) + "\\Photo\\090510_20090303.jpg");

    EXPECT_EQ(Path(2, "avi", 1), std::string(kRunFolder) + "\\090510_20090303.avi");
    EXPECT_EQ(Storage().LastRecordingName.View(), "090507_20090303.avi");
    EXPECT_EQ(Storage().LastRecordingFolder.View(), std::string(kRunFolder) + "\\");
}

TEST_F(FolderLayoutTest, RecordingPastMidnightGoesToTheNewDateUnderTheSameTimeName)
{
    ASSERT_EQ(PrepareTimeFolder(window_, kRecordingVideo), 1);
    os::Sleep((15 * 3600 + 35) * 1000);  // 00:00:05 on 4 March
    ASSERT_EQ(PrepareTimeFolder(window_, kRecordingVideo), 1);

    EXPECT_EQ(Storage().TimeFolder.View(), "\\Storage Card\\Ardvane\\20090304\\085930");
    EXPECT_TRUE(IsFolder(kRunFolder)) << "yesterday's folder stays";
    EXPECT_EQ(Path(kRecordingVideo, "avi", 0), "\\Storage Card\\Ardvane\\20090304\\085930\\000005_20090304.avi");
}

TEST_F(FolderLayoutTest, TimeFolderThatCannotBeMadeIsTracedAndStillStored)
{
    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    os::TraceCapture trace;
    EXPECT_EQ(PrepareTimeFolder(window_, kRecordingVideo), 0);
    EXPECT_EQ(Storage().TimeFolder.View(), kRunFolder);
    const std::vector<std::string> lines = trace.ProgramLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), std::string("Fail Create Directory (") + kRunFolder + ")");
}

TEST_F(FolderLayoutTest, NameThatWouldPassThePathLimitIsRefused)
{
    const std::string base = "\\Storage Card\\" + std::string(230, 'a');
    std::string path = "kept";
    EXPECT_EQ(MakeRecordingPath(&Storage(), base, kRecordingVideo, "avi", &path, 1), 0);
    EXPECT_EQ(path, "kept");
    EXPECT_TRUE(Storage().LastRecordingName.Empty());

    // Characters are counted, not bytes: 220 two-byte letters still fit.
    std::string wide = "\\Storage Card\\";
    for (int i = 0; i < 220; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(MakeRecordingPath(&Storage(), wide, kRecordingVideo, "avi", &path, 0), 1);
    EXPECT_EQ(Storage().LastRecordingFolder.View(), wide + "\\");
}

TEST_F(FolderLayoutTest, ModuleFolderIsTheProgramsFolder)
{
    std::string folder;
    ASSERT_EQ(GetModuleFolder(&folder), 1);
    EXPECT_EQ(folder, "\\Program Files\\Kestrava");
}

}  // namespace
}  // namespace storage_test

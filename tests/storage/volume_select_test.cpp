// Choosing the storage volume at start-up and on device changes.
#include <string>
#include <vector>

#include "platform/base/trace.h"
#include "storage/volume_select.h"
#include "tests/storage/storage_fixture.h"

namespace storage_test {
namespace {

class VolumeSelectTest : public StorageFixture {};

TEST_F(VolumeSelectTest, NoMountedVolumeFindsNothingAndLeavesEverything)
{
    Configure({Volume("Storage Card", 64 * kMB, false)});
    Settings().SelectDisk.Assign("Storage Card");
    bool enough = false;

    EXPECT_EQ(CheckStorageCard(window_, &enough), 0);
    EXPECT_FALSE(enough) << "no free count: left as the caller set it";
    EXPECT_EQ(SelectOtherMountedVolume(window_), 0);
    EXPECT_EQ(Settings().SelectDisk.View(), "Storage Card");
    EXPECT_EQ(StoredText("SelectDisk"), "<none>");
}

TEST_F(VolumeSelectTest, MissingChosenCardFallsBackToAnotherMountedVolumeAndStoresIt)
{
    Configure({Volume("Storage Card", 64 * kMB, false), Volume("USB Disk", 64 * kMB)});
    Settings().SelectDisk.Assign("Storage Card");
    bool enough = false;
    os::TraceCapture trace;

    ASSERT_EQ(CheckStorageCard(window_, &enough), 0);
    ASSERT_EQ(SelectOtherMountedVolume(window_), 1);
    EXPECT_EQ(Settings().SelectDisk.View(), "USB Disk");
    EXPECT_EQ(StoredText("SelectDisk"), "USB Disk") << "written to the registry at once";
    EXPECT_EQ(trace.ProgramLines(),
              (std::vector<std::string>{"stroage folder name=USB Disk", "setting : stroage folder name=USB Disk"}));

    EXPECT_EQ(CheckStorageCard(window_, &enough), 1);
    EXPECT_TRUE(enough);
}

TEST_F(VolumeSelectTest, FallbackPassesOverTheVolumeAlreadyChosen)
{
    Configure({Volume("Storage Card", 64 * kMB), Volume("Internal", 64 * kMB)});
    Settings().SelectDisk.Assign("Storage Card");

    ASSERT_EQ(SelectOtherMountedVolume(window_), 1);
    EXPECT_EQ(Settings().SelectDisk.View(), "Internal");
    EXPECT_EQ(StoredText("SelectDisk"), "Internal");
}

TEST_F(VolumeSelectTest, ChosenCardWithRoomSavesTheWholeRecord)
{
    Configure({Volume("Internal", 900 * kMB), Volume("Storage Card", 64 * kMB)});
    Settings().SelectDisk.Assign("Storage Card");
    Settings().SplitTimeSec = 45;
    bool enough = false;

    ASSERT_EQ(CheckStorageCard(window_, &enough), 1);
    EXPECT_TRUE(enough);
    EXPECT_EQ(StoredText("SelectDisk"), "Storage Card");
    os::HKEY key = nullptr;
    ASSERT_EQ(os::RegOpenKeyExW(os::HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key), os::ERROR_SUCCESS);
    os::DWORD split = 0;
    EXPECT_EQ(os::RegQueryDword(key, "SplitTimeSec", &split), os::ERROR_SUCCESS);
    EXPECT_EQ(split, 45u);
    os::RegCloseKey(key);
}

TEST_F(VolumeSelectTest, EnoughSpaceCountsWholeMegabytesOfTheChosenVolume)
{
    Configure({Volume("Storage Card", 10 * kMB)});
    Settings().SelectDisk.Assign("Storage Card");
    bool enough = false;
    ASSERT_EQ(CheckStorageCard(window_, &enough), 1);
    EXPECT_TRUE(enough) << "exactly the minimum is enough";

    PutFile("\\Storage Card\\clip.avi", 1);
    EXPECT_EQ(os::RegDeleteKeyW(os::HKEY_CURRENT_USER, kSettingsKey), os::ERROR_SUCCESS);
    ASSERT_EQ(CheckStorageCard(window_, &enough), 1) << "found whatever its room";
    EXPECT_FALSE(enough) << "one byte short of 10 MB counts as 9 MB";
    EXPECT_EQ(StoredText("SelectDisk"), "<none>") << "not saved without enough space";
}

TEST_F(VolumeSelectTest, EmptyChoiceTakesStorageCardWhenItIsTheRoomiestSoFar)
{
    Configure({Volume("Storage Card", 500 * kMB), Volume("USB Disk", 900 * kMB)});
    Settings().MinFreeSpaceMB = 700;  // between the two, to tell which volume counted
    bool enough = false;
    os::TraceCapture trace;

    ASSERT_EQ(CheckStorageCard(window_, &enough), 1);
    EXPECT_EQ(Settings().SelectDisk.View(), "Storage Card");
    EXPECT_TRUE(enough) << "computed from the largest seen, 900 MB";
    EXPECT_EQ(StoredText("SelectDisk"), "<none>") << "a first choice is not saved here";
    EXPECT_EQ(trace.ProgramLines(),
              (std::vector<std::string>{"stroage folder name=Storage Card", "stroage folder name=USB Disk"}));
}

TEST_F(VolumeSelectTest, EmptyChoiceTakesNothingWhenARoomierVolumeComesFirst)
{
    Configure({Volume("USB Disk", 900 * kMB), Volume("Storage Card", 500 * kMB)});
    Settings().MinFreeSpaceMB = 700;
    bool enough = false;

    EXPECT_EQ(CheckStorageCard(window_, &enough), 0);
    EXPECT_TRUE(Settings().SelectDisk.Empty());
    EXPECT_TRUE(enough) << "still computed from the largest seen";

    Settings().MinFreeSpaceMB = 10;
    Configure({Volume("USB Disk", 900 * kMB)});
    EXPECT_EQ(CheckStorageCard(window_, &enough), 0) << "only \"Storage Card\" is ever taken";
    EXPECT_TRUE(Settings().SelectDisk.Empty());
}

TEST_F(VolumeSelectTest, EmptyChoiceWithoutEnoughSpaceIsOnlyAPresenceTest)
{
    Configure({Volume("Storage Card", 500 * kMB)});
    EXPECT_EQ(CheckStorageCard(window_, nullptr), 0);
    EXPECT_TRUE(Settings().SelectDisk.Empty());

    Settings().SelectDisk.Assign("Storage Card");
    EXPECT_EQ(CheckStorageCard(window_, nullptr), 1);
    EXPECT_EQ(StoredText("SelectDisk"), "<none>");
    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_EQ(CheckStorageCard(window_, nullptr), 0);
}

TEST_F(VolumeSelectTest, WithoutApplicationStateNothingIsFound)
{
    Configure({Volume("Storage Card", 500 * kMB)});
    os::SetWindowLongW(window_, os::GWL_USERDATA, 0);
    bool enough = false;
    EXPECT_EQ(CheckStorageCard(window_, &enough), 0);
    EXPECT_EQ(SelectOtherMountedVolume(window_), 0);
    EXPECT_TRUE(Settings().SelectDisk.Empty());
}

TEST_F(VolumeSelectTest, MountedFollowsTheStorageManagerAsCardsComeAndGo)
{
    Configure({Volume("Storage Card", 0, false), Volume("USB Disk", 0)});
    EXPECT_FALSE(IsVolumeMounted("Storage Card"));
    EXPECT_TRUE(IsVolumeMounted("USB Disk"));
    EXPECT_FALSE(IsVolumeMounted("Storage"));

    ASSERT_TRUE(os::sim::MountVolume("Storage Card"));
    EXPECT_TRUE(IsVolumeMounted("Storage Card"));
    ASSERT_TRUE(os::sim::UnmountVolume("USB Disk"));
    EXPECT_FALSE(IsVolumeMounted("USB Disk"));
    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_FALSE(IsVolumeMounted("Storage Card"));
}

}  // namespace
}  // namespace storage_test

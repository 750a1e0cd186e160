// Loop deletion on cards laid out before the pass: what goes, in which
// order, what never goes, and the counters that follow.
#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "storage/deletion_pass.h"
#include "storage/event_filing.h"
#include "storage/recording_names.h"
#include "storage/space_counters.h"
#include "tests/storage/space_fixture.h"

namespace {

using storage_test::kMB;

const std::string kRoot = "\\Storage Card\\Ardvane";

class DeletionPassTest : public storage_test::SpaceFixture {
protected:
    void Pass()
    {
        RefreshMemoryVars(window_);
        NoteDeletionPlaceForTest();
        DeleteOldRecordings(window_);
    }

    void NoteDeletionPlaceForTest()
    {
        app_.space.passRoot = "\\Storage Card";
        app_.space.passLevelBytes = Settings().FileDeleteLevel * kMB;
    }
};

TEST_F(DeletionPassTest, OldestOrdinaryClipsGoUntilTheLevelIsMetAndNothingElseEver)
{
    const std::vector<std::string> ordinary = {
        kRoot + "\\20090101\\070000\\070000_20090101.avi", kRoot + "\\20090101\\080000\\080000_20090101.avi",
        kRoot + "\\20090101\\080000\\080030_20090101.avi", kRoot + "\\20090102\\090000\\090000_20090102.avi",
        kRoot + "\\20090102\\090000\\090030_20090102.avi"};
    const std::string busy = kRoot + "\\20090101\\080000";
    const std::vector<std::string> kept = {busy + "\\Event\\080010_20090101.avi", busy + "\\Photo\\080020_20090101.jpg",
                                           busy + "\\GPS\\080000_20090101.gps",   busy + "\\abc.avi",
                                           busy + "\\123456_20090101.AVI",        kRoot + "\\readme.txt"};
    Card(185 * kMB + 150 * kMB);
    for (const std::string& clip : ordinary) Sparse(clip, 30 * kMB);
    ASSERT_TRUE(os::SetFileAttributesW(ordinary[2].c_str(), os::FILE_ATTRIBUTE_READONLY));
    Sparse(kept[0], 30 * kMB);
    for (std::size_t i = 1; i < kept.size(); ++i) Sparse(kept[i], kMB);
    ASSERT_TRUE(os::SetFileAttributesW(kept[3].c_str(), os::FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(os::SetFileAttributesW(kept[4].c_str(), os::FILE_ATTRIBUTE_SYSTEM));

    // 150 MB free and 300 MB of room for clips: nothing to do.
    Pass();
    EXPECT_EQ(app_.EvtTotal, 35 * kMB) << "the event clip, the photo, the log and the three odd files";
    EXPECT_EQ(app_.AviTotal, 185 * kMB);
    for (const std::string& clip : ordinary) EXPECT_TRUE(Exists(clip)) << clip;

    // 80 MB free: 30, 60, 90 MB erased are not enough, 120 MB are.
    ASSERT_TRUE(os::sim::FillVolume("Storage Card", 70 * kMB));
    Pass();
    for (std::size_t i = 0; i < 4; ++i) EXPECT_FALSE(Exists(ordinary[i])) << ordinary[i];
    EXPECT_TRUE(Exists(ordinary[4])) << "the pass ends once the level is met";
    EXPECT_FALSE(Exists(kRoot + "\\20090101\\070000")) << "a time folder left empty goes";
    EXPECT_TRUE(Exists(busy)) << "one that still holds other files stays";
    EXPECT_TRUE(Exists(kRoot + "\\20090101")) << "date folders stay";
    for (const std::string& file : kept) EXPECT_TRUE(Exists(file)) << file;
    EXPECT_EQ(os::GetFileAttributesW(kept[3].c_str()), os::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(os::GetFileAttributesW(kept[4].c_str()), os::FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(app_.AviTotal, 65 * kMB);
    EXPECT_EQ(VolumeFree(), 200 * kMB);
}

TEST_F(DeletionPassTest, CountersStopAtZeroAndAQuotaBelowTheProtectedBytesLeavesNoRoom)
{
    Card(4096 * kMB);
    Sparse(kRoot + "\\20090101\\080000\\Event\\080000_20090101.avi", 3072 * kMB);
    Sparse(kRoot + "\\20090101\\080000\\080030_20090101.avi", 50 * kMB);
    Settings().FreeSpaceMB = 2048;
    ASSERT_EQ(UpdateUsableSpaceSetting(window_), 1);
    EXPECT_EQ(app_.UsableTotal, 2048 * kMB);
    // A settings page trying a quota learns the protected bytes and changes nothing.
    EXPECT_EQ(ComputeMemoryVars(window_, 0, 1, "", 8192), 3072 * kMB);
    EXPECT_EQ(app_.EvtFree, 0u);
    EXPECT_EQ(app_.AviTotal, 0u);
    EXPECT_EQ(ComputeMemoryVars(window_, 0, 0, "", 8192), 5120 * kMB);
    ASSERT_EQ(RefreshMemoryVars(window_), 1);
    EXPECT_EQ(app_.EvtFree, 0u) << "2 GB of quota less 3 GB protected";
    EXPECT_EQ(app_.EvtTotal, 3072 * kMB);
    EXPECT_EQ(app_.AviTotal, 3122 * kMB);

    UpdateTarvoMemoryVar(window_, 40 * kMB, 1);
    EXPECT_EQ(app_.EvtFree, 0u);
    CountDeletedClip(window_, 8000 * kMB);
    EXPECT_EQ(app_.AviTotal, 0u);

    // Without a quota the room is the free space plus what the recordings take.
    Settings().FreeSpaceMB = 0;
    UpdateUsableSpaceSetting(window_);
    EXPECT_EQ(app_.UsableTotal, 4096 * kMB);
    RefreshMemoryVars(window_);
    EXPECT_EQ(app_.EvtFree, 1024 * kMB);
}

TEST_F(DeletionPassTest, QueuedOpenAndUnfiledClipsAreNeverDeleted)
{
    const std::string folder = kRoot + "\\20090101\\080000";
    auto clip = [&](int minute) { return folder + "\\08" + (minute < 10 ? "0" : "") + std::to_string(minute) + "00_20090101.avi"; };
    Card(40 * kMB);
    for (int m = 0; m < 8; ++m) Sparse(clip(m), 4 * kMB);
    Sparse(folder + "\\Event\\080100_20090101.avi", kMB);  // a name already taken in "Event"

    ASSERT_EQ(FileEventClip(window_, folder, "080000_20090101.avi"), 1);
    ASSERT_EQ(FileEventClip(window_, folder, "080100_20090101.avi"), 1);
    ASSERT_EQ(FileEventClip(window_, folder + "\\", "080200_20090101.avi"), 1);
    ASSERT_EQ(FileEventClip(window_, folder, "080200_20090101.avi"), 1) << "queued once only";
    ASSERT_TRUE(os::DeleteFileW(clip(2).c_str()));  // gone before its turn: dropped quietly
    SetOpenClip(&app_.space, clip(7));

    RunQueuedEventMoves(window_);
    EXPECT_TRUE(Exists(folder + "\\Event\\080000_20090101.avi"));
    EXPECT_TRUE(Exists(clip(1))) << "its move failed; it waits for the next try";
    ASSERT_EQ(FileEventClip(window_, folder, "080300_20090101.avi"), 1);  // queued, not yet moved

    Settings().FileDeleteLevel = 100;  // more than the card: the pass deletes all it may
    Pass();
    EXPECT_TRUE(Exists(clip(1))) << "a clip whose filing failed";
    EXPECT_TRUE(Exists(clip(3))) << "a clip waiting to be filed";
    EXPECT_TRUE(Exists(clip(7))) << "the clip being written";
    for (int m : {4, 5, 6}) EXPECT_FALSE(Exists(clip(m))) << clip(m);

    for (int i = 0; i < kMoveAttempts; ++i) RunQueuedEventMoves(window_);
    EXPECT_TRUE(app_.space.moves.empty()) << "the failing move is not tried forever";
    EXPECT_TRUE(Exists(folder + "\\Event\\080300_20090101.avi"));
    Pass();
    EXPECT_TRUE(Exists(clip(1))) << "given up on, it stays protected in place";
}

// A model of the pass: the ordinary clips in age order (date folder, time
// folder, clip), the first ones not kept deleted until more than the level
// less 4096 bytes are gone.
struct ModelCard {
    std::map<std::string, std::uint64_t> files;  // path -> size
    std::vector<std::string> clipsInAgeOrder;
    std::set<std::string> keptClips;
    std::set<std::string> timeFoldersWithOthers;
    std::map<std::string, std::vector<std::string>> clipsOfTimeFolder;
};

TEST_F(DeletionPassTest, RandomCardsLoseExactlyTheOldestDeletableClips)
{
    std::mt19937 random(20091203);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("card " + std::to_string(round));
        ModelCard model;
        const int dates = 1 + static_cast<int>(random() % 3);
        for (int d = 0; d < dates; ++d) {
            const std::string date = "2009010" + std::to_string(1 + d * 3 - static_cast<int>(random() % 2));
            const int times = 1 + static_cast<int>(random() % 3);
            for (int t = 0; t < times; ++t) {
                char time[32];
                std::snprintf(time, sizeof time, "%02d%02d00", 8 + t * 5 - static_cast<int>(random() % 3), t);
                const std::string folder = kRoot + "\\" + date + "\\" + time;
                std::vector<std::string> clips;
                const int count = static_cast<int>(random() % 6);
                for (int c = 0; c < count; ++c) {
                    char name[64];
                    std::snprintf(name, sizeof name, "%02d%02d%02d_%s.avi", 8 + t * 5, c * 7 % 60, c, date.c_str());
                    clips.push_back(folder + "\\" + name);
                    model.files[clips.back()] = (1 + random() % 40) * kMB + random() % 1000;
                }
                std::sort(clips.begin(), clips.end(), [](const std::string& a, const std::string& b) {
                    return RecordingAge(a.substr(a.size() - 19)) < RecordingAge(b.substr(b.size() - 19));
                });
                if (model.clipsOfTimeFolder.count(folder) == 0) {
                    for (const std::string& c : clips) model.clipsInAgeOrder.push_back(c);
                    model.clipsOfTimeFolder[folder] = clips;
                }
                if (random() % 3 == 0) {
                    model.files[folder + (random() % 2 ? "\\Event\\x_20090101.avi" : "\\abc.avi")] = 5 * kMB;
                    model.timeFoldersWithOthers.insert(folder);
                }
            }
        }
        for (const std::string& c : model.clipsInAgeOrder) {
            if (random() % 7 == 0) model.keptClips.insert(c);
        }
        std::uint64_t laid = 0;
        for (const auto& [path, size] : model.files) laid += size;
        const std::uint64_t free = (1 + random() % 400) * kMB;
        Settings().FileDeleteLevel = 100 * (1 + static_cast<std::uint32_t>(random() % 3));
        Card(laid + free);
        for (const auto& [path, size] : model.files) Sparse(path, size);
        app_.space.kept.assign(model.keptClips.begin(), model.keptClips.end());
        RefreshMemoryVars(window_);
        const std::uint64_t aviBefore = app_.AviTotal;
        const std::uint64_t level = Settings().FileDeleteLevel * kMB;

        std::set<std::string> deleted;
        std::uint64_t erased = 0;
        std::string endedAt;  // the clip after which the pass ended, if it did
        if (free < level || app_.EvtFree < level) {
            for (const std::string& c : model.clipsInAgeOrder) {
                if (model.keptClips.count(c) != 0) continue;
                deleted.insert(c);
                erased += model.files[c];
                if (erased > level - 4096) {
                    endedAt = c;
                    break;
                }
            }
        }
        NoteDeletionPlaceForTest();
        DeleteOldRecordings(window_);

        for (const auto& [path, size] : model.files) EXPECT_EQ(Exists(path), deleted.count(path) == 0) << path;
        EXPECT_EQ(app_.AviTotal, aviBefore - erased);
        for (const auto& [folder, clips] : model.clipsOfTimeFolder) {
            const bool others = model.timeFoldersWithOthers.count(folder) != 0;
            const bool allDeleted = !clips.empty() && std::all_of(clips.begin(), clips.end(), [&](const std::string& c) {
                return deleted.count(c) != 0;
            });
            const bool endedHere = std::find(clips.begin(), clips.end(), endedAt) != clips.end();
            if (allDeleted && !others && !endedHere) {
                EXPECT_FALSE(Exists(folder)) << folder;
            } else if (!clips.empty() || others) {
                EXPECT_TRUE(Exists(folder)) << folder;
            }
        }
        app_.space.kept.clear();
    }
}

}  // namespace

// The rules that decide what loop recording may delete and which clips go
// to "Event" with an event clip.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "storage/event_filing.h"
#include "storage/recording_names.h"
#include "storage/space_state.h"

namespace {

TEST(SpaceRules, OnlyRecordingNamesInTimeFoldersAreOrdinaryClips)
{
    for (const char* name : {"085930_20090303.avi", "000000_00000000.avi"}) EXPECT_TRUE(IsRecordingFileName(name)) << name;
    for (const char* name : {"085930_20090303.AVI", "abc.avi", "085930-20090303.avi", "08593a_20090303.avi",
                             "085930_20090303.avi.avi", "85930_20090303.avi", "085930_20090303.avj", "",
                             "085930_2009030.avi0"}) {
        EXPECT_FALSE(IsRecordingFileName(name)) << name;
    }
    const std::string time = "\\Storage Card\\Ardvane\\20090303\\085930";
    EXPECT_TRUE(IsRecordingFolderPath(time));
    EXPECT_TRUE(IsRecordingFolderPath("\\\\Storage Card\\\\Ardvane\\20090303\\085930\\")) << "empty components";
    EXPECT_TRUE(IsRecordingFolderPath(time + "\\Event"));
    EXPECT_TRUE(IsRecordingFolderPath(time + "\\Event\\x"));
    EXPECT_TRUE(IsRecordingFolderPath(time + "\\a\\b\\c")) << "deeper paths pass unchecked";
    for (const std::string& path : {time + "\\Photo", time + "\\GPS", std::string("\\Storage Card\\ardvane\\20090303\\085930"),
                                    std::string("\\Storage Card\\Ardvane\\2009030\\085930"),
                                    std::string("\\Storage Card\\Ardvane\\20090303"), std::string("\\Storage Card\\Ardvane\\20090303\\0859a0")}) {
        EXPECT_FALSE(IsRecordingFolderPath(path)) << path;
    }
    EXPECT_TRUE(IsTimeFolderPath(time));
    EXPECT_FALSE(IsTimeFolderPath(time + "\\Event"));
    EXPECT_FALSE(IsTimeFolderPath(time + "\\a\\b\\c"));
    EXPECT_LT(RecordingAge("235959_20090303.avi"), RecordingAge("000001_20090304.avi"));
    EXPECT_LT(RecordingAge("085930_20090303.avi"), RecordingAge("085931_20090303.avi"));
}

struct Closed {
    std::vector<unsigned> elapsed;  // event times of the clip, in seconds
    bool older;
    bool newer;
};

TEST(SpaceRules, EventsNearASplitFileTheNeighbouringClip)
{
    // Clips closing one after another with 30 s files.
    const std::vector<Closed> sequence = {
        {{}, false, false},
        {{3}, true, false},        // an event in the first seconds: the clip before it too
        {{10, 26}, false, false},  // its last event is 4 s before the end
        {{}, false, true},         // so the clip after it goes too
        {{6}, false, false},       // 6 s in is no longer the lead-in
        {{0, 29}, true, false},
        {{}, false, true},
        {{5}, true, false},
    };
    auto space = std::make_unique<SpaceState>();
    int index = 0;
    for (const Closed& c : sequence) {
        std::vector<EvtTagRecord> records(c.elapsed.size());
        for (std::size_t i = 0; i < records.size(); ++i) records[i].elapsedSec = c.elapsed[i];
        const std::string name = "clip" + std::to_string(index++);
        const AdjacentFilings f = RecordClosedClip(space.get(), records.data(), static_cast<int>(records.size()),
                                                   "\\Card", name, 30);
        EXPECT_EQ(f.older, c.older) << name;
        EXPECT_EQ(f.newer, c.newer) << name;
        EXPECT_EQ(space->olderClip.name.View(), index > 1 ? "clip" + std::to_string(index - 2) : "");
    }
    ForgetClosedClips(space.get());
    const EvtTagRecord early{};
    EXPECT_FALSE(RecordClosedClip(space.get(), &early, 1, "\\Card", "next", 30).older) << "no clip before after a stop";
    const EvtTagRecord any{};
    RecordClosedClip(space.get(), &any, 1, "\\Card", "short", 3);
    EXPECT_TRUE(RecordClosedClip(space.get(), nullptr, 0, "\\Card", "n3", 3).newer) << "a split shorter than the run-out";
}

}  // namespace

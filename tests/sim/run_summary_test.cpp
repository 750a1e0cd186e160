#include <gtest/gtest.h>

#include "sim/run_summary.h"

namespace {

TEST(RunSummary, ListsEachRecordingOnceWhereItIsNowAndTheOtherFilesApart)
{
    constexpr std::uint64_t kMb = 1024 * 1024;
    const std::string day = "\\Storage Card\\Ardvane\\20090303\\";
    const std::vector<ClosedRecording> recordings = {
        {day + "0900.avi", 599'960'000, 1500, 3000, 3 * kMb + kMb / 2, 0, 1, 0},
        {day + "0901.avi", 125'000'000, 300, 600, kMb / 10, 1, 0, 0},
        {day + "0902.avi", 0, 0, 0, 0, 0, 0, 1},
        {day + "0903.avi", 300'000'000, 900, 1800, kMb, 0, 2, 0}};
    // The event-only clip was written into the event folder, 0902 deleted,
    // and 0903, tagged by an event, filed there after its close.
    const std::vector<std::string> written = {day + "0900.avi", day + "Event\\0901.avi", day + "20090303.gps",
                                              day + "Event\\0903.avi"};
    EXPECT_EQ(sim::WrittenFilesText(recordings, written),
              "kestrava: 4 recording(s) written, 2 of them event clip(s)\n"
              "  " + day + "0900.avi  60.0 s  3.5 MB\n"
              "  " + day + "Event\\0901.avi  12.5 s  0.1 MB  event clip\n"
              "  " + day + "0902.avi  0.0 s  0.0 MB  deleted since  close failed\n"
              "  " + day + "Event\\0903.avi  30.0 s  1.0 MB  filed as an event\n"
              "kestrava: 1 other file(s) written\n"
              "  " + day + "20090303.gps\n");
}

}  // namespace

// The run's log of closed recordings, for the launcher's closing summary and
// status line. Process-wide. The recorder appends under its recorder lock;
// the count may be read at any time, the entries only while no recorder
// runs (after the program ended, or in a test between runs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ClosedRecording {
    std::string path;             // device path as opened
    std::int64_t lengthHns = 0;   // the length the file's summary holds
    std::uint32_t videoFrames = 0;
    std::uint32_t audioFrames = 0;
    std::uint64_t bytes = 0;      // payload bytes written
    int eventClip = 0;            // an event-only clip
    int eventTags = 0;            // event tags in a continuous file
    int closeFailed = 0;          // the trailer or the close failed
};

void RecordingLog_Add(const ClosedRecording& recording);
std::vector<ClosedRecording> RecordingLog_Snapshot();
std::size_t RecordingLog_Count();

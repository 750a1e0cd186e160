// What the closing summary of a run says about the files the run wrote: the
// recordings with their lengths and sizes, then every other file written
// (GPS logs, stills...). A recording is listed once, where it is at the end
// of the run: in its folder's "Event" when it was filed there as an event,
// marked as deleted when loop recording removed it. Event clips count both
// the event-only clips and the filed recordings. A file with the name of a
// recording is taken to be that recording. The screenshots of the run
// follow, each of them.
#pragma once

#include <string>
#include <vector>

#include "recorder/recording_log.h"

namespace sim {

// Lines ending in '\n'; `filesWritten` is the file system's list, in order.
std::string WrittenFilesText(const std::vector<ClosedRecording>& recordings,
                             const std::vector<std::string>& filesWritten);
// Lines ending in '\n'; `screenshots` are host paths, in the order written.
std::string ScreenshotsText(const std::vector<std::string>& screenshots);

}  // namespace sim

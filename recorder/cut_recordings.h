// At start-up, before recording begins: the recordings a power loss cut in
// the previous run, found by the journals left beside them below the
// recording root, are repaired in place (recorder/salvage/avi_repair.h);
// one whose journal holds an event is filed as an event clip. A cut
// recording that holds no complete header, or no picture (cut before its
// first one was durable), has nothing to play and is deleted; one it cannot
// rebuild (an OpenDML file of several RIFFs) is left as it is. Each step is
// traced; the journals go once their recording is
// dealt with. Files without a journal are never touched.
#pragma once

#include <string>

#include "platform/base/types.h"

// Returns the number of recordings repaired.
int RepairCutRecordings(os::HWND hwnd, const std::string& recordingRoot);

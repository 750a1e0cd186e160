// Where the recordings of this run go: the chosen volume's root, the
// recording root below it, the time folder of the current day, the time the
// program was launched (which names every time folder of the run) and the
// most recently named video clip. Part of the application state, zero-filled
// with it; every path is at most 260 characters counting the terminator.
#pragma once

#include "platform/base/types.h"
#include "settings/fixed_text.h"

struct StorageState {
    FixedText<260> StorageRoot;          // "\Storage Card"
    FixedText<260> RecordingRoot;        // "\Storage Card\Ardvane"
    FixedText<260> TimeFolder;           // "...\Ardvane\20090303\085930"
    os::SYSTEMTIME LaunchTime;           // fixed at main-window creation
    FixedText<260> LastRecordingFolder;  // may end in a backslash
    FixedText<260> LastRecordingName;    // "090507_20090303.avi"
};

// Loop recording's deletion pass. When the volume's free bytes or the room
// for ordinary clips (EvtFree) fall below FileDeleteLevel megabytes, the
// oldest ordinary clips are deleted (date folders, then time folders, then
// clips, each oldest first) until more than FileDeleteLevel megabytes less
// 4096 bytes are gone; time folders left empty are removed, date folders
// never. Protected files are never touched, nor a clip that is being
// written, waits to be filed or could not be filed. One pass at a time: the
// storage maintenance thread runs it, or start-up before recording begins.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/types.h"

struct SpaceState;
struct DeletionPlace {
    std::string root;  // the storage root, "\Storage Card"
    std::uint64_t levelBytes = 0;
};
// What the main thread last noted (NoteDeletionPlace).
DeletionPlace ReadDeletionPlace(SpaceState* space);

// 1 after a pass (whether or not it deleted anything); 0 without the
// application state.
int DeleteOldRecordings(os::HWND hwnd);

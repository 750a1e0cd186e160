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
#include <vector>

#include "platform/base/types.h"

struct FolderEntry {
    std::string path;
    std::string name;
};

struct FileEntry {
    std::uint64_t size = 0;
    std::string path;
    std::string name;
};

// The subfolders of `folder` named with exactly `digits` digits, in listing order.
std::vector<FolderEntry> ListDigitFolders(const std::string& folder, std::size_t digits);
// The ordinary clips directly in a time folder, in listing order.
std::vector<FileEntry> ListRecordingFiles(const std::string& folder);

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

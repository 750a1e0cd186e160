// Filing clips into the "Event" folder of their time folder. The split
// queues each move; the storage maintenance thread carries the queue out in
// order. A queued clip is never deleted by loop recording; a move that fails
// while its clip is still there is tried again on the next wake-ups, and
// after kMoveAttempts the clip stays where it is, kept from deletion for the
// rest of the run.
//
// The adjacent-clip rules decide which neighbours of an event clip are
// filed with it: an event in the first seconds of a clip also files the clip
// before it; an event in the last seconds of a clip also files the next one.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "sensing/evt_tag_record.h"

struct SpaceState;
struct ClipEventBlock;

constexpr int kMoveAttempts = 3;
// The lead-in and run-out of an event that reach into the neighbouring clip.
constexpr unsigned kEventLeadInSec = 6;
constexpr unsigned kEventRunOutSec = 5;

void InitSpaceState(SpaceState* space);
void DeleteSpaceState(SpaceState* space);

// Queues the move of a clip; a source already queued is not queued twice.
// 0 without the application state or for an empty path.
int QueueEventMove(os::HWND hwnd, const std::string& source, const std::string& destination);
// Files a clip lying in `folder` into `folder`\Event (made when missing):
// queues its move when the clip is still there. 1 when queued.
int FileEventClip(os::HWND hwnd, std::string_view folder, std::string_view name);
// Carries out the moves queued before the call, in order (1; 0 without the
// application state). Safe on any thread and beside a deletion pass.
int RunQueuedEventMoves(os::HWND hwnd);
// True when loop recording must not delete the file: it is being written,
// waits to be filed, or could not be filed.
bool IsClipKept(SpaceState* space, std::string_view path);
// The recording now being written (empty: none).
void SetOpenClip(SpaceState* space, std::string_view path);

// Which neighbours of the clip a split just closed go to "Event".
struct AdjacentFilings {
    bool older = false;  // the clip before it
    bool newer = false;  // the clip itself
};
// Takes the closed clip's event records (at most kClipEventRecords are
// kept), makes the previous newer clip the older one, and applies the rules.
AdjacentFilings RecordClosedClip(SpaceState* space, const EvtTagRecord* records, int count,
                                 std::string_view folder, std::string_view name, unsigned splitTimeSec);
// After a stop the next clip is not adjacent to the last one.
void ForgetClosedClips(SpaceState* space);

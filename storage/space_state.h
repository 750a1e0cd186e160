// The free-space bookkeeping's own state, part of the application state
// beside the four space counters (UsableTotal, EvtTotal, EvtFree, AviTotal):
// the scan accumulators, the queue of clips to file into "Event" folders,
// the event records of the last two clips for the adjacent-clip filings, and
// what the maintenance thread is told.
//
// Locks: the counters and the scan accumulators belong to the space-counter
// lock (EventRecorderApp::storageLock); the move queue, the kept paths and
// the open clip belong to moveLock, taken by every thread that touches them
// and never held across a file operation. The clip blocks are the main
// thread's alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "platform/kernel/sync.h"
#include "sensing/evt_tag_record.h"
#include "settings/fixed_text.h"

constexpr int kClipEventRecords = 500;

struct MoveRecord {
    std::string source;
    std::string destination;
    int failures = 0;
    unsigned claim = 0;  // the drain carrying it out now; 0: waiting
};

// One clip's event records as its file holds them, with where it lies.
struct ClipEventBlock {
    EvtTagRecord records[kClipEventRecords];
    int count = 0;
    FixedText<260> folder;
    FixedText<260> name;
};

struct SpaceState {
    std::uint64_t scanAll = 0;        // bytes of every file the last scan saw
    std::uint64_t scanProtected = 0;  // of those, the bytes deletion never removes
    std::uint64_t savedAll = 0;       // the accumulators before a trial computation
    std::uint64_t savedProtected = 0;

    os::CRITICAL_SECTION moveLock;
    std::list<MoveRecord> moves;  // stays queued until its move is done
    unsigned lastClaim = 0;
    // Clips whose filing failed for good: they stay where they are, and
    // deletion leaves them alone.
    std::vector<std::string> kept;
    std::string openClip;  // the recording being written, never deleted
    // Where and how far the maintenance thread deletes, as the main thread
    // last noted them (the settings and the storage root are its own).
    std::string passRoot;
    std::uint64_t passLevelBytes = 0;

    ClipEventBlock newerClip;  // the clip the last split closed
    ClipEventBlock olderClip;  // the one before it

    // The settings sheet changed what the recordings may take.
    std::atomic<bool> settingsChanged{false};
};

// Free-space management: what the storage maintenance thread does when it
// is woken (after each split, and when recording stops for lack of room),
// and what the rest of the program tells it. The pieces are in
// space_counters.h (the counters), event_filing.h (filing into "Event") and
// deletion_pass.h (loop deletion).
//
// The thread never touches state the main thread owns: a message for the
// driver is posted to the main window as WM_RECORDER_SPACE_MESSAGE with the
// resource string in wParam.
#pragma once

#include "platform/base/types.h"

constexpr os::UINT WM_RECORDER_SPACE_MESSAGE = 10540;
// Volumes smaller than this cannot hold loop recording.
constexpr unsigned long long kSmallestVolumeMB = 100;

// Notes the storage root and FileDeleteLevel for the deletion pass; the main
// thread calls it before it runs a pass or wakes the thread.
void NoteDeletionPlace(os::HWND hwnd);
// Wakes the maintenance thread (after NoteDeletionPlace).
void SignalStorageMaintenance(os::HWND hwnd);
// The settings sheet changed what recordings may take: the next wake-up
// checks the volume's size before deleting anything.
void NoteSpaceSettingsChanged(os::HWND hwnd);
// One wake-up of the maintenance thread: the queued filings, then the
// settings check, then a deletion pass.
void StorageMaintenanceWork(os::HWND hwnd);

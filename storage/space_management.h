// Free-space management: the space counters, the filing of event clips into
// "Event" and the deletion of the oldest clips, on the storage maintenance
// thread. Still to be built: these are its entry points as start-up and
// shutdown call them; each traces that it has nothing to do yet.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/types.h"

int UpdateUsableSpaceSetting(os::HWND hwnd);
// Recounts the space of the recording volume (the start-up bookkeeping).
int RefreshMemoryVars(os::HWND hwnd);
int DeleteOldRecordings(os::HWND hwnd);
// Carries out the queued moves of event clips into their "Event" folders.
int RunQueuedEventMoves(os::HWND hwnd);
// Counts a finished clip of `size` bytes into the space counters.
int UpdateTarvoMemoryVar(os::HWND hwnd, uint64_t size, int isEvent);
// Queues the move of a finished clip into its "Event" folder.
int QueueEventMove(os::HWND hwnd, const std::string& source, const std::string& destination);
// The maintenance thread's work on each wake-up.
void StorageMaintenanceWork(os::HWND hwnd);

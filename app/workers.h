// Start and stop of the program's long-running workers: created suspended,
// then resumed; stopped by their flag and stop event with a bounded wait. A
// worker that does not end in time cannot be killed on this host: it is left
// running (logged), and the caller must keep alive everything it uses.
#pragma once

#include "app/app_state.h"

bool StartWorker(WorkerThread* worker, os::LPTHREAD_START_ROUTINE body, void* arg, int priority, bool withEvents,
                 const char* name);
// True when the worker ended within `timeoutMs`.
bool StopWorker(WorkerThread* worker, os::DWORD timeoutMs);

void StartRotationWatchThread();
bool StopRotationWatchThread();
void StartPowerNotificationThread(os::HWND hwnd);
void StopPowerNotificationThread(os::HWND hwnd);
void StartStorageMaintenanceThread(os::HWND hwnd);
bool StopStorageMaintenanceThread(os::HWND hwnd);

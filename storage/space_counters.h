// The four space counters of the recording volume and how they are
// computed. UsableTotal is what the recordings may occupy (the FreeSpaceMB
// quota, or the volume's free bytes plus the bytes already under the
// recording root); EvtTotal the protected bytes (see recording_names.h);
// EvtFree = UsableTotal - EvtTotal, the room left for ordinary clips;
// AviTotal every byte under the recording root. All are 64-bit and never
// wrap: what would go below 0 stops at 0. They are read and written only
// under the space-counter lock (EventRecorderApp::storageLock).
//
// Operations that take the main window return 1, or 0 without the
// application state.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/types.h"
#include "platform/files/file.h"

struct SpaceState;

constexpr std::uint64_t kBytesPerMB = 1048576;

struct SpaceCounters {
    std::uint64_t UsableTotal = 0;
    std::uint64_t EvtTotal = 0;
    std::uint64_t EvtFree = 0;
    std::uint64_t AviTotal = 0;
};

// Walks `folder` and every folder below it, adding each file's size to the
// accumulators scanAll and, unless it is an ordinary clip, scanProtected.
// The caller zeroes them first.
void ScanRecordingTree(SpaceState* space, const std::string& folder);

// Counts the recording tree of `folder` (empty: the recording root of
// StorageRoot). quotaMB -1 takes FreeSpaceMB as the quota (0: none), 0 none,
// another value that many megabytes. Returns the room for ordinary clips
// (which 0), the protected bytes (1) or all bytes (2). With commit the
// counters take the result (UsableTotal stays); without, the scan
// accumulators are left as they were, so a settings page can try a volume.
std::uint64_t ComputeMemoryVars(os::HWND hwnd, int commit, int which, const std::string& folder,
                                long long quotaMB);
// The committed recount: ComputeMemoryVars(hwnd, 1, 0, "", -1).
int RefreshMemoryVars(os::HWND hwnd);
// UsableTotal from the quota, or from the free bytes of SelectDisk's volume
// plus the bytes under its recording root.
int UpdateUsableSpaceSetting(os::HWND hwnd);
// A finished clip of `size` bytes: every clip adds to AviTotal, an event
// clip also moves the bytes from EvtFree to EvtTotal.
int UpdateTarvoMemoryVar(os::HWND hwnd, std::uint64_t size, int isEvent);
// A clip already counted as ordinary that is filed as an event after all.
int CountClipAsProtected(os::HWND hwnd, std::uint64_t size);
// A deleted ordinary clip leaves AviTotal.
int CountDeletedClip(os::HWND hwnd, std::uint64_t size);

// A file's 64-bit size as a folder listing gives it, and the size of the
// file at `path` (0 when there is none).
std::uint64_t FoundFileBytes(const os::WIN32_FIND_DATAW& data);
std::uint64_t FileBytesAt(const std::string& path);

// The total free bytes of the volume holding `path`; 0 when they cannot be read.
std::uint64_t VolumeTotalFree(const std::string& path);

// The counters as they are now; all 0 without the application state.
SpaceCounters ReadSpaceCounters(os::HWND hwnd);


// Choosing the storage volume. Mounted volumes show as root folders with the
// directory and temporary attributes and a "\<name>\VOL:" device that opens;
// the storage manager lists the same volumes as removable stores. Operations
// that take the main window reach the settings through its application state
// and return 1 (found) or 0; without the state they return 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/base/types.h"

// Looks for the volume of SelectDisk among the mounted volumes. With
// SelectDisk empty and enoughSpace given, picks "Storage Card" only when it
// is the roomiest volume seen up to its place in the listing, and writes it
// into SelectDisk (not to the registry). enoughSpace, when given, is set from
// the free space of the volume found (or the roomiest seen) when that is not
// 0, else left as the caller set it. A volume of the stored SelectDisk found
// with enough space saves the whole settings record.
int CheckStorageCard(os::HWND hwnd, bool* enoughSpace);
// The space that must stay free on the recording volume, in bytes:
// minFreeSpaceMB megabytes less `slack`, never below 0. The split leaves
// 4096 bytes of slack, the restart after a settings change 1024.
constexpr std::uint64_t kSplitSlack = 4096;
constexpr std::uint64_t kRestartSlack = 1024;
std::uint64_t FreeSpaceReserve(std::uint32_t minFreeSpaceMB, std::uint64_t slack = kSplitSlack);

// Start-up fallback when SelectDisk's volume is gone: the first mounted volume
// whose device opens and whose name differs from SelectDisk becomes
// SelectDisk and is written to the registry at once. 0 when there is none.
int SelectOtherMountedVolume(os::HWND hwnd);

// Whether the storage manager reports a mounted partition of that volume
// name ("Storage Card") on a removable store.
bool IsVolumeMounted(std::string_view name);

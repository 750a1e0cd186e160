// The storage manager ("\StoreMgr"): which storage devices the phone has and
// which of their partitions are mounted where.
//
// Each mounted volume is one removable store ("DSK1:", "DSK2:" ... by the
// volume's place in the simulator's list) holding one mounted FAT partition
// whose szVolumeName is the volume's folder name without a leading backslash
// ("Storage Card"), the form the storage settings keep. A volume that is
// not mounted has no store. Searches list what was there at their first
// call; a store opened before its volume was unmounted lists no partition
// and fails with ERROR_DEVICE_NOT_AVAILABLE.
#pragma once

#include <string>

#include "platform/base/types.h"

namespace os {

constexpr DWORD STORE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD STORE_ATTRIBUTE_REMOVABLE = 0x2;
constexpr DWORD PARTITION_ATTRIBUTE_READONLY = 0x2;
constexpr DWORD PARTITION_ATTRIBUTE_MOUNTED = 0x20;

struct STOREINFO {
    std::string szDeviceName;  // "DSK1:", what OpenStore takes
    std::string szStoreName;
    DWORD dwAttributes = 0;    // STORE_ATTRIBUTE_*
    DWORD dwPartitionCount = 0;
    DWORD dwMountCount = 0;
};

struct PARTINFO {
    std::string szPartitionName;
    std::string szFileSys;
    std::string szVolumeName;  // "Storage Card"
    DWORD dwAttributes = 0;    // PARTITION_ATTRIBUTE_*
};

// INVALID_HANDLE_VALUE with ERROR_NO_MORE_ITEMS when no store exists.
HANDLE FindFirstStore(STOREINFO* info);
// FALSE with ERROR_NO_MORE_ITEMS after the last store.
BOOL FindNextStore(HANDLE search, STOREINFO* info);
BOOL FindCloseStore(HANDLE search);

// A store by its device name; closed with CloseHandle.
HANDLE OpenStore(const char* deviceName);
HANDLE FindFirstPartition(HANDLE store, PARTINFO* info);
BOOL FindNextPartition(HANDLE search, PARTINFO* info);
BOOL FindClosePartition(HANDLE search);

}  // namespace os

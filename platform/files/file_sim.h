// The simulator's side of the file system: where the device's files live on
// the host and which storage volumes the phone has. The program never calls
// these; the launcher and the tests do.
//
// Host layout under the device root folder:
//   <root>/fs/               the device's own folders ("\windows", "\My Documents")
//   <root>/volumes/<name>/   a volume without a host folder of its own; it
//                            appears as "\<name>" only while mounted
// A volume may instead be bound to any host folder. The folder of the
// program's device path ("\Program Files\Kestrava") is bound to a host
// folder too: the build folder with the executable and its res/ libraries,
// which the program can read but not change.
// A bound folder hides a host entry of the same name beneath it.
//
// The listing of a folder gives its host entries sorted by name, then the
// volumes and bound folders placed in it, in the order configured.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os::sim {

struct VolumeConfig {
    std::string name;             // a root folder name, e.g. "Storage Card"
    ULONGLONG capacityBytes = 0;  // 0: the host file system's figures
    bool mounted = true;          // at configuration
    std::string hostFolder;       // empty: <root>/volumes/<name>
};

struct FileSystemConfig {
    std::string deviceRoot;  // host folder; created if missing
    std::string programDevicePath = "\\Program Files\\Kestrava\\kestrava.exe";
    std::string programHostFolder;  // bound to the program's device folder; empty: none
    std::vector<VolumeConfig> volumes;
};

// Replaces the whole configuration: every handle of the previous one is
// dropped and the record of written files starts empty. Mounted volumes are
// counted at once; no device-change message is sent. False with a reason
// when a folder cannot be made or a name or path is not usable.
bool ConfigureFileSystem(const FileSystemConfig& config, std::string* error);

// Insert or remove a card at run time. Each change is announced to the
// program's top-level windows with WM_DEVICECHANGE (DBT_DEVICEARRIVAL,
// DBT_DEVICEREMOVECOMPLETE; lParam 0). False, and no message, when the
// volume is unknown or already in that state.
bool MountVolume(const std::string& name);
bool UnmountVolume(const std::string& name);

// Other programs' files take `bytes` more of a volume with a capacity, at
// most all of its free space; its free space drops by that much, and writes
// that no longer fit fail with ERROR_DISK_FULL. 0 gives back all that earlier
// fills took. What fills took stays across unmount and mount (the files stay
// on the card) until the next configuration; nothing appears in its folders.
// False, changing nothing, when the volume is unknown, has no capacity or is
// not mounted.
bool FillVolume(const std::string& name, ULONGLONG bytes);

// Device paths of the files the program created or wrote since the
// configuration, in the order of their first write; a moved file is listed
// under its new path, a deleted one no longer.
std::vector<std::string> FilesWritten();

}  // namespace os::sim

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
// which the program can read but not change; so can "\windows", bound to
// the folder of the handset's system sounds.
// A bound folder hides a host entry of the same name beneath it.
//
// The listing of a folder gives its host entries sorted by name, then the
// volumes and bound folders placed in it, in the order configured.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os::sim {

// A file the card holds when the configuration is made: zeros, sparse on
// the host (no data is written, so gigabytes cost no disk and no time).
struct VolumeFile {
    std::string path;        // below the volume's root: "Ardvane\\20090301\\0800.avi" ("/" also separates)
    ULONGLONG sizeBytes = 0;
    DWORD attributes = 0;    // FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM, _ARCHIVE; 0: none
};

struct VolumeConfig {
    std::string name;             // a root folder name, e.g. "Storage Card"
    ULONGLONG capacityBytes = 0;  // 0: the host file system's figures
    bool mounted = true;          // at configuration
    std::string hostFolder;       // empty: <root>/volumes/<name>
    // Laid onto the volume's host folder, mounted or not, before its bytes
    // are counted: each replaces the entry of its name (a folder is not
    // replaced), with the folders on the way made.
    std::vector<VolumeFile> files = {};
};

// Whether the files can be laid onto the volume: each path below its root
// (names separated by "\" or "/", no leading separator, none of them empty,
// "." or "..", each a name the device takes, and "\<volume>\<path>" at
// most MAX_PATH characters), no path given twice and no file's path a folder
// on the way to another (compared as the device compares names), the sizes
// within a capacity. False with the index of the first file at fault
// (files.size() for the sizes' sum) and what is wrong with it.
bool CheckVolumeFiles(const VolumeConfig& volume, std::size_t* at, std::string* why);

struct FileSystemConfig {
    std::string deviceRoot;  // host folder; created if missing
    std::string programDevicePath = "\\Program Files\\Kestrava\\kestrava.exe";
    std::string programHostFolder;  // bound to the program's device folder; empty: none
    // Bound to "\windows", read-only like the program's folder: the
    // handset's system sounds. Empty: "\windows" is an ordinary folder of the
    // device root (and holds none of them).
    std::string windowsHostFolder;
    std::vector<VolumeConfig> volumes;
};

// Replaces the whole configuration: every handle of the previous one is
// dropped and the record of written files starts empty. The volumes' files
// are laid out, then mounted volumes are counted at once; no device-change
// message is sent, and laid-out files are not among the files written. False
// with a reason when a folder cannot be made, a name or path is not usable or
// a file cannot be laid out (naming it and the host's reason); files laid out
// before the failure stay.
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

// Power cuts, modelled on the fault-injecting file layers storage engines
// test their crash safety with. Each file's data is durable up to its last
// FlushFileBuffers or the close of a handle open for writing it; what was
// written since (appended, overwritten or cut off by SetEndOfFile) is
// pending. Folder changes (create, move, delete) are durable at once.
enum class LostWrites {
    Dropped,  // a cut keeps only the durable data
    Zeros,    // the pending bytes past the durable size read as zeros
    Garbage,  // they read as pseudo-random bytes, the same for every run
};
// Cuts the power: waits for writes under way, then gives every file with
// pending data back its durable bytes (overwritten durable bytes come back,
// the file shrinks to its durable size or keeps its length filled as `lost`
// says). From then on every write, truncation and change to a folder fails
// with ERROR_DEVICE_NOT_AVAILABLE and changes nothing, until the next
// configuration. False when the power was already cut.
bool CutPower(LostWrites lost);
bool PowerWasCut();

// A card that fills up or is pulled out in the middle of a write: counting
// from this call, the writes to files on the volume take `bytes` more bytes;
// the write that reaches the limit writes what fits and fails. Full: the
// volume then has no room left (ERROR_DISK_FULL, as a write that no longer
// fits); Removed: the card is unmounted (as UnmountVolume, with its
// message) and the write fails with ERROR_DEVICE_NOT_AVAILABLE. One fault
// at a time; a new call replaces it. False, changing nothing, when the
// volume is unknown or not mounted, or is to fill up without a capacity.
enum class WriteFault { Full, Removed };
bool FailWritesAfter(const std::string& volume, ULONGLONG bytes, WriteFault fault);

// Device paths of the files the program created or wrote since the
// configuration, in the order of their first write; a moved file is listed
// under its new path, a deleted one no longer.
std::vector<std::string> FilesWritten();

}  // namespace os::sim

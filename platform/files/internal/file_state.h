// Internal to the file system: its one table of volumes, bound folders,
// open objects and searches, guarded by one host mutex. The mutex is held
// for path operations (short host calls) but not while file data is read or
// written, and never across a platform wait or a broadcast.
//
// A lookup stays beneath the host folder of its mount: it walks the path one
// folder at a time through descriptors opened without following symbolic
// links, refuses a link wherever it meets one, and the operation then works
// on the last folder it opened (Resolved::At), so that a folder swapped for
// a link meanwhile cannot lead it elsewhere.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/files/file.h"
#include "platform/files/internal/file_path.h"
#include "platform/files/storage_manager.h"

namespace os::sim {
struct VolumeConfig;
enum class WriteFault;
}

namespace os::detail::fs {

// The system folder, which the simulator may bind to a host folder.
constexpr const char* kWindowsFolder = "windows";

struct Volume {
    std::string name;
    std::string host;
    ULONGLONG capacity = 0;
    unsigned number = 0;  // 1-based place in the configuration: "DSK<number>:"
    bool mounted = false;
    // Bumped at every mount; objects opened under an older one are dead.
    std::uint64_t generation = 0;
    // Bytes of the files below the root, for a volume with a capacity:
    // counted at mount, then kept by writes, truncations, moves and deletes.
    ULONGLONG used = 0;
    // Bytes taken by other programs' files (FillVolume): not in the host
    // folder, kept across mounts until the next configuration.
    ULONGLONG filled = 0;
};
using VolumePtr = std::shared_ptr<Volume>;

// A device folder served by a host folder: the root, a mounted volume or
// the program's folder or "\windows".
struct Mount {
    std::vector<std::string> at;
    std::string host;
    VolumePtr volume;
    bool readOnly = false;  // the program's folder and "\windows": nothing in them changes
};

class HostFd;

// A device path looked up on the host.
struct Resolved {
    std::vector<std::string> parts;  // canonical: the case found on the host
    std::string host;                // for naming and comparing only (see At)
    std::string mountHost;           // host folder of the mount it lies in
    VolumePtr volume;                // null outside the volumes
    bool readOnly = false;           // in the program's folder
    bool exists = false;
    bool mountPoint = false;
    struct stat st {};  // of the entry itself, never of a link's target
    // The folder holding the entry, as opened by the lookup; null for a
    // mount point.
    std::shared_ptr<HostFd> folder;
    std::string name;  // the entry's name in that folder

    // The path host calls take for the entry, through the folder the lookup
    // opened ("/proc/self/fd/N/name"); valid while this Resolved lives.
    // Calls on it must not follow a link in its last component.
    std::string At() const;
    // The same for another name in the entry's folder.
    std::string AtSibling(const std::string& sibling) const;
};

class HostFd {
public:
    explicit HostFd(int fd) : fd_(fd) {}
    ~HostFd();
    HostFd(const HostFd&) = delete;
    HostFd& operator=(const HostFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// An object behind a CloseHandle-able handle of the file system.
struct OpenObject {
    enum class Kind { File, VolumeDevice, Store };
    Kind kind = Kind::File;
    VolumePtr volume;  // null for a file outside the volumes
    std::uint64_t generation = 0;
    // Files only.
    std::unique_ptr<HostFd> fd;
    std::string host;
    std::string device;
    dev_t dev = 0;
    ino_t ino = 0;
    DWORD access = 0;
    DWORD share = 0;
    bool recorded = false;  // already in the list of files written
};
using OpenPtr = std::shared_ptr<OpenObject>;

// Data of one host file written since it was last made durable: its size
// then, and the durable bytes overwritten or cut off since, in the order
// they were replaced.
struct PendingData {
    LONGLONG durableSize = 0;
    std::vector<std::pair<LONGLONG, std::vector<char>>> replaced;
    OpenPtr writer;  // a handle to give the bytes back through at a cut
};
using FileKey = std::pair<dev_t, ino_t>;

struct ArmedWriteFault {
    VolumePtr volume;
    ULONGLONG bytesLeft = 0;
    sim::WriteFault fault{};
};

using FindList = std::variant<std::vector<WIN32_FIND_DATAW>, std::vector<STOREINFO>, std::vector<PARTINFO>>;
struct FindObject {
    FindList entries;
    std::size_t next = 0;
};

struct State {
    std::mutex mutex;
    bool configured = false;
    std::string fsHost;
    std::vector<std::string> programAt;  // device folder of the program
    std::string programHost;
    std::string programPath;
    std::string windowsHost;  // bound to "\windows"; empty: an ordinary folder of the root
    std::vector<VolumePtr> volumes;
    std::unordered_map<std::uintptr_t, OpenPtr> open;
    std::unordered_map<std::uintptr_t, std::shared_ptr<FindObject>> finds;
    std::vector<std::string> written;
    // Power-cut model (file_durability.cpp).
    std::map<FileKey, PendingData> pending;
    std::optional<ArmedWriteFault> writeFault;
    bool powerCut = false;
    int writesUnderWay = 0;
    std::condition_variable writesDone;
};

State& TheState();

// Sets the last error when there is one; TRUE on ERROR_SUCCESS. Called
// once the mutex is released.
BOOL Finish(DWORD error);
DWORD ErrorFromErrno(int error);

// Mount table and lookup (file_namespace.cpp).
std::vector<Mount> Mounts(const State& state);
// A listing of the folder `name` in the open folder, not through a link;
// null with errno set on failure.
DIR* OpenFolderListing(int folder, const std::string& name);
// The host entry of the open folder that is the name: the exact one if
// present, else the first (in byte order) equal to it without case;
// ERROR_FILE_NOT_FOUND when there is none, else the host's error with errno
// still set.
DWORD FindName(int folder, const std::string& name, std::string* found);
DWORD Resolve(const State& state, const std::vector<std::string>& parts, Resolved* out);
// Parses and resolves; a missing last component is left to the caller.
DWORD ResolvePath(const State& state, const char* path, LastPart last, Resolved* out);
struct DirEntry {
    std::string name;
    std::string host;
    bool mountPoint = false;
    VolumePtr volume;
    struct stat st {};
};
DWORD ListFolder(const State& state, const Resolved& folder, std::vector<DirEntry>* out);
bool HasMountBelow(const State& state, const std::vector<std::string>& folder);

// Attributes (file_attributes.cpp).
DWORD HostAttributes(const std::string& host, const struct stat& st);
DWORD MountPointAttributes(const VolumePtr& volume);
DWORD AttributesOf(const Resolved& r);
bool IsReadOnly(const struct stat& st);
// Gives a file or folder the attributes; nothing changes on failure.
DWORD ApplyAttributes(const std::string& host, const struct stat& st, DWORD attributes);
// The same with the host's reason: 0 or its errno.
int SetHostAttributes(const std::string& host, const struct stat& st, DWORD attributes);

// Handles (file_handles.cpp).
HANDLE AddOpen(State& state, OpenPtr object);
// The live object of a handle, or the error to report.
DWORD LookupOpen(const State& state, HANDLE handle, OpenObject::Kind kind, OpenPtr* out);
// A search whose first entry the caller has already handed out.
HANDLE AddFind(State& state, FindList entries);
// Moves every open object and search out of the state (to be released off
// the mutex) and gives their handle values back.
void DropHandles(State& state, std::unordered_map<std::uintptr_t, OpenPtr>* open,
                 std::unordered_map<std::uintptr_t, std::shared_ptr<FindObject>>* finds);
bool IsAlive(const OpenObject& object);
// True when a live open file of the host file (or below the host folder)
// exists.
bool IsOpen(const State& state, const struct stat& st);
bool IsOpenBelow(const State& state, const std::string& hostFolder);
// Searches; T is one of the entry types of FindList (instantiated in
// file_handles.cpp for the three of them).
template <typename T>
BOOL TakeNext(HANDLE search, T* out);
template <typename T>
BOOL CloseFind(HANDLE search);
// Starts a search: `build` fills the entries under the state's lock; the
// first one goes to *out and the rest stay with the returned handle. No
// entries is ERROR_NO_MORE_ITEMS unless `build` reported an error of its own.
template <typename T, typename Build>
HANDLE StartSearch(T* info, Build build)
{
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        std::vector<T> entries;
        error = build(state, &entries);
        if (error == ERROR_SUCCESS && entries.empty()) error = ERROR_NO_MORE_ITEMS;
        if (error == ERROR_SUCCESS) {
            *info = entries.front();
            handle = AddFind(state, std::move(entries));
        }
    }
    Finish(error);
    return handle;
}

// Volume space (file_space.cpp).
bool Tracked(const VolumePtr& volume);
void AddUsage(const VolumePtr& volume, LONGLONG delta);
ULONGLONG Room(const Volume& volume);
ULONGLONG CountBytesBelow(const std::string& host);

// Laid-out files (file_layout.cpp): the volume's files, already checked
// with CheckVolumeFiles, onto its host folder.
bool LayOutFiles(const sim::VolumeConfig& volume, const std::string& host, std::string* why);

// Power-cut model (file_durability.cpp), under the mutex. Before a write
// of `count` bytes at `start` or a truncation to `newSize`, the durable
// bytes it replaces are kept; a flush or a close makes the file durable.
DWORD NoteWrite(State& state, const OpenPtr& object, LONGLONG start, LONGLONG count);
DWORD NoteTruncate(State& state, const OpenPtr& object, LONGLONG newSize);
void MakeDurable(State& state, const OpenObject& object);
// ERROR_DEVICE_NOT_AVAILABLE once the power is cut.
DWORD PowerError(const State& state);
// The bytes the armed fault lets a write of `count` bytes to the object's
// volume take; *fires when the fault happens at this write.
DWORD AllowedByFault(State& state, const OpenObject& object, DWORD count, bool* fires);

// Record of written files (file_sim.cpp).
void RecordWritten(State& state, const std::string& device);
void ForgetWritten(State& state, const std::string& device);
void RenameWritten(State& state, const std::string& from, const std::string& to);

}  // namespace os::detail::fs

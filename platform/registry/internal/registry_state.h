// For the registry's own files: the one registry of the process, guarded by
// one host mutex. Every call works under a RegistryLock; a change is made on
// a copy of the tree, written to the file, and only then becomes the
// registry, so a failed write changes nothing. Notifications that a change
// triggers are posted when the lock is released, never under it.
//
// Other processes on the same device root share the file: a RegistryLock
// also holds an flock on "registry.json.lock" beside it and, before the
// call goes on, reads the file again when it is no longer the one this
// process last read or wrote. So each change is made to the latest registry
// and none is lost between processes.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/registry/internal/registry_tree.h"

namespace os::detail {

struct OpenKey {
    std::string path;
    std::uint64_t serial = 0;
};

struct ValueWatch {
    std::string keyPath;
    std::string valueName;
    HWND hwnd = nullptr;
    UINT msg = 0;
    DWORD userData = 0;
};

struct RegistryState {
    std::mutex mutex;
    bool open = false;
    bool readOnly = false;
    std::string file;
    RegTree tree;
    std::map<std::uintptr_t, OpenKey> keys;
    std::map<std::uintptr_t, ValueWatch> watches;
    sim::RegistryCrashPoint crash = sim::RegistryCrashPoint::None;
    std::size_t crashBytes = 0;
    int lockFd = -1;  // -1 where no lock file can be had (a read-only root)
    // The file as last read or written, held open so that no other file can
    // take its inode number while it is compared with what is on the host.
    int seenFd = -1;
    struct stat seen {};  // st_ino 0: there was no file
    // Why the file on the host could not be read at the last look; changes
    // are refused meanwhile, as they would replace what was not read.
    std::string unreadable;
};

// Ways to read the file anew (registry_sync.cpp), under the mutex and the
// file lock.
enum class FileCatchUp { Same, Read, Recovered, Unreadable };
// Reads the file when it changed: the tree becomes its content, and the
// watches whose values differ are added to *posts. A malformed file is set
// aside (Recovered, *error says why and where it went); what could be read
// of it becomes the registry and is written back. Unreadable keeps the tree.
FileCatchUp CatchUpWithFile(RegistryState& state, std::vector<ValueWatch>* posts, std::string* error);
// The watches whose values differ between the trees, added to *posts.
void AddChangedWatches(const RegistryState& state, const RegTree& before, const RegTree& after,
                       std::vector<ValueWatch>* posts);
// After this process replaced the file: it is the one seen.
void NoteFileWritten(RegistryState& state);
// Closes the files held; the state's other fields stay.
void ReleaseFiles(RegistryState& state);

class RegistryLock {
public:
    // Under the mutex and, while a registry is open, the file lock, with the
    // tree caught up with the file.
    RegistryLock();
    // Under the mutex only: for opening and closing the registry.
    struct StateOnly {};
    explicit RegistryLock(StateOnly);
    ~RegistryLock();
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;

    RegistryState& State() { return state_; }
    const RegTree& Tree() const { return state_.tree; }
    // The path of an open key or root; ERROR_DEVICE_NOT_AVAILABLE,
    // ERROR_INVALID_HANDLE or ERROR_KEY_DELETED when there is none.
    LONG KeyPath(HKEY key, std::string* path) const;
    // A new handle number for a key or a notification.
    std::uintptr_t NewHandle();
    // Makes `next` the registry once it is in the file.
    LONG Commit(RegTree next);
    // Takes the file lock of the state's lockFd (released with the lock).
    void LockFile();

private:
    RegistryState& state_;
    std::unique_lock<std::mutex> lock_;
    int lockedFd_ = -1;
    std::vector<ValueWatch> posts_;
};

}  // namespace os::detail

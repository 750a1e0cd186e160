// For the registry's own files: the one registry of the process, guarded by
// one host mutex. Every call works under a RegistryLock; a change is made on
// a copy of the tree, written to the file, and only then becomes the
// registry, so a failed write changes nothing. Notifications that a change
// triggers are posted when the lock is released, never under it.
#pragma once

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
};

class RegistryLock {
public:
    RegistryLock();
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

private:
    RegistryState& state_;
    std::unique_lock<std::mutex> lock_;
    std::vector<ValueWatch> posts_;
};

}  // namespace os::detail

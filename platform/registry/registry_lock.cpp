#include <sys/file.h>

#include <cerrno>
#include <cstring>

#include "platform/registry/internal/registry_file.h"
#include "platform/registry/internal/registry_state.h"
#include "platform/base/host_problem.h"
#include "platform/base/trace.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/windows/window.h"

namespace os::detail {

namespace {

RegistryState& TheRegistry()
{
    static RegistryState state;
    return state;
}

}  // namespace

RegistryLock::RegistryLock() : state_(TheRegistry()), lock_(state_.mutex)
{
    if (!state_.open) {
        return;
    }
    LockFile();
    // A file that stays unreadable is reported once, not at every call.
    const std::string unreadableBefore = state_.unreadable;
    std::string error;
    const FileCatchUp result = CatchUpWithFile(state_, &posts_, &error);
    if (result == FileCatchUp::Recovered || (result == FileCatchUp::Unreadable && error != unreadableBefore)) {
        PlatformLog("registry: %s", error.c_str());
    }
}

RegistryLock::RegistryLock(StateOnly) : state_(TheRegistry()), lock_(state_.mutex) {}

void RegistryLock::LockFile()
{
    if (state_.lockFd < 0) {
        return;
    }
    while (::flock(state_.lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            PlatformLog("registry: cannot lock %s.lock: %s", state_.file.c_str(), std::strerror(errno));
            return;
        }
    }
    lockedFd_ = state_.lockFd;
}

RegistryLock::~RegistryLock()
{
    if (lockedFd_ >= 0 && lockedFd_ == state_.lockFd) {
        ::flock(lockedFd_, LOCK_UN);
    }
    lock_.unlock();
    for (const ValueWatch& watch : posts_) {
        if (!PostMessageW(watch.hwnd, watch.msg, 0, static_cast<LPARAM>(watch.userData))) {
            PlatformLog("registry: change of \"%s\" \"%s\" not posted, window gone", watch.keyPath.c_str(),
                        watch.valueName.c_str());
        }
    }
}

LONG RegistryLock::KeyPath(HKEY key, std::string* path) const
{
    if (!state_.open) {
        return ERROR_DEVICE_NOT_AVAILABLE;
    }
    if (const char* root = RegTree::RootName(key)) {
        *path = root;
        return ERROR_SUCCESS;
    }
    const auto it = state_.keys.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == state_.keys.end()) {
        return ERROR_INVALID_HANDLE;
    }
    const RegKey* found = state_.tree.Find(it->second.path);
    if (!found || found->serial != it->second.serial) {
        return ERROR_KEY_DELETED;
    }
    *path = found->path;
    return ERROR_SUCCESS;
}

std::uintptr_t RegistryLock::NewHandle() { return NewHandleValue(HandleKind::Registry); }

LONG RegistryLock::Commit(RegTree next)
{
    if (state_.readOnly) {
        return ERROR_ACCESS_DENIED;
    }
    if (!state_.unreadable.empty()) {
        PlatformLog("registry: change refused: %s", state_.unreadable.c_str());
        return ERROR_READ_FAULT;
    }
    const sim::RegistryCrashPoint crash = state_.crash;
    state_.crash = sim::RegistryCrashPoint::None;
    std::string error;
    const LONG result = WriteFileAtomically(state_.file, FormatRegistry(next), crash, state_.crashBytes, &error);
    if (result != ERROR_SUCCESS) {
        PlatformLog("registry: change refused: %s", error.c_str());
        if (crash == sim::RegistryCrashPoint::None) sim::ReportHostProblem("registry", "settings not saved: " + error);
        return result;
    }
    NoteFileWritten(state_);
    AddChangedWatches(state_, state_.tree, next, &posts_);
    state_.tree = std::move(next);
    return ERROR_SUCCESS;
}

}  // namespace os::detail

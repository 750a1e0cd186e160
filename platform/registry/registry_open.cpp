#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/registry/internal/registry_file.h"
#include "platform/registry/internal/registry_state.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/base/trace.h"

namespace os::sim {

namespace {

constexpr const char* kFileName = "registry.json";

void Reset(detail::RegistryState& state)
{
    detail::ReleaseFiles(state);
    state.open = false;
    state.readOnly = false;
    state.file.clear();
    state.tree = detail::RegTree();
    for (const auto& entry : state.keys) detail::ReleaseHandleValue(entry.first, detail::HandleKind::Registry);
    for (const auto& entry : state.watches) detail::ReleaseHandleValue(entry.first, detail::HandleKind::Registry);
    state.keys.clear();
    state.watches.clear();
    state.crash = RegistryCrashPoint::None;
}

// Temporary files of processes that no longer run (or of this one) are what
// an interrupted write left behind; another live instance's file is its own.
void RemoveAbandonedTemporaryFiles(const std::string& deviceRoot, const std::string& prefix)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(deviceRoot, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + prefix.size()));
        const bool alive = pid > 0 && pid != ::getpid() && (::kill(pid, 0) == 0 || errno != ESRCH);
        if (alive) continue;
        PlatformLog("registry: removing %s left by an interrupted write", entry.path().c_str());
        std::error_code removeError;
        if (!std::filesystem::remove(entry.path(), removeError)) {
            PlatformLog("registry: cannot remove %s: %s", entry.path().c_str(), removeError.message().c_str());
        }
    }
}

// The lock file beside the registry file; -1 where the root is read-only
// and none exists (changes then fail anyway).
int OpenLockFile(const std::string& file)
{
    const std::string name = file + ".lock";
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        PlatformLog("registry: cannot open %s: %s; changes of other processes may be lost", name.c_str(),
                    std::strerror(errno));
    }
    return fd;
}

}  // namespace

RegistryOpenResult OpenRegistry(const std::string& deviceRoot, std::string* error)
{
    detail::RegistryLock lock{detail::RegistryLock::StateOnly{}};
    detail::RegistryState& state = lock.State();
    Reset(state);
    struct stat root {};
    const int rootError = ::stat(deviceRoot.c_str(), &root) != 0 ? errno : (S_ISDIR(root.st_mode) ? 0 : ENOTDIR);
    if (rootError != 0) {
        *error = "registry: device root " + deviceRoot + ": " + std::strerror(rootError);
        return RegistryOpenResult::Failed;
    }
    state.file = (std::filesystem::path(deviceRoot) / kFileName).string();
    state.lockFd = OpenLockFile(state.file);
    lock.LockFile();
    RemoveAbandonedTemporaryFiles(deviceRoot, std::string(kFileName) + ".tmp.");
    switch (detail::CatchUpWithFile(state, nullptr, error)) {
    case detail::FileCatchUp::Unreadable:
        Reset(state);
        return RegistryOpenResult::Failed;
    case detail::FileCatchUp::Recovered:
        state.open = true;
        return RegistryOpenResult::Recovered;
    default:
        state.open = true;
        return RegistryOpenResult::Loaded;
    }
}

void CloseRegistry()
{
    detail::RegistryLock lock{detail::RegistryLock::StateOnly{}};
    Reset(lock.State());
}

void SetRegistryReadOnly(bool readOnly)
{
    detail::RegistryLock lock{detail::RegistryLock::StateOnly{}};
    lock.State().readOnly = readOnly;
}

void SetRegistryCrashPoint(RegistryCrashPoint point, std::size_t bytes)
{
    detail::RegistryLock lock{detail::RegistryLock::StateOnly{}};
    lock.State().crash = point;
    lock.State().crashBytes = bytes;
}

}  // namespace os::sim

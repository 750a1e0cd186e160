#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/registry/internal/registry_file.h"
#include "platform/registry/internal/registry_state.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/base/trace.h"

namespace os::sim {

namespace {

constexpr const char* kFileName = "registry.json";

// "registry.json.malformed", or the first free ".malformed.N".
std::string FreeMalformedName(const std::string& file)
{
    std::string name = file + ".malformed";
    std::error_code ec;
    for (int n = 1; std::filesystem::exists(name, ec) || ec; ++n) {
        name = file + ".malformed." + std::to_string(n);
    }
    return name;
}

void Reset(detail::RegistryState& state)
{
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

}  // namespace

RegistryOpenResult OpenRegistry(const std::string& deviceRoot, std::string* error)
{
    detail::RegistryLock lock;
    detail::RegistryState& state = lock.State();
    Reset(state);
    std::error_code ec;
    if (!std::filesystem::is_directory(deviceRoot, ec)) {
        *error = "registry: device root " + deviceRoot + " is not a folder";
        return RegistryOpenResult::Failed;
    }
    const std::string file = (std::filesystem::path(deviceRoot) / kFileName).string();
    RemoveAbandonedTemporaryFiles(deviceRoot, std::string(kFileName) + ".tmp.");
    const detail::RegFileLoad load = detail::LoadRegistryFile(file, &state.tree, error);
    if (load == detail::RegFileLoad::Unreadable) {
        return RegistryOpenResult::Failed;
    }
    RegistryOpenResult result = RegistryOpenResult::Loaded;
    if (load == detail::RegFileLoad::Malformed) {
        const std::string aside = FreeMalformedName(file);
        std::filesystem::rename(file, aside, ec);
        if (ec) {
            *error += "; it cannot be moved aside to " + aside + ": " + ec.message();
            return RegistryOpenResult::Failed;
        }
        *error += "; the file was kept as " + aside + " and the registry starts empty";
        result = RegistryOpenResult::Recovered;
    }
    state.file = file;
    state.open = true;
    return result;
}

void CloseRegistry()
{
    detail::RegistryLock lock;
    Reset(lock.State());
}

void SetRegistryReadOnly(bool readOnly)
{
    detail::RegistryLock lock;
    lock.State().readOnly = readOnly;
}

void SetRegistryCrashPoint(RegistryCrashPoint point, std::size_t bytes)
{
    detail::RegistryLock lock;
    lock.State().crash = point;
    lock.State().crashBytes = bytes;
}

}  // namespace os::sim

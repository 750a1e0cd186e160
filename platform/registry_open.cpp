#include <filesystem>

#include "platform/registry_file.h"
#include "platform/registry_state.h"
#include "platform/trace.h"

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
    state.keys.clear();
    state.watches.clear();
    state.crash = RegistryCrashPoint::None;
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
    const std::string temp = detail::TemporaryFileOf(file);
    if (std::filesystem::exists(temp, ec)) {
        PlatformLog("registry: removing %s left by an interrupted write", temp.c_str());
        if (!std::filesystem::remove(temp, ec)) {
            PlatformLog("registry: cannot remove %s: %s", temp.c_str(), ec.message().c_str());
        }
    }
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

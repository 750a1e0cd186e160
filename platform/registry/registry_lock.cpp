#include "platform/registry/internal/registry_file.h"
#include "platform/registry/internal/registry_state.h"
#include "platform/base/host_problem.h"
#include "platform/base/trace.h"
#include "platform/windows/window.h"

namespace os::detail {

namespace {

RegistryState& TheRegistry()
{
    static RegistryState state;
    return state;
}

const RegValue* FindValue(const RegTree& tree, const ValueWatch& watch)
{
    const RegKey* key = tree.Find(watch.keyPath);
    if (!key) {
        return nullptr;
    }
    const auto it = key->values.find(FoldCase(watch.valueName));
    return it == key->values.end() ? nullptr : &it->second;
}

bool ValueChanged(const RegTree& before, const RegTree& after, const ValueWatch& watch)
{
    const RegValue* old = FindValue(before, watch);
    const RegValue* now = FindValue(after, watch);
    if (!old || !now) {
        return old != now;
    }
    return !old->SameContent(*now);
}

}  // namespace

RegistryLock::RegistryLock() : state_(TheRegistry()), lock_(state_.mutex) {}

RegistryLock::~RegistryLock()
{
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

std::uintptr_t RegistryLock::NewHandle() { return state_.nextHandle++; }

LONG RegistryLock::Commit(RegTree next)
{
    if (state_.readOnly) {
        return ERROR_ACCESS_DENIED;
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
    for (const auto& [id, watch] : state_.watches) {
        if (ValueChanged(state_.tree, next, watch)) {
            posts_.push_back(watch);
        }
    }
    state_.tree = std::move(next);
    return ERROR_SUCCESS;
}

}  // namespace os::detail

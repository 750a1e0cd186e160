// Loading and freeing resource libraries: dlopen of the shared object, a
// check of its exported table, and a table of handles with reference counts.
#include "platform/shell/internal/resource_library.h"
#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/internal/handle_table.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/files/internal/file_detail.h"
#include "platform/shell/resource.h"
#include "platform/base/trace.h"

namespace os {
namespace {

struct Library {
    void* module = nullptr;
    std::string hostPath;
    int references = 0;
    detail::LoadedResources resources;
};

std::mutex g_mutex;
std::map<std::uintptr_t, Library> g_libraries;

HINSTANCE ToHandle(std::uintptr_t value) { return reinterpret_cast<HINSTANCE>(value); }
std::uintptr_t FromHandle(HINSTANCE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

bool CanonicalPath(const std::string& path, std::string* out)
{
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr)
        return false;
    *out = buffer;
    return true;
}

bool ValidTable(const kestrava::res::ResourceTable* table)
{
    return table != nullptr && table->magic == kestrava::res::kResourceTableMagic &&
           table->version == kestrava::res::kResourceTableVersion && table->language != nullptr &&
           (table->strings != nullptr || table->stringCount == 0);
}

// Opens the shared object and checks its table; null with the reason set.
void* OpenModule(const std::string& hostPath, const kestrava::res::ResourceTable** table)
{
    void* module = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        PlatformLog("LoadLibraryW: %s", dlerror());
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    auto get = reinterpret_cast<kestrava::res::ResourceTableFunction>(
        dlsym(module, kestrava::res::kResourceTableSymbol));
    *table = get != nullptr ? get() : nullptr;
    if (!ValidTable(*table)) {
        PlatformLog("LoadLibraryW: %s is not a resource library of version %u", hostPath.c_str(),
                    kestrava::res::kResourceTableVersion);
        dlclose(module);
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    return module;
}

}  // namespace

const char* detail::LoadedResources::Text(std::uint32_t id) const
{
    auto it = strings.find(id);
    return it == strings.end() ? nullptr : it->second;
}

bool detail::LibraryHostPath(const std::string& devicePath, std::string* hostPath)
{
    const DWORD error = ResolveDevicePath(devicePath, hostPath);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    return true;
}

HINSTANCE LoadLibraryW(const char* devicePath)
{
    if (devicePath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string hostPath;
    if (!detail::LibraryHostPath(devicePath, &hostPath))
        return nullptr;
    std::string canonical;
    struct stat info {};
    if (!CanonicalPath(hostPath, &canonical) || stat(canonical.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }

    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [handle, library] : g_libraries) {
        if (library.hostPath == canonical) {
            ++library.references;
            return ToHandle(handle);
        }
    }
    const kestrava::res::ResourceTable* table = nullptr;
    void* module = OpenModule(canonical, &table);
    if (module == nullptr)
        return nullptr;
    Library library;
    library.module = module;
    library.hostPath = canonical;
    library.references = 1;
    library.resources.table = table;
    for (std::uint32_t i = 0; i < table->stringCount; ++i) {
        if (table->strings[i].text != nullptr)
            library.resources.strings.emplace(table->strings[i].id, table->strings[i].text);
    }
    const std::uintptr_t handle = detail::NewHandleValue(detail::HandleKind::Library);
    g_libraries.emplace(handle, std::move(library));
    return ToHandle(handle);
}

BOOL FreeLibrary(HINSTANCE handle)
{
    void* module = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_libraries.find(FromHandle(handle));
        if (it == g_libraries.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second.references > 0)
            return TRUE;
        module = it->second.module;
        detail::ReleaseHandleValue(it->first, detail::HandleKind::Library);
        g_libraries.erase(it);
    }
    dlclose(module);
    return TRUE;
}

bool detail::WithResources(HINSTANCE handle, const std::function<void(const LoadedResources&)>& use)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_libraries.find(FromHandle(handle));
    if (it == g_libraries.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    use(it->second.resources);
    return true;
}

void detail::ResetLibraries()
{
    // The modules stay loaded: texts handed out from them may still be read.
    std::lock_guard<std::mutex> lock(g_mutex);
    g_libraries.clear();
}

}  // namespace os

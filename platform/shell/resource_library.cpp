// Loading and freeing resource libraries: dlopen of the shared object, a
// check of its exported table, and a table of handles with reference counts.
// Libraries load only from the program's folder: the file is opened by the
// file system's lookup and loaded through that open descriptor, which stays
// open while the library is loaded, so no link or swapped file can put
// another object in its place.
#include "platform/shell/internal/resource_library.h"
#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/internal/handle_table.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/files/internal/file_detail.h"
#include "platform/shell/resource.h"
#include "platform/base/trace.h"

namespace os {
namespace {

struct Library {
    void* module = nullptr;
    dev_t device = 0;
    ino_t inode = 0;
    int fd = -1;  // held while loaded: its /proc path names this library alone
    int references = 0;
    detail::LoadedResources resources;
};

std::mutex g_resourceLibraryMutex;
std::map<std::uintptr_t, Library> g_libraries;

HINSTANCE ToHandle(std::uintptr_t value) { return reinterpret_cast<HINSTANCE>(value); }
std::uintptr_t FromHandle(HINSTANCE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

bool ValidTable(const kestrava::res::ResourceTable* table)
{
    return table != nullptr && table->magic == kestrava::res::kResourceTableMagic &&
           table->version == kestrava::res::kResourceTableVersion && table->language != nullptr &&
           (table->strings != nullptr || table->stringCount == 0);
}

// Opens the shared object and checks its table; null with the reason set.
void* OpenModule(const char* devicePath, int fd, const kestrava::res::ResourceTable** table)
{
    const std::string hostPath = "/proc/self/fd/" + std::to_string(fd);
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
        PlatformLog("LoadLibraryW: %s is not a resource library of version %u", devicePath,
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

HINSTANCE LoadLibraryW(const char* devicePath)
{
    if (devicePath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int fd = -1;
    const DWORD error = detail::OpenProgramFile(devicePath, &fd);
    if (error != ERROR_SUCCESS) {
        if (error == ERROR_ACCESS_DENIED) {
            PlatformLog("LoadLibraryW: %s is not a file of the program's folder", devicePath);
        }
        SetLastError(error == ERROR_ACCESS_DENIED ? error : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        close(fd);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }

    std::lock_guard<std::mutex> lock(g_resourceLibraryMutex);
    for (auto& [handle, library] : g_libraries) {
        if (library.device == info.st_dev && library.inode == info.st_ino) {
            close(fd);
            ++library.references;
            return ToHandle(handle);
        }
    }
    const kestrava::res::ResourceTable* table = nullptr;
    void* module = OpenModule(devicePath, fd, &table);
    if (module == nullptr) {
        close(fd);
        return nullptr;
    }
    Library library;
    library.module = module;
    library.device = info.st_dev;
    library.inode = info.st_ino;
    library.fd = fd;
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
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(g_resourceLibraryMutex);
        auto it = g_libraries.find(FromHandle(handle));
        if (it == g_libraries.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second.references > 0)
            return TRUE;
        module = it->second.module;
        detail::ReleaseHandleValue(it->first, detail::HandleKind::Library);
        fd = it->second.fd;
        g_libraries.erase(it);
    }
    dlclose(module);
    close(fd);
    return TRUE;
}

bool detail::WithResources(HINSTANCE handle, const std::function<void(const LoadedResources&)>& use)
{
    std::lock_guard<std::mutex> lock(g_resourceLibraryMutex);
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
    std::lock_guard<std::mutex> lock(g_resourceLibraryMutex);
    g_libraries.clear();
}

}  // namespace os

// The file system's handles: open objects and searches, their values drawn
// from the platform's one handle table.
#include <algorithm>

#include "platform/base/internal/fresh_start.h"
#include "platform/files/internal/file_detail.h"
#include "platform/files/internal/file_state.h"
#include "platform/kernel/internal/handle_table.h"

namespace os::detail::fs {
namespace {

std::uintptr_t Key(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

template <typename T>
DWORD EndOfSearch()
{
    return std::is_same_v<T, WIN32_FIND_DATAW> ? ERROR_NO_MORE_FILES : ERROR_NO_MORE_ITEMS;
}

}  // namespace

HANDLE AddOpen(State& state, OpenPtr object)
{
    const std::uintptr_t value = NewHandleValue(HandleKind::File);
    state.open.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

DWORD LookupOpen(const State& state, HANDLE handle, OpenObject::Kind kind, OpenPtr* out)
{
    const auto it = state.open.find(Key(handle));
    if (it == state.open.end() || it->second->kind != kind) return ERROR_INVALID_HANDLE;
    if (!IsAlive(*it->second)) return ERROR_DEVICE_NOT_AVAILABLE;
    *out = it->second;
    return ERROR_SUCCESS;
}

HANDLE AddFind(State& state, FindList entries)
{
    const std::uintptr_t value = NewHandleValue(HandleKind::Find);
    state.finds.emplace(value, std::make_shared<FindObject>(FindObject{std::move(entries), 1}));
    return reinterpret_cast<HANDLE>(value);
}

void DropHandles(State& state, std::unordered_map<std::uintptr_t, OpenPtr>* open,
                 std::unordered_map<std::uintptr_t, std::shared_ptr<FindObject>>* finds)
{
    for (const auto& entry : state.open) ReleaseHandleValue(entry.first, HandleKind::File);
    for (const auto& entry : state.finds) ReleaseHandleValue(entry.first, HandleKind::Find);
    open->swap(state.open);
    finds->swap(state.finds);
}

bool IsAlive(const OpenObject& object)
{
    return !object.volume || (object.volume->mounted && object.volume->generation == object.generation);
}

bool IsOpen(const State& state, const struct stat& st)
{
    return std::any_of(state.open.begin(), state.open.end(), [&](const auto& entry) {
        const OpenObject& object = *entry.second;
        return object.kind == OpenObject::Kind::File && IsAlive(object) && object.dev == st.st_dev &&
               object.ino == st.st_ino;
    });
}

bool IsOpenBelow(const State& state, const std::string& hostFolder)
{
    const std::string prefix = hostFolder + "/";
    return std::any_of(state.open.begin(), state.open.end(), [&](const auto& entry) {
        const OpenObject& object = *entry.second;
        return object.kind == OpenObject::Kind::File && IsAlive(object) && object.host.starts_with(prefix);
    });
}

template <typename T>
BOOL TakeNext(HANDLE search, T* out)
{
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        const auto it = state.finds.find(Key(search));
        auto* entries = it == state.finds.end() ? nullptr : std::get_if<std::vector<T>>(&it->second->entries);
        if (entries == nullptr || out == nullptr) {
            error = entries == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
        } else if (it->second->next >= entries->size()) {
            error = EndOfSearch<T>();
        } else {
            *out = (*entries)[it->second->next++];
        }
    }
    return Finish(error);
}

template <typename T>
BOOL CloseFind(HANDLE search)
{
    DWORD error = ERROR_INVALID_HANDLE;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        const auto it = state.finds.find(Key(search));
        if (it != state.finds.end() && std::holds_alternative<std::vector<T>>(it->second->entries)) {
            ReleaseHandleValue(it->first, HandleKind::Find);
            state.finds.erase(it);
            error = ERROR_SUCCESS;
        }
    }
    return Finish(error);
}

template BOOL TakeNext(HANDLE, WIN32_FIND_DATAW*);
template BOOL TakeNext(HANDLE, STOREINFO*);
template BOOL TakeNext(HANDLE, PARTINFO*);
template BOOL CloseFind<WIN32_FIND_DATAW>(HANDLE);
template BOOL CloseFind<STOREINFO>(HANDLE);
template BOOL CloseFind<PARTINFO>(HANDLE);

}  // namespace os::detail::fs

namespace os::detail {

bool CloseFileHandle(HANDLE handle)
{
    fs::OpenPtr released;
    fs::State& state = fs::TheState();
    std::lock_guard lock(state.mutex);
    const auto it = state.open.find(fs::Key(handle));
    if (it == state.open.end()) return false;
    released = std::move(it->second);
    // Closing a handle that may write makes the file's data durable, unless
    // the power is already cut.
    if (!state.powerCut && (released->access & GENERIC_WRITE) != 0) fs::MakeDurable(state, *released);
    ReleaseHandleValue(it->first, HandleKind::File);
    state.open.erase(it);
    return true;
}

void ResetFileSystem()
{
    fs::State& state = fs::TheState();
    // Declared before the lock: the objects close their host files off the mutex.
    std::unordered_map<std::uintptr_t, fs::OpenPtr> open;
    std::unordered_map<std::uintptr_t, std::shared_ptr<fs::FindObject>> finds;
    std::lock_guard lock(state.mutex);
    fs::DropHandles(state, &open, &finds);
    state.configured = false;
    state.fsHost.clear();
    state.programAt.clear();
    state.programHost.clear();
    state.programPath.clear();
    state.windowsHost.clear();
    state.volumes.clear();
    state.written.clear();
    state.pending.clear();
    state.writeFault.reset();
    state.powerCut = false;
}

}  // namespace os::detail

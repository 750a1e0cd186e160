// The file system's handle numbers: open objects in one range, searches in
// another, both apart from the core's small numbers (see file_detail.h).
#include <algorithm>

#include "platform/files/internal/file_detail.h"
#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

template <typename Map>
HANDLE NewHandle(std::uintptr_t base, std::uintptr_t* last, const Map& used)
{
    std::uintptr_t value = 0;
    do {
        *last = *last % (kHandleRangeSize - 1) + 1;
        value = base + *last;
    } while (used.count(value) != 0);
    return reinterpret_cast<HANDLE>(value);
}

std::uintptr_t Key(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

template <typename T>
DWORD EndOfSearch()
{
    return std::is_same_v<T, WIN32_FIND_DATAW> ? ERROR_NO_MORE_FILES : ERROR_NO_MORE_ITEMS;
}

}  // namespace

HANDLE AddOpen(State& state, OpenPtr object)
{
    const HANDLE handle = NewHandle(kFileHandleBase, &state.lastOpen, state.open);
    state.open.emplace(Key(handle), std::move(object));
    return handle;
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
    const HANDLE handle = NewHandle(kFindHandleBase, &state.lastFind, state.finds);
    state.finds.emplace(Key(handle), std::make_shared<FindObject>(FindObject{std::move(entries), 1}));
    return handle;
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
    state.open.erase(it);
    return true;
}

}  // namespace os::detail

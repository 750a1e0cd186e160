// The storage manager: one removable store with one mounted partition per
// mounted volume.
#include <algorithm>

#include "platform/files/internal/file_state.h"
#include "platform/files/storage_manager.h"

namespace os::detail::fs {
namespace {

std::string StoreDeviceName(const Volume& volume) { return "DSK" + std::to_string(volume.number) + ":"; }

STOREINFO StoreOf(const Volume& volume)
{
    return STOREINFO{StoreDeviceName(volume), volume.name, STORE_ATTRIBUTE_REMOVABLE, 1, 1};
}

PARTINFO PartitionOf(const Volume& volume)
{
    return PARTINFO{"Part00", "FATFS", volume.name, PARTITION_ATTRIBUTE_MOUNTED};
}

}  // namespace
}  // namespace os::detail::fs

namespace os {

using namespace detail::fs;

HANDLE FindFirstStore(STOREINFO* info)
{
    return StartSearch(info, [](const State& state, std::vector<STOREINFO>* out) {
        for (const VolumePtr& volume : state.volumes) {
            if (volume->mounted) out->push_back(StoreOf(*volume));
        }
        return static_cast<DWORD>(ERROR_SUCCESS);
    });
}

BOOL FindNextStore(HANDLE search, STOREINFO* info) { return TakeNext(search, info); }

BOOL FindCloseStore(HANDLE search) { return CloseFind<STOREINFO>(search); }

HANDLE OpenStore(const char* deviceName)
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        const auto it = std::find_if(state.volumes.begin(), state.volumes.end(), [&](const VolumePtr& volume) {
            return deviceName != nullptr && volume->mounted && NamesEqual(StoreDeviceName(*volume), deviceName);
        });
        if (it == state.volumes.end()) {
            error = deviceName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND;
        } else {
            auto object = std::make_shared<OpenObject>();
            object->kind = OpenObject::Kind::Store;
            object->volume = *it;
            object->generation = (*it)->generation;
            handle = AddOpen(state, std::move(object));
        }
    }
    Finish(error);
    return handle;
}

HANDLE FindFirstPartition(HANDLE store, PARTINFO* info)
{
    return StartSearch(info, [store](const State& state, std::vector<PARTINFO>* out) {
        OpenPtr object;
        const DWORD error = LookupOpen(state, store, OpenObject::Kind::Store, &object);
        if (error == ERROR_SUCCESS) out->push_back(PartitionOf(*object->volume));
        return error;
    });
}

BOOL FindNextPartition(HANDLE search, PARTINFO* info) { return TakeNext(search, info); }

BOOL FindClosePartition(HANDLE search) { return CloseFind<PARTINFO>(search); }

}  // namespace os

#include "storage/volume_select.h"

#include <string>
#include <vector>

#include "app/app_state.h"
#include "platform/files/file.h"
#include "platform/files/storage_manager.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"
#include "settings/settings_store.h"
#include "storage/space_counters.h"

namespace {

constexpr const char* kPreferredVolume = "Storage Card";
constexpr os::DWORD kVolumeAttributes = os::FILE_ATTRIBUTE_DIRECTORY | os::FILE_ATTRIBUTE_TEMPORARY;

// Names of the root entries that are mounted storage folders, in listing order.
std::vector<std::string> RootVolumeCandidates()
{
    std::vector<std::string> names;
    os::WIN32_FIND_DATAW data;
    const os::HANDLE search = os::FindFirstFileW("\\*.*", &data);
    if (search == os::INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & kVolumeAttributes) == kVolumeAttributes) names.push_back(data.cFileName);
    } while (os::FindNextFileW(search, &data));
    os::FindClose(search);
    return names;
}

bool VolumeDeviceOpens(const std::string& devicePath)
{
    const os::HANDLE device =
        os::CreateFileW(devicePath.c_str(), os::GENERIC_READ, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    if (device == os::INVALID_HANDLE_VALUE) return false;
    os::CloseHandle(device);
    return true;
}

// Total free bytes of the volume; 0 when they cannot be read.
os::ULONGLONG VolumeFreeBytes(const std::string& name)
{
    const std::string root = "\\" + name;
    os::ULONGLONG totalFree = 0;
    if (!os::GetDiskFreeSpaceExW(root.c_str(), nullptr, nullptr, &totalFree)) {
        os::Trace("GetDiskFreeSpaceEx fail (%s) error=%u\r\n", root.c_str(), os::GetLastError());
        return 0;
    }
    return totalFree;
}

// Whether the store's partitions include a mounted one of that volume name.
bool StoreHoldsVolume(const std::string& deviceName, std::string_view name)
{
    const os::HANDLE store = os::OpenStore(deviceName.c_str());
    if (store == os::INVALID_HANDLE_VALUE) return false;
    bool found = false;
    os::PARTINFO part;
    const os::HANDLE parts = os::FindFirstPartition(store, &part);
    if (parts != os::INVALID_HANDLE_VALUE) {
        do {
            found = (part.dwAttributes & os::PARTITION_ATTRIBUTE_MOUNTED) != 0 && part.szVolumeName == name;
        } while (!found && os::FindNextPartition(parts, &part));
        os::FindClosePartition(parts);
    }
    os::CloseHandle(store);
    return found;
}

}  // namespace

int CheckStorageCard(os::HWND hwnd, bool* enoughSpace)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    RecorderSettings& settings = app->settings;
    const bool diskWasChosen = !settings.SelectDisk.Empty();
    int found = 0;
    os::ULONGLONG freeBytes = 0;
    for (const std::string& name : RootVolumeCandidates()) {
        os::Trace("stroage folder name=%s\r\n", name.c_str());
        if (!VolumeDeviceOpens("\\" + name + "\\VOL:")) continue;
        if (diskWasChosen) {
            if (settings.SelectDisk == name) {
                freeBytes = VolumeFreeBytes(name);
                found = 1;
                break;
            }
        } else if (enoughSpace != nullptr) {
            const os::ULONGLONG free = VolumeFreeBytes(name);
            if (free > freeBytes) {
                freeBytes = free;
                if (name == kPreferredVolume && settings.SelectDisk.Assign(name)) found = 1;
            }
        }
    }
    if (enoughSpace != nullptr && freeBytes != 0) *enoughSpace = freeBytes / kBytesPerMB >= settings.MinFreeSpaceMB;
    if (diskWasChosen && found && enoughSpace != nullptr && *enoughSpace) SaveSettings(hwnd);
    return found;
}

int SelectOtherMountedVolume(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    FixedText<260>& selectDisk = app->settings.SelectDisk;
    for (const std::string& name : RootVolumeCandidates()) {
        os::Trace("setting : stroage folder name=%s", name.c_str());
        if (!VolumeDeviceOpens(name + "\\VOL:") || selectDisk == name) continue;
        if (!selectDisk.Assign(name)) continue;
        if (!WriteSelectDisk(hwnd)) os::Trace("WriteSelectDisk fail (%s)\r\n", name.c_str());
        return 1;
    }
    return 0;
}

bool IsVolumeMounted(std::string_view name)
{
    os::STOREINFO info;
    const os::HANDLE search = os::FindFirstStore(&info);
    if (search == os::INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        found = (info.dwAttributes & os::STORE_ATTRIBUTE_REMOVABLE) != 0 && StoreHoldsVolume(info.szDeviceName, name);
    } while (!found && os::FindNextStore(search, &info));
    os::FindCloseStore(search);
    return found;
}

std::uint64_t FreeSpaceReserve(std::uint32_t minFreeSpaceMB, std::uint64_t slack)
{
    const std::uint64_t reserve = static_cast<std::uint64_t>(minFreeSpaceMB) * 1048576ULL;
    return reserve > slack ? reserve - slack : 0;
}

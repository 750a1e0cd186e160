#include "storage/space_counters.h"

#include "app/app_state.h"
#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/kernel/sync.h"
#include "storage/folder_layout.h"
#include "storage/path_text.h"
#include "storage/recording_names.h"
#include "storage/space_state.h"

namespace {


std::uint64_t Less(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; }

// An ordinary clip lies directly in a time folder with a recording name.
bool IsOrdinaryClip(const std::string& folder, const std::string& name)
{
    return IsTimeFolderPath(folder) && IsRecordingFileName(name);
}

void TraceCounters(const EventRecorderApp* app)
{
    os::Trace("UpdateTarvoMemoryVar> Usable Total:%llu, Evt total:%llu, Evt Free:%llu, AVI Total:%llu \r\n",
              static_cast<unsigned long long>(app->UsableTotal), static_cast<unsigned long long>(app->EvtTotal),
              static_cast<unsigned long long>(app->EvtFree), static_cast<unsigned long long>(app->AviTotal));
}

class CounterLock {
public:
    explicit CounterLock(EventRecorderApp* app) : app_(app) { os::EnterCriticalSection(&app_->storageLock); }
    ~CounterLock() { os::LeaveCriticalSection(&app_->storageLock); }
    CounterLock(const CounterLock&) = delete;
    CounterLock& operator=(const CounterLock&) = delete;

private:
    EventRecorderApp* app_;
};

}  // namespace

void ScanRecordingTree(SpaceState* space, const std::string& folder)
{
    os::WIN32_FIND_DATAW data;
    const os::HANDLE find = os::FindFirstFileW(FormatText("%s\\*.*", folder.c_str()).c_str(), &data);
    if (find == os::INVALID_HANDLE_VALUE) return;
    do {
        if ((data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ScanRecordingTree(space, FormatText("%s\\%s", folder.c_str(), data.cFileName.c_str()));
            continue;
        }
        const std::uint64_t size = FoundFileBytes(data);
        space->scanAll += size;
        if (!IsOrdinaryClip(folder, data.cFileName)) space->scanProtected += size;
    } while (os::FindNextFileW(find, &data));
    os::FindClose(find);
}

std::uint64_t ComputeMemoryVars(os::HWND hwnd, int commit, int which, const std::string& folder, long long quotaMB)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    SpaceState& space = app->space;
    CounterLock lock(app);
    const std::string root =
        folder.empty() ? FormatText("%s\\%s", app->storage.StorageRoot.c_str(), kRecordingFolder) : folder;
    if (!commit) {
        space.savedAll = space.scanAll;
        space.savedProtected = space.scanProtected;
    }
    space.scanAll = space.scanProtected = 0;
    ScanRecordingTree(&space, root);
    const std::uint64_t free = VolumeTotalFree(root);
    std::uint64_t usable = space.scanAll + free;
    if (quotaMB == -1 && app->settings.FreeSpaceMB != 0) {
        usable = app->settings.FreeSpaceMB * kBytesPerMB;
    } else if (quotaMB > 0) {
        usable = static_cast<std::uint64_t>(quotaMB) * kBytesPerMB;
    }
    const std::uint64_t evtFree = Less(usable, space.scanProtected);
    const std::uint64_t result = which == 0 ? evtFree : which == 1 ? space.scanProtected : space.scanAll;
    if (commit) {
        app->EvtTotal = space.scanProtected;
        app->EvtFree = evtFree;
        app->AviTotal = space.scanAll;
    } else {
        space.scanAll = space.savedAll;
        space.scanProtected = space.savedProtected;
    }
    return result;
}

std::uint64_t FoundFileBytes(const os::WIN32_FIND_DATAW& data)
{
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::uint64_t FileBytesAt(const std::string& path)
{
    os::WIN32_FIND_DATAW data;
    const os::HANDLE find = os::FindFirstFileW(path.c_str(), &data);
    if (find == os::INVALID_HANDLE_VALUE) return 0;
    os::FindClose(find);
    return FoundFileBytes(data);
}

std::uint64_t VolumeTotalFree(const std::string& path)
{
    os::ULONGLONG toCaller = 0, total = 0, totalFree = 0;
    if (!os::GetDiskFreeSpaceExW(path.c_str(), &toCaller, &total, &totalFree)) return 0;
    return totalFree;
}

int RefreshMemoryVars(os::HWND hwnd)
{
    if (AppFromWindow(hwnd) == nullptr) return 0;
    ComputeMemoryVars(hwnd, 1, 0, "", -1);
    return 1;
}

int UpdateUsableSpaceSetting(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    CounterLock lock(app);
    if (app->settings.FreeSpaceMB != 0) {
        app->UsableTotal = app->settings.FreeSpaceMB * kBytesPerMB;
    } else {
        const std::string volume = FormatText("\\%s", app->settings.SelectDisk.c_str());
        app->space.scanAll = app->space.scanProtected = 0;
        ScanRecordingTree(&app->space, FormatText("%s\\%s", volume.c_str(), kRecordingFolder));
        app->UsableTotal = VolumeTotalFree(volume) + app->space.scanAll;
    }
    os::Trace("UpdateUsableSpaceSetting> Usable Total:%llu\r\n", static_cast<unsigned long long>(app->UsableTotal));
    return 1;
}

int UpdateTarvoMemoryVar(os::HWND hwnd, std::uint64_t size, int isEvent)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    CounterLock lock(app);
    if (isEvent) {
        app->EvtTotal += size;
        app->EvtFree = Less(app->EvtFree, size);
    }
    app->AviTotal += size;
    TraceCounters(app);
    return 1;
}

int CountClipAsProtected(os::HWND hwnd, std::uint64_t size)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    CounterLock lock(app);
    app->EvtTotal += size;
    app->EvtFree = Less(app->EvtFree, size);
    TraceCounters(app);
    return 1;
}

int CountDeletedClip(os::HWND hwnd, std::uint64_t size)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    CounterLock lock(app);
    app->AviTotal = Less(app->AviTotal, size);
    return 1;
}

SpaceCounters ReadSpaceCounters(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return SpaceCounters{};
    CounterLock lock(app);
    return SpaceCounters{app->UsableTotal, app->EvtTotal, app->EvtFree, app->AviTotal};
}

#include "storage/space_management.h"

#include <string>

#include "app/app_state.h"
#include "platform/files/file.h"
#include "platform/windows/window.h"
#include "storage/deletion_pass.h"
#include "storage/event_filing.h"
#include "storage/space_counters.h"
#include "storage/space_state.h"

namespace {

constexpr os::WPARAM kVolumeTooSmallText = 41;

bool VolumeTooSmall(const std::string& root)
{
    os::ULONGLONG toCaller = 0, total = 0, totalFree = 0;
    if (!os::GetDiskFreeSpaceExW(root.c_str(), &toCaller, &total, &totalFree)) return false;
    return total / kBytesPerMB < kSmallestVolumeMB;
}

}  // namespace

void NoteDeletionPlace(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    os::EnterCriticalSection(&app->space.moveLock);
    app->space.passRoot.assign(app->storage.StorageRoot.View());
    app->space.passLevelBytes = app->settings.FileDeleteLevel * kBytesPerMB;
    os::LeaveCriticalSection(&app->space.moveLock);
}

void SignalStorageMaintenance(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    NoteDeletionPlace(hwnd);
    if (app->storageThread.workEvent != nullptr) os::SetEvent(app->storageThread.workEvent);
}

void NoteSpaceSettingsChanged(os::HWND hwnd)
{
    if (EventRecorderApp* app = AppFromWindow(hwnd)) app->space.settingsChanged = true;
}

void StorageMaintenanceWork(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return;
    RunQueuedEventMoves(hwnd);
    if (app->space.settingsChanged.exchange(false) && VolumeTooSmall(ReadDeletionPlace(&app->space).root)) {
        os::PostMessageW(hwnd, WM_RECORDER_SPACE_MESSAGE, kVolumeTooSmallText, 0);
        return;
    }
    DeleteOldRecordings(hwnd);
}

#include "storage/folder_layout.h"

#include <cstdint>


#include "app/app_state.h"
#include "platform/kernel/clock.h"
#include "platform/files/file.h"
#include "platform/base/trace.h"
#include "storage/path_text.h"

namespace {

// Seconds tried after the current one when a name is taken.
constexpr int kNameAttempts = 60;

bool NextSecond(os::SYSTEMTIME* time)
{
    os::FILETIME ft;
    if (!os::SystemTimeToFileTime(time, &ft)) return false;
    std::uint64_t value = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    value += 10000000;
    ft.dwLowDateTime = static_cast<os::DWORD>(value);
    ft.dwHighDateTime = static_cast<os::DWORD>(value >> 32);
    return os::FileTimeToSystemTime(&ft, time) != 0;
}

// Whatever answers an attribute read exists; a failed read means it does not.
bool FolderExists(const std::string& path)
{
    return os::GetFileAttributesW(path.c_str()) != os::INVALID_FILE_ATTRIBUTES;
}

// True when the folder exists afterwards.
bool EnsureFolder(const std::string& path)
{
    return FolderExists(path) || os::CreateDirectoryW(path.c_str(), nullptr);
}

const char* SubfolderOf(int kind, int eventFlag)
{
    switch (kind) {
    case kRecordingGps:
        return "GPS";
    case kRecordingVideo:
        return eventFlag != 0 ? "Event" : "";
    case kRecordingPhoto:
        return "Photo";
    default:
        return "";
    }
}

}  // namespace

void RecordLaunchTime(StorageState* storage) { os::GetLocalTime(&storage->LaunchTime); }

int PrepareRecordingRoot(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    StorageState& storage = app->storage;
    const std::string storageRoot = FormatText("\\%s", app->settings.SelectDisk.c_str());
    const std::string recordingRoot = FormatText("%s\\%s", storageRoot.c_str(), kRecordingFolder);
    if (!PathFits(recordingRoot) || !storage.StorageRoot.Assign(storageRoot) ||
        !storage.RecordingRoot.Assign(recordingRoot)) {
        return 0;
    }
    return EnsureFolder(recordingRoot) ? 1 : 0;
}

int PrepareTimeFolder(os::HWND hwnd, int kind)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    StorageState& storage = app->storage;
    os::SYSTEMTIME now;
    os::GetLocalTime(&now);
    const std::string dateFolder = FormatText("%s\\%s\\%04d%02d%02d", storage.StorageRoot.c_str(), kRecordingFolder,
                                              now.wYear, now.wMonth, now.wDay);
    const os::SYSTEMTIME& launch = storage.LaunchTime;
    const std::string timeFolder =
        FormatText("%s\\%02d%02d%02d", dateFolder.c_str(), launch.wHour, launch.wMinute, launch.wSecond);
    if (!AssignPath(&storage.TimeFolder, timeFolder)) {
        os::Trace("Fail Create Directory (%s)", timeFolder.c_str());
        return 0;
    }
    // A date folder that cannot be made shows as the time folder's failure.
    EnsureFolder(dateFolder);
    if (!EnsureFolder(timeFolder)) os::Trace("Fail Create Directory (%s)", timeFolder.c_str());
    switch (kind) {
    case kRecordingVideo:
        return EnsureFolder(timeFolder) ? 1 : 0;
    case kRecordingGps:
    case kRecordingPhoto: {
        // The GPS log and the photo finisher create their files straight in these folders.
        const std::string subfolder = timeFolder + (kind == kRecordingGps ? "\\GPS" : "\\Photo");
        return PathFits(subfolder) && EnsureFolder(subfolder) ? 1 : 0;
    }
    default:
        return FolderExists(timeFolder) ? 1 : 0;
    }
}

int MakeRecordingPath(StorageState* storage, std::string_view baseFolder, int kind, std::string_view extension,
                      std::string* path, int eventFlag)
{
    os::SYSTEMTIME now;
    os::GetLocalTime(&now);
    const std::string base(baseFolder);
    const char* subfolder = SubfolderOf(kind, eventFlag);
    const std::string folder = FormatText("%s\\%s", base.c_str(), subfolder);
    std::string name;
    std::string full;
    // A recording named in the same second as an earlier one takes the next
    // free second instead of replacing it.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = FormatText("%02d%02d%02d_%04d%02d%02d.%s", now.wHour, now.wMinute, now.wSecond, now.wYear, now.wMonth,
                          now.wDay, std::string(extension).c_str());
        full = *subfolder != '\0' ? FormatText("%s\\%s", folder.c_str(), name.c_str())
                                  : FormatText("%s\\%s", base.c_str(), name.c_str());
        if (os::GetFileAttributesW(full.c_str()) == os::INVALID_FILE_ATTRIBUTES) break;
        if (attempt + 1 == kNameAttempts || !NextSecond(&now)) return 0;
    }
    if (!PathFits(full)) return 0;
    if (kind == kRecordingVideo) {
        FixedText<os::MAX_PATH> lastFolder;
        FixedText<os::MAX_PATH> lastName;
        if (!AssignPath(&lastFolder, folder) || !AssignPath(&lastName, name)) return 0;
        storage->LastRecordingFolder = lastFolder;
        storage->LastRecordingName = lastName;
    }
    *path = full;
    return 1;
}

int GetLastRecording(const StorageState* storage, std::string* folder, std::string* name)
{
    *folder = storage->LastRecordingFolder.View();
    *name = storage->LastRecordingName.View();
    return 1;
}

int GetModuleFolder(std::string* path)
{
    std::string module;
    const os::DWORD length = os::GetModuleFileNameW(nullptr, &module, os::MAX_PATH);
    const std::string::size_type cut = module.rfind('\\');
    if (length == 0 || length >= static_cast<os::DWORD>(os::MAX_PATH) || cut == std::string::npos) return 0;
    *path = module.substr(0, cut);
    return 1;
}

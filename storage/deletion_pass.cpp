#include "storage/deletion_pass.h"

#include <algorithm>
#include <vector>

#include "app/app_state.h"
#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "storage/event_filing.h"
#include "storage/folder_layout.h"
#include "storage/path_text.h"
#include "storage/recording_names.h"
#include "storage/space_counters.h"
#include "storage/space_state.h"

namespace {

struct FolderEntry {
    std::string path;
    std::string name;
};

struct FileEntry {
    std::uint64_t size = 0;
    std::string path;
    std::string name;
};

constexpr std::size_t kDateDigits = 8;
constexpr std::size_t kTimeDigits = 6;
constexpr std::uint64_t kTargetSlack = 4096;
constexpr os::DWORD kClearedAttributes = os::FILE_ATTRIBUTE_READONLY | os::FILE_ATTRIBUTE_SYSTEM;

bool IsDigits(const std::string& name, std::size_t count)
{
    return name.size() == count && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

template <typename Visit>
void ForEachEntry(const std::string& folder, Visit visit)
{
    const std::string pattern = JoinPath(folder, "*.*");
    os::WIN32_FIND_DATAW data;
    const os::HANDLE find = os::FindFirstFileW(pattern.c_str(), &data);
    if (find == os::INVALID_HANDLE_VALUE) return;
    do {
        visit(data);
    } while (os::FindNextFileW(find, &data));
    os::FindClose(find);
}

// Folder names are all digits here (at most eight).
unsigned long long NumericName(const std::string& name)
{
    unsigned long long value = 0;
    for (const char c : name) value = value * 10 + static_cast<unsigned>(c - '0');
    return value;
}

void SortFolders(std::vector<FolderEntry>* folders)
{
    std::stable_sort(folders->begin(), folders->end(), [](const FolderEntry& a, const FolderEntry& b) {
        return NumericName(a.name) < NumericName(b.name);
    });
}

// The subfolders of `folder` named with exactly `digits` digits, in listing order.
std::vector<FolderEntry> ListDigitFolders(const std::string& folder, std::size_t digits)
{
    std::vector<FolderEntry> folders;
    ForEachEntry(folder, [&](const os::WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0 && IsDigits(data.cFileName, digits)) {
            folders.push_back(FolderEntry{JoinPath(folder, data.cFileName), data.cFileName});
        }
    });
    return folders;
}

// The ordinary clips directly in a time folder, in listing order.
std::vector<FileEntry> ListRecordingFiles(const std::string& folder)
{
    std::vector<FileEntry> files;
    ForEachEntry(folder, [&](const os::WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsRecordingFileName(data.cFileName)) return;
        files.push_back(FileEntry{FoundFileBytes(data), JoinPath(folder, data.cFileName), data.cFileName});
    });
    return files;
}

// Read-only and system attributes would refuse the deletion of an ordinary
// clip; they go just before it, and come back if it stays after all.
bool DeleteClip(const FileEntry& file)
{
    const os::DWORD attributes = os::GetFileAttributesW(file.path.c_str());
    const bool cleared = attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & kClearedAttributes) != 0 &&
                         os::SetFileAttributesW(file.path.c_str(), os::FILE_ATTRIBUTE_NORMAL);
    if (os::DeleteFileW(file.path.c_str())) return true;
    if (cleared) os::SetFileAttributesW(file.path.c_str(), attributes);
    return false;
}

// Nothing of the recording tree left in a time folder: no clip, no date-named folder.
void RemoveIfEmptied(const FolderEntry& timeFolder)
{
    if (!ListRecordingFiles(timeFolder.path).empty() || !ListDigitFolders(timeFolder.path, kDateDigits).empty()) {
        return;
    }
    if (!os::RemoveDirectoryW(timeFolder.path.c_str())) os::Trace("Fail RemoveDirectory (%s)\r\n", timeFolder.path.c_str());
}

struct Pass {
    os::HWND hwnd;
    SpaceState* space;
    std::uint64_t target;  // the pass ends once more than this is erased
    std::uint64_t erased = 0;
};

// True when the target was met in this time folder.
bool DeleteInTimeFolder(Pass* pass, const FolderEntry& timeFolder)
{
    std::vector<FileEntry> files = ListRecordingFiles(timeFolder.path);
    if (files.empty()) return false;
    std::stable_sort(files.begin(), files.end(),
                     [](const FileEntry& a, const FileEntry& b) { return RecordingAge(a.name) < RecordingAge(b.name); });
    for (const FileEntry& f : files) {
        os::Trace("** File [%s] -> %llu (FileName:%s)\r\n", f.path.c_str(), static_cast<unsigned long long>(f.size),
                  f.name.c_str());
    }
    for (const FileEntry& f : files) {
        if (IsClipKept(pass->space, f.path) || !DeleteClip(f)) continue;
        pass->erased += f.size;
        os::Trace("-- File [%s] -> nTotalEraseMem:%llu\r\n", f.path.c_str(),
                  static_cast<unsigned long long>(pass->erased));
        CountDeletedClip(pass->hwnd, f.size);
        if (pass->erased > pass->target) {
            os::Trace("Delete need file done\r\n");
            return true;
        }
    }
    RemoveIfEmptied(timeFolder);
    return false;
}

}  // namespace

DeletionPlace ReadDeletionPlace(SpaceState* space)
{
    os::EnterCriticalSection(&space->moveLock);
    DeletionPlace place{space->passRoot, space->passLevelBytes};
    os::LeaveCriticalSection(&space->moveLock);
    return place;
}

int DeleteOldRecordings(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    const DeletionPlace place = ReadDeletionPlace(&app->space);
    const std::string& storageRoot = place.root;
    const std::uint64_t level = place.levelBytes;
    if (storageRoot.empty()) return 1;
    if (VolumeTotalFree(storageRoot) >= level && ReadSpaceCounters(hwnd).EvtFree >= level) {
        os::Trace("Memory is sufficient\r\n");
        return 1;
    }
    Pass pass{hwnd, &app->space, level > kTargetSlack ? level - kTargetSlack : 0};
    std::vector<FolderEntry> dates = ListDigitFolders(FormatText("%s\\%s", storageRoot.c_str(), kRecordingFolder), kDateDigits);
    SortFolders(&dates);
    for (const FolderEntry& d : dates) os::Trace("-- Folder [%s] -> (FolderName:%s) \r\n", d.path.c_str(), d.name.c_str());
    for (const FolderEntry& date : dates) {
        std::vector<FolderEntry> times = ListDigitFolders(date.path, kTimeDigits);
        SortFolders(&times);
        for (const FolderEntry& t : times) {
            os::Trace("-- Folder Depth1[%s] -> (FolderName Depth1:%s) \r\n", t.path.c_str(), t.name.c_str());
        }
        for (const FolderEntry& time : times) {
            if (DeleteInTimeFolder(&pass, time)) return 1;
        }
    }
    return 1;
}

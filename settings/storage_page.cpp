// Page 1 of the settings sheet: the storage volume, the recording quota, the
// screen-off time and the language. Sizes are 64-bit byte counts throughout;
// every handle opened to check a volume is closed again.
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/shell/resource.h"
#include "platform/windows/controls.h"
#include "platform/windows/message_box.h"
#include "settings/settings_store.h"
#include "settings/sheet_pages.h"
#include "storage/folder_layout.h"
#include "storage/path_text.h"
#include "storage/space_counters.h"

namespace {

constexpr int kVolumeList = 1001;
constexpr int kDeleteLevelList = 1027;
constexpr int kScreenOffList = 1029;
constexpr int kLanguageList = 1034;
constexpr int kFreeSpaceText = 1035;
constexpr int kQuotaList = 1036;
constexpr os::UINT kStorageNotice = os::WM_APP + 16390;

constexpr os::UINT kVolumeTooSmall = 1280;
constexpr os::UINT kSpaceDoesNotFit = 64;
constexpr os::UINT kNoQuota = 62;
constexpr os::UINT kScreenOffStrings[] = {49, 50, 51, 52};
constexpr uint32_t kScreenOffSeconds[] = {0, 5, 30, 60};
constexpr uint32_t kDeleteLevels[] = {100, 200, 300};

constexpr uint64_t kMinVolumeBytes = 1073741824ULL;
constexpr uint64_t kMBPerQuotaStep = 1024;
constexpr os::DWORD kVolumeAttributes = os::FILE_ATTRIBUTE_DIRECTORY | os::FILE_ATTRIBUTE_TEMPORARY;

// The naming of the program's resource libraries: the language stands between these.
constexpr std::string_view kLibraryPrefix = "kestrava-res-";
constexpr std::string_view kLibrarySuffix = ".dll";

struct VolumeSpace {
    uint64_t total = 0;
    uint64_t free = 0;
};

VolumeSpace SpaceOf(const std::string& volume)
{
    VolumeSpace space;
    os::ULONGLONG toCaller = 0;
    const std::string root = "\\" + volume;
    if (!os::GetDiskFreeSpaceExW(root.c_str(), &toCaller, &space.total, &space.free)) return VolumeSpace{};
    return space;
}

bool VolumeDeviceOpens(const std::string& volume)
{
    const std::string device = "\\" + volume + "\\VOL:";
    const os::HANDLE handle = os::CreateFileW(device.c_str(), os::GENERIC_READ, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    if (handle == os::INVALID_HANDLE_VALUE) return false;
    os::CloseHandle(handle);
    return true;
}

// The mounted volumes whose device opens, in the root's listing order.
std::vector<std::string> MountedVolumes(bool traced)
{
    std::vector<std::string> names;
    os::WIN32_FIND_DATAW data;
    const os::HANDLE search = os::FindFirstFileW("\\*.*", &data);
    if (search == os::INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & kVolumeAttributes) != kVolumeAttributes || !VolumeDeviceOpens(data.cFileName)) {
            continue;
        }
        if (traced) os::Trace("setting : stroage folder name=%s\r\n", data.cFileName.c_str());
        names.push_back(data.cFileName);
    } while (os::FindNextFileW(search, &data));
    os::FindClose(search);
    return names;
}

// The mounted volume with the most free bytes, the first one on a tie; empty when there is none.
std::string RoomiestVolume()
{
    std::string best;
    uint64_t bestFree = 0;
    for (const std::string& name : MountedVolumes(false)) {
        const uint64_t free = SpaceOf(name).free;
        if (best.empty() || free > bestFree) {
            best = name;
            bestFree = free;
        }
    }
    return best;
}

int FindListEntry(os::HWND page, int id, std::string_view text)
{
    os::HWND list = os::GetDlgItem(page, id);
    const auto count = static_cast<int>(os::SendMessageW(list, os::CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string entry;
        os::SendMessageW(list, os::CB_GETLBTEXT, static_cast<os::WPARAM>(i), reinterpret_cast<os::LPARAM>(&entry));
        if (entry == text) return i;
    }
    return -1;
}

void ShowFreeSpace(os::HWND page, const std::string& volume)
{
    const uint64_t free = SpaceOf(volume).free;
    const std::string text = free >= kBytesPerMB ? FormatText("[%lluMByte]", static_cast<unsigned long long>(free / kBytesPerMB))
                                                 : FormatText("[%lluByte]", static_cast<unsigned long long>(free));
    os::SetDlgItemTextW(page, kFreeSpaceText, text.c_str());
}

// String 62, then one entry a whole gigabyte of the volume's total size.
void FillQuotaList(os::HWND page, const std::string& volume, int select)
{
    os::SendMessageW(os::GetDlgItem(page, kQuotaList), os::CB_RESETCONTENT, 0, 0);
    AddListEntry(page, kQuotaList, SheetText(kNoQuota));
    const uint64_t totalMB = SpaceOf(volume).total / kBytesPerMB;
    for (uint64_t k = 1; k * kMBPerQuotaStep <= totalMB; ++k) {
        AddListEntry(page, kQuotaList, FormatText("%llu GB", static_cast<unsigned long long>(k)));
    }
    SelectListEntry(page, kQuotaList, select);
}

int QuotaIndexOf(uint32_t freeSpaceMB)
{
    return freeSpaceMB % kMBPerQuotaStep == 0 ? static_cast<int>(freeSpaceMB / kMBPerQuotaStep) : 0;
}

// The language of a file of the resource folder, empty when the file is not
// one of the program's libraries or the name would not fit the setting.
std::string LanguageOf(const std::string& fileName)
{
    const std::size_t dash = fileName.rfind('-');
    if (dash == std::string::npos || !fileName.starts_with(kLibraryPrefix) || !fileName.ends_with(kLibrarySuffix) ||
        dash + 1 != kLibraryPrefix.size()) {
        return {};
    }
    std::string language = fileName.substr(dash + 1, fileName.size() - dash - 1 - kLibrarySuffix.size());
    FixedText<64> field;
    if (language.empty() || !field.Assign(language) || field.View() != language) return {};
    return language;
}

std::string ResourceFolder()
{
    std::string folder;
    GetModuleFolder(&folder);
    return folder + "\\res";
}

void FillLanguageList(os::HWND page, std::string_view current)
{
    os::WIN32_FIND_DATAW data;
    const os::HANDLE search = os::FindFirstFileW((ResourceFolder() + "\\*.*").c_str(), &data);
    if (search == os::INVALID_HANDLE_VALUE) return;
    do {
        if ((data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        os::Trace("setting : res file name=%s\r\n", data.cFileName.c_str());
        const std::string language = LanguageOf(data.cFileName);
        if (!language.empty()) AddListEntry(page, kLanguageList, language);
    } while (os::FindNextFileW(search, &data));
    os::FindClose(search);
    SelectListEntry(page, kLanguageList, FindListEntry(page, kLanguageList, current));
}

// Whether the library of a language loads: a language without texts is never taken.
bool LanguageLoads(const std::string& language)
{
    const std::string path = ResourceFolder() + "\\" + std::string(kLibraryPrefix) + language + std::string(kLibrarySuffix);
    os::HINSTANCE library = os::LoadLibraryW(path.c_str());
    if (library == nullptr) return false;
    os::FreeLibrary(library);
    return true;
}

void SelectVolume(os::HWND page, const std::string& volume)
{
    SelectListEntry(page, kVolumeList, FindListEntry(page, kVolumeList, volume));
    ShowFreeSpace(page, volume);
}

// After a refusal: the roomiest volume, with its quotas.
void SelectRoomiestVolume(os::HWND page)
{
    const std::string volume = RoomiestVolume();
    SelectVolume(page, volume);
    FillQuotaList(page, volume, 0);
}

void InitStoragePage(os::HWND page)
{
    const RecorderSettings& s = SheetApp()->settings;
    InitSheetPage(page, &Sheet().storage);
    for (const std::string& name : MountedVolumes(true)) AddListEntry(page, kVolumeList, name);
    const std::string volume(s.SelectDisk.View());
    SelectListEntry(page, kVolumeList, FindListEntry(page, kVolumeList, volume));
    for (uint32_t level : kDeleteLevels) AddListEntry(page, kDeleteLevelList, FormatText("%u MB", level));
    SelectListEntry(page, kDeleteLevelList, s.FileDeleteLevel == 100 ? 0 : s.FileDeleteLevel == 300 ? 2 : 1);
    HideControl(page, kDeleteLevelList);
    FillQuotaList(page, volume, QuotaIndexOf(s.FreeSpaceMB));
    for (os::UINT id : kScreenOffStrings) AddListEntry(page, kScreenOffList, SheetText(id));
    int screenOff = -1;
    for (int i = 0; i < 4; ++i) {
        if (kScreenOffSeconds[i] == s.LcdOffTime) screenOff = i;
    }
    SelectListEntry(page, kScreenOffList, screenOff);
    FillLanguageList(page, s.Langauge.View());
    ShowFreeSpace(page, volume);
    Sheet().storage.initialised = 1;
}

void OnVolumeChanged(os::HWND page)
{
    const std::string volume = ListSelectionText(page, kVolumeList);
    ShowFreeSpace(page, volume);
    const VolumeSpace space = SpaceOf(volume);
    if (space.total < kMinVolumeBytes) {
        SheetMessage(kVolumeTooSmall, os::MB_ICONWARNING);
        SelectVolume(page, std::string(SheetApp()->settings.SelectDisk.View()));
        return;
    }
    FillQuotaList(page, volume, 0);
    const int level = ListSelection(page, kDeleteLevelList);
    const uint64_t levelMB = kDeleteLevels[level >= 0 && level < 3 ? level : 0];
    if (space.free / kBytesPerMB < levelMB) {
        SheetMessage(kSpaceDoesNotFit, os::MB_ICONERROR);
        SelectRoomiestVolume(page);
    }
}

// The quota fits when the volume's free bytes and the recordings already under
// its recording folder together hold it.
void OnQuotaChanged(os::HWND page)
{
    const int k = ListSelection(page, kQuotaList);
    if (k <= 0) return;
    const std::string volume = ListSelectionText(page, kVolumeList);
    const std::string folder = FormatText("\\%s\\%s", volume.c_str(), kRecordingFolder);
    const uint64_t recorded = ComputeMemoryVars(Sheet().mainWindow, 0, 2, folder, 0);
    const uint64_t quota = static_cast<uint64_t>(k) * kMBPerQuotaStep * kBytesPerMB;
    if (volume.empty() || quota > recorded + SpaceOf(volume).free) {
        SheetMessage(kSpaceDoesNotFit, os::MB_ICONWARNING);
        SelectListEntry(page, kQuotaList, 0);
    }
}

void WriteBackStoragePage(os::HWND page)
{
    EventRecorderApp* app = SheetApp();
    RecorderSettings& s = app->settings;
    // With no volume selected the recordings stay where they were.
    const std::string volume = ListSelectionText(page, kVolumeList);
    if (!volume.empty()) s.SelectDisk.Assign(volume);
    const int level = ListSelection(page, kDeleteLevelList);
    s.FileDeleteLevel = level >= 0 && level < 3 ? kDeleteLevels[level] : 100;
    const int quota = ListSelection(page, kQuotaList);
    s.FreeSpaceMB = quota > 0 ? static_cast<uint32_t>(quota) * kMBPerQuotaStep : 0;
    const int screenOff = ListSelection(page, kScreenOffList);
    if (screenOff >= 0 && screenOff < 4) s.LcdOffTime = kScreenOffSeconds[screenOff];
    const std::string language = ListSelectionText(page, kLanguageList);
    if (!language.empty() && language != s.Langauge.View()) {
        if (LanguageLoads(language)) {
            s.Langauge.Assign(language);
        } else {
            os::Trace("setting : language %s has no library that loads; %s kept\r\n", language.c_str(), s.Langauge.c_str());
        }
    }
    app->restartRecording = RecordingSettingsChanged(Sheet().mainWindow);
    SaveSettings(Sheet().mainWindow);
    PrepareRecordingRoot(Sheet().mainWindow);
    os::ULONGLONG toCaller = 0, total = 0, totalFree = 0;
    if (os::GetDiskFreeSpaceExW(app->storage.StorageRoot.c_str(), &toCaller, &total, &totalFree)) {
        app->freeSpaceBytes = totalFree;
    }
}

}  // namespace

os::INT_PTR StoragePageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM)
{
    switch (msg) {
    case os::WM_INITDIALOG: InitStoragePage(page); return os::TRUE;
    case os::WM_COMMAND:
        if (HandleDoneCommand(page, wParam)) return os::TRUE;
        if (os::LOWORD(wParam) == kDefaultsCommand) {
            SelectRoomiestVolume(page);
            SelectListEntry(page, kDeleteLevelList, 1);
            return os::TRUE;
        }
        if (os::HIWORD(wParam) == os::CBN_SELCHANGE && os::LOWORD(wParam) == kVolumeList) {
            OnVolumeChanged(page);
            return os::TRUE;
        }
        if (os::HIWORD(wParam) == os::CBN_SELCHANGE && os::LOWORD(wParam) == kQuotaList) {
            OnQuotaChanged(page);
            return os::TRUE;
        }
        return os::FALSE;
    case kStorageNotice: os::Trace("WM_APP+16390 In \r\n"); return os::TRUE;
    case os::WM_DESTROY:
        if (Sheet().storage.initialised) WriteBackStoragePage(page);
        DestroyPageMenuBar(&Sheet().storage);
        return os::TRUE;
    default: return os::FALSE;
    }
}

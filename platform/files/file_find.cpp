// Folder searches. A search lists the entries present at its first call.
#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

// Host times are seconds since 1970; the phone counts 100 ns since 1601.
FILETIME FromTimespec(const timespec& ts)
{
    constexpr LONGLONG kEpochDifferenceSeconds = 11644473600LL;
    const LONGLONG seconds = ts.tv_sec + kEpochDifferenceSeconds;
    if (seconds < 0) return FILETIME{};
    return U64ToFileTime(static_cast<ULONGLONG>(seconds) * 10000000u + static_cast<ULONGLONG>(ts.tv_nsec) / 100u);
}

WIN32_FIND_DATAW ToFindData(const DirEntry& entry)
{
    WIN32_FIND_DATAW data;
    data.dwFileAttributes = entry.mountPoint ? MountPointAttributes(entry.volume) : HostAttributes(entry.host, entry.st);
    data.ftCreationTime = FromTimespec(entry.st.st_mtim);
    data.ftLastWriteTime = data.ftCreationTime;
    data.ftLastAccessTime = FromTimespec(entry.st.st_atim);
    if (!S_ISDIR(entry.st.st_mode)) {
        const auto size = static_cast<ULONGLONG>(entry.st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    data.cFileName = entry.name;
    return data;
}

DWORD Search(const State& state, const char* pattern, std::vector<WIN32_FIND_DATAW>* found)
{
    std::vector<std::string> parts;
    DWORD error = ParseDevicePath(pattern, LastPart::Pattern, &parts);
    if (error != ERROR_SUCCESS) return error;
    if (parts.empty()) return ERROR_FILE_NOT_FOUND;
    const std::string name = parts.back();
    parts.pop_back();
    Resolved folder;
    error = Resolve(state, parts, &folder);
    if (error != ERROR_SUCCESS) return error;
    if (!folder.exists || !S_ISDIR(folder.st.st_mode)) return ERROR_PATH_NOT_FOUND;
    std::vector<DirEntry> entries;
    error = ListFolder(state, folder, &entries);
    if (error != ERROR_SUCCESS) return error;
    for (const DirEntry& entry : entries) {
        if (MatchesPattern(name, entry.name)) found->push_back(ToFindData(entry));
    }
    return found->empty() ? static_cast<DWORD>(ERROR_FILE_NOT_FOUND) : ERROR_SUCCESS;
}

}  // namespace
}  // namespace os::detail::fs

namespace os {

using namespace detail::fs;

HANDLE FindFirstFileW(const char* pattern, WIN32_FIND_DATAW* data)
{
    return StartSearch(data, [pattern](const State& state, std::vector<WIN32_FIND_DATAW>* found) {
        return Search(state, pattern, found);
    });
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) { return TakeNext(find, data); }

BOOL FindClose(HANDLE find) { return CloseFind<WIN32_FIND_DATAW>(find); }

}  // namespace os

// Device paths to host paths: the mount table and the lookup that ignores
// case.
#include <dirent.h>

#include <algorithm>
#include <cerrno>

#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

const Mount& LongestMount(const std::vector<Mount>& mounts, const std::vector<std::string>& parts)
{
    const Mount* best = &mounts.back();
    for (const Mount& mount : mounts) {
        if (mount.at.size() > best->at.size() && PrefixEquals(mount.at, parts)) best = &mount;
    }
    return *best;
}

// The host entry of a folder that is the name: the exact one if present,
// else the first (in byte order) equal to it without case.
DWORD FindName(const std::string& folder, const std::string& name, std::string* found)
{
    struct stat st {};
    if (::lstat((folder + "/" + name).c_str(), &st) == 0) {
        *found = name;
        return ERROR_SUCCESS;
    }
    if (errno != ENOENT) return ErrorFromErrno(errno);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return ErrorFromErrno(errno);
    found->clear();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (NamesEqual(candidate, name) && (found->empty() || candidate < *found)) *found = candidate;
    }
    ::closedir(dir);
    return found->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

bool IsChildMount(const Mount& mount, const std::vector<std::string>& folder)
{
    return mount.at.size() == folder.size() + 1 && PrefixEquals(folder, mount.at);
}

}  // namespace

std::vector<Mount> Mounts(const State& state)
{
    std::vector<Mount> mounts;
    for (const VolumePtr& volume : state.volumes) {
        if (volume->mounted) mounts.push_back(Mount{{volume->name}, volume->host, volume});
    }
    if (!state.programHost.empty()) mounts.push_back(Mount{state.programAt, state.programHost, nullptr});
    mounts.push_back(Mount{{}, state.fsHost, nullptr});
    return mounts;
}

DWORD Resolve(const State& state, const std::vector<std::string>& parts, Resolved* out)
{
    *out = Resolved{};
    if (!state.configured) return ERROR_NOT_READY;
    const std::vector<Mount> mounts = Mounts(state);
    const Mount& mount = LongestMount(mounts, parts);
    out->parts = mount.at;
    out->host = mount.host;
    out->mountHost = mount.host;
    out->volume = mount.volume;
    if (::stat(out->host.c_str(), &out->st) != 0) return ERROR_PATH_NOT_FOUND;
    for (std::size_t i = mount.at.size(); i < parts.size(); ++i) {
        if (!S_ISDIR(out->st.st_mode)) return ERROR_PATH_NOT_FOUND;
        const bool last = i + 1 == parts.size();
        std::string found;
        const DWORD error = FindName(out->host, parts[i], &found);
        if (error == ERROR_FILE_NOT_FOUND && last) {
            out->host += "/" + parts[i];
            out->parts.push_back(parts[i]);
            out->st = {};
            return ERROR_SUCCESS;
        }
        if (error != ERROR_SUCCESS) return error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error;
        out->host += "/" + found;
        out->parts.push_back(found);
        if (::stat(out->host.c_str(), &out->st) != 0) {
            if (errno != ENOENT) return ErrorFromErrno(errno);
            // A link to nothing: nothing to open, and O_EXCL keeps creation off it.
            if (!last) return ERROR_PATH_NOT_FOUND;
            out->st = {};
            return ERROR_SUCCESS;
        }
    }
    out->exists = true;
    out->mountPoint = out->parts.size() == mount.at.size();
    return ERROR_SUCCESS;
}

DWORD ResolvePath(const State& state, const char* path, LastPart last, Resolved* out)
{
    std::vector<std::string> parts;
    const DWORD error = ParseDevicePath(path, last, &parts);
    return error != ERROR_SUCCESS ? error : Resolve(state, parts, out);
}

DWORD ListFolder(const State& state, const Resolved& folder, std::vector<DirEntry>* out)
{
    out->clear();
    const std::vector<Mount> mounts = Mounts(state);
    DIR* dir = ::opendir(folder.host.c_str());
    if (dir == nullptr) return ErrorFromErrno(errno);
    std::u32string unused;
    while (const dirent* entry = ::readdir(dir)) {
        DirEntry item;
        item.name = entry->d_name;
        if (item.name == "." || item.name == ".." || !DecodeUtf8(item.name, &unused)) continue;
        const bool hidden = std::any_of(mounts.begin(), mounts.end(), [&](const Mount& mount) {
            return IsChildMount(mount, folder.parts) && NamesEqual(mount.at.back(), item.name);
        });
        item.host = folder.host + "/" + item.name;
        if (hidden || ::stat(item.host.c_str(), &item.st) != 0) continue;
        out->push_back(std::move(item));
    }
    ::closedir(dir);
    std::sort(out->begin(), out->end(), [](const DirEntry& a, const DirEntry& b) { return NameLess(a.name, b.name); });
    for (const Mount& mount : mounts) {
        if (!IsChildMount(mount, folder.parts)) continue;
        DirEntry item{mount.at.back(), mount.host, true, mount.volume, {}};
        if (::stat(item.host.c_str(), &item.st) == 0) out->push_back(std::move(item));
    }
    return ERROR_SUCCESS;
}

bool HasMountBelow(const State& state, const std::vector<std::string>& folder)
{
    const std::vector<Mount> mounts = Mounts(state);
    return std::any_of(mounts.begin(), mounts.end(), [&](const Mount& mount) {
        return mount.at.size() > folder.size() && PrefixEquals(folder, mount.at);
    });
}

}  // namespace os::detail::fs

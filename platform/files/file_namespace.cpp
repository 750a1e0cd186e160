// Device paths to host paths: the mount table and the lookup that ignores
// case and stays beneath each mount's host folder.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/base/trace.h"
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

DWORD RefuseLink(const std::string& host)
{
    PlatformLog("files: %s is a symbolic link; links are not followed", host.c_str());
    return ERROR_ACCESS_DENIED;
}

bool IsChildMount(const Mount& mount, const std::vector<std::string>& folder)
{
    return mount.at.size() == folder.size() + 1 && PrefixEquals(folder, mount.at);
}

}  // namespace

DWORD FindName(int folder, const std::string& name, std::string* found)
{
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        *found = name;
        return ERROR_SUCCESS;
    }
    if (errno != ENOENT) return ErrorFromErrno(errno);
    DIR* dir = OpenFolderListing(folder, ".");
    if (dir == nullptr) return ErrorFromErrno(errno);
    found->clear();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (NamesEqual(candidate, name) && (found->empty() || candidate < *found)) *found = candidate;
    }
    ::closedir(dir);
    return found->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

std::vector<Mount> Mounts(const State& state)
{
    std::vector<Mount> mounts;
    for (const VolumePtr& volume : state.volumes) {
        if (volume->mounted) mounts.push_back(Mount{{volume->name}, volume->host, volume, false});
    }
    if (!state.programHost.empty()) mounts.push_back(Mount{state.programAt, state.programHost, nullptr, true});
    if (!state.windowsHost.empty()) mounts.push_back(Mount{{kWindowsFolder}, state.windowsHost, nullptr, true});
    mounts.push_back(Mount{{}, state.fsHost, nullptr, false});
    return mounts;
}

std::string Resolved::At() const
{
    return folder ? AtSibling(name) : host;
}

std::string Resolved::AtSibling(const std::string& sibling) const
{
    return "/proc/self/fd/" + std::to_string(folder->get()) + "/" + sibling;
}

DIR* OpenFolderListing(int folder, const std::string& name)
{
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) ::close(fd);
    return dir;
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
    out->readOnly = mount.readOnly;
    // The mount's own folder is the configuration's and may be reached
    // through links; nothing beneath it is.
    if (::stat(out->host.c_str(), &out->st) != 0) return ERROR_PATH_NOT_FOUND;
    if (parts.size() == mount.at.size()) {
        out->exists = true;
        out->mountPoint = true;
        return ERROR_SUCCESS;
    }
    auto folder = std::make_shared<HostFd>(::open(out->host.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder->get() < 0) return ERROR_PATH_NOT_FOUND;
    for (std::size_t i = mount.at.size(); i < parts.size(); ++i) {
        if (i > mount.at.size()) {
            if (!S_ISDIR(out->st.st_mode)) return ERROR_PATH_NOT_FOUND;
            folder = std::make_shared<HostFd>(
                ::openat(folder->get(), out->parts.back().c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (folder->get() < 0) return errno == ENOTDIR ? RefuseLink(out->host) : ErrorFromErrno(errno);
        }
        const bool last = i + 1 == parts.size();
        std::string found;
        const DWORD error = FindName(folder->get(), parts[i], &found);
        if (error == ERROR_FILE_NOT_FOUND && last) {
            out->host += "/" + parts[i];
            out->parts.push_back(parts[i]);
            out->st = {};
            out->folder = std::move(folder);
            out->name = parts[i];
            return ERROR_SUCCESS;
        }
        if (error != ERROR_SUCCESS) return error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error;
        out->host += "/" + found;
        out->parts.push_back(found);
        if (::fstatat(folder->get(), found.c_str(), &out->st, AT_SYMLINK_NOFOLLOW) != 0) {
            return ErrorFromErrno(errno);
        }
        if (S_ISLNK(out->st.st_mode)) return RefuseLink(out->host);
    }
    out->exists = true;
    out->folder = std::move(folder);
    out->name = out->parts.back();
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
    DIR* dir = folder.folder ? OpenFolderListing(folder.folder->get(), folder.name) : ::opendir(folder.host.c_str());
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
        // Links are left out: they lead nowhere the program may go.
        if (hidden || ::fstatat(::dirfd(dir), item.name.c_str(), &item.st, AT_SYMLINK_NOFOLLOW) != 0 ||
            S_ISLNK(item.st.st_mode)) {
            continue;
        }
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

// File attributes. Read-only is the owner's write bit on the host; hidden,
// system, archive and temporary are kept in a user extended attribute.
// The host would let root write anything, so the file calls enforce
// read-only themselves. Attributes are read and set on the entry itself,
// never through a link.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

constexpr const char* kAttributeName = "user.kestrava.attributes";
constexpr DWORD kKeptBits =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;
constexpr DWORD kSettableBits = kKeptBits | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL;

// Missing or unreadable means none: a host without extended attributes
// simply has files without them.
DWORD ReadKeptBits(const std::string& host)
{
    char text[16] = {};
    const ssize_t length = ::lgetxattr(host.c_str(), kAttributeName, text, sizeof text - 1);
    if (length <= 0) return 0;
    return static_cast<DWORD>(std::strtoul(text, nullptr, 10)) & kKeptBits;
}

// 0 or the host's errno.
int WriteKeptBits(const std::string& host, DWORD bits)
{
    if (bits != 0) {
        const std::string text = std::to_string(bits);
        return ::lsetxattr(host.c_str(), kAttributeName, text.data(), text.size(), 0) == 0 ? 0 : errno;
    }
    if (::lremovexattr(host.c_str(), kAttributeName) == 0 || errno == ENODATA || errno == ENOTSUP) return 0;
    return errno;
}

}  // namespace

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

DWORD HostAttributes(const std::string& host, const struct stat& st)
{
    DWORD attributes = ReadKeptBits(host);
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (IsReadOnly(st)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

DWORD MountPointAttributes(const VolumePtr& volume)
{
    return FILE_ATTRIBUTE_DIRECTORY | (volume ? FILE_ATTRIBUTE_TEMPORARY : 0);
}

DWORD AttributesOf(const Resolved& r)
{
    return r.mountPoint ? MountPointAttributes(r.volume) : HostAttributes(r.At(), r.st);
}

int SetHostAttributes(const std::string& host, const struct stat& st, DWORD attributes)
{
    const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
    const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? (st.st_mode & ~writable) : (st.st_mode | S_IWUSR);
    const bool modeChanges = (mode & 07777) != (st.st_mode & 07777);
    if (modeChanges && ::fchmodat(AT_FDCWD, host.c_str(), mode & 07777, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    const int error = WriteKeptBits(host, attributes & kKeptBits);
    if (error != 0 && modeChanges) ::fchmodat(AT_FDCWD, host.c_str(), st.st_mode & 07777, AT_SYMLINK_NOFOLLOW);
    return error;
}

DWORD ApplyAttributes(const std::string& host, const struct stat& st, DWORD attributes)
{
    const int error = SetHostAttributes(host, st, attributes);
    return error == 0 ? static_cast<DWORD>(ERROR_SUCCESS) : ErrorFromErrno(error);
}

}  // namespace os::detail::fs

namespace os {

using namespace detail::fs;

DWORD GetFileAttributesW(const char* path)
{
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        Resolved r;
        error = ResolvePath(state, path, LastPart::Name, &r);
        if (error == ERROR_SUCCESS && !r.exists) error = ERROR_FILE_NOT_FOUND;
        if (error == ERROR_SUCCESS) attributes = AttributesOf(r);
    }
    Finish(error);
    return attributes;
}

BOOL SetFileAttributesW(const char* path, DWORD attributes)
{
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        Resolved r;
        error = ResolvePath(state, path, LastPart::Name, &r);
        if (error == ERROR_SUCCESS && !r.exists) error = ERROR_FILE_NOT_FOUND;
        if (error == ERROR_SUCCESS && (r.mountPoint || r.readOnly)) error = ERROR_ACCESS_DENIED;
        if (error == ERROR_SUCCESS && (attributes & ~kSettableBits) != 0) error = ERROR_INVALID_PARAMETER;
        if (error == ERROR_SUCCESS) error = ApplyAttributes(r.At(), r.st, attributes);
    }
    return Finish(error);
}

}  // namespace os

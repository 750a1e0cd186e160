// Folders, and deleting, moving and copying files.
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/files/internal/file_detail.h"
#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

constexpr DWORD kCopyBlock = 64 * 1024;

DWORD ResolveExisting(const State& state, const char* path, Resolved* r)
{
    const DWORD error = ResolvePath(state, path, LastPart::Name, r);
    if (error != ERROR_SUCCESS) return error;
    return r->exists ? static_cast<DWORD>(ERROR_SUCCESS) : ERROR_FILE_NOT_FOUND;
}

DWORD MakeFolder(State& state, const char* path)
{
    Resolved r;
    const DWORD error = ResolvePath(state, path, LastPart::Name, &r);
    if (error != ERROR_SUCCESS) return error;
    if (r.exists) return ERROR_ALREADY_EXISTS;
    if (r.readOnly) return ERROR_ACCESS_DENIED;
    return ::mkdir(r.At().c_str(), 0777) == 0 ? static_cast<DWORD>(ERROR_SUCCESS) : ErrorFromErrno(errno);
}

DWORD RemoveFolder(State& state, const char* path)
{
    Resolved r;
    const DWORD error = ResolveExisting(state, path, &r);
    if (error != ERROR_SUCCESS) return error;
    if (r.mountPoint) return ERROR_ACCESS_DENIED;
    if (!S_ISDIR(r.st.st_mode)) return ERROR_DIRECTORY;
    if (HasMountBelow(state, r.parts)) return ERROR_DIR_NOT_EMPTY;
    if (r.readOnly || IsReadOnly(r.st)) return ERROR_ACCESS_DENIED;
    return ::rmdir(r.At().c_str()) == 0 ? static_cast<DWORD>(ERROR_SUCCESS) : ErrorFromErrno(errno);
}

DWORD DeleteOne(State& state, const char* path)
{
    Resolved r;
    const DWORD error = ResolveExisting(state, path, &r);
    if (error != ERROR_SUCCESS) return error;
    if (r.mountPoint || r.readOnly || S_ISDIR(r.st.st_mode) || IsReadOnly(r.st)) return ERROR_ACCESS_DENIED;
    if (IsOpen(state, r.st)) return ERROR_SHARING_VIOLATION;
    if (::unlink(r.At().c_str()) != 0) return ErrorFromErrno(errno);
    AddUsage(r.volume, -static_cast<LONGLONG>(r.st.st_size));
    ForgetWritten(state, JoinDevicePath(r.parts));
    return ERROR_SUCCESS;
}

DWORD CheckMovable(const State& state, const Resolved& src, const Resolved& dst)
{
    const bool sameMount = src.mountHost == dst.mountHost;
    if (S_ISDIR(src.st.st_mode)) {
        if (!sameMount) return ERROR_NOT_SAME_DEVICE;
        if (IsOpenBelow(state, src.host)) return ERROR_SHARING_VIOLATION;
        const bool intoItself = dst.parts.size() > src.parts.size() && PrefixEquals(src.parts, dst.parts);
        return intoItself ? static_cast<DWORD>(ERROR_INVALID_PARAMETER) : ERROR_SUCCESS;
    }
    if (IsReadOnly(src.st)) return ERROR_ACCESS_DENIED;
    if (IsOpen(state, src.st)) return ERROR_SHARING_VIOLATION;
    const auto size = static_cast<ULONGLONG>(src.st.st_size);
    if (!sameMount && Tracked(dst.volume) && Room(*dst.volume) < size) return ERROR_DISK_FULL;
    return ERROR_SUCCESS;
}

// A move by rename. *needsCopy asks the caller to copy and delete instead
// (a file between host file systems).
DWORD Move(State& state, const char* from, const char* to, bool* needsCopy)
{
    Resolved src;
    DWORD error = ResolveExisting(state, from, &src);
    if (error != ERROR_SUCCESS) return error;
    if (src.mountPoint || src.readOnly || HasMountBelow(state, src.parts)) return ERROR_ACCESS_DENIED;
    std::vector<std::string> given;
    error = ParseDevicePath(to, LastPart::Name, &given);
    Resolved dst;
    if (error == ERROR_SUCCESS) error = Resolve(state, given, &dst);
    if (error != ERROR_SUCCESS) return error;
    if (dst.readOnly) return ERROR_ACCESS_DENIED;
    std::string target = dst.At();
    if (dst.exists) {
        // Only a new case for the same name is allowed over an existing entry.
        if (dst.mountPoint || dst.st.st_dev != src.st.st_dev || dst.st.st_ino != src.st.st_ino) {
            return ERROR_ALREADY_EXISTS;
        }
        target = dst.AtSibling(given.back());
        dst.parts.back() = given.back();
    }
    error = CheckMovable(state, src, dst);
    if (error != ERROR_SUCCESS) return error;
    if (::rename(src.At().c_str(), target.c_str()) != 0) {
        *needsCopy = errno == EXDEV && !S_ISDIR(src.st.st_mode);
        return *needsCopy ? static_cast<DWORD>(ERROR_SUCCESS) : ErrorFromErrno(errno);
    }
    if (!S_ISDIR(src.st.st_mode) && src.mountHost != dst.mountHost) {
        AddUsage(src.volume, -static_cast<LONGLONG>(src.st.st_size));
        AddUsage(dst.volume, static_cast<LONGLONG>(src.st.st_size));
    }
    RenameWritten(state, JoinDevicePath(src.parts), JoinDevicePath(dst.parts));
    return ERROR_SUCCESS;
}

template <typename Operation>
BOOL Locked(Operation operation)
{
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        error = PowerError(state);
        if (error == ERROR_SUCCESS) error = operation(state);
    }
    return Finish(error);
}

DWORD CopyData(HANDLE in, HANDLE out)
{
    std::vector<char> buffer(kCopyBlock);
    for (;;) {
        DWORD got = 0;
        DWORD put = 0;
        if (!ReadFile(in, buffer.data(), kCopyBlock, &got, nullptr)) return GetLastError();
        if (got == 0) return ERROR_SUCCESS;
        if (!WriteFile(out, buffer.data(), got, &put, nullptr)) return GetLastError();
    }
}

}  // namespace
}  // namespace os::detail::fs

namespace os {

using namespace detail::fs;

BOOL CreateDirectoryW(const char* path, void* /*security*/)
{
    return Locked([&](State& state) { return MakeFolder(state, path); });
}

BOOL RemoveDirectoryW(const char* path)
{
    return Locked([&](State& state) { return RemoveFolder(state, path); });
}

BOOL DeleteFileW(const char* path)
{
    return Locked([&](State& state) { return DeleteOne(state, path); });
}

BOOL MoveFileW(const char* existing, const char* destination)
{
    bool needsCopy = false;
    if (!Locked([&](State& state) { return Move(state, existing, destination, &needsCopy); })) return FALSE;
    if (!needsCopy) return TRUE;
    if (!CopyFileW(existing, destination, TRUE)) return FALSE;
    if (DeleteFileW(existing)) return TRUE;
    const DWORD error = GetLastError();
    DeleteFileW(destination);
    return Finish(error);
}

BOOL CopyFileW(const char* existing, const char* destination, BOOL failIfExists)
{
    const DWORD attributes = GetFileAttributesW(existing);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Finish(ERROR_ACCESS_DENIED);
    const HANDLE in = CreateFileW(existing, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return FALSE;
    const HANDLE out = CreateFileW(destination, GENERIC_WRITE, 0, nullptr, failIfExists ? CREATE_NEW : CREATE_ALWAYS,
                                   attributes & ~FILE_ATTRIBUTE_READONLY, nullptr);
    DWORD error = out == INVALID_HANDLE_VALUE ? GetLastError() : CopyData(in, out);
    detail::CloseFileHandle(in);
    if (out == INVALID_HANDLE_VALUE) return Finish(error);
    detail::CloseFileHandle(out);
    if (error == ERROR_SUCCESS && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        !SetFileAttributesW(destination, attributes)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) DeleteFileW(destination);
    return Finish(error);
}

}  // namespace os

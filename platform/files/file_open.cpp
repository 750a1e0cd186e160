// CreateFileW: files, the "VOL:" device of a mounted volume, and device
// names handed to their drivers (platform/devices/internal/device_table.h).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

constexpr DWORD kCreationAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;

struct Request {
    DWORD access;
    DWORD share;
    DWORD creation;
    DWORD attributes;
};

bool Conflicts(DWORD access, DWORD share)
{
    return ((access & GENERIC_READ) != 0 && (share & FILE_SHARE_READ) == 0) ||
           ((access & GENERIC_WRITE) != 0 && (share & FILE_SHARE_WRITE) == 0);
}

bool SharingAllows(const State& state, const struct stat& st, const Request& request)
{
    return std::none_of(state.open.begin(), state.open.end(), [&](const auto& entry) {
        const OpenObject& held = *entry.second;
        if (held.kind != OpenObject::Kind::File || !IsAlive(held)) return false;
        if (held.dev != st.st_dev || held.ino != st.st_ino) return false;
        return Conflicts(request.access, held.share) || Conflicts(held.access, request.share);
    });
}

// A file open for writing is also readable on the host: the power-cut model
// reads the durable bytes a write is about to replace. What the handle may
// do is its own access, checked at each call.
int HostFlags(DWORD access)
{
    const bool write = (access & GENERIC_WRITE) != 0;
    return (write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
}

OpenPtr NewFileObject(int fd, const Resolved& r, const Request& request)
{
    auto object = std::make_shared<OpenObject>();
    object->fd = std::make_unique<HostFd>(fd);
    object->host = r.host;
    object->device = JoinDevicePath(r.parts);
    object->access = request.access;
    object->share = request.share;
    object->volume = r.volume;
    object->generation = r.volume ? r.volume->generation : 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        object->dev = st.st_dev;
        object->ino = st.st_ino;
    }
    return object;
}

DWORD OpenVolumeDevice(State& state, const std::vector<std::string>& folder, const Request& request, OpenPtr* out)
{
    Resolved r;
    const DWORD error = Resolve(state, folder, &r);
    if (error != ERROR_SUCCESS) return error;
    if (!r.exists) return ERROR_PATH_NOT_FOUND;
    if (!r.mountPoint || !r.volume) return ERROR_FILE_NOT_FOUND;
    if ((request.access & GENERIC_WRITE) != 0 || request.creation != OPEN_EXISTING) return ERROR_ACCESS_DENIED;
    auto object = std::make_shared<OpenObject>();
    object->kind = OpenObject::Kind::VolumeDevice;
    object->volume = r.volume;
    object->generation = r.volume->generation;
    *out = std::move(object);
    return ERROR_SUCCESS;
}

DWORD OpenExisting(State& state, const Resolved& r, const Request& request, OpenPtr* out)
{
    if (r.mountPoint || S_ISDIR(r.st.st_mode)) return ERROR_ACCESS_DENIED;
    if (request.creation == CREATE_NEW) return ERROR_FILE_EXISTS;
    const bool truncate = request.creation == CREATE_ALWAYS || request.creation == TRUNCATE_EXISTING;
    if (request.creation == TRUNCATE_EXISTING && (request.access & GENERIC_WRITE) == 0) return ERROR_INVALID_PARAMETER;
    const bool writes = (request.access & GENERIC_WRITE) != 0 || truncate;
    if ((r.readOnly || IsReadOnly(r.st)) && writes) return ERROR_ACCESS_DENIED;
    if (!S_ISREG(r.st.st_mode)) return ERROR_ACCESS_DENIED;
    if (!SharingAllows(state, r.st, request)) return ERROR_SHARING_VIOLATION;
    const int fd = ::open(r.At().c_str(), HostFlags(request.access) | O_NOFOLLOW);
    if (fd < 0) return ErrorFromErrno(errno);
    OpenPtr object = NewFileObject(fd, r, request);
    if (truncate) {
        if (request.creation == CREATE_ALWAYS) {
            const DWORD error = ApplyAttributes(r.At(), r.st, request.attributes);
            if (error != ERROR_SUCCESS) return error;
        }
        if (::ftruncate(fd, 0) != 0) {
            // A handle without write access still replaces the content.
            const HostFd writer(::open(r.At().c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
            if (writer.get() < 0 || ::ftruncate(writer.get(), 0) != 0) return ErrorFromErrno(errno);
        }
        AddUsage(r.volume, -static_cast<LONGLONG>(r.st.st_size));
        RecordWritten(state, object->device);
        object->recorded = true;
    }
    *out = std::move(object);
    return ERROR_SUCCESS;
}

DWORD CreateNew(State& state, const Resolved& r, const Request& request, OpenPtr* out)
{
    if (request.creation == OPEN_EXISTING || request.creation == TRUNCATE_EXISTING) return ERROR_FILE_NOT_FOUND;
    if (r.readOnly) return ERROR_ACCESS_DENIED;
    const mode_t mode = (request.attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    const int fd = ::open(r.At().c_str(), HostFlags(request.access) | O_CREAT | O_EXCL, mode);
    if (fd < 0) return ErrorFromErrno(errno);
    OpenPtr object = NewFileObject(fd, r, request);
    if ((request.attributes & ~FILE_ATTRIBUTE_READONLY) != 0) {
        struct stat st {};
        const DWORD error =
            ::fstat(fd, &st) == 0 ? ApplyAttributes(r.At(), st, request.attributes) : ErrorFromErrno(errno);
        if (error != ERROR_SUCCESS) {
            ::unlink(r.At().c_str());
            return error;
        }
    }
    RecordWritten(state, object->device);
    object->recorded = true;
    *out = std::move(object);
    return ERROR_SUCCESS;
}

// The error to report, or ERROR_SUCCESS with *existed telling whether a
// file was found.
DWORD Open(State& state, const char* path, const Request& request, OpenPtr* out, bool* existed)
{
    std::vector<std::string> parts;
    DWORD error = ParseDevicePath(path, LastPart::Any, &parts);
    if (error != ERROR_SUCCESS) return error;
    if (!parts.empty() && NamesEqual(parts.back(), "VOL:")) {
        parts.pop_back();
        return OpenVolumeDevice(state, parts, request, out);
    }
    if (parts.empty()) return ERROR_ACCESS_DENIED;
    if (!IsValidName(parts.back(), false)) return ERROR_INVALID_NAME;
    if (request.creation < CREATE_NEW || request.creation > TRUNCATE_EXISTING) return ERROR_INVALID_PARAMETER;
    Resolved r;
    error = Resolve(state, parts, &r);
    if (error != ERROR_SUCCESS) return error;
    *existed = r.exists;
    return r.exists ? OpenExisting(state, r, request, out) : CreateNew(state, r, request, out);
}

}  // namespace
}  // namespace os::detail::fs

#include "platform/devices/internal/device_table.h"

namespace os {

using namespace detail::fs;

HANDLE CreateFileW(const char* path, DWORD access, DWORD shareMode, void* /*security*/, DWORD creation,
                   DWORD flagsAndAttributes, HANDLE /*templateFile*/)
{
    // Device names ("COM1:", "ACC1:") open their drivers, not files.
    HANDLE device = nullptr;
    if (path != nullptr && detail::OpenNamedDevice(path, access, &device)) {
        return device != nullptr ? device : INVALID_HANDLE_VALUE;
    }
    const Request request{access, shareMode, creation, flagsAndAttributes & kCreationAttributes};
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool existed = false;
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        OpenPtr object;
        error = PowerError(state);
        if (error == ERROR_SUCCESS) error = Open(state, path, request, &object, &existed);
        if (error == ERROR_SUCCESS) handle = AddOpen(state, std::move(object));
    }
    const bool reportsExisting = existed && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS);
    SetLastError(error != ERROR_SUCCESS ? error : (reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS));
    return handle;
}

}  // namespace os

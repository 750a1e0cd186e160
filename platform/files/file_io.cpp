// Reading and writing open files. The data moves outside the table mutex;
// a write on a volume with a capacity first reserves its growth under the
// mutex, so concurrent writers cannot overfill the volume together, and
// writes only what fits.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/files/file_sim.h"
#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

struct Reservation {
    DWORD allowed = 0;
    LONGLONG reserved = 0;
    LONGLONG start = 0;
    LONGLONG size = 0;
};

// Under the mutex.
DWORD LookupFileLocked(const State& state, HANDLE handle, DWORD needs, OpenPtr* out)
{
    const DWORD error = LookupOpen(state, handle, OpenObject::Kind::File, out);
    if (error != ERROR_SUCCESS) return error;
    return ((*out)->access & needs) == needs ? static_cast<DWORD>(ERROR_SUCCESS) : ERROR_ACCESS_DENIED;
}

DWORD LookupFile(HANDLE handle, DWORD needs, OpenPtr* out)
{
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    return LookupFileLocked(state, handle, needs, out);
}

DWORD CurrentSpan(int fd, LONGLONG* position, LONGLONG* size)
{
    struct stat st {};
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0 || ::fstat(fd, &st) != 0) return ErrorFromErrno(errno);
    *position = at;
    *size = st.st_size;
    return ERROR_SUCCESS;
}

// Under the mutex: how much of the write fits on the volume, and the growth
// counted for it in advance.
DWORD Reserve(const OpenObject& object, DWORD toWrite, Reservation* out)
{
    out->allowed = toWrite;
    if (!Tracked(object.volume)) return ERROR_SUCCESS;
    const DWORD error = CurrentSpan(object.fd->get(), &out->start, &out->size);
    if (error != ERROR_SUCCESS) return error;
    const LONGLONG growth = std::max<LONGLONG>(0, out->start + toWrite - out->size);
    const auto room = static_cast<LONGLONG>(std::min<ULONGLONG>(Room(*object.volume), std::numeric_limits<LONGLONG>::max()));
    if (growth > room) out->allowed = static_cast<DWORD>(std::max<LONGLONG>(0, toWrite - (growth - room)));
    out->reserved = std::max<LONGLONG>(0, out->start + out->allowed - out->size);
    AddUsage(object.volume, out->reserved);
    return ERROR_SUCCESS;
}

// 0 or the errno of the failure; *done counts what was written before it.
int WriteAll(int fd, const void* buffer, DWORD count, DWORD* done)
{
    const auto* bytes = static_cast<const char*>(buffer);
    while (*done < count) {
        const ssize_t n = ::write(fd, bytes + *done, count - *done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        *done += static_cast<DWORD>(n);
    }
    return 0;
}

int ReadAll(int fd, void* buffer, DWORD count, DWORD* done)
{
    auto* bytes = static_cast<char*>(buffer);
    while (*done < count) {
        const ssize_t n = ::read(fd, bytes + *done, count - *done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        *done += static_cast<DWORD>(n);
    }
    return 0;
}

DWORD Seek(const OpenObject& object, LONGLONG distance, DWORD method, LONGLONG* position)
{
    const int fd = object.fd->get();
    LONGLONG base = 0;
    LONGLONG size = 0;
    if (method == FILE_CURRENT || method == FILE_END) {
        const DWORD error = CurrentSpan(fd, &base, &size);
        if (error != ERROR_SUCCESS) return error;
        if (method == FILE_END) base = size;
    } else if (method != FILE_BEGIN) {
        return ERROR_INVALID_PARAMETER;
    }
    if (distance > 0 && base > std::numeric_limits<LONGLONG>::max() - distance) return ERROR_INVALID_PARAMETER;
    const LONGLONG target = base + distance;
    if (target < 0) return ERROR_NEGATIVE_SEEK;
    if (::lseek(fd, target, SEEK_SET) < 0) return ErrorFromErrno(errno);
    *position = target;
    return ERROR_SUCCESS;
}

DWORD Truncate(State& state, const OpenPtr& pointer)
{
    OpenObject& object = *pointer;
    LONGLONG position = 0;
    LONGLONG size = 0;
    DWORD error = CurrentSpan(object.fd->get(), &position, &size);
    if (error != ERROR_SUCCESS) return error;
    const LONGLONG growth = position - size;
    if (Tracked(object.volume) && growth > 0 && static_cast<ULONGLONG>(growth) > Room(*object.volume)) {
        return ERROR_DISK_FULL;
    }
    error = NoteTruncate(state, pointer, position);
    if (error != ERROR_SUCCESS) return error;
    if (::ftruncate(object.fd->get(), position) != 0) return ErrorFromErrno(errno);
    AddUsage(object.volume, growth);
    if (!object.recorded) RecordWritten(state, object.device);
    object.recorded = true;
    return ERROR_SUCCESS;
}

DWORD FileSize(HANDLE file, LONGLONG* size)
{
    OpenPtr object;
    const DWORD error = LookupFile(file, 0, &object);
    if (error != ERROR_SUCCESS) return error;
    struct stat st {};
    if (::fstat(object->fd->get(), &st) != 0) return ErrorFromErrno(errno);
    *size = st.st_size;
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace os::detail::fs

#include "platform/devices/comm.h"

namespace os {

using namespace detail::fs;

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* bytesRead, void* /*overlapped*/)
{
    if (detail::IsCommHandle(file)) return detail::ReadComm(file, buffer, toRead, bytesRead);
    if (bytesRead != nullptr) *bytesRead = 0;
    if (buffer == nullptr && toRead > 0) return Finish(ERROR_INVALID_PARAMETER);
    OpenPtr object;
    const DWORD error = LookupFile(file, GENERIC_READ, &object);
    if (error != ERROR_SUCCESS) return Finish(error);
    DWORD done = 0;
    const int hostError = ReadAll(object->fd->get(), buffer, toRead, &done);
    if (bytesRead != nullptr) *bytesRead = done;
    return Finish(hostError != 0 ? ErrorFromErrno(hostError) : ERROR_SUCCESS);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* bytesWritten, void* /*overlapped*/)
{
    if (detail::IsCommHandle(file)) return detail::WriteComm(file, buffer, toWrite, bytesWritten);
    if (bytesWritten != nullptr) *bytesWritten = 0;
    if (buffer == nullptr && toWrite > 0) return Finish(ERROR_INVALID_PARAMETER);
    State& state = TheState();
    OpenPtr object;
    Reservation reservation;
    bool faultFires = false;
    DWORD error = ERROR_SUCCESS;
    {
        std::lock_guard lock(state.mutex);
        error = PowerError(state);
        if (error == ERROR_SUCCESS) error = LookupFileLocked(state, file, GENERIC_WRITE, &object);
        if (error == ERROR_SUCCESS) {
            const DWORD count = AllowedByFault(state, *object, toWrite, &faultFires);
            const off_t at = ::lseek(object->fd->get(), 0, SEEK_CUR);
            error = at < 0 ? ErrorFromErrno(errno) : NoteWrite(state, object, at, count);
            if (error == ERROR_SUCCESS) error = Reserve(*object, count, &reservation);
        }
        if (error == ERROR_SUCCESS) ++state.writesUnderWay;
    }
    if (error != ERROR_SUCCESS) return Finish(error);
    DWORD done = 0;
    const int hostError = WriteAll(object->fd->get(), buffer, reservation.allowed, &done);
    bool removed = false;
    {
        std::lock_guard lock(state.mutex);
        if (--state.writesUnderWay == 0) state.writesDone.notify_all();
        if (Tracked(object->volume)) {
            const LONGLONG growth = std::max<LONGLONG>(0, reservation.start + done - reservation.size);
            AddUsage(object->volume, growth - reservation.reserved);
        }
        if (done > 0 && !object->recorded) {
            RecordWritten(state, object->device);
            object->recorded = true;
        }
        if (faultFires) {
            removed = state.writeFault->fault == sim::WriteFault::Removed;
            if (!removed) object->volume->filled += Room(*object->volume);
            state.writeFault.reset();
        }
    }
    if (bytesWritten != nullptr) *bytesWritten = done;
    if (removed) {
        sim::UnmountVolume(object->volume->name);
        return Finish(ERROR_DEVICE_NOT_AVAILABLE);
    }
    if (hostError != 0) return Finish(ErrorFromErrno(hostError));
    return Finish(reservation.allowed < toWrite ? static_cast<DWORD>(ERROR_DISK_FULL) : ERROR_SUCCESS);
}

BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD method)
{
    OpenPtr object;
    LONGLONG position = 0;
    DWORD error = LookupFile(file, 0, &object);
    if (error == ERROR_SUCCESS) error = Seek(*object, distance, method, &position);
    if (error == ERROR_SUCCESS && newPosition != nullptr) *newPosition = position;
    return Finish(error);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    const LONGLONG wide =
        distanceHigh == nullptr
            ? distance
            : static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                    static_cast<DWORD>(distance));
    LONGLONG position = 0;
    if (!SetFilePointerEx(file, wide, &position, method)) return INVALID_SET_FILE_POINTER;
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(position >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL SetEndOfFile(HANDLE file)
{
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        OpenPtr object;
        error = PowerError(state);
        if (error == ERROR_SUCCESS) error = LookupFileLocked(state, file, GENERIC_WRITE, &object);
        if (error == ERROR_SUCCESS) error = Truncate(state, object);
    }
    return Finish(error);
}

// Durable once the host has the data on its disk; a flush after a power cut
// makes nothing durable.
BOOL FlushFileBuffers(HANDLE file)
{
    OpenPtr object;
    DWORD error = LookupFile(file, GENERIC_WRITE, &object);
    if (error == ERROR_SUCCESS && ::fdatasync(object->fd->get()) != 0) error = ErrorFromErrno(errno);
    if (error == ERROR_SUCCESS) {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        error = PowerError(state);
        if (error == ERROR_SUCCESS) MakeDurable(state, *object);
    }
    return Finish(error);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh)
{
    LONGLONG size = 0;
    const DWORD error = FileSize(file, &size);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL GetFileSizeEx(HANDLE file, LONGLONG* size)
{
    LONGLONG value = 0;
    const DWORD error = FileSize(file, &value);
    if (error == ERROR_SUCCESS && size != nullptr) *size = value;
    return Finish(error);
}

}  // namespace os

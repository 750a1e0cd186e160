// Space on the volumes. A volume with a capacity is a card of that size on
// any host disk: its free bytes are the capacity less the bytes of its
// files, counted once at mount and then kept by every call that changes a
// file's size, and less what other programs' files take (FillVolume).
// Other places report the host file system under them.
#include <sys/statvfs.h>

#include <cerrno>
#include <filesystem>

#include "platform/files/internal/file_state.h"

namespace os::detail::fs {

bool Tracked(const VolumePtr& volume) { return volume && volume->capacity > 0; }

void AddUsage(const VolumePtr& volume, LONGLONG delta)
{
    if (!Tracked(volume)) return;
    const auto shrink = static_cast<ULONGLONG>(-delta);
    volume->used = delta >= 0 ? volume->used + static_cast<ULONGLONG>(delta)
                              : (shrink >= volume->used ? 0 : volume->used - shrink);
}

ULONGLONG Room(const Volume& volume)
{
    const ULONGLONG taken = volume.used + volume.filled;
    return volume.capacity > taken ? volume.capacity - taken : 0;
}

ULONGLONG CountBytesBelow(const std::string& host)
{
    namespace stdfs = std::filesystem;
    ULONGLONG total = 0;
    std::error_code error;
    stdfs::recursive_directory_iterator it(host, stdfs::directory_options::skip_permission_denied, error);
    for (; !error && it != stdfs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code entryError;
        if (it->symlink_status(entryError).type() != stdfs::file_type::regular) continue;
        const std::uintmax_t size = it->file_size(entryError);
        if (!entryError) total += size;
    }
    return total;
}

}  // namespace os::detail::fs

namespace os {

using namespace detail::fs;

BOOL GetDiskFreeSpaceExW(const char* path, ULONGLONG* freeBytesToCaller, ULONGLONG* totalBytes,
                         ULONGLONG* totalFreeBytes)
{
    ULONGLONG toCaller = 0;
    ULONGLONG total = 0;
    ULONGLONG free = 0;
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        Resolved r;
        error = ResolvePath(state, path != nullptr ? path : "\\", LastPart::Name, &r);
        if (error == ERROR_SUCCESS && !r.exists) error = ERROR_PATH_NOT_FOUND;
        struct statvfs host {};
        if (error == ERROR_SUCCESS && Tracked(r.volume)) {
            total = r.volume->capacity;
            free = toCaller = Room(*r.volume);
        } else if (error == ERROR_SUCCESS && ::statvfs(r.At().c_str(), &host) == 0) {
            total = static_cast<ULONGLONG>(host.f_blocks) * host.f_frsize;
            free = static_cast<ULONGLONG>(host.f_bfree) * host.f_frsize;
            toCaller = static_cast<ULONGLONG>(host.f_bavail) * host.f_frsize;
        } else if (error == ERROR_SUCCESS) {
            error = ErrorFromErrno(errno);
        }
    }
    if (error == ERROR_SUCCESS) {
        if (freeBytesToCaller != nullptr) *freeBytesToCaller = toCaller;
        if (totalBytes != nullptr) *totalBytes = total;
        if (totalFreeBytes != nullptr) *totalFreeBytes = free;
    }
    return Finish(error);
}

}  // namespace os

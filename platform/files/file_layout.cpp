// Files laid onto a volume at configuration: a card that already holds
// recordings when the program starts. Each is made sparse (its size set, no
// data written), replaces the entry of its name, and gets its attributes by
// the host code of SetFileAttributesW, so the program sees them as it sees
// its own. The walk down the host folder finds names as the device does
// (without case) and never follows a link beneath the volume's folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/files/file_sim.h"
#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

constexpr DWORD kLaidOutAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

bool Reject(std::string* why, std::string reason)
{
    *why = std::move(reason);
    return false;
}

// The names of a path below a volume's root.
bool SplitFilePath(const std::string& volume, const std::string& path, std::vector<std::string>* parts,
                   std::string* why)
{
    parts->clear();
    std::u32string unused;
    if (path.empty()) return Reject(why, "the path is empty");
    if (!DecodeUtf8(path, &unused)) return Reject(why, "the path is not UTF-8 text");
    if (path.front() == '\\' || path.front() == '/') {
        return Reject(why, "\"" + path + "\" starts with a separator; give it from the volume's root");
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
        const std::string name = path.substr(start, i - start);
        start = i + 1;
        if (name.empty()) return Reject(why, "\"" + path + "\" has an empty name (a doubled or trailing separator)");
        if (name == "." || name == "..") {
            return Reject(why, "\"" + path + "\" holds the name \"" + name +
                                   "\"; give the path from the volume's root without it");
        }
        if (!IsValidName(name, false)) {
            return Reject(why, "\"" + name +
                                   "\" is not a name the device takes (control characters and < > : \" | * ? are not)");
        }
        parts->push_back(name);
    }
    const std::size_t length = CountCodePoints(volume) + CountCodePoints(path) + 2;
    if (length > static_cast<std::size_t>(MAX_PATH)) {
        return Reject(why, "\\" + volume + "\\" + path + " is " + std::to_string(length) + " characters, more than the " +
                               std::to_string(MAX_PATH) + " of a device path");
    }
    return true;
}

// A path as names compare, folders joined with a separator no name holds.
std::u32string FoldedPath(const std::vector<std::string>& parts, std::size_t count)
{
    std::u32string folded;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) folded += U'\\';
        folded += Folded(parts[i]);
    }
    return folded;
}

bool Fail(const std::string& device, const std::string& host, int error, std::string* why)
{
    return Reject(why, "cannot lay out the file " + device + " at " + host + ": " + std::strerror(error));
}

// Lays one file under the open folder `root` (the volume's host folder).
bool LayOut(int root, const std::string& rootHost, const std::string& device, const std::vector<std::string>& parts,
            const sim::VolumeFile& file, std::string* why)
{
    std::string host = rootHost;
    auto folder = std::make_unique<HostFd>(::dup(root));
    if (folder->get() < 0) return Fail(device, host, errno, why);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        std::string found;
        const DWORD error = FindName(folder->get(), parts[i], &found);
        if (error == ERROR_FILE_NOT_FOUND) {
            found = parts[i];
            if (::mkdirat(folder->get(), found.c_str(), 0777) != 0 && errno != EEXIST) {
                return Fail(device, host + "/" + found, errno, why);
            }
        } else if (error != ERROR_SUCCESS) {
            return Fail(device, host + "/" + parts[i], errno, why);
        }
        host += "/" + found;
        // A file or a link where a folder belongs is refused (ENOTDIR, ELOOP).
        folder = std::make_unique<HostFd>(
            ::openat(folder->get(), found.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder->get() < 0) return Fail(device, host, errno, why);
    }
    std::string found;
    const DWORD error = FindName(folder->get(), parts.back(), &found);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        return Fail(device, host + "/" + parts.back(), errno, why);
    }
    // Whatever had the name goes, a read-only file too; a folder stays and is refused.
    if (error == ERROR_SUCCESS && ::unlinkat(folder->get(), found.c_str(), 0) != 0) {
        return Fail(device, host + "/" + found, errno, why);
    }
    const std::string& name = parts.back();
    host += "/" + name;
    const HostFd made(
        ::openat(folder->get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    struct stat st {};
    if (made.get() < 0 || ::ftruncate(made.get(), static_cast<off_t>(file.sizeBytes)) != 0 ||
        ::fstat(made.get(), &st) != 0) {
        return Fail(device, host, errno, why);
    }
    if (file.attributes == 0) return true;
    const std::string at = "/proc/self/fd/" + std::to_string(folder->get()) + "/" + name;
    const int attributeError = SetHostAttributes(at, st, file.attributes);
    return attributeError == 0 || Fail(device, host, attributeError, why);
}

}  // namespace

bool LayOutFiles(const sim::VolumeConfig& volume, const std::string& host, std::string* why)
{
    if (volume.files.empty()) return true;
    const HostFd root(::open(host.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) return Reject(why, "cannot lay out the files of volume " + volume.name + " at " + host + ": " +
                                               std::strerror(errno));
    std::vector<std::string> parts;
    for (const sim::VolumeFile& file : volume.files) {
        if (!SplitFilePath(volume.name, file.path, &parts, why)) return false;
        std::vector<std::string> device = {volume.name};
        device.insert(device.end(), parts.begin(), parts.end());
        if (!LayOut(root.get(), host, JoinDevicePath(device), parts, file, why)) return false;
    }
    return true;
}

}  // namespace os::detail::fs

namespace os::sim {

using namespace detail::fs;

bool CheckVolumeFiles(const VolumeConfig& volume, std::size_t* at, std::string* why)
{
    std::unordered_set<std::u32string> files;
    std::unordered_set<std::u32string> folders;
    ULONGLONG total = 0;
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < volume.files.size(); ++i) {
        const VolumeFile& file = volume.files[i];
        *at = i;
        if (!SplitFilePath(volume.name, file.path, &parts, why)) return false;
        if ((file.attributes & ~kLaidOutAttributes) != 0) {
            return Reject(why, "attributes " + std::to_string(file.attributes) +
                                   " are more than read-only, hidden, system and archive");
        }
        if (file.sizeBytes > static_cast<ULONGLONG>(INT64_MAX)) return Reject(why, "the size is above the largest file");
        const std::u32string folded = FoldedPath(parts, parts.size());
        if (files.count(folded) != 0) return Reject(why, "\"" + file.path + "\" is given twice (names ignore case)");
        if (folders.count(folded) != 0) {
            return Reject(why, "\"" + file.path + "\" is a folder on the way to an earlier file");
        }
        for (std::size_t n = 1; n < parts.size(); ++n) {
            const std::u32string folder = FoldedPath(parts, n);
            if (files.count(folder) != 0) {
                return Reject(why, "\"" + file.path + "\" lies below an earlier file, which cannot also be a folder");
            }
            folders.insert(folder);
        }
        files.insert(folded);
        // A capacity of 0 takes the host's figures: nothing to fit.
        const bool fits = volume.capacityBytes == 0 || file.sizeBytes <= volume.capacityBytes - total;
        if (!fits) {
            *at = volume.files.size();
            return Reject(why, "the files' sizes add up to more than the capacity (" +
                                   std::to_string(volume.capacityBytes) + " bytes)");
        }
        total += file.sizeBytes;
    }
    return true;
}

}  // namespace os::sim

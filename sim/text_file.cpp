#include "sim/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace sim {
namespace {

bool Fail(const char* what, int err, std::string* error)
{
    *error = std::string(what) + ": " + std::strerror(err);
    return false;
}

std::string SizeText(std::size_t bytes)
{
    return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MB" : std::to_string(bytes) + " bytes";
}

bool ReadFile(const std::string& path, bool regularOnly, std::size_t maxBytes, std::string* text, std::string* error)
{
    struct stat info;
    if (regularOnly) {
        if (::stat(path.c_str(), &info) != 0) return Fail("cannot open", errno, error);
        if (!S_ISREG(info.st_mode)) {
            *error = kNotARegularFile;
            return false;
        }
    }
    // Without O_NONBLOCK a FIFO swapped in after the check would hold the open.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (regularOnly ? O_NONBLOCK : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) return Fail("cannot open", errno, error);
    std::string content;
    bool ok = true;
    if (regularOnly && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        *error = kNotARegularFile;
        ok = false;
    }
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = Fail("cannot read", errno, error);
        } else if (n == 0) {
            break;
        } else if (content.size() + static_cast<std::size_t>(n) > maxBytes) {
            *error = "larger than " + SizeText(maxBytes);
            ok = false;
        } else {
            content.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (ok) *text = std::move(content);
    return ok;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::size_t maxBytes, std::string* text, std::string* error)
{
    return ReadFile(path, false, maxBytes, text, error);
}

bool ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string* text, std::string* error)
{
    return ReadFile(path, true, maxBytes, text, error);
}

bool ReadStillPicture(const std::string& path, std::string* bytes, std::string* why)
{
    std::string read;
    if (!ReadRegularFile(path, kMaxStillBytes, &read, why)) return false;
    if (read.empty()) {
        *why = "empty file";
        return false;
    }
    *bytes = std::move(read);
    return true;
}

}  // namespace sim

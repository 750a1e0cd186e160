#include "tools/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kinfo {
namespace {

constexpr std::size_t kOutputBufferBytes = 64 * 1024;

std::string Reason(int error) { return std::strerror(error); }

// What a path is when it is no regular file, for the message refusing it.
std::string KindOf(mode_t mode)
{
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

}  // namespace

int MemorySource::Read(std::uint64_t offset, void* into, std::size_t n)
{
    if (offset > size_ || n > size_ - offset) {
        error_ = "read past the end: " + std::to_string(n) + " bytes at " + std::to_string(offset);
        return 0;
    }
    if (n > 0) std::memcpy(into, data_ + offset, n);
    return 1;
}

HostFile::~HostFile()
{
    if (fd_ >= 0) ::close(fd_);
}

int HostFile::Open(const std::string& path, std::string* error)
{
    // Not blocking: opening a FIFO would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open: " + Reason(errno);
        return 0;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = "cannot read its status: " + Reason(errno);
        ::close(fd);
        return 0;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = KindOf(st.st_mode) + ", not a regular file";
        ::close(fd);
        return 0;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    identity_ = FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return 1;
}

int HostFile::ReadDirect(std::uint64_t offset, void* into, std::size_t n)
{
    auto* out = static_cast<std::uint8_t*>(into);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error_ = "cannot read at " + std::to_string(offset + done) + ": " + Reason(errno);
            return 0;
        }
        if (got == 0) {
            error_ = "ends at " + std::to_string(offset + done) + ", it was " + std::to_string(size_) +
                     " bytes when opened";
            return 0;
        }
        done += static_cast<std::size_t>(got);
    }
    return 1;
}

int HostFile::Read(std::uint64_t offset, void* into, std::size_t n)
{
    if (offset > size_ || n > size_ - offset) {
        error_ = "read past the end: " + std::to_string(n) + " bytes at " + std::to_string(offset);
        return 0;
    }
    if (n > kWindowBytes) return ReadDirect(offset, into, n);
    ++reads_;
    for (Window& w : windows_) {
        if (w.length > 0 && offset >= w.start && offset + n <= w.start + w.length) {
            w.used = reads_;
            std::memcpy(into, w.bytes + (offset - w.start), n);
            return 1;
        }
    }
    Window& w = windows_[0].used <= windows_[1].used ? windows_[0] : windows_[1];
    w.length = 0;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kWindowBytes, size_ - offset));
    if (!ReadDirect(offset, w.bytes, length)) return 0;
    w.start = offset;
    w.length = length;
    w.used = reads_;
    std::memcpy(into, w.bytes, n);
    return 1;
}

int FilesOf(const std::string& path, std::vector<std::string>* files, std::string* error)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
        files->push_back(path);
        return 1;
    }
    std::vector<std::string> found;
    std::filesystem::directory_iterator it(path, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string ext = it->path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        std::error_code kindError;
        if ((ext == ".avi" || ext == ".gps") && it->is_regular_file(kindError)) found.push_back(it->path().string());
    }
    if (ec) {
        *error = path + ": cannot list the folder: " + ec.message();
        return 0;
    }
    std::sort(found.begin(), found.end());
    files->insert(files->end(), found.begin(), found.end());
    return 1;
}

int IdentityOf(const std::string& path, FileIdentity* identity)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    *identity = FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return 1;
}

FdWriteBuffer::FdWriteBuffer(int fd) : fd_(fd), buffer_(kOutputBufferBytes)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdWriteBuffer::~FdWriteBuffer() { Drain(); }

int FdWriteBuffer::Drain()
{
    const char* at = pbase();
    const char* end = pptr();
    while (failure_ == 0 && at < end) {
        const ssize_t written = ::write(fd_, at, static_cast<std::size_t>(end - at));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            failure_ = errno;
        } else {
            at += written;
        }
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return failure_ == 0 ? 0 : -1;
}

FdWriteBuffer::int_type FdWriteBuffer::overflow(int_type c)
{
    if (Drain() != 0) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int FdWriteBuffer::sync() { return Drain(); }

namespace {

// Writes everything through fd and closes it; 0 with the reason on failure.
int WriteAndClose(int fd, const std::function<void(std::ostream&)>& write, std::string* reason)
{
    int failure = 0;
    {
        FdWriteBuffer buffer(fd);
        std::ostream out(&buffer);
        write(out);
        out.flush();
        failure = buffer.Failure();
        // A writer that gives up marks the stream bad: the output is abandoned.
        if (failure == 0 && out.bad()) failure = ECANCELED;
    }
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure != 0) *reason = Reason(failure);
    return failure == 0;
}

}  // namespace

int WriteHostFile(const std::string& path, const std::function<void(std::ostream&)>& write, std::string* error)
{
    std::string reason;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        *error = path + ": a folder, not a file";
        return 0;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = path + ": cannot open: " + Reason(errno);
            return 0;
        }
        if (!WriteAndClose(fd, write, &reason)) {
            *error = path + ": cannot write: " + reason;
            return 0;
        }
        return 1;
    }
    // A link is written through: the file it names is replaced, not the link.
    std::error_code ec;
    const std::string destination = exists ? std::filesystem::canonical(path, ec).string() : path;
    const std::string& target = ec || destination.empty() ? path : destination;
    const std::string parent = std::filesystem::path(target).parent_path().string();
    const std::string folder = parent.empty() ? std::string(".") : parent;
    std::string temporary = folder + "/.kestrava-info-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = path + ": cannot create: " + Reason(errno);
        return 0;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, exists ? (st.st_mode & 07777) : (0666 & ~mask));
    if (!WriteAndClose(fd, write, &reason)) {
        ::unlink(temporary.c_str());
        *error = path + ": cannot write: " + reason;
        return 0;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        *error = path + ": cannot replace: " + Reason(errno);
        ::unlink(temporary.c_str());
        return 0;
    }
    return 1;
}

}  // namespace kinfo

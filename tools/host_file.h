// Host files for kestrava-info, a host-side program that reads recordings
// copied off the phone and writes what it finds in them.
//
// Inputs are read in place, at an offset, never whole: a recording reaches
// gigabytes. Only regular files are read (a device such as /dev/zero or a
// FIFO never ends). Outputs keep the reason of their first failed write, so
// that a full disk is an error and not a short file. Every error carries the
// system's reason; those of one open file leave naming it to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace kinfo {

// The bytes a reader walks through: a host file, or bytes in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // 1 with the n bytes at offset, which lie within Size(); 0 with Error().
    virtual int Read(std::uint64_t offset, void* into, std::size_t n) = 0;
    const std::string& Error() const { return error_; }

protected:
    std::string error_;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    int Read(std::uint64_t offset, void* into, std::size_t n) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Where a file lives: equal for two names of one file (links included).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A regular host file open for reading. Small reads go through two cached
// windows, so that walking chunk headers and an index side by side costs
// few system calls and a bounded amount of memory.
class HostFile : public ByteSource {
public:
    HostFile() = default;
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;
    ~HostFile() override;

    // 1 when path names a regular file, now open; 0 with the reason.
    int Open(const std::string& path, std::string* error);
    std::uint64_t Size() const override { return size_; }
    int Read(std::uint64_t offset, void* into, std::size_t n) override;
    FileIdentity Identity() const { return identity_; }

private:
    static constexpr std::size_t kWindowBytes = 4096;
    struct Window {
        std::uint64_t start = 0;
        std::size_t length = 0;
        std::uint64_t used = 0;  // when last read from, for replacing the older one
        std::uint8_t bytes[kWindowBytes];
    };
    int ReadDirect(std::uint64_t offset, void* into, std::size_t n);

    int fd_ = -1;
    std::uint64_t size_ = 0;
    FileIdentity identity_;
    Window windows_[2];
    std::uint64_t reads_ = 0;
};

// The files a path names: the path itself, or for a folder its ".avi" and
// ".gps" files in name order. 0 with a message when a folder cannot be listed.
int FilesOf(const std::string& path, std::vector<std::string>* files, std::string* error);

// The identity of an existing file (links followed); 0 when it cannot be found.
int IdentityOf(const std::string& path, FileIdentity* identity);

// A stream buffer writing to a file descriptor that it does not own. The
// first failed write stops it and keeps the system's error number.
class FdWriteBuffer : public std::streambuf {
public:
    explicit FdWriteBuffer(int fd);
    ~FdWriteBuffer() override;
    // 0 while every write went through; otherwise the error number.
    int Failure() const { return failure_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    int Drain();

    int fd_;
    int failure_ = 0;
    std::vector<char> buffer_;
};

// Writes a whole output file. A regular file (or a new one) is written to a
// temporary file beside it that replaces it only once every byte was
// written, so a failed export leaves what was there; other files (devices,
// FIFOs) are written in place. A `write` that sets the stream's badbit
// gives up: the temporary file goes and the original stays. 1 done; 0 with
// a message naming the path.
int WriteHostFile(const std::string& path, const std::function<void(std::ostream&)>& write, std::string* error);

}  // namespace kinfo

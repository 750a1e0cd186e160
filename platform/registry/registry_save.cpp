// Writing the registry file: one line per value so that a user can read and
// edit it, replaced as a whole so that a crash never leaves a torn file.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/registry/registry.h"
#include "platform/registry/internal/registry_file.h"
#include "platform/base/trace.h"

namespace os::detail {

namespace {

// Names and texts were checked to be UTF-8 when they entered the registry,
// so the replacing error handler never has anything to replace.
std::string JsonQuoted(const std::string& text)
{
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Hex(const std::vector<BYTE>& data)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (BYTE b : data) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0xF];
    }
    return hex;
}

std::string FormatValue(const RegValue& value)
{
    switch (value.type) {
    case REG_DWORD: {
        DWORD dword = 0;
        std::memcpy(&dword, value.data.data(), sizeof dword);
        return "{\"dword\": " + std::to_string(dword) + "}";
    }
    case REG_SZ:
        return "{\"sz\": " + JsonQuoted(std::string(value.data.begin(), value.data.end() - 1)) + "}";
    case REG_BINARY:
        return "{\"binary\": \"" + Hex(value.data) + "\"}";
    default:
        return "{\"none\": \"" + Hex(value.data) + "\"}";
    }
}

bool Listed(const RegTree& tree, const RegKey& key)
{
    if (!key.values.empty()) {
        return true;
    }
    return !tree.IsRoot(key.path) && !tree.HasChildren(key.path);
}

LONG Failure(const std::string& what, const std::string& path, int err, std::string* error)
{
    *error = what + " " + path + ": " + std::strerror(err);
    return err == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable. The new file is already in place, so a
// failure here is logged rather than undoing the change.
void SyncFolder(const std::string& file)
{
    const std::string parent = std::filesystem::path(file).parent_path().string();
    const std::string folder = parent.empty() ? std::string(".") : parent;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        PlatformLog("registry: cannot flush folder %s: %s", folder.c_str(), std::strerror(errno));
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

}  // namespace

std::string FormatRegistry(const RegTree& tree)
{
    std::string out = "{";
    const char* keySeparator = "\n";
    for (const auto& [folded, key] : tree.Keys()) {
        if (!Listed(tree, key)) {
            continue;
        }
        out += keySeparator;
        keySeparator = ",\n";
        out += "  " + JsonQuoted(key.path) + ": {";
        const char* valueSeparator = "\n";
        for (const auto& [name, value] : key.values) {
            out += valueSeparator;
            valueSeparator = ",\n";
            out += "    " + JsonQuoted(value.name) + ": " + FormatValue(value);
        }
        out += key.values.empty() ? "}" : "\n  }";
    }
    out += "\n}\n";
    return out;
}

// Each process writes its own temporary file, so that two instances on one
// device root never rename each other's half-written file.
std::string TemporaryFileOf(const std::string& file) { return file + ".tmp." + std::to_string(::getpid()); }

LONG WriteFileAtomically(const std::string& file, const std::string& text, sim::RegistryCrashPoint crash,
                         std::size_t crashBytes, std::string* error)
{
    const std::string temp = TemporaryFileOf(file);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Failure("cannot create", temp, errno, error);
    }
    if (crash == sim::RegistryCrashPoint::DuringWrite) {
        const bool written = WriteAll(fd, text.data(), std::min(crashBytes, text.size()));
        ::close(fd);
        *error = written ? "power lost while writing " + temp : "cannot write " + temp;
        return ERROR_WRITE_FAULT;
    }
    if (!WriteAll(fd, text.data(), text.size()) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return Failure("cannot write", temp, err, error);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Failure("cannot write", temp, err, error);
    }
    if (crash == sim::RegistryCrashPoint::BeforeRename) {
        *error = "power lost before " + temp + " replaced " + file;
        return ERROR_WRITE_FAULT;
    }
    if (::rename(temp.c_str(), file.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Failure("cannot replace", file, err, error);
    }
    SyncFolder(file);
    return ERROR_SUCCESS;
}

}  // namespace os::detail

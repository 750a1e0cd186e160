// The simulator's configuration of the file system, volume insertion and
// removal, the record of written files, and the program's own path.
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/files/internal/file_detail.h"
#include "platform/files/file_sim.h"
#include "platform/files/internal/file_state.h"
#include "platform/windows/window.h"

namespace os::detail::fs {
namespace {

namespace stdfs = std::filesystem;

std::string Absolute(const std::string& host)
{
    std::error_code error;
    const stdfs::path absolute = stdfs::absolute(host, error);
    std::string path = error ? host : absolute.lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool Refuse(std::string* why, std::string reason)
{
    *why = std::move(reason);
    return false;
}

// The host's reason why `host` is not a folder; empty when it is one.
std::string NotAFolder(const std::string& host)
{
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return std::strerror(errno);
    return S_ISDIR(st.st_mode) ? std::string() : std::strerror(ENOTDIR);
}

bool MakeFolders(const std::string& host, std::string* why)
{
    std::error_code error;
    stdfs::create_directories(host, error);
    const std::string reason = error ? error.message() : NotAFolder(host);
    if (!reason.empty()) return Refuse(why, "cannot make folder " + host + ": " + reason);
    return true;
}

bool IsFolder(const std::string& host) { return NotAFolder(host).empty(); }

bool StartsWithFolder(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path[folder.size()] == '\\' &&
           NamesEqual(std::string_view(path).substr(0, folder.size()), folder);
}

// Fills the parts of a state from the configuration, off the mutex.
bool Build(const sim::FileSystemConfig& config, State* out, std::string* why)
{
    if (config.deviceRoot.empty()) return Refuse(why, "no device root");
    const std::string root = Absolute(config.deviceRoot);
    out->fsHost = root + "/fs";
    if (!MakeFolders(out->fsHost, why)) return false;
    std::vector<std::string> program;
    if (ParseDevicePath(config.programDevicePath.c_str(), LastPart::Name, &program) != ERROR_SUCCESS ||
        program.size() < 2) {
        return Refuse(why, "unusable program path " + config.programDevicePath);
    }
    out->programPath = JoinDevicePath(program);
    program.pop_back();
    out->programAt = program;
    if (!config.programHostFolder.empty()) {
        const std::string reason = NotAFolder(config.programHostFolder);
        if (!reason.empty()) return Refuse(why, "program folder " + config.programHostFolder + ": " + reason);
        out->programHost = Absolute(config.programHostFolder);
        std::string parent = out->fsHost;
        for (std::size_t i = 0; i + 1 < program.size(); ++i) parent += "/" + program[i];
        if (!MakeFolders(parent, why)) return false;
    }
    if (!config.windowsHostFolder.empty()) {
        if (NamesEqual(program.front(), kWindowsFolder)) {
            return Refuse(why, "the program path " + config.programDevicePath + " lies in the bound \\windows");
        }
        const std::string reason = NotAFolder(config.windowsHostFolder);
        if (!reason.empty()) return Refuse(why, "windows folder " + config.windowsHostFolder + ": " + reason);
        out->windowsHost = Absolute(config.windowsHostFolder);
    }
    for (const sim::VolumeConfig& volume : config.volumes) {
        const bool clash = NamesEqual(volume.name, program.front()) ||
                           (!out->windowsHost.empty() && NamesEqual(volume.name, kWindowsFolder)) ||
                           std::any_of(out->volumes.begin(), out->volumes.end(),
                                       [&](const VolumePtr& other) { return NamesEqual(other->name, volume.name); });
        if (!IsValidName(volume.name, false) || clash) return Refuse(why, "unusable volume name " + volume.name);
        auto made = std::make_shared<Volume>();
        made->name = volume.name;
        made->host = volume.hostFolder.empty() ? root + "/volumes/" + volume.name : Absolute(volume.hostFolder);
        if (volume.hostFolder.empty()) {
            if (!MakeFolders(made->host, why)) return false;
        } else if (const std::string reason = NotAFolder(made->host); !reason.empty()) {
            return Refuse(why, "volume folder " + made->host + ": " + reason);
        }
        std::size_t at = 0;
        std::string wrong;
        if (!sim::CheckVolumeFiles(volume, &at, &wrong)) {
            const std::string file = at < volume.files.size() ? " file " + volume.files[at].path : "";
            return Refuse(why, "volume " + volume.name + file + ": " + wrong);
        }
        if (!LayOutFiles(volume, made->host, why)) return false;
        made->capacity = volume.capacityBytes;
        made->number = static_cast<unsigned>(out->volumes.size() + 1);
        made->mounted = volume.mounted;
        made->generation = volume.mounted ? 1 : 0;
        made->used = volume.mounted && Tracked(made) ? CountBytesBelow(made->host) : 0;
        out->volumes.push_back(std::move(made));
    }
    return true;
}

bool ChangeMount(const std::string& name, bool mount)
{
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        const auto it = std::find_if(state.volumes.begin(), state.volumes.end(),
                                     [&](const VolumePtr& volume) { return NamesEqual(volume->name, name); });
        if (it == state.volumes.end() || (*it)->mounted == mount) return false;
        Volume& volume = **it;
        if (mount) {
            if (!IsFolder(volume.host)) return false;
            volume.used = Tracked(*it) ? CountBytesBelow(volume.host) : 0;
            ++volume.generation;
        }
        volume.mounted = mount;
    }
    BroadcastMessage(WM_DEVICECHANGE, mount ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, 0);
    return true;
}

}  // namespace

void RecordWritten(State& state, const std::string& device)
{
    const bool known = std::any_of(state.written.begin(), state.written.end(),
                                   [&](const std::string& path) { return NamesEqual(path, device); });
    if (!known) state.written.push_back(device);
}

void ForgetWritten(State& state, const std::string& device)
{
    std::erase_if(state.written, [&](const std::string& path) { return NamesEqual(path, device); });
}

void RenameWritten(State& state, const std::string& from, const std::string& to)
{
    for (std::string& path : state.written) {
        if (NamesEqual(path, from)) {
            path = to;
        } else if (StartsWithFolder(path, from)) {
            path = to + path.substr(from.size());
        }
    }
}

}  // namespace os::detail::fs

namespace os::sim {

using namespace detail::fs;

bool ConfigureFileSystem(const FileSystemConfig& config, std::string* error)
{
    State built;
    std::string why;
    if (!Build(config, &built, &why)) {
        if (error != nullptr) *error = why;
        return false;
    }
    // The previous objects close their host files once off the mutex.
    decltype(built.open) dropped;
    decltype(built.finds) droppedFinds;
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    state.configured = true;
    state.fsHost = std::move(built.fsHost);
    state.programAt = std::move(built.programAt);
    state.programHost = std::move(built.programHost);
    state.programPath = std::move(built.programPath);
    state.windowsHost = std::move(built.windowsHost);
    state.volumes = std::move(built.volumes);
    DropHandles(state, &dropped, &droppedFinds);
    state.written.clear();
    state.pending.clear();
    state.writeFault.reset();
    state.powerCut = false;
    return true;
}

bool MountVolume(const std::string& name) { return ChangeMount(name, true); }

bool UnmountVolume(const std::string& name) { return ChangeMount(name, false); }

bool FillVolume(const std::string& name, ULONGLONG bytes)
{
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    const auto it = std::find_if(state.volumes.begin(), state.volumes.end(),
                                 [&](const VolumePtr& volume) { return NamesEqual(volume->name, name); });
    if (it == state.volumes.end() || !Tracked(*it) || !(*it)->mounted) return false;
    Volume& volume = **it;
    volume.filled = bytes == 0 ? 0 : volume.filled + std::min(bytes, Room(volume));
    return true;
}

std::vector<std::string> FilesWritten()
{
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    return state.written;
}

}  // namespace os::sim

namespace os {

using namespace detail::fs;

DWORD GetModuleFileNameW(HMODULE module, std::string* fileName, DWORD maxChars)
{
    std::string path;
    DWORD error = ERROR_SUCCESS;
    {
        State& state = TheState();
        std::lock_guard lock(state.mutex);
        path = state.programPath;
        if (!state.configured) error = ERROR_NOT_READY;
    }
    if (module != nullptr) error = ERROR_INVALID_HANDLE;
    if (fileName == nullptr || maxChars == 0) error = ERROR_INVALID_PARAMETER;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    const std::size_t length = CountCodePoints(path);
    if (length < maxChars) {
        *fileName = path;
        return static_cast<DWORD>(length);
    }
    *fileName = TruncateCodePoints(path, maxChars - 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return maxChars;
}

}  // namespace os

namespace os::detail {

DWORD ResolveDevicePath(const std::string& devicePath, std::string* hostPath)
{
    fs::State& state = fs::TheState();
    std::lock_guard lock(state.mutex);
    fs::Resolved r;
    const DWORD error = fs::ResolvePath(state, devicePath.c_str(), fs::LastPart::Name, &r);
    if (error == ERROR_SUCCESS && hostPath != nullptr) *hostPath = r.host;
    return error;
}

DWORD OpenProgramFile(const std::string& devicePath, int* fd)
{
    *fd = -1;
    fs::State& state = fs::TheState();
    std::lock_guard lock(state.mutex);
    fs::Resolved r;
    const DWORD error = fs::ResolvePath(state, devicePath.c_str(), fs::LastPart::Name, &r);
    if (error != ERROR_SUCCESS) return error;
    if (!r.readOnly) return ERROR_ACCESS_DENIED;
    if (!r.exists) return ERROR_FILE_NOT_FOUND;
    if (!S_ISREG(r.st.st_mode)) return ERROR_ACCESS_DENIED;
    *fd = ::open(r.At().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    return *fd >= 0 ? static_cast<DWORD>(ERROR_SUCCESS) : fs::ErrorFromErrno(errno);
}

}  // namespace os::detail

// Keeping a process's registry in step with the file it shares with other
// processes on the same device root: the file lock, the check whether the
// file changed, and reading it anew.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/base/trace.h"
#include "platform/registry/internal/registry_file.h"
#include "platform/registry/internal/registry_state.h"

namespace os::detail {

namespace {

const RegValue* FindValue(const RegTree& tree, const ValueWatch& watch)
{
    const RegKey* key = tree.Find(watch.keyPath);
    if (!key) {
        return nullptr;
    }
    const auto it = key->values.find(FoldCase(watch.valueName));
    return it == key->values.end() ? nullptr : &it->second;
}

bool ValueChanged(const RegTree& before, const RegTree& after, const ValueWatch& watch)
{
    const RegValue* old = FindValue(before, watch);
    const RegValue* now = FindValue(after, watch);
    if (!old || !now) {
        return old != now;
    }
    return !old->SameContent(*now);
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

void Hold(RegistryState& state, int fd)
{
    if (state.seenFd >= 0) {
        ::close(state.seenFd);
    }
    state.seenFd = fd;
    state.seen = {};
    if (fd >= 0 && ::fstat(fd, &state.seen) != 0) {
        state.seen = {};
    }
}

// "registry.json.malformed", or the first free ".malformed.N".
std::string FreeMalformedName(const std::string& file)
{
    std::string name = file + ".malformed";
    std::error_code ec;
    for (int n = 1; std::filesystem::exists(name, ec) || ec; ++n) {
        name = file + ".malformed." + std::to_string(n);
    }
    return name;
}

void Adopt(RegistryState& state, RegTree tree, int fd, std::vector<ValueWatch>* posts)
{
    tree.KeepSerials(state.tree);
    if (posts != nullptr) {
        AddChangedWatches(state, state.tree, tree, posts);
    }
    state.tree = std::move(tree);
    Hold(state, fd);
}

}  // namespace

void AddChangedWatches(const RegistryState& state, const RegTree& before, const RegTree& after,
                       std::vector<ValueWatch>* posts)
{
    for (const auto& [id, watch] : state.watches) {
        if (ValueChanged(before, after, watch)) {
            posts->push_back(watch);
        }
    }
}

FileCatchUp CatchUpWithFile(RegistryState& state, std::vector<ValueWatch>* posts, std::string* error)
{
    struct stat now {};
    if (::stat(state.file.c_str(), &now) != 0) {
        if (errno != ENOENT) {
            state.unreadable = state.file + ": cannot be read: " + std::strerror(errno);
            *error = state.unreadable;
            return FileCatchUp::Unreadable;
        }
        state.unreadable.clear();
        if (state.seen.st_ino == 0) {
            return FileCatchUp::Same;
        }
        Adopt(state, RegTree(), -1, posts);
        return FileCatchUp::Read;
    }
    if (state.seenFd >= 0 && SameFile(now, state.seen)) {
        state.unreadable.clear();
        return FileCatchUp::Same;
    }
    RegTree tree;
    int fd = -1;
    const RegFileLoad load = LoadRegistryFile(state.file, &tree, error, &fd);
    if (load == RegFileLoad::Unreadable) {
        state.unreadable = *error;
        return FileCatchUp::Unreadable;
    }
    state.unreadable.clear();
    if (load != RegFileLoad::Malformed) {
        Adopt(state, std::move(tree), fd, posts);
        return FileCatchUp::Read;
    }
    ::close(fd);
    const std::string aside = FreeMalformedName(state.file);
    std::error_code ec;
    std::filesystem::rename(state.file, aside, ec);
    if (ec) {
        state.unreadable = *error + "; it cannot be moved aside to " + aside + ": " + ec.message();
        *error = state.unreadable;
        return FileCatchUp::Unreadable;
    }
    *error += "; the file was kept as " + aside + " and the registry goes on with the values that could be read";
    Adopt(state, std::move(tree), -1, posts);
    std::string writeError;
    if (WriteFileAtomically(state.file, FormatRegistry(state.tree), sim::RegistryCrashPoint::None, 0, &writeError) ==
        ERROR_SUCCESS) {
        NoteFileWritten(state);
    } else {
        *error += "; they cannot be written back: " + writeError;
    }
    return FileCatchUp::Recovered;
}

void NoteFileWritten(RegistryState& state)
{
    Hold(state, ::open(state.file.c_str(), O_RDONLY | O_CLOEXEC));
}

void ReleaseFiles(RegistryState& state)
{
    Hold(state, -1);
    if (state.lockFd >= 0) {
        ::close(state.lockFd);
    }
    state.lockFd = -1;
    state.unreadable.clear();
}

}  // namespace os::detail

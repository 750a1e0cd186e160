// The power-cut model: which bytes of each file a cut would keep, and the
// faults of a card that fills up or is pulled out in the middle of a write.
// A file's pending data is kept as the durable bytes that later writes
// replaced, so that only the writes over durable data cost a copy: a
// recording that only grows keeps nothing but its durable size.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/files/file_sim.h"
#include "platform/base/trace.h"
#include "platform/files/internal/file_state.h"

namespace os::detail::fs {
namespace {

FileKey KeyOf(const OpenObject& object) { return {object.dev, object.ino}; }

// Whether the file was changed since it was last durable; if not, its
// present size becomes the durable one.
PendingData& PendingFor(State& state, const OpenPtr& object)
{
    const auto [it, fresh] = state.pending.try_emplace(KeyOf(*object));
    if (fresh) {
        struct stat st {};
        it->second.durableSize = ::fstat(object->fd->get(), &st) == 0 ? st.st_size : 0;
        it->second.writer = object;
    }
    return it->second;
}

// Keeps the durable bytes of [from, to) before they are replaced.
DWORD KeepDurable(PendingData& pending, int fd, LONGLONG from, LONGLONG to)
{
    to = std::min(to, pending.durableSize);
    if (from >= to) return ERROR_SUCCESS;
    std::vector<char> bytes(static_cast<std::size_t>(to - from));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, from + static_cast<LONGLONG>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ErrorFromErrno(errno);
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    if (!bytes.empty()) pending.replaced.emplace_back(from, std::move(bytes));
    return ERROR_SUCCESS;
}

int WriteAt(int fd, const char* bytes, std::size_t count, LONGLONG at)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, bytes + done, count - done, at + static_cast<LONGLONG>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The same bytes for every run: a position's byte depends on the position only.
char GarbageAt(LONGLONG at)
{
    std::uint64_t z = static_cast<std::uint64_t>(at) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<char>(z ^ (z >> 31));
}

// Gives one file back what a cut keeps of it; host errors are reported
// through the platform log.
void LoseFile(const PendingData& pending, sim::LostWrites lost)
{
    const int fd = pending.writer->fd->get();
    for (auto it = pending.replaced.rbegin(); it != pending.replaced.rend(); ++it) {
        if (WriteAt(fd, it->second.data(), it->second.size(), it->first) != 0) {
            PlatformLog("power cut: cannot give %s its durable bytes back", pending.writer->host.c_str());
        }
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) return;
    const LONGLONG size = st.st_size;
    if (size <= pending.durableSize || lost == sim::LostWrites::Dropped) {
        if (::ftruncate(fd, pending.durableSize) != 0) {
            PlatformLog("power cut: cannot cut %s back", pending.writer->host.c_str());
        }
        return;
    }
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<char> block(kBlock);
    for (LONGLONG at = pending.durableSize; at < size; at += kBlock) {
        const auto n = static_cast<std::size_t>(std::min<LONGLONG>(kBlock, size - at));
        for (std::size_t i = 0; i < n; ++i) {
            block[i] = lost == sim::LostWrites::Zeros ? '\0' : GarbageAt(at + static_cast<LONGLONG>(i));
        }
        if (WriteAt(fd, block.data(), n, at) != 0) {
            PlatformLog("power cut: cannot overwrite the lost bytes of %s", pending.writer->host.c_str());
            return;
        }
    }
}

}  // namespace

DWORD PowerError(const State& state)
{
    return state.powerCut ? static_cast<DWORD>(ERROR_DEVICE_NOT_AVAILABLE) : ERROR_SUCCESS;
}

DWORD NoteWrite(State& state, const OpenPtr& object, LONGLONG start, LONGLONG count)
{
    if (count <= 0) return ERROR_SUCCESS;
    PendingData& pending = PendingFor(state, object);
    return KeepDurable(pending, object->fd->get(), start, start + count);
}

DWORD NoteTruncate(State& state, const OpenPtr& object, LONGLONG newSize)
{
    PendingData& pending = PendingFor(state, object);
    return KeepDurable(pending, object->fd->get(), newSize, pending.durableSize);
}

void MakeDurable(State& state, const OpenObject& object)
{
    if (object.kind == OpenObject::Kind::File) state.pending.erase(KeyOf(object));
}

DWORD AllowedByFault(State& state, const OpenObject& object, DWORD count, bool* fires)
{
    *fires = false;
    if (!state.writeFault || state.writeFault->volume != object.volume || object.volume == nullptr) return count;
    ArmedWriteFault& armed = *state.writeFault;
    if (armed.bytesLeft >= count) {
        armed.bytesLeft -= count;
        return count;
    }
    const auto allowed = static_cast<DWORD>(armed.bytesLeft);
    *fires = true;
    return allowed;
}

}  // namespace os::detail::fs

namespace os::sim {

using namespace detail::fs;

bool CutPower(LostWrites lost)
{
    State& state = TheState();
    std::unique_lock lock(state.mutex);
    if (state.powerCut) return false;
    state.powerCut = true;
    state.writeFault.reset();
    state.writesDone.wait(lock, [&] { return state.writesUnderWay == 0; });
    for (const auto& [key, pending] : state.pending) LoseFile(pending, lost);
    state.pending.clear();
    return true;
}

bool PowerWasCut()
{
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    return state.powerCut;
}

bool FailWritesAfter(const std::string& volume, ULONGLONG bytes, WriteFault fault)
{
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    const auto it = std::find_if(state.volumes.begin(), state.volumes.end(),
                                 [&](const VolumePtr& v) { return NamesEqual(v->name, volume); });
    if (it == state.volumes.end() || !(*it)->mounted || (fault == WriteFault::Full && !Tracked(*it))) return false;
    state.writeFault = ArmedWriteFault{*it, bytes, fault};
    return true;
}

}  // namespace os::sim

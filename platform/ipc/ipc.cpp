#include "platform/ipc/ipc.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ipc/internal/ipc_protocol.h"
#include "platform/base/trace.h"
#include "platform/windows/internal/window_manager.h"

namespace os {

namespace {

using Clock = std::chrono::steady_clock;
using detail::IpcError;
using detail::IpcReply;
using detail::IpcRequest;

constexpr std::uintptr_t kRemoteBit = 0x80000000u;
constexpr int kListenBacklog = 16;

struct RemoteWindow {
    std::string socketName;
    std::uint32_t id = 0;
};

struct IpcState {
    std::mutex mu;
    std::string root;
    std::vector<RemoteWindow> remotes;
    std::vector<UINT> accepted;
    int listenFd = -1;
    int wakeFd = -1;
    std::string publishedFile;
    std::thread listener;
    std::atomic<bool> stopping{false};
};

IpcState& Ipc()
{
    static IpcState state;
    return state;
}

std::string IpcFolder(const std::string& root) { return root + "/.ipc"; }

sockaddr_un AbstractAddress(const std::string& name, socklen_t* length)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::size_t n = std::min(name.size(), sizeof(addr.sun_path) - 1);
    std::memcpy(addr.sun_path + 1, name.data(), n);  // leading NUL: abstract namespace
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
    return addr;
}

IpcReply ErrorReply(IpcError error)
{
    IpcReply reply;
    reply.kind = IpcReply::Kind::Error;
    reply.error = error;
    return reply;
}

// The other end of a connected socket runs as this process's user.
bool PeerIsSameUser(int fd, uid_t* peerUid)
{
    ucred cred{};
    socklen_t length = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0) return false;
    *peerUid = cred.uid;
    return cred.uid == ::geteuid();
}

// A line is far smaller than a fresh socket's buffer: one send that does not
// block takes it whole, or the peer is gone.
bool SendLine(int fd, const std::string& text)
{
    const std::string line = text + "\n";
    ssize_t n = -1;
    do {
        n = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(line.size());
}

enum class ReadResult { Line, Closed, Late, Stopped };

// Reads one line of at most kIpcMaxLine characters before `until`; a
// readable `wakeFd` (the listener stopping) ends the wait at once.
ReadResult ReadLine(int fd, std::string* line, Clock::time_point until, int wakeFd)
{
    line->clear();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return ReadResult::Late;
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return ReadResult::Closed;
        if (ready == 0) continue;
        if (wakeFd >= 0 && fds[1].revents != 0) return ReadResult::Stopped;
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return ReadResult::Closed;
        if (c == '\n') return ReadResult::Line;
        if (line->size() >= detail::kIpcMaxLine) return ReadResult::Closed;
        *line += c;
    }
}

// One request to one process. The connect cannot hang: the socket does not
// block, and a listener whose backlog is full is busy. The exchange is short
// and bounded by the sender's time-out, so the caller keeps the processor:
// the virtual clock does not move on while another process answers.
IpcReply Exchange(const std::string& socketName, const std::string& request)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return ErrorReply(IpcError::Window);
    socklen_t length = 0;
    sockaddr_un addr = AbstractAddress(socketName, &length);
    IpcReply reply = ErrorReply(IpcError::Window);
    uid_t peer = 0;
    std::string line;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0) {
        if (errno == EAGAIN) reply = ErrorReply(IpcError::Busy);
    } else if (!PeerIsSameUser(fd, &peer)) {
        reply = ErrorReply(IpcError::OtherUser);
    } else {
        // A listener that turns the connection away answers and closes, maybe
        // before the request is sent: its answer is read all the same, and
        // without one the process is gone.
        SendLine(fd, request);
        const auto until = Clock::now() + std::chrono::milliseconds(detail::kIpcSenderTimeoutMs);
        const ReadResult read = ReadLine(fd, &line, until, -1);
        if (read == ReadResult::Late) {
            reply = ErrorReply(IpcError::Timeout);
        } else if (read == ReadResult::Line) {
            reply = detail::ParseIpcReply(line).value_or(ErrorReply(IpcError::Malformed));
        }
    }
    ::close(fd);
    return reply;
}

DWORD LastErrorOf(IpcError error)
{
    switch (error) {
    case IpcError::Refused:
    case IpcError::OtherUser: return ERROR_ACCESS_DENIED;
    case IpcError::Busy: return ERROR_BUSY;
    case IpcError::Timeout: return ERROR_TIMEOUT;
    case IpcError::Malformed: return ERROR_INVALID_DATA;
    case IpcError::Window: break;
    }
    return ERROR_INVALID_WINDOW_HANDLE;
}

bool Accepted(UINT msg)
{
    std::lock_guard<std::mutex> lk(Ipc().mu);
    const auto& accepted = Ipc().accepted;
    return std::find(accepted.begin(), accepted.end(), msg) != accepted.end();
}

// Waits for the window's thread to handle a message sent from another
// process, until `until` or until the listener stops.
IpcReply SendFromOutside(HWND hwnd, const IpcRequest& request, Clock::time_point until)
{
    std::condition_variable done;
    detail::SentMessage sm;
    sm.hwnd = hwnd;
    sm.msg = request.msg;
    sm.wParam = request.wParam;
    sm.lParam = request.lParam;
    sm.hostDone = &done;
    if (!detail::QueueSentFromOutside(&sm)) return ErrorReply(IpcError::Window);
    std::unique_lock<std::mutex> lk(detail::Sched().mu);
    while (!sm.done) {
        done.wait_for(lk, std::chrono::milliseconds(100));
        const bool late = Ipc().stopping || Clock::now() >= until;
        // Still queued: take it back so that the window's thread never sees
        // it. Already being handled: wait for the handler to finish.
        if (!sm.done && late && detail::WithdrawSent(&sm)) return ErrorReply(IpcError::Timeout);
    }
    IpcReply reply;
    reply.kind = IpcReply::Kind::Result;
    reply.result = sm.result;
    return reply;
}

IpcReply Answer(const IpcRequest& request, Clock::time_point until)
{
    if (request.kind == IpcRequest::Kind::Find) {
        HWND hwnd = detail::FindLocalWindow(request.className ? request.className->c_str() : nullptr,
                                            request.title ? request.title->c_str() : nullptr);
        IpcReply reply;
        reply.kind = hwnd ? IpcReply::Kind::Window : IpcReply::Kind::None;
        reply.window = detail::WindowId(hwnd);
        return reply;
    }
    if (!Accepted(request.msg)) return ErrorReply(IpcError::Refused);
    HWND hwnd = detail::WindowHandle(request.window);
    // Only the windows a FIND hands out: a handle that stands for a window of
    // a third process is never passed on.
    if (detail::IsRemoteWindow(hwnd)) return ErrorReply(IpcError::Refused);
    if (!detail::IsLocalTopLevelWindow(hwnd)) return ErrorReply(IpcError::Window);
    if (request.kind == IpcRequest::Kind::Send) return SendFromOutside(hwnd, request, until);
    if (!PostMessageW(hwnd, request.msg, request.wParam, request.lParam)) return ErrorReply(IpcError::Window);
    IpcReply reply;
    reply.kind = IpcReply::Kind::Ok;
    return reply;
}

struct Peer {
    std::thread thread;
    std::atomic<bool> finished{false};
};

// One connection, answered within the receiver's time-out of its accept.
// The place is free again before the peer gets its answer.
void ServePeer(int fd, int wakeFd, Peer* self)
{
    const auto until = Clock::now() + std::chrono::milliseconds(detail::kIpcReceiverTimeoutMs);
    std::string line;
    const ReadResult read = ReadLine(fd, &line, until, wakeFd);
    IpcReply reply = ErrorReply(IpcError::Timeout);
    if (read == ReadResult::Line) {
        const auto request = detail::ParseIpcRequest(line);
        if (!request) {
            PlatformLog("ipc: refused a malformed request");
            reply = ErrorReply(IpcError::Malformed);
        } else {
            reply = Answer(*request, until);
            if (reply.kind == IpcReply::Kind::Error) {
                PlatformLog("ipc: refused what another process asks: %s (%s)", line.c_str(),
                            detail::FormatIpcReply(reply).c_str());
            } else {
                PlatformLog("ipc: another process asks: %s", line.c_str());
            }
        }
    }
    self->finished = true;
    if (read == ReadResult::Line || read == ReadResult::Late) SendLine(fd, detail::FormatIpcReply(reply));
    ::close(fd);
}

// Turns a connection away at once, with the reason.
void Decline(int fd, IpcError error)
{
    SendLine(fd, detail::FormatIpcReply(ErrorReply(error)));
    ::close(fd);
}

// Accepts connections and serves each on a thread of its own, so that an
// idle peer holds up no other; beyond kIpcMaxPeers a connection is busy.
void ListenLoop(int listenFd, int wakeFd)
{
    std::list<Peer> peers;
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            PlatformLog("ipc: the listener stops: %s", std::strerror(errno));
            break;
        }
        if (fds[1].revents) break;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED) continue;
            // Out of descriptors, say: wait a little rather than spin on the ready socket.
            PlatformLog("ipc: cannot accept a connection: %s", std::strerror(errno));
            pollfd wake{wakeFd, POLLIN, 0};
            ::poll(&wake, 1, 100);
            continue;
        }
        for (auto it = peers.begin(); it != peers.end();) {
            if (!it->finished) {
                ++it;
                continue;
            }
            it->thread.join();
            it = peers.erase(it);
        }
        uid_t uid = 0;
        if (!PeerIsSameUser(fd, &uid)) {
            PlatformLog("ipc: refused a connection of user %u", static_cast<unsigned>(uid));
            Decline(fd, IpcError::OtherUser);
        } else if (peers.size() >= static_cast<std::size_t>(detail::kIpcMaxPeers)) {
            PlatformLog("ipc: busy, turned a connection away");
            Decline(fd, IpcError::Busy);
        } else {
            Peer& peer = peers.emplace_back();
            peer.thread = std::thread(ServePeer, fd, wakeFd, &peer);
        }
    }
    for (Peer& peer : peers) peer.thread.join();
}

std::vector<std::string> PublishedSockets(const std::string& root)
{
    std::vector<std::string> names;
    const std::string folder = IpcFolder(root);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> files;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.' && self != e->d_name) files.emplace_back(e->d_name);
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        const std::string path = folder + "/" + file;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        char buffer[128];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        if (n > 0) names.emplace_back(buffer, static_cast<std::size_t>(n));
        // A process that died without unpublishing: its pid no longer exists.
        if (::kill(static_cast<pid_t>(std::atoi(file.c_str())), 0) != 0 && errno == ESRCH) ::unlink(path.c_str());
    }
    return names;
}

}  // namespace

namespace detail {

bool IsRemoteWindow(HWND hwnd)
{
    const auto value = reinterpret_cast<std::uintptr_t>(hwnd);
    if ((value & kRemoteBit) == 0 || value > 0xFFFFFFFFu) return false;
    std::lock_guard<std::mutex> lk(Ipc().mu);
    return (value & ~kRemoteBit) < Ipc().remotes.size();
}

namespace {

bool RemoteOf(HWND hwnd, RemoteWindow* out)
{
    const auto index = reinterpret_cast<std::uintptr_t>(hwnd) & ~kRemoteBit;
    std::lock_guard<std::mutex> lk(Ipc().mu);
    if (index >= Ipc().remotes.size()) return false;
    *out = Ipc().remotes[index];
    return true;
}

}  // namespace

BOOL RemotePostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RemoteWindow remote;
    if (!RemoteOf(hwnd, &remote)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const IpcReply reply = Exchange(remote.socketName, FormatMessageRequest(false, remote.id, msg, wParam, lParam));
    if (reply.kind == IpcReply::Kind::Ok) return TRUE;
    SetLastError(reply.kind == IpcReply::Kind::Error ? LastErrorOf(reply.error) : ERROR_INVALID_DATA);
    return FALSE;
}

LRESULT RemoteSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RemoteWindow remote;
    if (!RemoteOf(hwnd, &remote)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const IpcReply reply = Exchange(remote.socketName, FormatMessageRequest(true, remote.id, msg, wParam, lParam));
    if (reply.kind == IpcReply::Kind::Result) return static_cast<LRESULT>(reply.result);
    SetLastError(reply.kind == IpcReply::Kind::Error ? LastErrorOf(reply.error) : ERROR_INVALID_DATA);
    return 0;
}

HWND RemoteFindWindow(const char* className, const char* title)
{
    std::string root;
    {
        std::lock_guard<std::mutex> lk(Ipc().mu);
        root = Ipc().root;
    }
    if (root.empty()) return nullptr;
    const std::string request = FormatFindRequest(className, title);
    DWORD notFound = ERROR_FILE_NOT_FOUND;
    for (const std::string& name : PublishedSockets(root)) {
        const IpcReply reply = Exchange(name, request);
        if (reply.kind == IpcReply::Kind::Window) {
            std::lock_guard<std::mutex> lk(Ipc().mu);
            Ipc().remotes.push_back(RemoteWindow{name, reply.window});
            return reinterpret_cast<HWND>(kRemoteBit | (Ipc().remotes.size() - 1));
        }
        // A busy process may well hold the window; say so rather than "none".
        if (reply.kind == IpcReply::Kind::Error && reply.error == IpcError::Busy) notFound = ERROR_BUSY;
        if (reply.kind == IpcReply::Kind::Error && reply.error == IpcError::OtherUser && notFound != ERROR_BUSY) {
            notFound = ERROR_ACCESS_DENIED;
        }
    }
    SetLastError(notFound);
    return nullptr;
}

}  // namespace detail

namespace sim {

void SetIpcRoot(const std::string& deviceRoot)
{
    std::lock_guard<std::mutex> lk(Ipc().mu);
    Ipc().root = deviceRoot;
    Ipc().remotes.clear();
}

void SetIpcAcceptedMessages(std::vector<UINT> messages)
{
    std::lock_guard<std::mutex> lk(Ipc().mu);
    Ipc().accepted = std::move(messages);
}

bool StartIpcListener(std::string* error)
{
    IpcState& s = Ipc();
    std::lock_guard<std::mutex> lk(s.mu);
    if (s.listenFd >= 0) return true;
    const std::string folder = IpcFolder(s.root);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error) *error = "cannot make " + folder + ": " + std::strerror(errno);
        return false;
    }
    const std::string name = "kestrava-" + std::to_string(::getpid()) + "-" +
                             std::to_string(Clock::now().time_since_epoch().count());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = 0;
    sockaddr_un addr = AbstractAddress(name, &length);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || ::listen(fd, kListenBacklog) != 0) {
        if (error) *error = std::string("cannot listen for other processes: ") + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0) {
        if (error) *error = std::string("cannot listen for other processes: ") + std::strerror(errno);
        ::close(fd);
        return false;
    }
    const std::string file = folder + "/" + std::to_string(::getpid());
    const int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0 || ::write(out, name.data(), name.size()) != static_cast<ssize_t>(name.size())) {
        if (error) *error = "cannot publish " + file + ": " + std::strerror(errno);
        if (out >= 0) ::close(out);
        ::close(wakeFd);
        ::close(fd);
        return false;
    }
    ::close(out);
    s.listenFd = fd;
    s.wakeFd = wakeFd;
    s.publishedFile = file;
    s.listener = std::thread(ListenLoop, s.listenFd, s.wakeFd);
    return true;
}

void StopIpcListener()
{
    IpcState& s = Ipc();
    std::thread listener;
    {
        std::lock_guard<std::mutex> lk(s.mu);
        if (s.listenFd < 0) return;
        s.stopping = true;
        const std::uint64_t one = 1;
        if (::write(s.wakeFd, &one, sizeof one) < 0) PlatformLog("ipc: cannot wake the listener");
        listener = std::move(s.listener);
    }
    listener.join();
    std::lock_guard<std::mutex> lk(s.mu);
    ::unlink(s.publishedFile.c_str());
    ::close(s.listenFd);
    ::close(s.wakeFd);
    s.listenFd = s.wakeFd = -1;
    s.publishedFile.clear();
    s.accepted.clear();
    s.stopping = false;
}

}  // namespace sim

}  // namespace os

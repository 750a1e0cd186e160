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
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ipc/internal/ipc_protocol.h"
#include "platform/base/trace.h"
#include "platform/windows/internal/window_manager.h"

namespace os {

namespace {

constexpr std::uintptr_t kRemoteBit = 0x80000000u;
constexpr int kIoTimeoutMs = 3000;
constexpr auto kSendTimeout = std::chrono::seconds(10);

struct RemoteWindow {
    std::string socketName;
    std::uint32_t id = 0;
};

struct IpcState {
    std::mutex mu;
    std::string root;
    std::vector<RemoteWindow> remotes;
    int listenFd = -1;
    int wakeFd = -1;
    std::string publishedFile;
    std::thread listener;
    std::atomic<bool> stopping{false};
};

IpcState& State()
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

bool WriteAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads one line of at most kIpcMaxLine characters, within the time-out.
bool ReadLine(int fd, std::string* line)
{
    line->clear();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
        if (line->size() >= detail::kIpcMaxLine) return false;
        *line += c;
    }
}

// One request to one process; false when it cannot be reached. The exchange
// is short and bounded by its time-out, so the caller keeps the processor:
// the virtual clock does not move on while another process answers.
bool Exchange(const std::string& socketName, const std::string& request, std::string* reply)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    socklen_t length = 0;
    sockaddr_un addr = AbstractAddress(socketName, &length);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0 && WriteAll(fd, request + "\n") &&
                    ReadLine(fd, reply);
    ::close(fd);
    return ok;
}

std::string Answer(const detail::IpcRequest& request)
{
    using Kind = detail::IpcRequest::Kind;
    if (request.kind == Kind::Find) {
        HWND hwnd = detail::FindLocalWindow(request.className ? request.className->c_str() : nullptr,
                                            request.title ? request.title->c_str() : nullptr);
        return hwnd ? "WND " + std::to_string(detail::WindowId(hwnd)) : "NONE";
    }
    HWND hwnd = detail::WindowHandle(request.window);
    if (request.kind == Kind::Post) {
        return PostMessageW(hwnd, request.msg, request.wParam, request.lParam) ? "OK" : "ERR";
    }
    std::condition_variable done;
    detail::SentMessage sm;
    sm.hwnd = hwnd;
    sm.msg = request.msg;
    sm.wParam = request.wParam;
    sm.lParam = request.lParam;
    sm.hostDone = &done;
    if (!detail::QueueSentFromOutside(&sm)) return "ERR";
    const auto giveUp = std::chrono::steady_clock::now() + kSendTimeout;
    std::unique_lock<std::mutex> lk(detail::Sched().mu);
    while (!sm.done) {
        done.wait_for(lk, std::chrono::milliseconds(100));
        const bool late = State().stopping || std::chrono::steady_clock::now() > giveUp;
        // Still queued: take it back so that the window's thread never sees
        // it. Already being handled: wait for the handler to finish.
        if (!sm.done && late && detail::WithdrawSent(&sm)) return "ERR";
    }
    return "RES " + std::to_string(sm.result);
}

void ServeConnection(int fd)
{
    std::string line;
    if (ReadLine(fd, &line)) {
        const auto request = detail::ParseIpcRequest(line);
        if (!request) {
            PlatformLog("ipc: refused a malformed request");
            WriteAll(fd, "ERR\n");
        } else {
            PlatformLog("ipc: another process asks: %s", line.c_str());
            WriteAll(fd, Answer(*request) + "\n");
        }
    }
    ::close(fd);
}

void ListenLoop(int listenFd, int wakeFd)
{
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) ServeConnection(fd);
    }
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
    std::lock_guard<std::mutex> lk(State().mu);
    return (value & ~kRemoteBit) < State().remotes.size();
}

namespace {

bool RemoteOf(HWND hwnd, RemoteWindow* out)
{
    const auto index = reinterpret_cast<std::uintptr_t>(hwnd) & ~kRemoteBit;
    std::lock_guard<std::mutex> lk(State().mu);
    if (index >= State().remotes.size()) return false;
    *out = State().remotes[index];
    return true;
}

}  // namespace

BOOL RemotePostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RemoteWindow remote;
    std::string reply;
    if (!RemoteOf(hwnd, &remote) ||
        !Exchange(remote.socketName, FormatMessageRequest(false, remote.id, msg, wParam, lParam), &reply) ||
        reply != "OK") {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

LRESULT RemoteSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RemoteWindow remote;
    std::string reply;
    if (!RemoteOf(hwnd, &remote) ||
        !Exchange(remote.socketName, FormatMessageRequest(true, remote.id, msg, wParam, lParam), &reply) ||
        reply.rfind("RES ", 0) != 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<LRESULT>(std::strtoll(reply.c_str() + 4, nullptr, 10));
}

HWND RemoteFindWindow(const char* className, const char* title)
{
    std::string root;
    {
        std::lock_guard<std::mutex> lk(State().mu);
        root = State().root;
    }
    if (root.empty()) return nullptr;
    const std::string request = FormatFindRequest(className, title);
    for (const std::string& name : PublishedSockets(root)) {
        std::string reply;
        if (!Exchange(name, request, &reply) || reply.rfind("WND ", 0) != 0) continue;
        RemoteWindow remote{name, static_cast<std::uint32_t>(std::strtoul(reply.c_str() + 4, nullptr, 10))};
        std::lock_guard<std::mutex> lk(State().mu);
        State().remotes.push_back(remote);
        return reinterpret_cast<HWND>(kRemoteBit | (State().remotes.size() - 1));
    }
    return nullptr;
}

}  // namespace detail

namespace sim {

void SetIpcRoot(const std::string& deviceRoot)
{
    std::lock_guard<std::mutex> lk(State().mu);
    State().root = deviceRoot;
    State().remotes.clear();
}

bool StartIpcListener(std::string* error)
{
    IpcState& s = State();
    std::lock_guard<std::mutex> lk(s.mu);
    if (s.listenFd >= 0) return true;
    const std::string folder = IpcFolder(s.root);
    ::mkdir(folder.c_str(), 0755);
    const std::string name = "kestrava-" + std::to_string(::getpid()) + "-" +
                             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = 0;
    sockaddr_un addr = AbstractAddress(name, &length);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || ::listen(fd, 8) != 0) {
        if (error) *error = std::string("cannot listen for other processes: ") + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    const std::string file = folder + "/" + std::to_string(::getpid());
    const int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0 || ::write(out, name.data(), name.size()) != static_cast<ssize_t>(name.size())) {
        if (error) *error = "cannot publish " + file + ": " + std::strerror(errno);
        if (out >= 0) ::close(out);
        ::close(fd);
        return false;
    }
    ::close(out);
    s.listenFd = fd;
    s.wakeFd = ::eventfd(0, EFD_CLOEXEC);
    s.publishedFile = file;
    s.listener = std::thread(ListenLoop, s.listenFd, s.wakeFd);
    return true;
}

void StopIpcListener()
{
    IpcState& s = State();
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
    s.stopping = false;
}

}  // namespace sim

}  // namespace os

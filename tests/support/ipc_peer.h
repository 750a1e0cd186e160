// A peer of a process's IPC listener as a hostile or unlucky program would
// be one: it speaks the line protocol over the abstract socket directly.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "tests/support/program_runner.h"

namespace testing_support {

// The socket name the listener of process `pid` published under `root`.
inline std::string PublishedSocket(const std::string& root, pid_t pid)
{
    return ReadWholeFile(root + "/.ipc/" + std::to_string(pid));
}

inline sockaddr_un Address(const std::string& name, socklen_t* length)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, name.data(), std::min(name.size(), sizeof addr.sun_path - 1));
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return addr;
}

// A connection to the socket `name`, or -1.
inline int Connect(const std::string& name)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = 0;
    const sockaddr_un addr = Address(name, &length);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), length) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

// The answer to `line` up to the end of the connection, without the
// answer's newline; "" when none came.
inline std::string Ask(const std::string& name, const std::string& line)
{
    const int fd = Connect(name);
    if (fd < 0) return "";
    const std::string request = line + "\n";
    std::string answer;
    // A listener that turns the connection away may have answered and closed already.
    (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    // Far beyond any time-out of the protocol: only a listener that never answers ends here.
    while (::poll(&p, 1, 30000) == 1 && ::read(fd, &c, 1) == 1) answer += c;
    ::close(fd);
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
}

}  // namespace testing_support

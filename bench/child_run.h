// Runs a program as a child process for the benchmarks and measures it: its
// own processor time and peak resident memory from wait4, its wall time,
// and, when asked, its resident memory sampled every half second of wall
// time (VmRSS of /proc/<pid>/status) while it runs. The child's stdout and
// stderr go to files; its stdin is the write end handed back to the caller,
// or /dev/null.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace bench_child {

struct RssSample {
    double seconds = 0;  // wall time since the start
    long kilobytes = 0;
};

struct Child {
    pid_t pid = -1;
    int stdinFd = -1;  // the child's stdin, for the caller to write; -1 when it reads /dev/null
    std::chrono::steady_clock::time_point start;
};

struct Finished {
    bool exitedZero = false;
    int status = 0;
    rusage usage{};
    double wallSeconds = 0;
    std::vector<RssSample> rss;
};

// Starts `argv` (argv[0] the program's path); with `pipeStdin` the caller
// writes the child's stdin through Child::stdinFd and closes it. pid -1 when
// the child could not be started.
inline Child Start(const std::vector<std::string>& argv, const std::string& outPath, const std::string& errPath,
                   bool pipeStdin)
{
    Child child;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int in[2] = {-1, -1};
    if (pipeStdin && ::pipe2(in, O_CLOEXEC) != 0) return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipeStdin) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    child.start = std::chrono::steady_clock::now();
    if (posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), environ) != 0) child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pipeStdin) {
        ::close(in[0]);
        if (child.pid > 0) child.stdinFd = in[1];
        else ::close(in[1]);
    }
    return child;
}

// The resident set of a running process in kilobytes; -1 once it has gone.
inline long ResidentKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        long kb = 0;
        if (std::sscanf(line.c_str(), "VmRSS: %ld kB", &kb) == 1) return kb;
    }
    return -1;
}

// Waits for the child to end and reaps it, sampling its resident memory
// every half second meanwhile when `sampleRss`.
inline Finished Wait(Child& child, bool sampleRss)
{
    Finished done;
    if (child.stdinFd >= 0) ::close(child.stdinFd);
    child.stdinFd = -1;
    if (child.pid <= 0) return done;
    const auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - child.start).count();
    };
    // Until it is reaped the child's pid cannot name another process, so
    // every sample read through it is the child's.
    const int pidfd = sampleRss ? static_cast<int>(::syscall(SYS_pidfd_open, child.pid, 0)) : -1;
    if (pidfd >= 0) {
        pollfd exited{pidfd, POLLIN, 0};
        for (;;) {
            const long kb = ResidentKilobytes(child.pid);
            if (kb >= 0) done.rss.push_back(RssSample{elapsed(), kb});
            const int ready = ::poll(&exited, 1, 500);
            if (ready != 0 && !(ready < 0 && errno == EINTR)) break;
        }
        ::close(pidfd);
    }
    if (::wait4(child.pid, &done.status, 0, &done.usage) == child.pid) {
        done.wallSeconds = elapsed();
        done.exitedZero = WIFEXITED(done.status) && WEXITSTATUS(done.status) == 0;
    }
    child.pid = -1;
    return done;
}

}  // namespace bench_child

// Runs the kestrava executable of the build as another process, for tests of
// the command line and of what one process does to another.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace testing_support {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}


// The kestrava executable of the build.
inline std::string ProgramPath()
{
    return std::string(KESTRAVA_BINARY_DIR) + "/kestrava";
}

inline std::vector<char*> ArgumentVector(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Starts `program` (kestrava unless given) with `args`; its output goes to files in `folder`.
inline pid_t StartProgram(const std::vector<std::string>& args, const TempFolder& folder, const std::string& tag,
                          const std::string& program = ProgramPath())
{
    std::vector<char*> argv = ArgumentVector(program, args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = folder / (tag + ".out");
    const std::string err = folder / (tag + ".err");
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

inline ProgramRun FinishProgram(pid_t pid, const TempFolder& folder, const std::string& tag)
{
    ProgramRun run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = ReadWholeFile(folder / (tag + ".out"));
    run.err = ReadWholeFile(folder / (tag + ".err"));
    return run;
}

inline ProgramRun RunProgram(const std::vector<std::string>& args, const TempFolder& folder,
                             const std::string& tag = "run", const std::string& program = ProgramPath())
{
    return FinishProgram(StartProgram(args, folder, tag, program), folder, tag);
}

// Runs kestrava on a host whose disk takes at most `maxFileBytes` bytes of
// any one file: a write past that fails with EFBIG, as a full disk fails
// with ENOSPC. Its output comes back through pipes, which the limit spares.
inline ProgramRun RunProgramWithFileLimit(const std::vector<std::string>& args, rlim_t maxFileBytes)
{
    const std::string program = ProgramPath();
    std::vector<char*> argv = ArgumentVector(program, args);
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    ProgramRun run;
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        const struct rlimit limit{maxFileBytes, maxFileBytes};
        if (::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0 || ::sigaction(SIGXFSZ, &ignore, nullptr) != 0 ||
            ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(127);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&run.out, &run.err};
    int open = pid > 0 ? 2 : 0;
    while (open > 0 && ::poll(fds, 2, -1) >= 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char chunk[4096];
            const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                texts[i]->append(chunk, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

}  // namespace testing_support

// Runs the kestrava executable of the build as another process, for tests of
// the command line and of what one process does to another.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

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


// Starts kestrava with `args`; its output goes to files in `folder`.
inline pid_t StartProgram(const std::vector<std::string>& args, const TempFolder& folder, const std::string& tag)
{
    const std::string program = std::string(KESTRAVA_BINARY_DIR) + "/kestrava";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
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
                             const std::string& tag = "run")
{
    return FinishProgram(StartProgram(args, folder, tag), folder, tag);
}

}  // namespace testing_support

// Running a host command-line tool (ffmpeg, identify, exiftool) from a test:
// its exit code and its output, standard error included.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <string>

namespace testing_support {

struct HostToolResult {
    int exitCode = -1;
    std::string output;
};

inline HostToolResult RunHostTool(const std::string& command)
{
    HostToolResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// True when `name` is a command on the PATH.
inline bool HostToolPresent(const std::string& name)
{
    return RunHostTool("command -v " + name + " >/dev/null").exitCode == 0;
}

}  // namespace testing_support

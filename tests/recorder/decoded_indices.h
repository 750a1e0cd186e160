// A recording as ffmpeg decodes it (-xerror): its exit code, what it said on
// its error stream, and the capture index read off each decoded picture.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/capture_index.h"

namespace testing_support {

struct DecodedIndices {
    int exitCode = -1;
    std::string errors;
    std::vector<std::optional<std::uint32_t>> indices;  // per decoded frame
};

inline DecodedIndices DecodeIndices(const std::string& host, const std::string& scratch, int width, int height)
{
    DecodedIndices d;
    const std::string errFile = scratch + "/ffmpeg.err";
    const std::string command = "ffmpeg -nostdin -v error -xerror -i '" + host +
                                "' -f rawvideo -pix_fmt gray - 2>'" + errFile + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return d;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height);
    while (std::fread(frame.data(), 1, frame.size(), pipe) == frame.size())
        d.indices.push_back(os::ReadCaptureIndex(frame.data(), width, height, width));
    const int status = ::pclose(pipe);
    d.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    d.errors.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return d;
}

}  // namespace testing_support

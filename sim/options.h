// The `kestrava` command line. Parsing only fills a plain record and says
// what to do; the launcher prints and exits:
//   error   -> the error line and UsageText() on stderr, exit kUsageExitCode
//   Help    -> UsageText() on stdout, exit 0
//   Version -> VersionText() on stdout, exit 0
//   Post    -> post `post` to the running instance on `root`, then exit
//   Run     -> run the simulated phone
// Every option takes its value as the next argument or after "=".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/base/types.h"

namespace sim {

constexpr int kUsageExitCode = 2;

enum class Action { Run, Post, Help, Version };

struct PostRequest {
    os::UINT msg = 0;
    os::WPARAM wParam = 0;
    os::LPARAM lParam = 0;
    bool operator==(const PostRequest&) const = default;
};

struct Options {
    Action action = Action::Run;
    std::string root = "./kestrava-device";  // the device root folder
    std::string profilePath;                 // empty: the built-in profile
    std::string scenarioPath;                // empty: the built-in scenario
    os::ClockMode clock = os::ClockMode::Real;
    std::optional<std::int64_t> runForMs;    // stop after this much device time
    std::optional<std::int64_t> powerCutAtMs;  // cut the power at this device time
    std::string tracePath;                   // empty: no trace file
    std::string soundLogPath;                // empty: the sounds played are not written out
    std::optional<std::int64_t> screenshotEveryMs;  // a screenshot at every multiple of this device time
    std::string screenshotFolder;            // empty: <root>/screenshots
    bool window = false;                     // show the screen in a desktop window (real clock only)
    PostRequest post;                        // for Action::Post
    bool operator==(const Options&) const = default;
};

// `args` without the program name. False with *error set to one line
// ("kestrava: ...") on an unknown option, a missing or bad value, a repeated
// option, a stray argument, `--post` with options that only a run takes, or
// `--window` with the virtual clock.
bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error);
bool ParseOptions(int argc, const char* const argv[], Options* out, std::string* error);

std::string UsageText();
// "kestrava 1.1.0\n"
std::string VersionText();

}  // namespace sim

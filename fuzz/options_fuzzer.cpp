// The command line, given as argument words separated by zero bytes. A parse
// either fails with a "kestrava: " error, leaving the options as they were,
// or yields options that agree with the words (help and version win, a post
// carries no run-only option, a run time is above zero) and that the command
// line written back from them gives again. Both entry points agree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "sim/duration.h"
#include "sim/options.h"

namespace {

using sim::Action;
using sim::Options;

std::vector<std::string> SplitWords(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words;
    if (size == 0) {
        return words;
    }
    std::string word;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    words.push_back(word);
    return words;
}

Options Sentinel()
{
    Options o;
    o.action = Action::Version;
    o.root = "left over";
    o.runForMs = -1;
    o.powerCutAtMs = -1;
    o.post.msg = 1;
    return o;
}

bool Has(const std::vector<std::string>& words, const char* word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

void CheckAgreesWithWords(const Options& o, const std::vector<std::string>& words)
{
    FUZZ_CHECK((o.action == Action::Help) == Has(words, "--help"));
    FUZZ_CHECK((o.action == Action::Version) == (Has(words, "--version") && !Has(words, "--help")));
    if (o.action == Action::Post) {
        FUZZ_CHECK(o.profilePath.empty() && o.scenarioPath.empty() && o.tracePath.empty() && !o.runForMs &&
                   !o.powerCutAtMs &&
                   o.clock == os::ClockMode::Real);
    }
    FUZZ_CHECK(!o.runForMs || (*o.runForMs > 0 && *o.runForMs <= sim::kMaxDurationMs));
    FUZZ_CHECK(!o.powerCutAtMs || (*o.powerCutAtMs > 0 && *o.powerCutAtMs <= sim::kMaxDurationMs));
}

// A command line that gives `o`, every value after "=".
std::vector<std::string> Write(const Options& o)
{
    std::vector<std::string> words;
    auto add = [&](const char* option, const std::string& value) {
        if (!value.empty()) {
            words.push_back(std::string(option) + "=" + value);
        }
    };
    if (o.root != Options{}.root) {
        add("--root", o.root);
    }
    add("--profile", o.profilePath);
    add("--scenario", o.scenarioPath);
    add("--trace", o.tracePath);
    if (o.clock == os::ClockMode::Virtual) {
        add("--clock", "virtual");
    }
    if (o.runForMs) {
        add("--for", std::to_string(*o.runForMs) + "ms");
    }
    if (o.powerCutAtMs) {
        add("--power-cut-at", std::to_string(*o.powerCutAtMs) + "ms");
    }
    add("--sound-log", o.soundLogPath);
    if (o.screenshotEveryMs) {
        add("--screenshot-every", std::to_string(*o.screenshotEveryMs) + "ms");
    }
    add("--screenshot-folder", o.screenshotFolder);
    if (o.window) {
        words.push_back("--window");
    }
    if (o.action == Action::Post || o.post != sim::PostRequest{}) {
        add("--post", std::to_string(o.post.msg));
        words.push_back(std::to_string(o.post.wParam));
        words.push_back(std::to_string(o.post.lParam));
    }
    if (o.action == Action::Help) {
        words.push_back("--help");
    } else if (o.action == Action::Version) {
        words.push_back("--version");
    }
    return words;
}

bool ParseArgv(const std::vector<std::string>& words, Options* out, std::string* error)
{
    std::vector<const char*> argv = {"kestrava"};
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    return sim::ParseOptions(static_cast<int>(argv.size()), argv.data(), out, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> words = SplitWords(data, size);
    const Options sentinel = Sentinel();
    Options options = sentinel;
    std::string error = "untouched";
    const bool ok = sim::ParseOptions(words, &options, &error);

    Options viaArgv = sentinel;
    std::string argvError = "untouched";
    FUZZ_CHECK(ParseArgv(words, &viaArgv, &argvError) == ok && viaArgv == options && argvError == error);

    if (!ok) {
        FUZZ_CHECK(options == sentinel);
        FUZZ_CHECK(error.starts_with("kestrava: ") && error.size() > 10);
        return 0;
    }
    FUZZ_CHECK(error == "untouched");
    CheckAgreesWithWords(options, words);
    Options reread = sentinel;
    FUZZ_CHECK(sim::ParseOptions(Write(options), &reread, &error) && reread == options);
    return 0;
}

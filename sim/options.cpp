#include "sim/options.h"

#include <set>

#include "sim/duration.h"
#include "sim/symbols.h"

namespace sim {
namespace {

constexpr char kVersion[] = "1.1.0";

struct OptionRow {
    std::string_view name;
    bool takesValue;
    bool runOnly;  // meaningless together with --post
};

constexpr OptionRow kOptions[] = {
    {"--root", true, false},     {"--profile", true, true}, {"--scenario", true, true},
    {"--clock", true, true},     {"--for", true, true},     {"--trace", true, true},
    {"--sound-log", true, true}, {"--post", true, false},   {"--help", false, false},
    {"--version", false, false}, {"--screenshot-every", true, true}, {"--screenshot-folder", true, true},
    {"--window", false, true},   {"--power-cut-at", true, true},
};

const OptionRow* FindOption(std::string_view name)
{
    for (const OptionRow& row : kOptions) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

bool Fail(const std::string& what, std::string* error)
{
    *error = "kestrava: " + what;
    return false;
}

std::string SingleQuoted(std::string_view text)
{
    std::string quoted(1, '\'');
    quoted.append(text);
    quoted += '\'';
    return quoted;
}

bool ParsePostValue(const std::string& text, std::int64_t min, std::int64_t max, std::int64_t* out, std::string* error)
{
    std::string why;
    return ParseValueText(text, min, max, out, &why) || Fail("bad value for '--post': " + why, error);
}

class Parser {
public:
    Parser(const std::vector<std::string>& args, Options* options, std::string* error)
        : args_(args), options_(options), error_(error)
    {
    }

    bool Run()
    {
        while (next_ < args_.size()) {
            if (!ParseOne(args_[next_++])) {
                return false;
            }
        }
        return Finish();
    }

private:
    bool ParseOne(const std::string& arg)
    {
        if (!arg.starts_with("--")) {
            return Fail("unexpected argument " + SingleQuoted(arg), error_);
        }
        std::size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        const OptionRow* row = FindOption(name);
        if (row == nullptr) {
            return Fail("unknown option " + SingleQuoted(name), error_);
        }
        if (!seen_.insert(name).second) {
            return Fail("option " + SingleQuoted(name) + " given twice", error_);
        }
        if (!row->takesValue) {
            if (equals != std::string::npos) return Fail("option " + SingleQuoted(name) + " takes no value", error_);
            if (name == "--window") options_->window = true;
            return true;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (next_ < args_.size() && !args_[next_].starts_with("--")) {
            value = args_[next_++];
        }
        if (value.empty()) {
            return Fail("option " + SingleQuoted(name) + " needs a value", error_);
        }
        return Apply(name, value);
    }

    bool Apply(const std::string& name, const std::string& value)
    {
        Options& o = *options_;
        if (name == "--root") {
            o.root = value;
        } else if (name == "--profile") {
            o.profilePath = value;
        } else if (name == "--scenario") {
            o.scenarioPath = value;
        } else if (name == "--trace") {
            o.tracePath = value;
        } else if (name == "--sound-log") {
            o.soundLogPath = value;
        } else if (name == "--screenshot-folder") {
            o.screenshotFolder = value;
        } else if (name == "--clock") {
            return ApplyClock(value);
        } else if (name == "--for") {
            return ApplyPositiveDuration(name, value, &o.runForMs);
        } else if (name == "--power-cut-at") {
            return ApplyPositiveDuration(name, value, &o.powerCutAtMs);
        } else if (name == "--screenshot-every") {
            return ApplyPositiveDuration(name, value, &o.screenshotEveryMs);
        } else {
            return ApplyPost(value);
        }
        return true;
    }

    bool ApplyClock(const std::string& value)
    {
        if (value != "real" && value != "virtual") {
            return Fail("bad value " + SingleQuoted(value) + " for '--clock' (expected real or virtual)", error_);
        }
        options_->clock = value == "real" ? os::ClockMode::Real : os::ClockMode::Virtual;
        return true;
    }

    bool ApplyPositiveDuration(const std::string& name, const std::string& value, std::optional<std::int64_t>* out)
    {
        std::int64_t ms = 0;
        std::string why;
        if (!ParseDuration(value, &ms, &why)) {
            return Fail("bad value for " + SingleQuoted(name) + ": " + why, error_);
        }
        if (ms == 0) {
            return Fail(SingleQuoted(name) + " needs a duration above 0", error_);
        }
        *out = ms;
        return true;
    }

    // MSG [WPARAM [LPARAM]]: the optional numbers are the next arguments
    // that are not options.
    bool ApplyPost(const std::string& msgText)
    {
        std::int64_t msg = 0, wParam = 0, lParam = 0;
        if (!ParsePostValue(msgText, 0, UINT32_MAX, &msg, error_)) {
            return false;
        }
        const std::string* operand = TakeOperand();
        if (operand != nullptr) {
            if (!ParsePostValue(*operand, 0, UINT32_MAX, &wParam, error_)) {
                return false;
            }
            operand = TakeOperand();
            if (operand != nullptr && !ParsePostValue(*operand, INT32_MIN, UINT32_MAX, &lParam, error_)) {
                return false;
            }
        }
        options_->post = PostRequest{static_cast<os::UINT>(msg), static_cast<os::WPARAM>(wParam),
                                     static_cast<os::LPARAM>(lParam)};
        return true;
    }

    const std::string* TakeOperand()
    {
        if (next_ < args_.size() && !args_[next_].starts_with("--")) {
            return &args_[next_++];
        }
        return nullptr;
    }

    bool Finish()
    {
        Options& o = *options_;
        if (seen_.contains("--help")) {
            o.action = Action::Help;
        } else if (seen_.contains("--version")) {
            o.action = Action::Version;
        } else if (seen_.contains("--post")) {
            for (const OptionRow& row : kOptions) {
                if (row.runOnly && seen_.contains(std::string(row.name))) {
                    return Fail("option '--post' cannot be combined with " + SingleQuoted(row.name), error_);
                }
            }
            o.action = Action::Post;
        } else if (o.window && o.clock == os::ClockMode::Virtual) {
            // A person at the window clicks in real time; virtual time would race past them.
            return Fail("option '--window' runs on the real clock; it cannot be combined with '--clock virtual'",
                        error_);
        }
        return true;
    }

    const std::vector<std::string>& args_;
    Options* options_;
    std::string* error_;
    std::size_t next_ = 0;
    std::set<std::string> seen_;
};

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error)
{
    Options options;
    if (!Parser(args, &options, error).Run()) {
        return false;
    }
    *out = options;
    return true;
}

bool ParseOptions(int argc, const char* const argv[], Options* out, std::string* error)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return ParseOptions(args, out, error);
}

std::string UsageText()
{
    return "Usage: kestrava [OPTION]...\n"
           "Runs the recorder on a simulated phone.\n"
           "\n"
           "  --root DIR             device root folder (default ./kestrava-device)\n"
           "  --profile FILE         device profile (default: the built-in profile)\n"
           "  --scenario FILE        scenario of device events (default: the built-in one)\n"
           "  --clock real|virtual   clock of the run (default real)\n"
           "  --for DURATION         stop after this much device time\n"
           "  --power-cut-at DURATION\n"
           "                         cut the power at this device time: the program ends\n"
           "                         at once and the cards keep only what was made durable\n"
           "  --trace FILE           write the trace lines to FILE\n"
           "  --sound-log FILE       write every sound played into one WAV file FILE\n"
           "  --screenshot-every DURATION\n"
           "                         save the screen every DURATION of device time, as\n"
           "                         screen-hh-mm-ss.mmm.png in the screenshot folder\n"
           "  --screenshot-folder DIR\n"
           "                         where screenshots go (default ROOT/screenshots)\n"
           "  --window               show the screen in a desktop window (needs a display;\n"
           "                         real clock only); clicks are touches, closing it is\n"
           "                         the exit button\n"
           "  --post MSG [WPARAM [LPARAM]]\n"
           "                         post a message to the running instance and exit\n"
           "  --help                 show this help and exit\n"
           "  --version              show the version and exit\n"
           "\n"
           "An option's value follows it as the next argument or after '='.\n"
           "DURATION: 90 (seconds), 90s, 1500ms, 10m, 1h or 0:01:30.\n"
           "MSG, WPARAM, LPARAM: decimal or 0x hexadecimal numbers, or names such as\n"
           "WM_CLOSE, WM_COMMAND or IDM_BUTTON.\n";
}

std::string VersionText()
{
    return std::string("kestrava ") + kVersion + "\n";
}

}  // namespace sim

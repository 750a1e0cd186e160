#include "sim/options.h"

#include <gtest/gtest.h>

namespace {

sim::Options MustParse(const std::vector<std::string>& args)
{
    sim::Options options;
    std::string error;
    EXPECT_TRUE(sim::ParseOptions(args, &options, &error)) << error;
    return options;
}

std::string ParseError(const std::vector<std::string>& args)
{
    sim::Options options;
    options.root = "untouched";
    std::string error;
    EXPECT_FALSE(sim::ParseOptions(args, &options, &error));
    EXPECT_EQ(options.root, "untouched");
    return error;
}

TEST(Options, DefaultsRunOnTheBuiltInDeviceWithTheRealClock)
{
    sim::Options o = MustParse({});
    EXPECT_EQ(o.action, sim::Action::Run);
    EXPECT_EQ(o.root, "./kestrava-device");
    EXPECT_EQ(o.profilePath, "");
    EXPECT_EQ(o.scenarioPath, "");
    EXPECT_EQ(o.clock, os::ClockMode::Real);
    EXPECT_FALSE(o.runForMs.has_value());
    EXPECT_EQ(o.tracePath, "");
    EXPECT_EQ(sim::kUsageExitCode, 2);
}

TEST(Options, EveryRunOptionInBothForms)
{
    sim::Options expected;
    expected.root = "/tmp/dev";
    expected.profilePath = "p.json";
    expected.scenarioPath = "s=1.json";
    expected.clock = os::ClockMode::Virtual;
    expected.runForMs = 600'000;
    expected.tracePath = "out.trace";
    expected.soundLogPath = "run.wav";
    expected.screenshotEveryMs = 1500;
    expected.screenshotFolder = "shots";
    EXPECT_EQ(MustParse({"--root", "/tmp/dev", "--profile", "p.json", "--scenario", "s=1.json", "--clock", "virtual",
                         "--for", "10m", "--trace", "out.trace", "--sound-log", "run.wav", "--screenshot-every",
                         "1500ms", "--screenshot-folder", "shots"}),
              expected);
    EXPECT_EQ(MustParse({"--root=/tmp/dev", "--profile=p.json", "--scenario=s=1.json", "--clock=virtual", "--for=10m",
                         "--trace=out.trace", "--sound-log=run.wav", "--screenshot-every=1500ms",
                         "--screenshot-folder=shots"}),
              expected);
    EXPECT_TRUE(MustParse({"--window"}).window);
    EXPECT_FALSE(MustParse({}).window);
    EXPECT_EQ(MustParse({"--clock", "real"}).clock, os::ClockMode::Real);
    EXPECT_EQ(MustParse({"--for", "90"}).runForMs, 90'000);
    EXPECT_EQ(MustParse({"--for=0:01:30"}).runForMs, 90'000);
    EXPECT_EQ(MustParse({"--power-cut-at", "37500ms"}).powerCutAtMs, 37'500);
}

TEST(Options, HelpAndVersionWinOverTheRest)
{
    EXPECT_EQ(MustParse({"--help"}).action, sim::Action::Help);
    EXPECT_EQ(MustParse({"--root", "x", "--version"}).action, sim::Action::Version);
    EXPECT_EQ(MustParse({"--version", "--help"}).action, sim::Action::Help);
    EXPECT_EQ(sim::VersionText(), "kestrava 1.1.0\n");
    std::string usage = sim::UsageText();
    for (const char* option : {"--root", "--profile", "--scenario", "--clock", "--for", "--trace", "--sound-log",
                               "--post", "--help", "--version", "--screenshot-every", "--screenshot-folder",
                               "--window", "--power-cut-at"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

TEST(Options, PostTakesAMessageAndUpToTwoParameters)
{
    struct Case {
        std::vector<std::string> args;
        sim::PostRequest post;
        std::string root;
    };
    const Case cases[] = {
        {{"--post", "10436"}, {10436, 0, 0}, "./kestrava-device"},
        {{"--post", "0x28C5", "1"}, {10437, 1, 0}, "./kestrava-device"},
        {{"--post", "10539", "0x1", "-1"}, {10539, 1, -1}, "./kestrava-device"},
        {{"--post=WM_COMMAND", "IDM_BUTTON", "7", "--root", "d"}, {273, 40007, 7}, "d"},
        {{"--root=d", "--post", "16", "0", "4294967295"}, {16, 0, 4294967295}, "d"},
    };
    for (const Case& c : cases) {
        sim::Options o = MustParse(c.args);
        EXPECT_EQ(o.action, sim::Action::Post) << c.args[1];
        EXPECT_EQ(o.post, c.post) << c.args[1];
        EXPECT_EQ(o.root, c.root);
    }
}

TEST(Options, MistakesAreUsageErrors)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--rot", "x"}, "kestrava: unknown option '--rot'"},
        {{"-h"}, "kestrava: unexpected argument '-h'"},
        {{"--root", "a", "extra"}, "kestrava: unexpected argument 'extra'"},
        {{"--root"}, "kestrava: option '--root' needs a value"},
        {{"--root="}, "kestrava: option '--root' needs a value"},
        {{"--profile", "--root", "x"}, "kestrava: option '--profile' needs a value"},
        {{"--root", "a", "--root=b"}, "kestrava: option '--root' given twice"},
        {{"--help=yes"}, "kestrava: option '--help' takes no value"},
        {{"--clock", "fast"}, "kestrava: bad value 'fast' for '--clock' (expected real or virtual)"},
        {{"--for", "10 min"},
         "kestrava: bad value for '--for': bad duration \"10 min\" (write 90, 90s, 1500ms, 10m, 1h or 0:01:30)"},
        {{"--for", "0s"}, "kestrava: '--for' needs a duration above 0"},
        {{"--screenshot-every", "0"}, "kestrava: '--screenshot-every' needs a duration above 0"},
        {{"--clock", "virtual", "--window"},
         "kestrava: option '--window' runs on the real clock; it cannot be combined with '--clock virtual'"},
        {{"--window", "--post", "16"}, "kestrava: option '--post' cannot be combined with '--window'"},
        {{"--post"}, "kestrava: option '--post' needs a value"},
        {{"--post", "WM_CLOZE"}, "kestrava: bad value for '--post': \"WM_CLOZE\" is not a number or a known name"},
        {{"--post", "16", "-1"},
         "kestrava: bad value for '--post': \"-1\" is out of range: must be from 0 to 4294967295"},
        {{"--post", "16", "0", "1", "2"}, "kestrava: unexpected argument '2'"},
        {{"--post", "16", "0", "0x100000000"},
         "kestrava: bad value for '--post': \"0x100000000\" is out of range: must be from -2147483648 to 4294967295"},
        {{"--post", "16", "--scenario", "s.json"}, "kestrava: option '--post' cannot be combined with '--scenario'"},
        {{"--clock=virtual", "--post", "16"}, "kestrava: option '--post' cannot be combined with '--clock'"},
    };
    for (const auto& [args, error] : cases) {
        EXPECT_EQ(ParseError(args), error);
    }
}

TEST(Options, ArgvFormSkipsTheProgramName)
{
    const char* argv[] = {"kestrava", "--clock=virtual", "--for", "1h"};
    sim::Options o;
    std::string error;
    ASSERT_TRUE(sim::ParseOptions(4, argv, &o, &error)) << error;
    EXPECT_EQ(o.clock, os::ClockMode::Virtual);
    EXPECT_EQ(o.runForMs, 3'600'000);
}

}  // namespace

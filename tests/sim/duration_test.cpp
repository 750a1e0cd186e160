#include "sim/duration.h"

#include <gtest/gtest.h>

#include "sim/symbols.h"

namespace {

TEST(Duration, AcceptedForms)
{
    const std::pair<const char*, std::int64_t> cases[] = {
        {"90", 90'000},           {"0", 0},           {"90s", 90'000},       {"1500ms", 1'500},
        {"0ms", 0},               {"10m", 600'000},   {"1h", 3'600'000},     {"00:01:30", 90'000},
        {"0:01:30", 90'000},      {"1:00:00", 3'600'000}, {"100:59:59", 363'599'000}, {"007s", 7'000},
        {"9223372036854775ms", sim::kMaxDurationMs},
    };
    for (const auto& [text, ms] : cases) {
        std::int64_t value = -1;
        std::string error;
        EXPECT_TRUE(sim::ParseDuration(text, &value, &error)) << text << ": " << error;
        EXPECT_EQ(value, ms) << text;
    }
}

TEST(Duration, RejectedForms)
{
    const char* cases[] = {"",      "s",     "ms",       "-5s",    "+5",     "1.5s",    "10 s",  " 10",
                           "10x",   "1m30s", "10S",      "1d",     "0:1:30", "0:01:60", "0:60:00", ":01:30",
                           "1:30",  "1:02:03:04", "0x10", "10sms",
                           // Malformed however long the digits run: not "too long".
                           "99999999999999999999x", "9223372036854776mo", "99999999999999999999:60:00"};
    for (const char* text : cases) {
        std::int64_t value = 42;
        std::string error;
        EXPECT_FALSE(sim::ParseDuration(text, &value, &error)) << text;
        EXPECT_EQ(value, 42) << text;
        EXPECT_EQ(error, "bad duration \"" + std::string(text) + "\" (write 90, 90s, 1500ms, 10m, 1h or 0:01:30)");
    }
}

TEST(Duration, RejectsWhatDeviceTimeCannotHold)
{
    for (const char* text : {"9223372036854776ms", "2562047789h", "99999999999999999999", "2562047789:00:00"}) {
        std::int64_t value = 0;
        std::string error;
        EXPECT_FALSE(sim::ParseDuration(text, &value, &error)) << text;
        EXPECT_EQ(error, "duration \"" + std::string(text) + "\" is too long");
    }
}

TEST(ValueText, NumbersNamesAndCombinedFlags)
{
    const std::pair<const char*, std::int64_t> cases[] = {
        {"16", 16},
        {"0x28C4", 10436},
        {"0X28c4", 10436},
        {"-1", -1},
        {"WM_CLOSE", 16},
        {"IDM_BUTTON", 40007},
        {"WM_RECORDER_SMS_POPUP", 10539},
        {"POWER_STATE_ON|POWER_STATE_BACKLIGHTON|POWER_STATE_PASSWORD", 0x12010000},
        {"0x400000|1", 0x400001},
    };
    for (const auto& [text, expected] : cases) {
        std::int64_t value = 0;
        std::string error;
        EXPECT_TRUE(sim::ParseValueText(text, -10, UINT32_MAX, &value, &error)) << text << ": " << error;
        EXPECT_EQ(value, expected) << text;
    }
}

TEST(ValueText, RejectsUnknownNamesMalformedNumbersAndRange)
{
    for (const char* text : {"", "wm_close", "WM_CLOSE|", "0x", "12a", "0xG", "1 2", "--1"}) {
        std::int64_t value = 7;
        std::string error;
        EXPECT_FALSE(sim::ParseValueText(text, 0, 100, &value, &error)) << text;
        EXPECT_EQ(value, 7);
        EXPECT_EQ(error, std::string(1, '"').append(text) + "\" is not a number or a known name");
    }
    std::int64_t value = 0;
    std::string error;
    EXPECT_FALSE(sim::ParseValueText("WM_COMMAND", 0, 100, &value, &error));
    EXPECT_EQ(error, "\"WM_COMMAND\" is out of range: must be from 0 to 100");
    EXPECT_FALSE(sim::ParseValueText("99999999999999999999", 0, 100, &value, &error));
}

}  // namespace

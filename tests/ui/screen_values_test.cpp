// The numbers behind the recording screen's indicators and texts: the
// memory gauge over random counters, the icon cells at their edges, and
// language-library formats that do not take the values given.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ui/indicators.h"
#include "ui/screen_text.h"

namespace {

constexpr std::uint64_t kMiB = 1048576;

TEST(ScreenValues, TheMemoryGaugeStaysWithinItsBarForAnyCounters)
{
    EXPECT_EQ(ComputeMemoryGauge(0, 5 * kMiB, 0, 100).percent, 0) << "no usable space: no division by zero";
    // A 1 GiB card with nothing recorded shows the reserve: 100 MiB of it.
    const MemoryGauge fresh = ComputeMemoryGauge(1024 * kMiB, 0, 1024 * kMiB, 100);
    EXPECT_FALSE(fresh.continuous);
    EXPECT_EQ(fresh.percent, 9);
    EXPECT_EQ(MemoryGaugeLength(fresh, 152), 0) << "drawn in whole tens";
    // Less than 120 MiB left for ordinary clips: the bar fills continuously
    // over that last stretch only.
    const MemoryGauge tight = ComputeMemoryGauge(1024 * kMiB, 904 * kMiB + 30 * kMiB, 90 * kMiB, 0);
    EXPECT_TRUE(tight.continuous);
    EXPECT_EQ(tight.percent, 24);
    EXPECT_EQ(MemoryGaugeLength(tight, 152), 36);
    EXPECT_EQ(MemoryGaugeLevel(tight.percent), 1);
    EXPECT_EQ(MemoryGaugeLevel(50), 2);
    EXPECT_EQ(MemoryGaugeLevel(69), 2);
    EXPECT_EQ(MemoryGaugeLevel(70), 3);

    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t usable = random() % (64 * 1024 * kMiB);
        const std::uint64_t events = random() % (usable + 1 + 200 * kMiB);
        const std::uint64_t free = random() % (usable + 1);
        const auto minFree = static_cast<std::uint32_t>(random() % 5000);
        const MemoryGauge g = ComputeMemoryGauge(usable, events, free, minFree);
        ASSERT_GE(g.percent, 0);
        ASSERT_LE(g.percent, 100);
        ASSERT_EQ(g.continuous, usable > kGaugeWindowBytes && free < kGaugeWindowBytes);
        const int length = MemoryGaugeLength(g, 152);
        ASSERT_GE(length, 0);
        ASSERT_LE(length, 152);
    }
    EXPECT_EQ(MemoryGaugeLength(MemoryGauge{100, true}, 152), 152);
    EXPECT_EQ(MemoryGaugeLength(MemoryGauge{99, false}, 152), 136);
}

TEST(ScreenValues, IconCellsFollowTheirStatesAndStayInsideThePicture)
{
    EXPECT_EQ(BatteryCell(false, 80), 1);
    EXPECT_EQ(BatteryCell(false, 79), 2);
    EXPECT_EQ(BatteryCell(false, 40), 2);
    EXPECT_EQ(BatteryCell(false, 39), 3);
    EXPECT_EQ(BatteryCell(false, 15), 3);
    EXPECT_EQ(BatteryCell(false, 14), 4);
    EXPECT_EQ(BatteryCell(true, 3), 0);
    EXPECT_EQ(GpsCellLeft(160, 40, 1), 120) << "state 1 is the rightmost cell";
    EXPECT_EQ(GpsCellLeft(160, 40, 4), 0);
    EXPECT_EQ(GpsCellLeft(160, 40, 9), 0);
    EXPECT_EQ(GpsCellLeft(160, 40, -3), 120);
    EXPECT_EQ(GpsCellLeft(30, 40, 1), 0) << "a picture narrower than one cell";
    EXPECT_EQ(GpsCellLeft(160, 0, 1), 0);
    EXPECT_EQ(OnAirCellLeft(0, 33), 0);
    EXPECT_EQ(OnAirCellLeft(2, 33), 66);
    EXPECT_EQ(MemoryIconHalf("Storage Card"), 1);
    EXPECT_EQ(MemoryIconHalf("Storage Card2"), 1);
    EXPECT_EQ(MemoryIconHalf("My Documents"), 0);
}

TEST(ScreenValues, FormatsThatDoNotTakeTheirValuesAreReplaced)
{
    struct Case {
        const char* format;
        const char* takes;
        bool ok;
    };
    const Case cases[] = {
        {"Start %02d:%02d:%02d", "ddd", true},  {"Position %.5f, %.5f", "ff", true},
        {"100%% %d", "d", true},                {"Distance %g", "f", true},
        {"Distance %d", "f", false},            {"Distance %s", "f", false},
        {"%d:%d", "ddd", false},                {"%d:%d:%d:%d", "ddd", false},
        {"%*d", "d", false},                    {"%n", "d", false},
        {"%ld", "d", false},                    {"%1$d", "d", false},
        {"trailing %", "", false},              {"no conversions", "", true},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatTakes(c.format, c.takes), c.ok) << c.format;

    EXPECT_EQ(DistanceText("%g", 0.25), "250 m");
    EXPECT_EQ(DistanceText("%g", 1.0), "1000 m");
    EXPECT_EQ(DistanceText("%g", 1.01), "1.01 km");
    EXPECT_EQ(DistanceText("Distance %.1f", 12.34), "Distance 12.3 km");
    EXPECT_EQ(DistanceText("Distance %s", 0.5), "500 m") << "a translation asking for a string";
    // The whole-unit figures written over the picture follow the same rule.
    EXPECT_EQ(WholeDistanceText(0.25), "250 m");
    EXPECT_EQ(WholeDistanceText(1.0), "1000 m");
    EXPECT_EQ(WholeDistanceText(1.01), "1 km");
    EXPECT_EQ(WholeDistanceText(-3), "0 m");
    EXPECT_EQ(WholeDistanceText(std::nan("")), "0 m");
    EXPECT_EQ(WholeDistanceText(1e300), "999999 km") << "no overflow into a negative";

    HimetricRect r{};
    ASSERT_TRUE(PixelsToHimetric(96, 96, 192, 192, 96, 96, &r));
    EXPECT_EQ(r.left, 2540);
    EXPECT_EQ(r.bottom, 5080);
    ASSERT_TRUE(PixelsToHimetric(1, 0, 0, 0, 192, 96, &r));
    EXPECT_EQ(r.left, 13) << "truncated";
    EXPECT_FALSE(PixelsToHimetric(1, 1, 2, 2, 0, 96, &r));
}

}  // namespace

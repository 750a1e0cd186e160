// The shock detector on hand-made and random sample streams.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "sensing/event_detection.h"
#include "sensing/shock_detect.h"

namespace {

ShockWindow Window(float tx, float ty, float tz, int size = 5, int errors = 1)
{
    ShockWindow w;
    EXPECT_TRUE(SetShockWindowSize(&w, size));
    EXPECT_TRUE(SetShockErrorCount(&w, errors));
    w.thresholdX = tx;
    w.thresholdY = ty;
    w.thresholdZ = tz;
    return w;
}

// Feeds resting samples, then one jump of (dx, dy, dz) between the last two: the detector's answer then.
int JumpDetected(ShockWindow w, float dx, float dy, float dz, const SmsScales& scales = {})
{
    for (int i = 0; i < w.windowSize - 1; ++i) EXPECT_EQ(ShockDetect(&w, AccelSample{0, 0, 0, 1024}, scales), 0);
    return ShockDetect(&w, AccelSample{0, dx, dy, 1024 + dz}, scales);
}

TEST(ShockDetect, ThePairRulesAtTheirEdges)
{
    const ShockWindow equal = Window(900, 900, 900);
    EXPECT_EQ(JumpDetected(equal, 950, 460, 0), 1) << "one axis above 900, another above 450";
    EXPECT_EQ(JumpDetected(equal, 950, 450, 0), 0);
    EXPECT_EQ(JumpDetected(equal, 950, 0, 0), 0);
    EXPECT_EQ(JumpDetected(equal, 0, 460, 950), 1) << "the primary axis need not be X";
    const ShockWindow unequal = Window(1000, 900, 900);
    EXPECT_EQ(JumpDetected(unequal, 1001, 901, 0), 1) << "two axes above their own thresholds";
    EXPECT_EQ(JumpDetected(unequal, 1001, 0, 0), 0);
    EXPECT_EQ(JumpDetected(unequal, 1000, 901, 0), 0) << "strictly greater";
    EXPECT_EQ(JumpDetected(unequal, 0, 901, 901), 1);
}

TEST(ShockDetect, TheSmsFlagNeedsAThresholdAndAScale)
{
    const ShockWindow w = Window(900, 900, 900);
    JumpDetected(w, 1800, 500, 0);
    EXPECT_EQ(SmsShockFlag, 0) << "a shock below every SMS scale";
    JumpDetected(w, 2000, 500, 0);
    EXPECT_EQ(SmsShockFlag, 1);
    JumpDetected(w, 0, 0, 0, SmsScales{10, 10, 10});
    EXPECT_EQ(SmsShockFlag, 0) << "nothing above a threshold, nothing to send";
}

TEST(ShockDetect, OptionsOutsideTheirRangeChangeNothing)
{
    ShockWindow w = Window(900, 900, 900);
    for (int size : {-1, 0, 1, kMaxShockWindow + 1}) EXPECT_FALSE(SetShockWindowSize(&w, size)) << size;
    EXPECT_FALSE(SetShockErrorCount(&w, 0));
    EXPECT_EQ(w.windowSize, 5);
    EXPECT_EQ(w.samples.size(), 5u);
    EXPECT_EQ(w.errorCount, 1);
}

// The same decision made from the whole history: a window is the last
// windowSize samples since the last event, judged once it is complete.
struct ModelDetector {
    std::vector<AccelSample> sinceEvent;
    int Feed(const ShockWindow& params, const AccelSample& s)
    {
        sinceEvent.push_back(s);
        const int n = params.windowSize;
        if (static_cast<int>(sinceEvent.size()) < n) return 0;
        int pairs = 0;
        for (std::size_t i = sinceEvent.size() - n; i + 1 < sinceEvent.size(); ++i) {
            const double dx = std::fabs(static_cast<double>(sinceEvent[i].x - sinceEvent[i + 1].x));
            const double dy = std::fabs(static_cast<double>(sinceEvent[i].y - sinceEvent[i + 1].y));
            const double dz = std::fabs(static_cast<double>(sinceEvent[i].z - sinceEvent[i + 1].z));
            const bool equal = params.thresholdX == params.thresholdY && params.thresholdY == params.thresholdZ;
            const double t = params.thresholdX;
            const int full = (dx > params.thresholdX) + (dy > params.thresholdY) + (dz > params.thresholdZ);
            const int half = (dx > t / 2) + (dy > t / 2) + (dz > t / 2);
            pairs += equal ? (full >= 1 && half >= 2) : full >= 2;
        }
        if (pairs < params.errorCount) return 0;
        sinceEvent.clear();
        return 1;
    }
};

TEST(ShockDetect, RandomDrivesGiveTheEventsOfTheWholeHistory)
{
    std::mt19937 random(4242);
    for (int drive = 0; drive < 200; ++drive) {
        const float levels[] = {600, 900, 1500};
        const float tx = levels[random() % 3];
        const bool equal = random() % 2 == 0;
        ShockWindow w = Window(tx, equal ? tx : levels[random() % 3], equal ? tx : levels[random() % 3],
                               2 + static_cast<int>(random() % 7), 1 + static_cast<int>(random() % 3));
        ModelDetector model;
        std::normal_distribution<float> road(0, 350);
        for (int i = 0; i < 300; ++i) {
            const AccelSample s{static_cast<std::uint32_t>(i * 200), road(random), road(random), 1024 + road(random)};
            ASSERT_EQ(ShockDetect(&w, s, SmsScales{}), model.Feed(w, s)) << "drive " << drive << " sample " << i;
        }
    }
}

}  // namespace

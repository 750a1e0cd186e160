#include "sensing/shock_detect.h"

#include <algorithm>
#include <cmath>

#include "sensing/event_detection.h"

namespace {

struct Change {
    double x;
    double y;
    double z;
};

// The difference is taken as the samples hold it, in single precision.
Change Between(const AccelSample& a, const AccelSample& b)
{
    return Change{std::fabs(static_cast<double>(a.x - b.x)), std::fabs(static_cast<double>(a.y - b.y)),
                  std::fabs(static_cast<double>(a.z - b.z))};
}

bool AboveAThreshold(const ShockWindow& w, const Change& d)
{
    return d.x > w.thresholdX || d.y > w.thresholdY || d.z > w.thresholdZ;
}

bool Qualifies(const ShockWindow& w, const Change& d)
{
    const double t = w.thresholdX;
    if (w.thresholdX == w.thresholdY && w.thresholdX == w.thresholdZ) {
        const double half = t * 0.5;
        if (d.x > t) return d.y > half || d.z > half;
        if (d.y > t) return d.x > half || d.z > half;
        if (d.z > t) return d.x > half || d.y > half;
        return false;
    }
    const int above = (d.x > w.thresholdX) + (d.y > w.thresholdY) + (d.z > w.thresholdZ);
    return above >= 2;
}

}  // namespace

bool SetShockWindowSize(ShockWindow* window, int size)
{
    if (size < kMinShockWindow || size > kMaxShockWindow) return false;
    window->windowSize = size;
    window->samples.assign(static_cast<std::size_t>(size), AccelSample{});
    window->windowFill = 0;
    return true;
}

bool SetShockErrorCount(ShockWindow* window, int count)
{
    if (count < 1) return false;
    window->errorCount = count;
    return true;
}

int ShockDetect(ShockWindow* w, const AccelSample& sample, const SmsScales& scales)
{
    SmsShockFlag = 0;
    const int n = w->windowSize;
    if (static_cast<int>(w->samples.size()) != n || n < kMinShockWindow) return 0;
    w->samples[static_cast<std::size_t>(w->windowFill++)] = sample;
    if (w->windowFill != n) return 0;
    int pairs = 0;
    for (int i = 0; i + 1 < n; ++i) {
        const Change d = Between(w->samples[static_cast<std::size_t>(i)], w->samples[static_cast<std::size_t>(i) + 1]);
        if (AboveAThreshold(*w, d) && (d.x > scales.x || d.y > scales.y || d.z > scales.z)) SmsShockFlag = 1;
        if (Qualifies(*w, d)) ++pairs;
    }
    if (pairs >= w->errorCount) {
        w->windowFill = 0;
        return 1;
    }
    std::move(w->samples.begin() + 1, w->samples.end(), w->samples.begin());
    w->windowFill = n - 1;
    return 0;
}

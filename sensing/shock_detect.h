// The shock detector: a sliding window of accelerometer samples in which
// the change between consecutive samples is compared with per-axis
// thresholds (raw counts). A pair of samples qualifies when two axes change
// by more than their thresholds, or, when the three thresholds are equal,
// when one axis changes by more than the threshold and another by more than
// half of it. errorCount qualifying pairs in a full window are an event;
// the window then starts empty, else it slides by one sample.
//
// Runs on the main window's thread; no allocation per sample.
#pragma once

#include <cstdint>
#include <vector>

#include "sensing/accel_sample.h"

struct ShockWindow {
    std::vector<AccelSample> samples;  // windowSize places
    int windowSize = 5;
    int windowFill = 0;
    int errorCount = 1;
    float thresholdX = 0.5f;
    float thresholdY = 0.5f;
    float thresholdZ = 0.5f;
};

// Changes beyond these (raw counts) make the accident SMS worth sending.
struct SmsScales {
    double x = 1900;
    double y = 1900;
    double z = 1900;
};

// Window sizes the detector accepts: a pair needs two samples, and a window
// longer than a minute of polls would never settle.
constexpr int kMinShockWindow = 2;
constexpr int kMaxShockWindow = 300;

// Sets the window size (restarting the window empty); false, changing
// nothing, outside kMinShockWindow..kMaxShockWindow.
bool SetShockWindowSize(ShockWindow* window, int size);
// false, changing nothing, for a count below 1.
bool SetShockErrorCount(ShockWindow* window, int count);

// Adds the sample and judges the window once it is full: 1 for an event.
// Clears SmsShockFlag first and sets it when a pair above a threshold also
// changed by more than an SMS scale.
int ShockDetect(ShockWindow* window, const AccelSample& sample, const SmsScales& scales);

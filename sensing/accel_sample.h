// One accelerometer sample: the tick it was taken at and the three axes as
// the driver counts them, converted to float without scaling. Every shock
// threshold is given in these raw counts.
#pragma once

#include <cstdint>

struct AccelSample {
    std::uint32_t tick;  // system milliseconds
    float x;
    float y;
    float z;
};

static_assert(sizeof(AccelSample) == 16);

// Arithmetic on local-time records for elapsed times. Every operation goes
// through the 64-bit count of 100-nanosecond units since 1 January 1601, so
// a duration is the record of that count: 5 min 37 s is 1601-01-01 00:05:37.
// Adding a duration to a point in time, or two durations, therefore works
// on the counts directly. A record that does not convert (year 0, a month
// 13 ...) makes an operation fail with 0 and change nothing, unless stated.
#pragma once

#include "platform/base/types.h"

int SystemTimeToU64(const os::SYSTEMTIME* time, os::ULONGLONG* count);
int U64ToSystemTime(os::ULONGLONG count, os::SYSTEMTIME* time);

// result = b - a. Fails when b is earlier than a.
int TimeDifference(const os::SYSTEMTIME* a, const os::SYSTEMTIME* b, os::SYSTEMTIME* result);
// a += b; when a's year is 0 (nothing accumulated yet), a becomes a copy of b.
int TimeAdd(os::SYSTEMTIME* a, const os::SYSTEMTIME* b);
// a -= b when b's year is not 0 and a is not earlier than b; otherwise a is
// left as it is. Returns 1 when a was replaced.
int TimeSubtractClamped(os::SYSTEMTIME* a, const os::SYSTEMTIME* b);

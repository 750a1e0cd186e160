#include "storage/time_ops.h"

#include "platform/kernel/clock.h"

int SystemTimeToU64(const os::SYSTEMTIME* time, os::ULONGLONG* count)
{
    os::FILETIME ft;
    if (!os::SystemTimeToFileTime(time, &ft)) return 0;
    *count = os::FileTimeToU64(ft);
    return 1;
}

int U64ToSystemTime(os::ULONGLONG count, os::SYSTEMTIME* time)
{
    const os::FILETIME ft = os::U64ToFileTime(count);
    return os::FileTimeToSystemTime(&ft, time) ? 1 : 0;
}

int TimeDifference(const os::SYSTEMTIME* a, const os::SYSTEMTIME* b, os::SYSTEMTIME* result)
{
    os::ULONGLONG from = 0;
    os::ULONGLONG to = 0;
    if (!SystemTimeToU64(a, &from) || !SystemTimeToU64(b, &to) || to < from) return 0;
    return U64ToSystemTime(to - from, result);
}

int TimeAdd(os::SYSTEMTIME* a, const os::SYSTEMTIME* b)
{
    if (a->wYear == 0) {
        *a = *b;
        return 1;
    }
    os::ULONGLONG sum = 0;
    os::ULONGLONG addend = 0;
    if (!SystemTimeToU64(a, &sum) || !SystemTimeToU64(b, &addend)) return 0;
    return U64ToSystemTime(sum + addend, a);
}

int TimeSubtractClamped(os::SYSTEMTIME* a, const os::SYSTEMTIME* b)
{
    if (b->wYear == 0) return 0;
    os::ULONGLONG from = 0;
    os::ULONGLONG less = 0;
    if (!SystemTimeToU64(a, &from) || !SystemTimeToU64(b, &less) || from < less) return 0;
    return U64ToSystemTime(from - less, a);
}

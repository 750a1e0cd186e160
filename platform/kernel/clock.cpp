#include "platform/kernel/clock.h"

#include <cstdio>

#include "platform/kernel/internal/scheduler.h"

namespace os {

using detail::Sched;

namespace {

constexpr ULONGLONG kTicksPerMs = 10'000;
constexpr ULONGLONG kTicksPerDay = 86'400ULL * 1000 * kTicksPerMs;

// Days from 1601-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFrom1601(int year, unsigned month, unsigned day)
{
    // Days since 1970-01-01, after Howard Hinnant's civil calendar algorithm.
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t since1970 = era * 146097 + static_cast<std::int64_t>(doe) - 719468;
    return since1970 + 134774;  // 1601-01-01 .. 1970-01-01
}

void CivilFromDays1601(std::int64_t days, int* year, unsigned* month, unsigned* day)
{
    const std::int64_t z = days - 134774 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *day = doy - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int y, unsigned m)
{
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

}  // namespace

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft)
{
    if (st == nullptr || ft == nullptr) return FALSE;
    if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
        st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 ||
        st->wMilliseconds > 999) {
        return FALSE;
    }
    const std::int64_t days = DaysFrom1601(st->wYear, st->wMonth, st->wDay);
    const ULONGLONG ms = ((static_cast<ULONGLONG>(st->wHour) * 60 + st->wMinute) * 60 + st->wSecond) * 1000 +
                         st->wMilliseconds;
    *ft = U64ToFileTime(static_cast<ULONGLONG>(days) * kTicksPerDay + ms * kTicksPerMs);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st)
{
    if (ft == nullptr || st == nullptr) return FALSE;
    const ULONGLONG ticks = FileTimeToU64(*ft);
    if (ticks >= 0x8000000000000000ULL) return FALSE;
    const auto days = static_cast<std::int64_t>(ticks / kTicksPerDay);
    ULONGLONG ms = (ticks % kTicksPerDay) / kTicksPerMs;
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays1601(days, &year, &month, &day);
    st->wYear = static_cast<WORD>(year);
    st->wMonth = static_cast<WORD>(month);
    st->wDay = static_cast<WORD>(day);
    st->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    st->wMilliseconds = static_cast<WORD>(ms % 1000);
    ms /= 1000;
    st->wSecond = static_cast<WORD>(ms % 60);
    ms /= 60;
    st->wMinute = static_cast<WORD>(ms % 60);
    st->wHour = static_cast<WORD>(ms / 60);
    return TRUE;
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(static_cast<ULONGLONG>(Sched().Now() / 1000));
}

std::int64_t DeviceTimeUs() { return Sched().Now(); }

ClockMode CurrentClockMode() { return Sched().Mode(); }

void GetLocalTime(SYSTEMTIME* out)
{
    SYSTEMTIME start = Sched().StartLocalTime();
    FILETIME ft;
    if (!SystemTimeToFileTime(&start, &ft)) {
        start = SYSTEMTIME{};
        start.wYear = 2009;
        start.wMonth = 1;
        start.wDay = 1;
        SystemTimeToFileTime(&start, &ft);
    }
    const ULONGLONG now = FileTimeToU64(ft) + static_cast<ULONGLONG>(Sched().Now()) * 10;
    const FILETIME nowFt = U64ToFileTime(now);
    FileTimeToSystemTime(&nowFt, out);
}

void Sleep(DWORD ms)
{
    std::unique_lock<std::mutex> lk(Sched().mu);
    if (ms == 0) {
        Sched().Yield(lk);
        return;
    }
    const std::int64_t deadline = detail::DeadlineAfterMs(ms);
    while (Sched().Now() < deadline) Sched().Block(lk, deadline, "Sleep");
}

std::string FormatDeviceTime(std::int64_t us)
{
    const std::int64_t ms = us / 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

}  // namespace os

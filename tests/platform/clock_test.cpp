#include <gtest/gtest.h>

#include "platform/kernel/clock.h"
#include "tests/support/platform_fixture.h"

namespace {

using testing_support::PlatformTest;

TEST(TimeConversion, RoundTripsThroughFileTimeAcrossCalendarEdges)
{
    const os::WORD dates[][3] = {{1601, 1, 1}, {1900, 2, 28}, {2000, 2, 29}, {2009, 3, 3}, {2038, 1, 19}, {2100, 12, 31}};
    for (const auto& d : dates) {
        os::SYSTEMTIME st;
        st.wYear = d[0];
        st.wMonth = d[1];
        st.wDay = d[2];
        st.wHour = 23;
        st.wMinute = 59;
        st.wSecond = 58;
        st.wMilliseconds = 999;
        os::FILETIME ft;
        ASSERT_TRUE(os::SystemTimeToFileTime(&st, &ft)) << d[0];
        os::SYSTEMTIME back;
        ASSERT_TRUE(os::FileTimeToSystemTime(&ft, &back));
        EXPECT_EQ(back.wYear, st.wYear);
        EXPECT_EQ(back.wMonth, st.wMonth);
        EXPECT_EQ(back.wDay, st.wDay);
        EXPECT_EQ(back.wHour, 23);
        EXPECT_EQ(back.wMinute, 59);
        EXPECT_EQ(back.wSecond, 58);
        EXPECT_EQ(back.wMilliseconds, 999);
    }
}

TEST(TimeConversion, KnownValuesAndDayOfWeek)
{
    // 1970-01-01 00:00 is 116444736000000000 in 100 ns units since 1601.
    os::SYSTEMTIME epoch;
    epoch.wYear = 1970;
    epoch.wMonth = 1;
    epoch.wDay = 1;
    os::FILETIME ft;
    ASSERT_TRUE(os::SystemTimeToFileTime(&epoch, &ft));
    EXPECT_EQ(os::FileTimeToU64(ft), 116444736000000000ULL);

    os::SYSTEMTIME st;
    ASSERT_TRUE(os::FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wDayOfWeek, 4);  // a Thursday
}

TEST(TimeConversion, RejectsInvalidDates)
{
    os::FILETIME ft;
    os::SYSTEMTIME st;
    st.wYear = 2009;
    st.wMonth = 2;
    st.wDay = 29;
    EXPECT_FALSE(os::SystemTimeToFileTime(&st, &ft));
    st.wMonth = 13;
    st.wDay = 1;
    EXPECT_FALSE(os::SystemTimeToFileTime(&st, &ft));
    st.wMonth = 1;
    st.wHour = 24;
    EXPECT_FALSE(os::SystemTimeToFileTime(&st, &ft));
}

class ClockTest : public PlatformTest {};

TEST_F(ClockTest, LocalTimeRunsOnFromTheProfileStart)
{
    os::SYSTEMTIME st;
    os::GetLocalTime(&st);
    EXPECT_EQ(st.wHour, 8);
    EXPECT_EQ(st.wMinute, 59);
    EXPECT_EQ(st.wSecond, 30);
    os::Sleep(37'000);  // crosses into the next hour in virtual time
    os::GetLocalTime(&st);
    EXPECT_EQ(st.wHour, 9);
    EXPECT_EQ(st.wMinute, 0);
    EXPECT_EQ(st.wSecond, 7);
    EXPECT_EQ(os::GetTickCount(), 37'000u);
}

TEST(DeviceTimeFormat, ShowsHoursMinutesSecondsAndMilliseconds)
{
    EXPECT_EQ(os::FormatDeviceTime(3'723'004'000), "01:02:03.004");
    EXPECT_EQ(os::FormatDeviceTime(0), "00:00:00.000");
}

}  // namespace

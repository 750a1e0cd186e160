// Elapsed-time arithmetic on local-time records.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "storage/time_ops.h"

namespace {

os::SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second, int ms = 0)
{
    os::SYSTEMTIME t;
    t.wYear = static_cast<os::WORD>(year);
    t.wMonth = static_cast<os::WORD>(month);
    t.wDay = static_cast<os::WORD>(day);
    t.wHour = static_cast<os::WORD>(hour);
    t.wMinute = static_cast<os::WORD>(minute);
    t.wSecond = static_cast<os::WORD>(second);
    t.wMilliseconds = static_cast<os::WORD>(ms);
    return t;
}

// The address of a record built in the call's argument list.
const os::SYSTEMTIME* Ptr(const os::SYSTEMTIME& t) { return &t; }

// A duration as the records hold it: that long after the count's origin.
os::SYSTEMTIME Span(int hour, int minute, int second, int ms = 0) { return At(1601, 1, 1, hour, minute, second, ms); }

::testing::AssertionResult Same(const os::SYSTEMTIME& expected, const os::SYSTEMTIME& actual)
{
    auto fields = [](const os::SYSTEMTIME& t) {
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                      t.wMinute, t.wSecond, t.wMilliseconds);
        return std::string(text);
    };
    if (fields(expected) == fields(actual)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected " << fields(expected) << ", got " << fields(actual);
}

TEST(TimeOps, ConversionsRoundTripAndRefuseRecordsThatAreNoTime)
{
    os::ULONGLONG count = 0;
    ASSERT_EQ(SystemTimeToU64(Ptr(Span(0, 0, 1)), &count), 1);
    EXPECT_EQ(count, 10'000'000u);
    os::SYSTEMTIME back;
    ASSERT_EQ(SystemTimeToU64(Ptr(At(2009, 3, 3, 9, 5, 7, 250)), &count), 1);
    ASSERT_EQ(U64ToSystemTime(count, &back), 1);
    EXPECT_TRUE(Same(At(2009, 3, 3, 9, 5, 7, 250), back));

    count = 42;
    EXPECT_EQ(SystemTimeToU64(Ptr(At(2009, 13, 1, 0, 0, 0)), &count), 0);
    EXPECT_EQ(SystemTimeToU64(Ptr(os::SYSTEMTIME{}), &count), 0);
    EXPECT_EQ(count, 42u);
}

TEST(TimeOps, DifferenceIsADurationAndNeverNegative)
{
    os::SYSTEMTIME result;
    ASSERT_EQ(TimeDifference(Ptr(At(2009, 3, 3, 8, 59, 30)), Ptr(At(2009, 3, 3, 9, 5, 7)), &result), 1);
    EXPECT_TRUE(Same(Span(0, 5, 37), result));
    ASSERT_EQ(TimeDifference(Ptr(At(2009, 3, 3, 23, 59, 59, 900)), Ptr(At(2009, 3, 4, 0, 0, 1, 100)), &result), 1);
    EXPECT_TRUE(Same(Span(0, 0, 1, 200), result));

    const os::SYSTEMTIME before = result;
    EXPECT_EQ(TimeDifference(Ptr(At(2009, 3, 3, 9, 5, 7)), Ptr(At(2009, 3, 3, 8, 59, 30)), &result), 0);
    EXPECT_EQ(TimeDifference(Ptr(os::SYSTEMTIME{}), Ptr(At(2009, 3, 3, 8, 59, 30)), &result), 0);
    EXPECT_TRUE(Same(before, result));
}

TEST(TimeOps, AddCopiesIntoAnEmptyRecordAndOtherwiseAccumulates)
{
    os::SYSTEMTIME total{};
    ASSERT_EQ(TimeAdd(&total, Ptr(Span(0, 0, 30))), 1);
    EXPECT_TRUE(Same(Span(0, 0, 30), total));
    ASSERT_EQ(TimeAdd(&total, Ptr(Span(0, 0, 45))), 1);
    EXPECT_TRUE(Same(Span(0, 1, 15), total));

    os::SYSTEMTIME clock = At(2009, 12, 31, 23, 59, 50);
    ASSERT_EQ(TimeAdd(&clock, Ptr(Span(0, 0, 15))), 1);
    EXPECT_TRUE(Same(At(2010, 1, 1, 0, 0, 5), clock));

    os::SYSTEMTIME bad = At(2009, 2, 30, 0, 0, 0);
    EXPECT_EQ(TimeAdd(&bad, Ptr(Span(0, 0, 15))), 0);
    EXPECT_TRUE(Same(At(2009, 2, 30, 0, 0, 0), bad));
}

TEST(TimeOps, SubtractClampedLeavesTheRecordWhenItWouldGoBelowZero)
{
    os::SYSTEMTIME a = Span(0, 1, 15);
    EXPECT_EQ(TimeSubtractClamped(&a, Ptr(Span(0, 2, 0))), 0) << "b later than a";
    EXPECT_TRUE(Same(Span(0, 1, 15), a));
    EXPECT_EQ(TimeSubtractClamped(&a, Ptr(os::SYSTEMTIME{})), 0) << "b's year 0";
    EXPECT_TRUE(Same(Span(0, 1, 15), a));

    ASSERT_EQ(TimeSubtractClamped(&a, Ptr(Span(0, 1, 15))), 1);
    EXPECT_TRUE(Same(Span(0, 0, 0), a)) << "equal is not earlier";
    os::SYSTEMTIME clock = At(2009, 3, 4, 0, 0, 5);
    ASSERT_EQ(TimeSubtractClamped(&clock, Ptr(Span(0, 0, 10))), 1);
    EXPECT_TRUE(Same(At(2009, 3, 3, 23, 59, 55), clock));
}

}  // namespace

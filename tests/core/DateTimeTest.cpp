#include <gtest/gtest.h>

#include "core/DateTime.h"

namespace {

SYSTEMTIME at(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0, uint16_t s = 0) {
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, 0};
}

::testing::AssertionResult Is(const SYSTEMTIME& t, uint16_t y, uint16_t mo, uint16_t d, uint16_t h,
                              uint16_t mi, uint16_t s) {
    if (t.wYear == y && t.wMonth == mo && t.wDay == d && t.wHour == h && t.wMinute == mi && t.wSecond == s) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << t.wYear << "-" << t.wMonth << "-" << t.wDay << " " << t.wHour
                                         << ":" << t.wMinute << ":" << t.wSecond;
}

TEST(DateTimeTest, AddDiffCrossesDayMonthYearAndLeapDay) {
    SYSTEMTIME t = at(2008, 2, 14, 23, 50, 10);
    ASSERT_TRUE(DT_AddDiff(t, 30, DT_MINUTE));
    EXPECT_TRUE(Is(t, 2008, 2, 15, 0, 20, 10));
    EXPECT_EQ(t.wDayOfWeek, 5);  // a Friday

    t = at(2008, 2, 28, 12);
    ASSERT_TRUE(DT_AddDiff(t, 1, DT_DAY));
    EXPECT_TRUE(Is(t, 2008, 2, 29, 12, 0, 0));
    ASSERT_TRUE(DT_AddDiff(t, 1, DT_DAY));
    EXPECT_TRUE(Is(t, 2008, 3, 1, 12, 0, 0));

    t = at(2007, 2, 28, 23, 59, 59);
    ASSERT_TRUE(DT_AddDiff(t, 1, DT_SECOND));
    EXPECT_TRUE(Is(t, 2007, 3, 1, 0, 0, 0));

    t = at(2008, 12, 31, 23, 45);
    ASSERT_TRUE(DT_AddDiff(t, 20, DT_MINUTE));
    EXPECT_TRUE(Is(t, 2009, 1, 1, 0, 5, 0));

    // Backwards over a year end and over the last day of a 30-day month.
    t = at(2009, 1, 1, 0, 5);
    ASSERT_TRUE(DT_AddDiff(t, -20, DT_MINUTE));
    EXPECT_TRUE(Is(t, 2008, 12, 31, 23, 45, 0));
    t = at(2008, 5, 1);
    ASSERT_TRUE(DT_AddDiff(t, -1, DT_DAY));
    EXPECT_TRUE(Is(t, 2008, 4, 30, 0, 0, 0));

    // Century years: 1900 and 2100 are not leap years, 2000 is.
    t = at(2100, 2, 28);
    ASSERT_TRUE(DT_AddDiff(t, 1, DT_DAY));
    EXPECT_TRUE(Is(t, 2100, 3, 1, 0, 0, 0));
    t = at(2000, 2, 28);
    ASSERT_TRUE(DT_AddDiff(t, 1, DT_DAY));
    EXPECT_TRUE(Is(t, 2000, 2, 29, 0, 0, 0));
}

TEST(DateTimeTest, AddDiffRefusesInvalidDatesAndLeavesThemAlone) {
    SYSTEMTIME t = at(2007, 2, 29);
    EXPECT_FALSE(DT_AddDiff(t, 1, DT_DAY));
    EXPECT_TRUE(Is(t, 2007, 2, 29, 0, 0, 0));
    t = at(2008, 13, 1);
    EXPECT_FALSE(DT_AddDiff(t, 1, DT_DAY));
    t = at(1601, 1, 1);
    EXPECT_FALSE(DT_AddDiff(t, -1, DT_SECOND));
}

TEST(DateTimeTest, PeriodsBetweenCountsWholeUnitsWithSign) {
    EXPECT_EQ(DT_PeriodsBetween(at(2008, 2, 28, 10), at(2008, 3, 1, 9, 59, 59), DT_DAY), 1);
    EXPECT_EQ(DT_PeriodsBetween(at(2008, 2, 28, 10), at(2008, 3, 1, 10), DT_DAY), 2);
    EXPECT_EQ(DT_PeriodsBetween(at(2008, 12, 31, 23, 59, 30), at(2009, 1, 1, 0, 0, 30), DT_MINUTE), 1);
    EXPECT_EQ(DT_PeriodsBetween(at(2009, 1, 1), at(2008, 12, 31, 23, 59, 0), DT_SECOND), -60);
    EXPECT_EQ(DT_PeriodsBetween(at(2007, 1, 1), at(2008, 1, 1), DT_DAY), 365);
    EXPECT_EQ(DT_PeriodsBetween(at(2008, 1, 1), at(2009, 1, 1), DT_DAY), 366);
}

// Years, counts and units that cannot be represented are refused and leave the time alone, rather
// than wrapping inside the tick arithmetic (a year of -999 read into 16 bits is 64537).
TEST(DateTimeTest, AddDiffRefusesWhatOverflowsTheTickCount) {
    struct Row {
        SYSTEMTIME start;
        int64_t count;
        int64_t unit;
        bool moved;
    };
    const Row rows[] = {
        {at(64537, 2, 15), 30, DT_MINUTE, false},
        {at(65535, 12, 31, 23, 59, 59), 0, DT_SECOND, false},
        {at(30828, 1, 1), -1, DT_DAY, false},
        {at(30827, 12, 31, 23, 59, 58), 1, DT_SECOND, true},
        {at(30827, 12, 31, 23, 59, 59), 1, DT_SECOND, false},
        {at(2008, 2, 15), INT64_MAX, DT_MINUTE, false},
        {at(2008, 2, 15), INT64_MIN, 1, false},
        {at(2008, 2, 15), -1, INT64_MIN, false},
        {at(2008, 2, 15), 20'000'000, DT_DAY, false},
    };
    for (const Row& row : rows) {
        SYSTEMTIME t = row.start;
        EXPECT_EQ(DT_AddDiff(t, row.count, row.unit), row.moved)
            << DT_Format(row.start) << " + " << row.count;
        if (!row.moved) {
            EXPECT_EQ(t, row.start) << DT_Format(row.start);
        }
    }
    EXPECT_EQ(DT_PeriodsBetween(at(2008, 2, 15), at(64537, 2, 15), DT_DAY), 0);
}

}  // namespace

// Time-of-day arithmetic of the frames: inside and overlap tests of intervals, dating a frame,
// whether it is happening and when it runs next.

#include <gtest/gtest.h>

#include <string>

#include "core/SafeFormat.h"
#include "platform/sim/CSimClock.h"
#include "store/CInstante.h"
#include "store/CPeriod.h"
#include "store/CStrPeriod.h"
#include "support/TempHome.h"

namespace {

SYSTEMTIME Time(int year, int month, int day, int hour, int minute, int second = 0) {
    SYSTEMTIME t;
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    t.wSecond = static_cast<uint16_t>(second);
    return t;
}

CPeriod Interval(int h1, int m1, int h2, int m2) {
    return CPeriod(CInstante(h1, m1), CInstante(h2, m2));
}

// "YYYY-MM-DD hh:mm:ss"
std::string Text(const SYSTEMTIME& t) {
    return SafeSprintf("%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                       t.wSecond);
}

CStrPeriod Frame(int h1, int m1, int h2, int m2, int weekDay = 3) {
    CStrPeriod frame(1, "frame", 1, Time(0, 0, 0, h1, m1), Time(0, 0, 0, h2, m2));
    frame.SetWeekDay(weekDay);
    return frame;
}

// A phone clock that stands still (for the length of a test) at the time it is set to.
class FrameClockTest : public ::testing::Test {
  protected:
    FrameClockTest() { Clock().setSpeed(0.001); }
    void SetClock(const SYSTEMTIME& t) { Clock().setLocalMillis(platform::sim::CSimClock::toMillis(t)); }
    platform::sim::CSimClock& Clock() {
        return dynamic_cast<platform::sim::CSimClock&>(_home.services().clock());
    }

    TempHome _home;
};

}  // namespace

TEST(TimeFramesTest, InsideRulesOfSameDayAndOvernightIntervals) {
    const CPeriod night = Interval(22, 0, 6, 0);
    for (bool inclusive : {true, false}) {
        EXPECT_TRUE(night.IsInside(CInstante(23, 30), inclusive));
        EXPECT_TRUE(night.IsInside(CInstante(5, 59), inclusive));
        EXPECT_FALSE(night.IsInside(CInstante(6, 0), inclusive));
        EXPECT_FALSE(night.IsInside(CInstante(12, 0), inclusive));
    }
    EXPECT_TRUE(night.IsInside(CInstante(22, 0), true));
    EXPECT_FALSE(night.IsInside(CInstante(22, 0), false));

    const CPeriod day = Interval(8, 0, 18, 0);
    EXPECT_TRUE(day.IsInside(CInstante(8, 0), true));
    EXPECT_FALSE(day.IsInside(CInstante(18, 0), true));
    EXPECT_TRUE(day.IsInside(CInstante(18, 0), false));
    EXPECT_FALSE(day.IsInside(CInstante(8, 0), false));
}

TEST(TimeFramesTest, IntervalsIntersectWhenTheyShareAMinute) {
    const CPeriod allDay = Interval(8, 0, 8, 0);
    for (const CPeriod& other : {Interval(8, 0, 9, 0), Interval(23, 0, 1, 0), Interval(3, 0, 3, 0)}) {
        EXPECT_TRUE(allDay.Intersect(other) && other.Intersect(allDay));
    }
    const CPeriod day = Interval(8, 0, 18, 0);
    EXPECT_TRUE(day.Intersect(Interval(17, 0, 19, 0)));
    EXPECT_TRUE(day.Intersect(Interval(7, 0, 18, 0)));
    EXPECT_TRUE(day.Intersect(Interval(17, 0, 9, 0)));
    EXPECT_FALSE(day.Intersect(Interval(6, 0, 8, 0)));
    EXPECT_FALSE(day.Intersect(Interval(18, 0, 8, 0)));
    // Overnight intervals that end at the same minute, one holding the other.
    EXPECT_TRUE(Interval(22, 0, 6, 0).Intersect(Interval(21, 0, 6, 0)));
    EXPECT_TRUE(Interval(21, 0, 6, 0).Intersect(Interval(22, 0, 6, 0)));
    EXPECT_TRUE(Interval(20, 0, 0, 0).Intersect(Interval(19, 0, 0, 0)));
}

TEST(TimeFramesTest, AnIntervalLiesInsideAnotherOnlyInOnePiece) {
    const CPeriod day = Interval(8, 0, 18, 0);
    EXPECT_TRUE(day.IsInside(Interval(10, 0, 11, 0)));
    EXPECT_TRUE(day.IsInside(Interval(8, 0, 18, 0)));
    EXPECT_FALSE(day.IsInside(Interval(17, 0, 19, 0)));
    // Both ends inside, but it runs through the night between them.
    EXPECT_FALSE(day.IsInside(Interval(17, 0, 9, 0)));
    EXPECT_FALSE(day.IsInside(Interval(10, 0, 10, 0)));
    EXPECT_TRUE(Interval(22, 0, 6, 0).IsInside(Interval(23, 0, 6, 0)));
    EXPECT_TRUE(Interval(22, 0, 6, 0).IsInside(Interval(23, 0, 2, 0)));
    EXPECT_TRUE(Interval(0, 0, 0, 0).IsInside(Interval(22, 0, 2, 0)));
}

TEST(TimeFramesTest, OneDayFramesAndFullTimes) {
    EXPECT_EQ(Frame(22, 0, 0, 30).EsMonoDia(), 1);
    EXPECT_EQ(Frame(22, 0, 1, 0).EsMonoDia(), 0);
    EXPECT_EQ(Frame(8, 0, 18, 0).EsMonoDia(), 1);

    EXPECT_EQ(CInstante::CompareSystemTimes(Time(2026, 3, 4, 23, 59), Time(2026, 3, 5, 0, 0)), -1);
    EXPECT_EQ(CInstante::CompareSystemTimes(Time(2027, 1, 1, 0, 0), Time(2026, 12, 31, 23, 59, 59)), 1);
    // An undated time is earlier than any dated one.
    EXPECT_EQ(CInstante::CompareSystemTimes(Time(0, 0, 0, 23, 0), Time(2026, 3, 4, 1, 0)), -1);
}

TEST_F(FrameClockTest, DatingMovesTheEndPastMidnightMonthAndYearEnds) {
    const auto dated = [](CStrPeriod frame) {
        frame.SetCorrectDates();
        return Text(frame.GetInicio()) + " " + Text(frame.GetFinal());
    };
    SetClock(Time(2026, 3, 4, 12, 0));
    EXPECT_EQ(dated(Frame(23, 0, 1, 0)), "2026-03-04 23:00:00 2026-03-05 01:00:00");
    EXPECT_EQ(dated(Frame(8, 0, 18, 0)), "2026-03-04 08:00:00 2026-03-04 18:00:00");
    SetClock(Time(2026, 1, 31, 12, 0));
    EXPECT_EQ(dated(Frame(23, 0, 1, 0)), "2026-01-31 23:00:00 2026-02-01 01:00:00");
    SetClock(Time(2026, 12, 31, 12, 0));
    EXPECT_EQ(dated(Frame(8, 0, 8, 0)), "2026-12-31 08:00:00 2027-01-01 08:00:00");
    // A dated start keeps its date.
    CStrPeriod leap = Frame(8, 0, 7, 0);
    leap.SetInicio(Time(2024, 2, 28, 8, 0));
    EXPECT_EQ(dated(leap), "2024-02-28 08:00:00 2024-02-29 07:00:00");

    SetClock(Time(2026, 3, 4, 23, 30));
    EXPECT_EQ(Frame(22, 0, 6, 0).IsHappeningNow(), 1);
    EXPECT_EQ(Frame(8, 0, 18, 0).IsHappeningNow(), 0);
    // Both ends belong to the frame.
    EXPECT_EQ(Frame(22, 0, 6, 0).IsHappeningNow(Time(2026, 3, 5, 6, 0)), 1);
    EXPECT_EQ(Frame(22, 0, 6, 0).IsHappeningNow(Time(2026, 3, 5, 6, 0, 1)), 0);
    EXPECT_EQ(Frame(22, 0, 6, 0).IsHappeningNow(Time(2026, 3, 4, 22, 0)), 1);
}

TEST_F(FrameClockTest, NextExecutionOfAWeeklyFrame) {
    CStrPeriod wednesday = Frame(9, 30, 12, 0, 3);
    const auto next = [&](const SYSTEMTIME& from) {
        SYSTEMTIME out;
        return wednesday.GetNextExecution(from, out) ? Text(out) : "none";
    };
    SetClock(Time(2026, 3, 2, 7, 0));                                    // Monday
    EXPECT_EQ(next(Time(2026, 3, 2, 7, 0, 15)), "2026-03-04 09:30:00");  // Monday
    EXPECT_EQ(next(Time(2026, 3, 6, 20, 0)), "2026-03-11 09:30:00");     // Friday
    SetClock(Time(2026, 3, 4, 10, 0));                                   // Wednesday after the start
    EXPECT_EQ(next(Time(2026, 3, 4, 10, 0, 20)), "2026-03-11 09:30:00");
    // A start in the very minute asked about still counts.
    EXPECT_EQ(next(Time(2026, 3, 4, 9, 30, 40)), "2026-03-04 09:30:00");
    // Measured from the instant asked about, whatever the time now.
    EXPECT_EQ(next(Time(2026, 3, 11, 8, 0)), "2026-03-11 09:30:00");
    SetClock(Time(2026, 3, 4, 8, 0));
    EXPECT_EQ(next(Time(2026, 3, 4, 11, 0)), "2026-03-11 09:30:00");
    EXPECT_EQ(next(Time(0, 0, 0, 8, 0)), "none");

    // Sunday counts as the seventh day.
    SYSTEMTIME out;
    ASSERT_TRUE(Frame(0, 0, 0, 0, 7).GetNextExecution(Time(2026, 12, 28, 9, 0), out));
    EXPECT_EQ(Text(out), "2027-01-03 00:00:00");
    EXPECT_EQ(out.wDayOfWeek, 0);
    EXPECT_FALSE(Frame(9, 0, 10, 0, 0).GetNextExecution(Time(2026, 3, 4, 8, 0), out));
}

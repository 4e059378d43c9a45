// The parts of zentrova-device that decide on their own: how scenario lines are split and read,
// the words of durations, times and days, and when two frames of one day overlap.

#include <gtest/gtest.h>

#include "tools/device/CDeviceArgs.h"
#include "tools/device/CProfileCommands.h"
#include "tools/device/CScenario.h"

namespace {

using Words = std::vector<std::string>;

Words split(const std::string& line) {
    Words words;
    std::string why;
    EXPECT_TRUE(CScenario::SplitWords(line, words, why)) << line << ": " << why;
    return words;
}

TEST(DeviceToolTest, LinesAreSplitAsAShellSplitsThem) {
    EXPECT_EQ(split("  clock set '2026-12-07 09:59:00'  "), (Words{"clock", "set", "2026-12-07 09:59:00"}));
    EXPECT_EQ(split(R"(expect log "said \"hi\" \n"x'y' a\ b)"), (Words{"expect", "log",
                                                                       R"(said "hi" \n)"
                                                                       "xy",
                                                                       "a b"}));
    EXPECT_EQ(split("place add '' # a comment"), (Words{"place", "add", ""}));
    EXPECT_EQ(split("force 0 1#not-a-comment"), (Words{"force", "0", "1#not-a-comment"}));
    EXPECT_TRUE(split("   # only a comment").empty());
    Words words;
    std::string why;
    EXPECT_FALSE(CScenario::SplitWords("expect log 'open", words, why));
    EXPECT_FALSE(CScenario::SplitWords("expect log \"open", words, why));
    EXPECT_FALSE(CScenario::SplitWords("trailing \\", words, why));
}

TEST(DeviceToolTest, ScenarioStepsAreReadWithTheirLinesAndBadLinesAreNamed) {
    std::vector<CScenario::Step> steps;
    std::string why;
    ASSERT_TRUE(
        CScenario::Parse("# setup\r\n\r\nwait 1.5m\r\nexpect log Wi-Fi is now on within 30s\n"
                         "expect app mgr0=\nexpect status wifi=on\nexpect log within\n",
                         steps, why))
        << why;
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[0].ms, 90'000);
    EXPECT_EQ(steps[1].key, "Wi-Fi is now on");
    EXPECT_EQ(steps[1].ms, 30'000);
    EXPECT_EQ(steps[2].key, "mgr0");
    EXPECT_EQ(steps[2].value, "");
    EXPECT_EQ(steps[3].ms, CScenario::kDefaultWithinMs);
    EXPECT_EQ(steps[4].key, "within");

    for (const char* bad :
         {"wait", "wait 5 5", "wait soon", "expect app mgr0", "expect app =1", "expect app a=1 b=2",
          "expect log x within never", "expect weather sunny", "scenario other.txt", "log -f"}) {
        steps.clear();
        EXPECT_FALSE(CScenario::Parse(std::string("clock\n") + bad + "\n", steps, why)) << bad;
        EXPECT_EQ(why.rfind("line 2: ", 0), 0u) << why;
    }
}

TEST(DeviceToolTest, DurationsTimesAndDays) {
    int64_t ms = 0;
    EXPECT_TRUE(CDeviceArgs::ParseDuration("90", ms) && ms == 90'000);
    EXPECT_TRUE(CDeviceArgs::ParseDuration("1.5h", ms) && ms == 5'400'000);
    for (const char* bad : {"", "5x", "-1m", "nan", "inf", "1e30d"}) {
        EXPECT_FALSE(CDeviceArgs::ParseDuration(bad, ms)) << bad;
    }
    EXPECT_EQ(CDeviceArgs::FormatDuration(120'000), "2m");
    EXPECT_EQ(CDeviceArgs::FormatDuration(90'000), "90s");

    int h = -1, m = -1;
    EXPECT_TRUE(CDeviceArgs::ParseTimeOfDay("9:05", h, m) && h == 9 && m == 5);
    EXPECT_TRUE(CDeviceArgs::ParseTimeOfDay("23:59", h, m) && h == 23 && m == 59);
    for (const char* bad : {"24:00", "12:60", "9:5", "123:00", ":30", "12:3a", "-1:30", "12.30"}) {
        EXPECT_FALSE(CDeviceArgs::ParseTimeOfDay(bad, h, m)) << bad;
    }
    int day = 0;
    EXPECT_TRUE(CDeviceArgs::ParseWeekDay("SUN", day) && day == 7);
    EXPECT_TRUE(CDeviceArgs::ParseWeekDay("1", day) && day == 1);
    for (const char* bad : {"0", "8", "monday", "", "all"}) {
        EXPECT_FALSE(CDeviceArgs::ParseWeekDay(bad, day)) << bad;
    }
}

CStrPeriod frame(int h1, int m1, int h2, int m2) {
    SYSTEMTIME start{};
    start.wHour = static_cast<uint16_t>(h1);
    start.wMinute = static_cast<uint16_t>(m1);
    SYSTEMTIME end{};
    end.wHour = static_cast<uint16_t>(h2);
    end.wMinute = static_cast<uint16_t>(m2);
    return CStrPeriod(-1, "f", 1, start, end);
}

TEST(DeviceToolTest, FramesOfADayOverlapWhenTheyShareAMinute) {
    struct Case {
        CStrPeriod a, b;
        bool overlap;
    };
    const Case cases[] = {
        {frame(8, 0, 18, 0), frame(10, 0, 11, 0), true},   // inside
        {frame(8, 0, 18, 0), frame(17, 0, 19, 0), true},   // across the end
        {frame(8, 0, 18, 0), frame(18, 0, 20, 0), false},  // the end is not part of a frame
        {frame(8, 0, 18, 0), frame(6, 0, 8, 0), false},
        {frame(22, 0, 6, 0), frame(5, 59, 7, 0), true},   // the part after midnight
        {frame(22, 0, 6, 0), frame(6, 0, 22, 0), false},  // the rest of the day
        {frame(20, 0, 6, 0), frame(22, 0, 6, 0), true},   // both past midnight, one end
        {frame(8, 0, 8, 0), frame(3, 0, 3, 1), true},     // a whole day
        {frame(22, 0, 0, 0), frame(0, 0, 1, 0), false},   // up to midnight, then from it
    };
    for (const Case& c : cases) {
        std::string a, b;
        EXPECT_EQ(CProfileCommands::Overlap(c.a, c.b), c.overlap)
            << c.a.toString(a) << " " << c.b.toString(b);
        EXPECT_EQ(CProfileCommands::Overlap(c.b, c.a), c.overlap)
            << c.b.toString(b) << " " << c.a.toString(a);
    }
}

TEST(DeviceToolTest, OnlyTheKnownActionCodesAreAccepted) {
    std::string accepted;
    for (int code = -1; code <= 60; ++code) {
        if (CProfileCommands::IsActionCode(code)) {
            accepted += std::to_string(code) + " ";
        }
    }
    EXPECT_EQ(accepted, "0 1 2 3 4 5 6 9 10 11 12 13 14 15 16 50 51 52 53 ");
}

}  // namespace

#include <gtest/gtest.h>

#include "core/TimerLine.h"

namespace {

TEST(TimerLineTest, FieldsOutOfRangeRefuseTheLine) {
    struct Row {
        const char* line;
        bool accepted;
        const char* refusedField;  // a word of the reason when refused
    };
    const Row rows[] = {
        {"timer_notification_00_01_2008_02_15_00_20_10", true, ""},
        {"timer_notification_07_00_2026_12_31_23_59_59", true, ""},
        {"timer_notification_00_-1_2008_02_29_00_00_00", true, ""},  // a restore status of -1
        {"timer_notification_07_xx", true, ""},                      // unread fields stay 0
        {"timer_notification_00_01_-999_02_15_00_20_10", false, "year"},
        {"timer_notification_00_01_1600_12_31_23_59_59", false, "year"},
        {"timer_notification_00_01_9999_02_15_00_20_10", true, ""},
        {"timer_notification_-1_01_2008_02_15_00_20_10", false, "id"},
        {"timer_notification_00_01_2008_13_15_00_20_10", false, "month"},
        {"timer_notification_00_01_2008_00_15_00_20_10", false, "month"},
        {"timer_notification_00_01_2008_02_00_00_20_10", false, "day"},
        {"timer_notification_00_01_2007_02_29_00_20_10", false, "day"},
        {"timer_notification_00_01_2008_04_31_00_20_10", false, "day"},
        {"timer_notification_00_01_2008_02_15_24_20_10", false, "hour"},
        {"timer_notification_00_01_2008_02_15_-1_20_10", false, "hour"},
        {"timer_notification_00_01_2008_02_15_00_60_10", false, "minute"},
        {"timer_notification_00_01_2008_02_15_00_20_99", false, "second"},
    };
    for (const Row& row : rows) {
        std::string reason;
        std::optional<TimerLine> line = ParseTimerLine(row.line, reason);
        EXPECT_EQ(line.has_value(), row.accepted) << row.line << ": " << reason;
        if (!row.accepted) {
            EXPECT_NE(reason.find(row.refusedField), std::string::npos) << row.line << ": " << reason;
        }
    }
}

TEST(TimerLineTest, ReadsIdValueAndTime) {
    std::string reason;
    std::optional<TimerLine> line = ParseTimerLine("timer_notification_08_05_2009_03_07_08_05_09", reason);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->id, 8u);
    EXPECT_EQ(line->value, 5);
    EXPECT_EQ(line->time, (SYSTEMTIME{2009, 3, 0, 7, 8, 5, 9, 0}));
}

}  // namespace

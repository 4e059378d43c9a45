#pragma once

#include <optional>
#include <string>

#include "platform/SystemTime.h"

// One timer command line, "timer_notification_II_VV_YYYY_MM_DD_HH_MM_SS": the notification id,
// its value and the trigger time (day of the week and milliseconds not set).
struct TimerLine {
    unsigned int id = 0;
    int value = 0;
    SYSTEMTIME time{};
};

// Reads a timer command line. Fields that cannot be read are 0, as the lines the program writes
// itself always carry all of them. A field that is read but out of its range (a negative id, a
// year outside 1601..30827, month 13, hour 24, a day the month does not have, ...) refuses the
// whole line: the answer is empty and `reason` names the field.
std::optional<TimerLine> ParseTimerLine(const std::string& text, std::string& reason);

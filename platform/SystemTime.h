#pragma once

#include <cstdint>

// Local calendar time as the phone's services report it. Field names follow the platform's
// own record so that code which fills or reads one keeps the familiar vocabulary.
struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;      // 1..12
    uint16_t wDayOfWeek = 0;  // 0 = Sunday
    uint16_t wDay = 0;        // 1..31
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;

    bool operator==(const SYSTEMTIME&) const = default;
};

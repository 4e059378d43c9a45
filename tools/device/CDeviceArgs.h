#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How zentrova-device reads the words of its commands (numbers, times of day, week days,
// durations) and reports what it cannot use.
class CDeviceArgs {
  public:
    // "90m", "2h", "30s", "1d", or plain seconds; fractions allowed ("1.5h").
    static bool ParseDuration(const std::string& text, int64_t& ms);
    // The duration in the shortest whole form of the units above ("90m", "2h", "45s", "1500ms").
    static std::string FormatDuration(int64_t ms);
    // A whole decimal number between `min` and `max`.
    static bool ParseInt(const std::string& text, long long min, long long max, long long& value);
    // A registry DWORD: decimal digits, or 0x and hex digits, up to 0xFFFFFFFF.
    static bool ParseDword(const std::string& text, uint32_t& value);
    // Registry binary data: an even number of hex digits, two per byte; false with the reason.
    static bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes, std::string& why);
    // "H:MM" or "HH:MM", 00:00 to 23:59.
    static bool ParseTimeOfDay(const std::string& text, int& hour, int& minute);
    // "mon" ... "sun" (any case) or "1" ... "7": 1 Monday ... 7 Sunday.
    static bool ParseWeekDay(const std::string& text, int& weekDay);

    // Print "zentrova-device: WHY" on standard error and give the exit code of a failure (1) or of
    // a bad command (2, with a pointer to the help).
    static int Fail(const std::string& why);
    static int UsageError(const std::string& why);
};

#include "core/TimerLine.h"

#include <cstdio>

#include "core/DateTime.h"
#include "core/SafeFormat.h"

namespace {

struct FieldRange {
    const char* name;
    int min;
    int max;
};

// In the order of the line. The value's range is whatever two characters can hold.
constexpr FieldRange kFields[] = {
    {"id", 0, 99},  {"value", -9, 99}, {"year", 1601, 30827}, {"month", 1, 12},
    {"day", 1, 31}, {"hour", 0, 23},   {"minute", 0, 59},     {"second", 0, 59},
};

}  // namespace

std::optional<TimerLine> ParseTimerLine(const std::string& text, std::string& reason) {
    int v[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int read = std::sscanf(text.c_str(), "timer_notification_%02d_%02d_%04d_%02d_%02d_%02d_%02d_%02d", &v[0],
                           &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
    for (int i = 0; i < read; ++i) {
        if (v[i] < kFields[i].min || v[i] > kFields[i].max) {
            reason = SafeSprintf("%s %d is out of range", kFields[i].name, v[i]);
            return std::nullopt;
        }
    }
    TimerLine line;
    line.id = static_cast<unsigned int>(v[0]);
    line.value = v[1];
    line.time.wYear = static_cast<uint16_t>(v[2]);
    line.time.wMonth = static_cast<uint16_t>(v[3]);
    line.time.wDay = static_cast<uint16_t>(v[4]);
    line.time.wHour = static_cast<uint16_t>(v[5]);
    line.time.wMinute = static_cast<uint16_t>(v[6]);
    line.time.wSecond = static_cast<uint16_t>(v[7]);
    // With the whole date read, the day must exist in its month (no 30 February).
    int64_t ticks = 0;
    if (read >= 5 &&
        !SystemTimeToTicks(SYSTEMTIME{line.time.wYear, line.time.wMonth, 0, line.time.wDay, 0, 0, 0, 0},
                           ticks)) {
        reason = SafeSprintf("day %d does not exist in %04d-%02d", v[4], v[2], v[3]);
        return std::nullopt;
    }
    return line;
}

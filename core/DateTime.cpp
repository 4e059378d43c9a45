#include "core/DateTime.h"

#include <cstdio>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-day algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool isLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

constexpr int64_t kDays1601To1970 = 134774;
constexpr int64_t kMinYear = 1601;
constexpr int64_t kMaxYear = 30827;

}  // namespace

bool SystemTimeToTicks(const SYSTEMTIME& t, int64_t& ticks) {
    // Beyond the last year the tick count would overflow 64 bits.
    if (t.wYear < kMinYear || t.wYear > kMaxYear || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
        t.wDay > daysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 ||
        t.wMilliseconds > 999) {
        return false;
    }
    int64_t days = daysFromCivil(t.wYear, t.wMonth, t.wDay) + kDays1601To1970;
    int64_t ms = ((days * 24 + t.wHour) * 60 + t.wMinute) * 60'000 + t.wSecond * 1000LL + t.wMilliseconds;
    ticks = ms * 10'000;
    return true;
}

bool TicksToSystemTime(int64_t ticks, SYSTEMTIME& t) {
    if (ticks < 0) {
        return false;
    }
    int64_t ms = ticks / 10'000;
    int64_t days = ms / 86'400'000;
    int64_t rest = ms % 86'400'000;
    int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    civilFromDays(days - kDays1601To1970, y, m, d);
    if (y > kMaxYear) {
        return false;
    }
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(m);
    t.wDay = static_cast<uint16_t>(d);
    // 1601-01-01 was a Monday.
    t.wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);
    t.wHour = static_cast<uint16_t>(rest / 3'600'000);
    t.wMinute = static_cast<uint16_t>(rest / 60'000 % 60);
    t.wSecond = static_cast<uint16_t>(rest / 1000 % 60);
    t.wMilliseconds = static_cast<uint16_t>(rest % 1000);
    return true;
}

bool DT_AddDiff(SYSTEMTIME& time, int64_t count, int64_t unit) {
    int64_t ticks = 0;
    if (!SystemTimeToTicks(time, ticks)) {
        return false;
    }
    int64_t diff = 0;
    if (__builtin_mul_overflow(count, unit, &diff) || __builtin_add_overflow(ticks, diff, &ticks)) {
        return false;
    }
    SYSTEMTIME moved;
    if (!TicksToSystemTime(ticks, moved)) {
        return false;
    }
    time = moved;
    return true;
}

int64_t DT_PeriodsBetween(const SYSTEMTIME& first, const SYSTEMTIME& second, int64_t unit) {
    int64_t a = 0;
    int64_t b = 0;
    if (unit == 0 || !SystemTimeToTicks(first, a) || !SystemTimeToTicks(second, b)) {
        return 0;
    }
    return (b - a) / unit;
}

std::string DT_Format(const SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return buf;
}
